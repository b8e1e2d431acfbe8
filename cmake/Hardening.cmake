# The distribution's hardening for the native Linux build, whose module and
# tools the .deb ships: fortified C library calls, the stack protector,
# format checks, and relocations made read-only after they are all bound at
# load time (bind-now). Sanitizer and fuzzing builds have their own
# instrumentation and are left as they are. Build paths are mapped away, so
# that where the sources lay does not show in the binaries.
if(WIN32 OR CMAKE_CROSSCOMPILING OR CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  return()
endif()

add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security
                    "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.")
# Fortified calls need the optimiser; a Debug build has none.
add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
add_link_options(LINKER:-z,relro LINKER:-z,now)
