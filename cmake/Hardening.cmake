# The hardening of the binaries the packages ship, native Linux and the
# Windows cross build alike: fortified C library calls, the stack protector
# and format checks. On Linux, relocations are made read-only after they
# are all bound at load time (bind-now); on Windows the PE flags ask for
# address space layout randomisation (high entropy, 64-bit) and a
# non-executable stack and heap. Sanitizer and fuzzing builds have their own
# instrumentation and are left as they are. Build paths are mapped away, so
# that where the sources lay does not show in the binaries.
if(CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  return()
endif()

add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security
                    "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.")
# Fortified calls need the optimiser; a Debug build has none. mingw-w64's
# headers fortify too (string.h, stdio.h: __memcpy_chk and its kind).
add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
if(WIN32)
  # The checks' run-time functions (__stack_chk_fail, __memcpy_chk, ...)
  # live in libssp; the toolchain links statically, so libssp.a is taken and
  # no DLL is added. Standard libraries come after every object and library.
  string(APPEND CMAKE_C_STANDARD_LIBRARIES " -lssp")
  string(APPEND CMAKE_CXX_STANDARD_LIBRARIES " -lssp")
  add_link_options(LINKER:--dynamicbase LINKER:--high-entropy-va LINKER:--nxcompat)
else()
  add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
