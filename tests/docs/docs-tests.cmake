# ctest entries that hold the documentation to the tools (native builds
# without sanitizers; included from the top-level CMakeLists.txt):
#   tool_manuals     --version and --help of each tool against its manual page
#   readme_commands  the README's commands run, or known to be run elsewhere
#   layering         each folder includes only the folders below it
# The README's install lines use the packages, made by the linux_packages
# fixture.

set(_tools $<TARGET_FILE:tarnovelle_render> $<TARGET_FILE:tarnovelle_wavdiff>)
foreach(_target tarnovelle_view tarnovelle_standalone)
  if(TARGET ${_target})
    list(APPEND _tools $<TARGET_FILE:${_target}>)
  endif()
endforeach()
foreach(_mode manuals readme)
  set(_name tool_manuals)
  if(_mode STREQUAL "readme")
    set(_name readme_commands)
  endif()
  add_test(NAME ${_name}
    COMMAND bash "${CMAKE_CURRENT_LIST_DIR}/docs-test.sh" ${_mode} "${CMAKE_SOURCE_DIR}" "${CMAKE_BINARY_DIR}"
            "${PROJECT_VERSION}" ${_tools})
  set_tests_properties(${_name} PROPERTIES TIMEOUT 300)
endforeach()
if(TEST linux_packages)
  set_tests_properties(readme_commands PROPERTIES FIXTURES_REQUIRED linux_packages)
endif()
unset(_tools)
unset(_name)
unset(_mode)

add_test(NAME layering COMMAND bash "${CMAKE_CURRENT_LIST_DIR}/layering-test.sh" "${CMAKE_SOURCE_DIR}")
