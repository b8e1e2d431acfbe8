# tarno_skins: the panels the editor paints through the Canvas interface,
# the ORIGINAL skin and the overlay every skin shares (appearance selector,
# Legato switch), the layout tables and the painter that puts them together.
#
# Include after editor/canvas/canvas.cmake: when tarno_canvas exists, the skins link
# it (Canvas.h is its interface), and where it has the Cairo canvas (Linux)
# users of tarno_skins see TARNO_HAVE_CAIRO_CANVAS=1.
# The VINTAGE and SILVER panels live in their own folders.
file(GLOB _skin_folders_sources CONFIGURE_DEPENDS
  "${CMAKE_CURRENT_LIST_DIR}/vintage/*.cpp" "${CMAKE_CURRENT_LIST_DIR}/vintage/*.h"
  "${CMAKE_CURRENT_LIST_DIR}/silver/*.cpp" "${CMAKE_CURRENT_LIST_DIR}/silver/*.h")
add_library(tarno_skins STATIC
  "${CMAKE_CURRENT_LIST_DIR}/OriginalSkin.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/OriginalSkin.h"
  "${CMAKE_CURRENT_LIST_DIR}/Overlay.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/Overlay.h"
  "${CMAKE_CURRENT_LIST_DIR}/PanelLayout.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/PanelLayout.h"
  "${CMAKE_CURRENT_LIST_DIR}/EditorFonts.h"
  "${CMAKE_CURRENT_LIST_DIR}/SkinPainter.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/SkinPainter.h"
  ${_skin_folders_sources})
unset(_skin_folders_sources)
target_include_directories(tarno_skins PUBLIC "${CMAKE_SOURCE_DIR}")
target_link_libraries(tarno_skins PUBLIC tarno_params)
if(TARGET tarno_options)
  target_link_libraries(tarno_skins PRIVATE tarno_options)
endif()

if(TARGET tarno_canvas)
  target_link_libraries(tarno_skins PUBLIC tarno_canvas)
  if(NOT WIN32 AND TARNO_CAIRO_FOUND)
    target_compile_definitions(tarno_skins PUBLIC TARNO_HAVE_CAIRO_CANVAS=1)
  endif()
endif()
