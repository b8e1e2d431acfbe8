# How Windows programs of the cross build run under Wine: the one place that
# says which prefix and which environment the tests, the build's own tools
# and the scripts use.
#
#   TARNO_WINEPREFIX  the Wine prefix (cache; default: wineprefix in the build
#                     folder, so that the source tree is never written to)
#   TARNO_WINE_ENV    the environment, as a list of NAME=value
#   TARNO_WINE_RUN    a command prefix that runs a Windows program with it
#
# The scripts read the same values from wine-env.sh, written into the build
# folder.
#
# Fonts: Wine draws a face it lacks ("Segoe UI", "Arial") with the first of
# its fallback faces that the machine has, so extra font packages (such as
# fonts-liberation) would change every picture of the editor. Wine sees only
# the fonts of the private fontconfig configuration below: DejaVu (which
# install-deps.sh installs) besides Wine's own. The configuration includes
# nothing of the system's (/etc/fonts/conf.d, which also reads the user's
# own file): it says itself how glyphs are rendered and that the generic
# families, and with them every face Wine lacks, are DejaVu's.

set(TARNO_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix"
    CACHE PATH "WINEPREFIX used to run Windows programs of this build under Wine")

set(_fonts_conf "${CMAKE_BINARY_DIR}/wine-fonts.conf")
file(WRITE "${_fonts_conf}" [=[<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <dir>/usr/share/fonts/truetype/dejavu</dir>
  <cachedir>]=] "${CMAKE_BINARY_DIR}/fontconfig-cache" [=[</cachedir>
  <!-- Rendering: antialiased, slight hinting, the default LCD filter. -->
  <match target="pattern">
    <edit name="antialias" mode="append"><bool>true</bool></edit>
    <edit name="hintstyle" mode="append"><const>hintslight</const></edit>
    <edit name="lcdfilter" mode="append"><const>lcddefault</const></edit>
  </match>
  <!-- A face Wine lacks falls back to its generic family, and each generic
       family is DejaVu's. -->
  <match target="pattern">
    <test qual="all" name="family" compare="not_eq"><string>sans-serif</string></test>
    <test qual="all" name="family" compare="not_eq"><string>serif</string></test>
    <test qual="all" name="family" compare="not_eq"><string>monospace</string></test>
    <edit name="family" mode="append_last"><string>sans-serif</string></edit>
  </match>
  <alias><family>sans-serif</family><prefer><family>DejaVu Sans</family></prefer></alias>
  <alias><family>serif</family><prefer><family>DejaVu Serif</family></prefer></alias>
  <alias><family>monospace</family><prefer><family>DejaVu Sans Mono</family></prefer></alias>
</fontconfig>
]=])

set(TARNO_WINE_ENV
    "WINEPREFIX=${TARNO_WINEPREFIX}"
    "WINEDEBUG=-all"
    # Skip the Mono/Gecko installer prompts when a prefix is created.
    "WINEDLLOVERRIDES=mscoree,mshtml="
    "FONTCONFIG_FILE=${_fonts_conf}"
    # An X resource database for virtual displays (see the file itself).
    "XENVIRONMENT=${CMAKE_SOURCE_DIR}/scripts/xvfb-resources")

set(TARNO_WINE_RUN "${CMAKE_COMMAND}" -E env ${TARNO_WINE_ENV} "${TARNO_WINE_EXECUTABLE}")

set(_exports "")
foreach(_entry IN LISTS TARNO_WINE_ENV)
  string(REGEX REPLACE "^([A-Z_]+)=(.*)$" "export \\1='\\2'\n" _line "${_entry}")
  string(APPEND _exports "${_line}")
endforeach()
file(WRITE "${CMAKE_BINARY_DIR}/wine-env.sh"
     "# Written by CMake (cmake/Wine.cmake): the environment Windows programs of\n"
     "# this build run in under Wine.\n${_exports}")
