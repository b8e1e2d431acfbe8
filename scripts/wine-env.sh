# Sourced by the scripts that run Windows programs: the project's Wine
# prefix under build/, created quietly on first use. Expects $root to be the
# repository root.
if [ -z "${root:-}" ]; then
  echo "wine-env.sh: \$root (the repository root) is not set" >&2
  return 1 2>/dev/null || exit 1
fi
# Same values as the "windows" test preset and the tests' own environment.
export WINEPREFIX="$root/build/wineprefix"
export WINEDEBUG=-all
# Skip the Mono/Gecko installer prompts when a prefix is created.
export WINEDLLOVERRIDES="mscoree,mshtml="
# An X resource database for virtual displays (see the file itself).
export XENVIRONMENT="$root/scripts/xvfb-resources"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "creating Wine prefix $WINEPREFIX (log: build/wineboot.log)"
  mkdir -p "$root/build"
  # wineboot returns before the registry is written; wineserver -w waits.
  wineboot -i >"$root/build/wineboot.log" 2>&1 </dev/null
  wineserver -w
fi
