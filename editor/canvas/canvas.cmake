# tarno_canvas: the drawing surface the editor's skins paint on.
#   Canvas.h                   the interface (always)
#   GdiCanvas.h/.cpp           GDI and GDI+ into a device context (Windows)
#   CairoCanvas.h/.cpp         Cairo into an image in memory (Linux, when
#                              pkg-config finds cairo; tests, snapshots and
#                              the bench)
#   KeptPictures.h/.cpp        the anti-aliased shapes CairoCanvas keeps
#                              between calls
#   ScaledCanvas.h/.cpp        panel coordinates onto a canvas at a content
#                              scale (always)
# Included by the top-level CMakeLists.txt after tarno_options is defined.

set(_canvas_dir "${CMAKE_CURRENT_LIST_DIR}")
set(_canvas_sources "${_canvas_dir}/Canvas.h" "${_canvas_dir}/ScaledCanvas.h" "${_canvas_dir}/ScaledCanvas.cpp")
set(_canvas_libs "")

if(WIN32)
  list(APPEND _canvas_sources "${_canvas_dir}/GdiCanvas.h" "${_canvas_dir}/GdiCanvas.cpp")
  set(_canvas_libs gdiplus gdi32 user32)
else()
  find_package(PkgConfig QUIET)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(TARNO_CAIRO QUIET IMPORTED_TARGET cairo)
  endif()
  if(TARNO_CAIRO_FOUND)
    list(APPEND _canvas_sources "${_canvas_dir}/CairoCanvas.h" "${_canvas_dir}/CairoCanvas.cpp"
                                "${_canvas_dir}/KeptPictures.h" "${_canvas_dir}/KeptPictures.cpp")
    set(_canvas_libs PkgConfig::TARNO_CAIRO)
  else()
    message(STATUS "cairo not found through pkg-config: tarno_canvas has no CairoCanvas")
  endif()
endif()

add_library(tarno_canvas STATIC ${_canvas_sources})
target_include_directories(tarno_canvas PUBLIC "${CMAKE_SOURCE_DIR}")
target_link_libraries(tarno_canvas PUBLIC ${_canvas_libs})
if(_canvas_libs)
  # Tells users (tests/CanvasTest.cpp) that a canvas to draw on is built.
  target_compile_definitions(tarno_canvas PUBLIC TARNO_CANVAS_BACKEND=1)
endif()
if(TARGET tarno_options)
  target_link_libraries(tarno_canvas PRIVATE tarno_options)
endif()

unset(_canvas_dir)
unset(_canvas_sources)
unset(_canvas_libs)
