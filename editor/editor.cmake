# The editor's core and its window shells, in no plug-in format's terms
# (they speak to the plug-in through editor/EditorHost.h):
#   tarno_editor_core   EditorCore (values, paint, repaint decision) and
#                       EditorInput (presses, drags, double-clicks, wheel
#                       turns as edit gestures), EditorMenu (the context
#                       menu's items, a menu drawn in the panel), ValueEntry
#                       (typed values), EditorZoom; no window system
#   tarno_editor_x11    the X11 window (XCB, Cairo), Linux, where xcb and
#                       cairo-xcb are found, with xkbcommon-x11 for typed
#                       values (TARNO_XCB_FOUND)
#   tarno_editor_win32  the Win32 window (GDI, GDI+), Windows
# Included from the top-level CMakeLists.txt after the canvas and the skins.

add_library(tarno_editor_core STATIC
  "${CMAKE_CURRENT_LIST_DIR}/EditorCore.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/EditorCore.h"
  "${CMAKE_CURRENT_LIST_DIR}/EditorHost.h"
  "${CMAKE_CURRENT_LIST_DIR}/EditorInput.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/EditorInput.h"
  "${CMAKE_CURRENT_LIST_DIR}/EditorMenu.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/EditorMenu.h"
  "${CMAKE_CURRENT_LIST_DIR}/EditorZoom.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/EditorZoom.h"
  "${CMAKE_CURRENT_LIST_DIR}/ValueEntry.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/ValueEntry.h")
target_include_directories(tarno_editor_core PUBLIC "${CMAKE_SOURCE_DIR}")
target_link_libraries(tarno_editor_core PUBLIC tarno_params tarno_skins PRIVATE tarno_options)

if(WIN32)
  add_library(tarno_editor_win32 STATIC
    "${CMAKE_CURRENT_LIST_DIR}/win32/Win32Window.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/win32/Win32Window.h"
    "${CMAKE_CURRENT_LIST_DIR}/win32/GdiPanelPicture.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/win32/GdiPanelPicture.h")
  target_link_libraries(tarno_editor_win32 PUBLIC tarno_editor_core tarno_canvas user32 gdi32 gdiplus
                        PRIVATE tarno_options)
elseif(TARNO_CAIRO_FOUND)
  pkg_check_modules(TARNO_XCB QUIET IMPORTED_TARGET xcb cairo-xcb xkbcommon-x11)
  if(TARNO_XCB_FOUND)
    add_library(tarno_editor_x11 STATIC
      "${CMAKE_CURRENT_LIST_DIR}/x11/X11Window.cpp"
      "${CMAKE_CURRENT_LIST_DIR}/x11/X11Window.h")
    target_link_libraries(tarno_editor_x11 PUBLIC tarno_editor_core tarno_canvas PkgConfig::TARNO_XCB
                          PRIVATE tarno_options)
  else()
    message(STATUS "xcb, cairo-xcb or xkbcommon-x11 not found: the Linux plug-ins have no editor window")
  endif()
endif()
