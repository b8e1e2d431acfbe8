# The factory presets as VST 3 preset files, made from kFactoryPresets by
# tarnovelle-factory-presets (packaging/tools/) after the module is linked:
#
#   <build>/presets/01  Original.vstpreset ... 05  Glide.vstpreset
#
# The tool reads the class ID, name, category and vendor from the built
# module (in the Windows cross build it is a Windows program run under
# Wine, as the bundle's resources are made) and refuses a TARNO_VENDOR that
# is not the factory's vendor. Packaging.cmake installs the files under
# <vendor>/Tarnovelle in the preset folders hosts read.
#
# Defines TARNO_PRESETS_DIR and the target tarno_factory_presets (in ALL).
# Included from the top-level CMakeLists.txt after BundleResources.cmake
# (which sets TARNO_WINE_RUN).

set(TARNO_PRESETS_DIR "${CMAKE_BINARY_DIR}/presets")

add_executable(tarnovelle_factory_presets "${CMAKE_SOURCE_DIR}/packaging/tools/factory-presets.cpp")
set_target_properties(tarnovelle_factory_presets PROPERTIES OUTPUT_NAME tarnovelle-factory-presets)
target_link_libraries(tarnovelle_factory_presets PRIVATE tarno_plugin tarno_host tarno_options)

# The folder is made afresh, so a renamed preset leaves no old file behind.
add_custom_command(
  OUTPUT "${TARNO_PRESETS_DIR}/.made"
  COMMAND "${CMAKE_COMMAND}" -E rm -rf "${TARNO_PRESETS_DIR}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${TARNO_PRESETS_DIR}"
  COMMAND ${TARNO_WINE_RUN} "$<TARGET_FILE:tarnovelle_factory_presets>"
          --vendor "${TARNO_VENDOR}" Tarnovelle.vst3 presets
  COMMAND "${CMAKE_COMMAND}" -E touch "${TARNO_PRESETS_DIR}/.made"
  DEPENDS Tarnovelle tarnovelle_factory_presets
  WORKING_DIRECTORY "${CMAKE_BINARY_DIR}"
  COMMENT "Factory presets: ${TARNO_PRESETS_DIR}/*.vstpreset"
  VERBATIM)
add_custom_target(tarno_factory_presets ALL DEPENDS "${TARNO_PRESETS_DIR}/.made")

if(TARGET tarno_tests)
  # The preset tests load the files.
  add_dependencies(tarno_tests tarno_factory_presets)
endif()

# tarnovelle-render loads and saves preset files (under Wine in the cross build).
if(TARNO_BUILD_TESTS AND (NOT CMAKE_CROSSCOMPILING OR TARNO_WINE_EXECUTABLE))
  set(_wrapper "")
  if(CMAKE_CROSSCOMPILING)
    set(_wrapper "${TARNO_WINE_EXECUTABLE}")
  endif()
  add_test(NAME render_presets
    COMMAND bash "${CMAKE_SOURCE_DIR}/tests/render-preset-test.sh" "${CMAKE_SOURCE_DIR}/demo/demo.mid"
            ${_wrapper} "$<TARGET_FILE:tarnovelle_render>"
    WORKING_DIRECTORY "${CMAKE_BINARY_DIR}")
  # ... and writes its files whole, by any name (tests/render-files-test.sh).
  add_test(NAME render_files
    COMMAND bash "${CMAKE_SOURCE_DIR}/tests/render-files-test.sh" "${CMAKE_SOURCE_DIR}/demo/demo.mid"
            ${_wrapper} "$<TARGET_FILE:tarnovelle_render>"
    WORKING_DIRECTORY "${CMAKE_BINARY_DIR}")
  set_tests_properties(render_presets render_files PROPERTIES TIMEOUT 300)
  set_tests_properties(render_files PROPERTIES SKIP_RETURN_CODE 77)
  if(CMAKE_CROSSCOMPILING)
    set_tests_properties(render_presets render_files PROPERTIES
      FIXTURES_REQUIRED wine_prefix
      ENVIRONMENT "${TARNO_WINE_ENV}")
  endif()
  unset(_wrapper)
endif()

# The presets' folder is named after the factory's vendor: the tool refuses
# another name, and writes nothing.
if(TARNO_BUILD_TESTS AND NOT CMAKE_CROSSCOMPILING)
  set(_refuse [=[
    tool=$1 vendor=$2
    dir=$(mktemp -d "$PWD/factory-presets.XXXXXX")
    out=$("$tool" --vendor "Another Vendor" Tarnovelle.vst3 "$dir" 2>&1); rc=$?
    files=$(ls -A "$dir"); rm -rf "$dir"
    printf '%s\n' "$out"
    [ "$rc" -eq 1 ] || { echo "exit status $rc, not 1"; exit 1; }
    printf '%s\n' "$out" | grep -qF "the factory's vendor is '$vendor', the packages say 'Another Vendor'" || exit 1
    [ -z "$files" ] || { echo "files were written: $files"; exit 1; }]=])
  add_test(NAME factory_presets_refuse_another_vendor
    COMMAND sh -c "${_refuse}" sh "$<TARGET_FILE:tarnovelle_factory_presets>" "${TARNO_VENDOR}"
    WORKING_DIRECTORY "${CMAKE_BINARY_DIR}")
  set_tests_properties(factory_presets_refuse_another_vendor PROPERTIES TIMEOUT 60)
  unset(_refuse)
endif()
