# Cross toolchain: Debian 12 host -> 64-bit Windows, using mingw-w64 GCC with
# the POSIX threading model (needed for std::thread / std::mutex).
#
# Runtime libraries (libgcc, libstdc++, winpthread) are linked statically so
# the produced .exe/.dll files import only DLLs that ship with Windows
# (KERNEL32, msvcrt, USER32, ...). Check with:
#   x86_64-w64-mingw32-objdump -p file.exe | grep 'DLL Name'
#
# Test executables are run under Wine through CMAKE_CROSSCOMPILING_EMULATOR,
# so `ctest` in the build directory runs them directly. What works on
# Debian 12 (wine 8.0, only the 64-bit loader installed):
#   - /usr/bin/wine is a shell wrapper: it prefers /usr/lib/wine/wine (32-bit,
#     not installed) and falls back to /usr/lib/wine/wine64, exporting
#     WINELOADER. It prints a "wine32 is missing" hint on stderr unless
#     WINEDEBUG=-all is set; the hint is noise only.
#   - /usr/lib/wine/wine64 also runs 64-bit .exe files directly, but it is
#     not on PATH, so the wrapper is preferred.
#   - A mingw-built googletest .exe runs headless (no X display needed),
#     threads work, and the process exit code reaches ctest.
#   - googletest output under Wine uses CRLF line endings.
#   - An unhandled crash starts winedbg, which opens a dialog and waits for a
#     click when an X display exists (e.g. under xvfb-run). The ctest setup
#     step wine_prefix_setup (CMakeLists.txt) switches that dialog off, so a
#     crash prints a backtrace and the test fails at once.
#   - Creating a prefix takes a while; `wineboot -i` returns before the
#     registry files are written, `wineserver -w` waits for that.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARNO_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER   ${TARNO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${TARNO_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARNO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -static also pulls in winpthread statically (otherwise libwinpthread-1.dll
# would be needed at run time).
set(_tarno_static_runtime "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT    "${_tarno_static_runtime}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_tarno_static_runtime}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_tarno_static_runtime}")
unset(_tarno_static_runtime)

find_program(TARNO_WINE_EXECUTABLE
  NAMES wine wine64
  PATHS /usr/bin /usr/lib/wine
  DOC "Wine loader used to run cross-built Windows test executables")
if(TARNO_WINE_EXECUTABLE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${TARNO_WINE_EXECUTABLE}")
endif()
