# The installable packages, made by the target `package` into
# <build>/packages/, and the install rules behind them:
#
#   Windows  Tarnovelle-<version>-setup.exe        NSIS setup (makensis); the
#                                                   player Tarnovelle.exe with
#                                                   a Start-menu shortcut;
#                                                   factory presets go to
#                                                   %PROGRAMDATA%\VST3 Presets\
#                                                   <vendor>\Tarnovelle
#            Tarnovelle-<version>-windows-x64.zip  bundle, player, README,
#                                                   licence, VST3 Presets\
#                                                   <vendor>\Tarnovelle
#   Linux    tarnovelle_<version>_amd64.deb        CPack: the bundle in
#                                                   /usr/lib/vst3, the LV2
#                                                   bundle in /usr/lib/lv2, the player
#                                                   and tools in /usr/bin (the
#                                                   player's menu entry and
#                                                   icon), licence in
#                                                   /usr/share/doc/tarnovelle,
#                                                   presets in /usr/share/vst3/
#                                                   presets/<vendor>/Tarnovelle
#            Tarnovelle-<version>-linux-x86_64.tar.gz  the bundle, the player
#                                                   beside it and
#                                                   presets/<vendor>/Tarnovelle, to
#                                                   unpack into ~/.vst3; and
#                                                   Tarnovelle.lv2, for ~/.lv2
#
# `cmake --install` (Linux) puts the bundle into <prefix>/lib/vst3, the
# tools into <prefix>/bin and the presets into
# <prefix>/share/vst3/presets/<vendor>/Tarnovelle. <vendor> is TARNO_VENDOR,
# which tarnovelle-factory-presets holds to the factory's vendor.
#
# A missing packaging tool stops the configure step
# with its name; a failing packaging step fails `package` with its output.
# Included from the top-level CMakeLists.txt after BundleResources.cmake.

set(TARNO_PACKAGE_DIR "${CMAKE_BINARY_DIR}/packages")

if(WIN32)
  find_program(TARNO_MAKENSIS makensis DOC "NSIS compiler for the Windows setup")
  if(NOT TARNO_MAKENSIS)
    message(FATAL_ERROR "makensis was not found: the Windows setup is compiled with NSIS (Debian package "
                        "nsis; scripts/install-deps.sh installs it). Configure with -DTARNO_PACKAGES=OFF "
                        "to build without packages.")
  endif()

  set(TARNO_SETUP_FILE "${TARNO_PACKAGE_DIR}/Tarnovelle-${PROJECT_VERSION}-setup.exe")
  set(_zip_name "Tarnovelle-${PROJECT_VERSION}-windows-x64")
  set(_zip_stage "${CMAKE_BINARY_DIR}/packaging/zip")
  configure_file("${CMAKE_SOURCE_DIR}/packaging/windows/README.txt.in"
                 "${CMAKE_BINARY_DIR}/packaging/README.txt" @ONLY NEWLINE_STYLE CRLF)
  add_custom_target(package
    COMMAND "${CMAKE_COMMAND}" "-DMAKENSIS=${TARNO_MAKENSIS}" "-DSOURCE_DIR=${CMAKE_SOURCE_DIR}"
            "-DBUNDLE=${TARNO_BUNDLE_DIR}" "-DPLAYER=$<TARGET_FILE:tarnovelle_standalone>"
            "-DVERSION=${PROJECT_VERSION}" "-DOUTPUT=${TARNO_SETUP_FILE}"
            "-DWORK_DIR=${CMAKE_BINARY_DIR}/packaging/nsis" "-DVENDOR=${TARNO_VENDOR}"
            "-DCOPYRIGHT=${TARNO_COPYRIGHT}" "-DPRESETS=${TARNO_PRESETS_DIR}"
            -P "${CMAKE_SOURCE_DIR}/cmake/WindowsInstaller.cmake"
    # The portable zip: one folder with the bundle, the README and the licence.
    COMMAND "${CMAKE_COMMAND}" -E rm -rf "${_zip_stage}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${_zip_stage}/${_zip_name}"
    COMMAND "${CMAKE_COMMAND}" -E copy_directory "${TARNO_BUNDLE_DIR}" "${_zip_stage}/${_zip_name}/Tarnovelle.vst3"
    COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:tarnovelle_standalone>" "${_zip_stage}/${_zip_name}/Tarnovelle.exe"
    COMMAND "${CMAKE_COMMAND}" -E copy "${CMAKE_BINARY_DIR}/packaging/README.txt" "${_zip_stage}/${_zip_name}/README.txt"
    COMMAND "${CMAKE_COMMAND}" -E copy "${CMAKE_SOURCE_DIR}/LICENSE" "${_zip_stage}/${_zip_name}/LICENSE.txt"
    COMMAND "${CMAKE_COMMAND}" -E copy "${CMAKE_SOURCE_DIR}/THIRD-PARTY-NOTICES.txt"
            "${_zip_stage}/${_zip_name}/THIRD-PARTY-NOTICES.txt"
    # The presets as they go into Documents\VST3 Presets.
    COMMAND "${CMAKE_COMMAND}" -E copy_directory "${TARNO_PRESETS_DIR}"
            "${_zip_stage}/${_zip_name}/VST3 Presets/${TARNO_VENDOR}/Tarnovelle"
    COMMAND "${CMAKE_COMMAND}" -E rm -f "${_zip_stage}/${_zip_name}/VST3 Presets/${TARNO_VENDOR}/Tarnovelle/.made"
    COMMAND "${CMAKE_COMMAND}" -E rm -f "${TARNO_PACKAGE_DIR}/${_zip_name}.zip"
    COMMAND "${CMAKE_COMMAND}" -E chdir "${_zip_stage}"
            "${CMAKE_COMMAND}" -E tar cf "${TARNO_PACKAGE_DIR}/${_zip_name}.zip" --format=zip "${_zip_name}"
    COMMENT "Windows packages: ${TARNO_PACKAGE_DIR}/Tarnovelle-${PROJECT_VERSION}-setup.exe and ${_zip_name}.zip"
    VERBATIM)
  add_dependencies(package tarno_bundle_resources tarno_factory_presets tarnovelle_standalone)
  unset(_zip_name)
  unset(_zip_stage)

else()
  # The LV2 bundle into `dest`: the DSP binary and its descriptions, and the
  # UI where it is built. The binaries go through install(TARGETS), so that
  # the packages strip them.
  function(tarno_install_lv2_bundle dest component)
    if(NOT TARGET Tarnovelle_lv2)
      return()
    endif()
    install(TARGETS Tarnovelle_lv2 LIBRARY DESTINATION "${dest}" PERMISSIONS ${_module_permissions}
      COMPONENT ${component} ${ARGN})
    install(FILES ${TARNO_LV2_TTL_FILES} DESTINATION "${dest}" COMPONENT ${component} ${ARGN})
    if(TARGET tarno_lv2_ui)
      install(TARGETS tarno_lv2_ui LIBRARY DESTINATION "${dest}" PERMISSIONS ${_module_permissions}
        COMPONENT ${component} ${ARGN})
      install(FILES "${TARNO_LV2_BUNDLE_DIR}/Tarnovelle_ui.ttl" DESTINATION "${dest}"
        COMPONENT ${component} ${ARGN})
    endif()
  endfunction()

  # ---- install rules. The bundle goes where Linux hosts look for VST 3
  # plug-ins (lib/vst3, never a multiarch folder).
  set(_bundle_dest "lib/vst3/Tarnovelle.vst3")
  set(_module_permissions OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
      OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  install(TARGETS Tarnovelle
    LIBRARY DESTINATION "${_bundle_dest}/Contents/x86_64-linux" PERMISSIONS ${_module_permissions}
    COMPONENT plugin)
  install(DIRECTORY "${TARNO_BUNDLE_DIR}/Contents/Resources"
    DESTINATION "${_bundle_dest}/Contents" COMPONENT plugin)
  install(TARGETS tarnovelle_render tarnovelle_wavdiff RUNTIME DESTINATION bin COMPONENT tools)
  # The standalone player, with its menu entry and icon.
  if(TARGET tarnovelle_standalone)
    install(TARGETS tarnovelle_standalone RUNTIME DESTINATION bin COMPONENT tools)
    install(FILES "${CMAKE_SOURCE_DIR}/packaging/linux/tarnovelle.desktop"
      DESTINATION share/applications COMPONENT tools)
    install(FILES "${CMAKE_SOURCE_DIR}/packaging/linux/tarnovelle.svg"
      DESTINATION share/icons/hicolor/scalable/apps COMPONENT tools)
  endif()
  # The factory presets where hosts look for shared ones.
  install(DIRECTORY "${TARNO_PRESETS_DIR}/" DESTINATION "share/vst3/presets/${TARNO_VENDOR}/Tarnovelle"
    COMPONENT presets FILES_MATCHING PATTERN "*.vstpreset")
  # The LV2 bundle where LV2 hosts look for shared plug-ins (lib/lv2).
  tarno_install_lv2_bundle("lib/lv2/Tarnovelle.lv2" plugin)
  # The editor viewer needs X11; it is built wherever the Linux editor is.
  if(TARGET tarnovelle_view)
    install(TARGETS tarnovelle_view RUNTIME DESTINATION bin COMPONENT tools)
  endif()

  # /usr/share/doc/tarnovelle: the licence as Debian keeps it (the GPL's text
  # is in /usr/share/common-licenses) and a changelog; the tools' manual
  # pages. Compressed here, as Debian ships them.
  file(READ "${CMAKE_SOURCE_DIR}/THIRD-PARTY-NOTICES.txt" TARNO_NOTICES)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/THIRD-PARTY-NOTICES.txt")
  configure_file("${CMAKE_SOURCE_DIR}/packaging/linux/copyright.in" "${CMAKE_BINARY_DIR}/packaging/copyright" @ONLY)
  # The packages' dates (the changelog's, every file's) are SOURCE_DATE_EPOCH
  # when it is set, otherwise the time of the commit built, so that two
  # builds of one commit give identical packages. Outside a Git checkout
  # (a source archive) they are the time of configuring.
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(TARNO_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
  else()
    execute_process(COMMAND git -C "${CMAKE_SOURCE_DIR}" log -1 --format=%ct
      OUTPUT_VARIABLE TARNO_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE _git_result ERROR_QUIET)
    if(NOT _git_result EQUAL 0 OR NOT TARNO_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
      string(TIMESTAMP TARNO_SOURCE_DATE_EPOCH "%s" UTC)
    endif()
    set(ENV{SOURCE_DATE_EPOCH} "${TARNO_SOURCE_DATE_EPOCH}")
  endif()
  string(TIMESTAMP TARNO_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
  configure_file("${CMAKE_SOURCE_DIR}/packaging/linux/changelog.in" "${CMAKE_BINARY_DIR}/packaging/changelog" @ONLY)
  foreach(_text "${CMAKE_BINARY_DIR}/packaging/changelog"
                "${CMAKE_SOURCE_DIR}/packaging/linux/tarnovelle-render.1"
                "${CMAKE_SOURCE_DIR}/packaging/linux/tarnovelle-wavdiff.1"
                "${CMAKE_SOURCE_DIR}/packaging/linux/tarnovelle.1"
                "${CMAKE_SOURCE_DIR}/packaging/linux/tarnovelle-view.1")
    get_filename_component(_name "${_text}" NAME)
    execute_process(COMMAND gzip -9nc
      INPUT_FILE "${_text}"
      OUTPUT_FILE "${CMAKE_BINARY_DIR}/packaging/${_name}.gz"
      RESULT_VARIABLE _gzip_result)
    if(NOT _gzip_result EQUAL 0)
      message(FATAL_ERROR "gzip could not compress ${_text} (${_gzip_result})")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_text}")
  endforeach()
  install(FILES "${CMAKE_BINARY_DIR}/packaging/copyright" "${CMAKE_BINARY_DIR}/packaging/changelog.gz"
    DESTINATION share/doc/tarnovelle COMPONENT doc)
  install(FILES "${CMAKE_BINARY_DIR}/packaging/tarnovelle-render.1.gz"
                "${CMAKE_BINARY_DIR}/packaging/tarnovelle-wavdiff.1.gz"
    DESTINATION share/man/man1 COMPONENT tools)
  if(TARGET tarnovelle_standalone)
    install(FILES "${CMAKE_BINARY_DIR}/packaging/tarnovelle.1.gz" DESTINATION share/man/man1 COMPONENT tools)
  endif()
  if(TARGET tarnovelle_view)
    install(FILES "${CMAKE_BINARY_DIR}/packaging/tarnovelle-view.1.gz" DESTINATION share/man/man1 COMPONENT tools)
  endif()

  # The archive for ~/.vst3 holds the bundle and the presets' folder, at its
  # top: a component of its own that a plain `cmake --install` leaves out.
  # Unpacked into ~/.vst3, the presets land in ~/.vst3/presets/<vendor>/Tarnovelle.
  install(TARGETS Tarnovelle
    LIBRARY DESTINATION "Tarnovelle.vst3/Contents/x86_64-linux" PERMISSIONS ${_module_permissions}
    COMPONENT user-vst3 EXCLUDE_FROM_ALL)
  install(DIRECTORY "${TARNO_BUNDLE_DIR}/Contents/Resources"
    DESTINATION "Tarnovelle.vst3/Contents" COMPONENT user-vst3 EXCLUDE_FROM_ALL)
  # The LV2 bundle beside it, for ~/.lv2.
  tarno_install_lv2_bundle("Tarnovelle.lv2" user-vst3 EXCLUDE_FROM_ALL)
  # The player beside the bundle: unpacked anywhere, it finds the bundle
  # next to itself.
  if(TARGET tarnovelle_standalone)
    install(TARGETS tarnovelle_standalone RUNTIME DESTINATION . COMPONENT user-vst3 EXCLUDE_FROM_ALL)
  endif()
  install(DIRECTORY "${TARNO_PRESETS_DIR}/" DESTINATION "presets/${TARNO_VENDOR}/Tarnovelle"
    COMPONENT user-vst3 EXCLUDE_FROM_ALL FILES_MATCHING PATTERN "*.vstpreset")

  # ---- CPack: `package` makes the .deb and the .tar.gz.
  foreach(_tool dpkg dpkg-shlibdeps file)
    find_program(_found_${_tool} "${_tool}")
    if(NOT _found_${_tool})
      message(FATAL_ERROR "${_tool} was not found: the .deb is made with it (Debian packages dpkg-dev and "
                          "file; scripts/install-deps.sh installs them). Configure with -DTARNO_PACKAGES=OFF "
                          "to build without packages.")
    endif()
  endforeach()

  set(CPACK_PACKAGE_NAME tarnovelle)
  set(CPACK_PACKAGE_VENDOR "${TARNO_VENDOR}")
  set(CPACK_PACKAGE_CONTACT "${TARNO_CONTACT}")
  set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monophonic analog-style synthesizer (VST 3 and LV2 instrument)")
  set(CPACK_PACKAGE_DIRECTORY "${TARNO_PACKAGE_DIR}")
  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_SOURCE_GENERATOR TGZ)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_THREADS 2)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SECTION sound)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The summary above is the first line; CPack puts it before this text.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Tarnovelle is a VST 3 and LV2 instrument for hosts on Linux: one\n"
      "oscillator mixing square, triangle and sine, a linear envelope,\n"
      "glissando, vibrato and tremolo, over all 16 MIDI channels with\n"
      "last-note priority. The bundles are installed into /usr/lib/vst3 and\n"
      "/usr/lib/lv2, the five factory presets into /usr/share/vst3/presets\n"
      "(and the LV2 bundle). The program tarnovelle plays the instrument\n"
      "without a DAW (JACK or ALSA, with a window and a menu entry); the\n"
      "tool tarnovelle-render plays a MIDI file through any VST 3\n"
      "instrument into a WAV file.")
  string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
  # Per generator: the archive takes only the ~/.vst3 component.
  set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_BINARY_DIR}/packaging/CPackPerGenerator.cmake")
  file(WRITE "${CPACK_PROJECT_CONFIG_FILE}" "\
# Generated by cmake/Packaging.cmake: read by cpack once per generator.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} \"${TARNO_SOURCE_DATE_EPOCH}\")
endif()
if(CPACK_GENERATOR STREQUAL \"TGZ\")
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL user-vst3)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_ARCHIVE_FILE_NAME \"Tarnovelle-${PROJECT_VERSION}-linux-x86_64\")
endif()
")
  include(CPack)

  unset(_bundle_dest)
  unset(_module_permissions)
  unset(_gzip_result)
  unset(_git_result)
  unset(_text)
  unset(_name)
endif()

if(TARNO_BUILD_TESTS)
  include("${CMAKE_SOURCE_DIR}/tests/packaging/packaging-tests.cmake")
endif()
