# Sourced by the scripts that run Windows programs: the Wine environment of
# the Windows build (its prefix and fonts, written by CMake into
# build/windows/wine-env.sh), with the prefix created quietly on first use.
# Expects $root to be the repository root and the windows preset configured.
if [ -z "${root:-}" ]; then
  echo "wine-env.sh: \$root (the repository root) is not set" >&2
  return 1 2>/dev/null || exit 1
fi
if [ ! -f "$root/build/windows/wine-env.sh" ]; then
  echo "wine-env.sh: build/windows is not configured (scripts/build.sh windows)" >&2
  return 1 2>/dev/null || exit 1
fi
source "$root/build/windows/wine-env.sh"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "creating Wine prefix $WINEPREFIX (log: build/wineboot.log)"
  mkdir -p "$root/build"
  # wineboot returns before the registry is written; wineserver -w waits.
  wineboot -i >"$root/build/wineboot.log" 2>&1 </dev/null
  wineserver -w
fi
