# The bundle's resources, made by tarnovelle-bundle-resources
# (packaging/tools/) each time the module is linked:
#
#   Tarnovelle.vst3/Contents/Resources/moduleinfo.json
#   Tarnovelle.vst3/Contents/Resources/Snapshots/<CID>_snapshot.png (and _snapshot_2.0x.png)
#   Tarnovelle.vst3/Contents/Resources/LICENSE.txt, THIRD-PARTY-NOTICES.txt
#   Tarnovelle.vst3/desktop.ini, PlugIn.ico                    (Windows)
#
# The tool loads the built module as a host does and writes moduleinfo.json
# from the module's answers, so the file and the module cannot disagree. In
# the Windows cross build it is a Windows program run under Wine: reading a
# Windows module's factory needs Windows (or Wine) anyway, and the snapshot
# it paints then goes through the same GDI/GDI+ canvas as the Windows
# editor, with nothing built twice. Any failure stops the build with the
# tool's message.
#
# Defines tarno_packaging (the moduleinfo.json text, the icon; the tests use
# it too), the tool and the target tarno_bundle_resources (in ALL).
# Included from the top-level CMakeLists.txt once the module, the host
# library and the tests are defined.

add_library(tarno_packaging STATIC
  "${CMAKE_SOURCE_DIR}/packaging/tools/ModuleInfo.cpp"
  "${CMAKE_SOURCE_DIR}/packaging/tools/ModuleInfo.h"
  "${CMAKE_SOURCE_DIR}/packaging/tools/PlugInIcon.cpp"
  "${CMAKE_SOURCE_DIR}/packaging/tools/PlugInIcon.h")
target_include_directories(tarno_packaging PUBLIC "${CMAKE_SOURCE_DIR}")
target_link_libraries(tarno_packaging PUBLIC tarno_host PRIVATE tarno_options)

add_executable(tarnovelle_bundle_resources
  "${CMAKE_SOURCE_DIR}/packaging/tools/bundle-resources.cpp"
  "${CMAKE_SOURCE_DIR}/packaging/tools/Snapshot.cpp"
  "${CMAKE_SOURCE_DIR}/packaging/tools/Snapshot.h")
set_target_properties(tarnovelle_bundle_resources PROPERTIES OUTPUT_NAME tarnovelle-bundle-resources)
target_link_libraries(tarnovelle_bundle_resources PRIVATE tarno_packaging tarno_skins tarno_canvas tarno_options)

if(NOT WIN32 AND NOT TARNO_CAIRO_FOUND)
  message(FATAL_ERROR "Cairo was not found (pkg-config cairo): the Linux bundle's snapshot is painted "
                      "with it. Install libcairo2-dev (scripts/install-deps.sh does), or configure with "
                      "-DTARNO_BUILD_PLUGIN=OFF.")
endif()

# How the tool is run: natively, or through Wine in the project's prefix.
if(CMAKE_CROSSCOMPILING)
  if(NOT TARNO_WINE_EXECUTABLE)
    message(FATAL_ERROR "wine was not found: the Windows bundle's moduleinfo.json is read from the built "
                        "module by a Windows program. Install wine (scripts/install-deps.sh does).")
  endif()
  set(_folder_icon --folder-icon)
  set(_icon_files "${TARNO_BUNDLE_DIR}/PlugIn.ico" "${TARNO_BUNDLE_DIR}/desktop.ini")
else()
  # Sanitizer builds: the fonts Cairo caches for the process are no leak.
  set(TARNO_WINE_RUN "${CMAKE_COMMAND}" -E env ASAN_OPTIONS=detect_leaks=0)
  set(_folder_icon "")
  set(_icon_files "")
endif()

set(_resources "${TARNO_BUNDLE_DIR}/Contents/Resources")
add_custom_command(
  OUTPUT "${_resources}/moduleinfo.json" ${_icon_files}
         "${_resources}/LICENSE.txt" "${_resources}/THIRD-PARTY-NOTICES.txt"
  COMMAND ${TARNO_WINE_RUN} "$<TARGET_FILE:tarnovelle_bundle_resources>"
          --version "${PROJECT_VERSION}" ${_folder_icon} Tarnovelle.vst3
  COMMAND "${CMAKE_COMMAND}" -E copy "${CMAKE_SOURCE_DIR}/LICENSE" "${_resources}/LICENSE.txt"
  COMMAND "${CMAKE_COMMAND}" -E copy "${CMAKE_SOURCE_DIR}/THIRD-PARTY-NOTICES.txt" "${_resources}/THIRD-PARTY-NOTICES.txt"
  DEPENDS Tarnovelle tarnovelle_bundle_resources
          "${CMAKE_SOURCE_DIR}/LICENSE" "${CMAKE_SOURCE_DIR}/THIRD-PARTY-NOTICES.txt"
  WORKING_DIRECTORY "${CMAKE_BINARY_DIR}"
  COMMENT "Bundle resources: snapshot, moduleinfo.json, licence (and the folder icon on Windows)"
  VERBATIM)
add_custom_target(tarno_bundle_resources ALL DEPENDS "${_resources}/moduleinfo.json")

if(TARGET tarno_tests)
  # The bundle tests read the resources; the icon tests draw the icon.
  add_dependencies(tarno_tests tarno_bundle_resources)
  target_link_libraries(tarno_tests PRIVATE tarno_packaging)
  if(WIN32)
    # GetFileVersionInfo, for the version resource test.
    target_link_libraries(tarno_tests PRIVATE version)
  endif()
endif()

unset(_resources)
unset(_folder_icon)
unset(_icon_files)
