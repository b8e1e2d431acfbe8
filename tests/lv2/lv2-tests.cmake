# ctest entries that hold the LV2 bundle to real LV2 tools (included from
# the top-level CMakeLists.txt where the LV2 plug-in is built):
#   lv2_validate           lv2_validate finds 0 errors in the bundle's .ttl files
#   lv2_dsp_links_no_x11   the DSP binary links no window system and exports
#                          lv2_descriptor only
#   lv2_jalv               jalv runs it under a private JACK server (skipped
#                          without jackd or jalv)
# A sanitized build's module needs the sanitizer runtime of the program
# that loads it, which jalv lacks: there only the descriptions are checked.
set(_modes validate)
if(NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize=")
  list(APPEND _modes libraries jalv)
endif()
foreach(_mode ${_modes})
  set(_name lv2_${_mode})
  if(_mode STREQUAL "libraries")
    set(_name lv2_dsp_links_no_x11)
  endif()
  add_test(NAME ${_name}
    COMMAND bash "${CMAKE_CURRENT_LIST_DIR}/lv2-test.sh" ${_mode} "${TARNO_LV2_BUNDLE_DIR}")
  set_tests_properties(${_name} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
endforeach()
unset(_name)
unset(_modes)
unset(_mode)
