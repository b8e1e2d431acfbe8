# The editor without any window system (tarno_editor_input): the core both
# editor windows share (EditorCore: values, paint, repaint decision) and the
# mouse handling (EditorInput: presses, drags, double-clicks and wheel turns
# as edit gestures on the controller). The windows route their messages to
# it; the tests drive it natively. Included from the top-level CMakeLists.txt, after the
# SDK targets and tarno_params exist.

# The repository root (the top-level source directory when included from
# there); sources include "editor/...", "params/...", "controller/...".
cmake_path(GET CMAKE_CURRENT_LIST_DIR PARENT_PATH _tarno_root)

add_library(tarno_editor_input STATIC
  "${CMAKE_CURRENT_LIST_DIR}/EditorCore.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/EditorCore.h"
  "${CMAKE_CURRENT_LIST_DIR}/EditorInput.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/EditorInput.h")
target_include_directories(tarno_editor_input PUBLIC "${_tarno_root}")
target_link_libraries(tarno_editor_input PUBLIC tarno_params tarno_skins vst3sdk_base vst3sdk_extra)
if(TARGET tarno_options)
  target_link_libraries(tarno_editor_input PRIVATE tarno_options)
else()
  target_compile_options(tarno_editor_input PRIVATE -Wall -Wextra)
endif()
unset(_tarno_root)
