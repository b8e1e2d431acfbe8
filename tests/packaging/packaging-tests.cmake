# ctest entries for the packages (included by cmake/Packaging.cmake). A
# setup step builds `package` once; the checks need it:
#   Linux    deb_package       control fields, file list, unpacked render
#            deb_lintian       lintian reports no error
#            vst3_home_archive the .tar.gz for ~/.vst3
#   Windows  windows_setup     silent install, upgrade, reinstall, render,
#                              uninstall, blocked folder (under Wine)
#            windows_zip       the portable zip
#            module_sets_no_dpi_awareness  (the module, not a package)
#            windows_binaries_pe_flags     ASLR and NX asked for (the binaries)

set(_here "${CMAKE_CURRENT_LIST_DIR}")

if(WIN32)
  # The editor follows the content scale its host gives it: the module
  # neither imports nor names any of the calls that set a process's (or a
  # thread's) DPI awareness.
  set(_no_dpi [=[
    out=$("$1" -p "$2" | grep -iE 'Dpi(Aware|Awareness)') && { printf '%s\n' "$out"; exit 1; }
    ! grep -aqiE 'S.?e.?t.?P.?r.?o.?c.?e.?s.?s.?D.?p.?i|DpiAwareness' "$2"]=])
  add_test(NAME module_sets_no_dpi_awareness
    COMMAND sh -c "${_no_dpi}" sh "${CMAKE_OBJDUMP}" "$<TARGET_FILE:Tarnovelle>")

  # The module and the programs ask Windows for address space layout
  # randomisation (64-bit, high entropy) and a non-executable stack and heap.
  set(_pe_flags [=[
    objdump=$1; shift
    for f in "$@"; do
      flags=$("$objdump" -p "$f" | sed -n '/^DllCharacteristics/,/^[A-Z][a-z]/p')
      for flag in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT; do
        printf '%s
' "$flags" | grep -qw "$flag" || { echo "$f lacks $flag"; exit 1; }
      done
      echo "ok    ${f##*/}: HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT"
    done]=])
  set(_pe_files "$<TARGET_FILE:Tarnovelle>" "$<TARGET_FILE:tarnovelle_render>" "$<TARGET_FILE:tarnovelle_wavdiff>")
  if(TARGET tarnovelle_standalone)
    list(APPEND _pe_files "$<TARGET_FILE:tarnovelle_standalone>")
  endif()
  add_test(NAME windows_binaries_pe_flags COMMAND sh -c "${_pe_flags}" sh "${CMAKE_OBJDUMP}" ${_pe_files})
  unset(_pe_flags)
  unset(_pe_files)

  if(NOT TARNO_WINE_EXECUTABLE)
    return()
  endif()
  # Building `package` may rebuild and relink what other tests run: nothing
  # else runs meanwhile.
  add_test(NAME windows_packages COMMAND "${CMAKE_COMMAND}" --build "${CMAKE_BINARY_DIR}" --target package)
  set_tests_properties(windows_packages PROPERTIES FIXTURES_SETUP windows_packages TIMEOUT 600 RUN_SERIAL ON)
  # Stands for a second setup running at the same time.
  add_executable(tarno_hold_setup_mutex "${_here}/hold-setup-mutex.cpp")
  target_link_libraries(tarno_hold_setup_mutex PRIVATE tarno_options)
  add_test(NAME windows_setup
    COMMAND bash "${_here}/windows-packages-test.sh" setup "${CMAKE_BINARY_DIR}" "${CMAKE_SOURCE_DIR}"
            "${PROJECT_VERSION}" "${TARNO_MAKENSIS}" "$<TARGET_FILE:tarno_hold_setup_mutex>")
  add_test(NAME windows_zip
    COMMAND bash "${_here}/windows-packages-test.sh" zip "${CMAKE_BINARY_DIR}" "${CMAKE_SOURCE_DIR}"
            "${PROJECT_VERSION}")
  set_tests_properties(windows_setup windows_zip PROPERTIES
    FIXTURES_REQUIRED "windows_packages;wine_prefix"
    TIMEOUT 900
    ENVIRONMENT "${TARNO_WINE_ENV}")
else()
  # Building `package` may rebuild and relink what other tests run: nothing
  # else runs meanwhile.
  add_test(NAME linux_packages COMMAND "${CMAKE_COMMAND}" --build "${CMAKE_BINARY_DIR}" --target package)
  set_tests_properties(linux_packages PROPERTIES FIXTURES_SETUP linux_packages TIMEOUT 600 RUN_SERIAL ON)
  foreach(_test deb_package:deb deb_lintian:lintian vst3_home_archive:archive packages_reproducible:reproducible)
    string(REPLACE ":" ";" _test "${_test}")
    list(GET _test 0 _name)
    list(GET _test 1 _mode)
    add_test(NAME ${_name}
      COMMAND bash "${_here}/linux-packages-test.sh" ${_mode} "${CMAKE_BINARY_DIR}" "${CMAKE_SOURCE_DIR}"
              "${PROJECT_VERSION}")
    set_tests_properties(${_name} PROPERTIES FIXTURES_REQUIRED linux_packages TIMEOUT 600)
  endforeach()
  unset(_test)
  unset(_name)
  unset(_mode)

  # The build step that completes the bundle stops with its reason when a
  # class's version is not the project's, and then changes nothing.
  set(_refuse [=[
    tool=$1 version=$2
    files="Tarnovelle.vst3/Contents/Resources/moduleinfo.json Tarnovelle.vst3/Contents/Resources/Snapshots"
    before=$(ls -l --full-time -R $files)
    out=$("$tool" --version 0.0.0-other Tarnovelle.vst3 2>&1); rc=$?
    printf '%s\n' "$out"
    [ "$rc" -eq 1 ] || { echo "exit status $rc, not 1"; exit 1; }
    printf '%s\n' "$out" | grep -qF "says version '$version', the project is '0.0.0-other'" || exit 1
    [ "$before" = "$(ls -l --full-time -R $files)" ] || { echo "the bundle was changed"; exit 1; }]=])
  add_test(NAME bundle_resources_refuse_another_version
    COMMAND sh -c "${_refuse}" sh "$<TARGET_FILE:tarnovelle_bundle_resources>" "${PROJECT_VERSION}"
    WORKING_DIRECTORY "${CMAKE_BINARY_DIR}")
  set_tests_properties(bundle_resources_refuse_another_version PROPERTIES TIMEOUT 60)
  unset(_refuse)
endif()

# A packager's build: out of a read-only copy of the sources, no presets.
if(WIN32)
  set(_toolchain cmake/mingw-w64-x86_64.cmake)
else()
  set(_toolchain "")
endif()
add_test(NAME read_only_source_build
  COMMAND bash "${_here}/read-only-source-test.sh" "${CMAKE_SOURCE_DIR}" ${_toolchain})
set_tests_properties(read_only_source_build PROPERTIES TIMEOUT 1200)
unset(_toolchain)

unset(_here)
