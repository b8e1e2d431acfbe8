#!/usr/bin/env bash
# Takes screenshots of the editor in its three skins: runs the Windows test
# executable's EditorWindow.Screenshots test under Wine on a virtual X
# display, which opens the real bundle's editor and writes
# editor-original.png, editor-vintage.png, editor-silver.png and
# editor-silver-2x.png (the view at content scale 2) into the
# folder given (default build/screenshots; `scripts/screenshots.sh docs`
# renews the pictures the README shows).
# Builds nothing: expects build/windows to be built (scripts/build.sh windows).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

exe=build/windows/tarno_tests.exe
if [ ! -f "$exe" ]; then
  echo "$exe not found; build it first: scripts/build.sh windows" >&2
  exit 1
fi
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "xvfb-run not found: Wine needs an X display to open the editor" >&2
  exit 1
fi

out=${1:-build/screenshots}
source scripts/wine-env.sh
mkdir -p "$out"
export TARNO_SCREENSHOT_DIR="$(cd "$out" && pwd)"

# Only files newer than this marker count as written by this run.
marker=$(mktemp)
trap 'rm -f "$marker"' EXIT

# The test loads Tarnovelle.vst3 from its working directory. wineserver -w
# waits for Wine's helper processes before the virtual display goes away.
xvfb-run -a -s "-screen 0 2560x1600x24" bash -c \
  'cd build/windows && wine ./tarno_tests.exe --gtest_filter=EditorWindow.Screenshots; rc=$?; wineserver -w; exit $rc' \
  </dev/null
status=$?

for skin in original vintage silver silver-2x; do
  if [ "$out/editor-$skin.png" -nt "$marker" ]; then
    echo "$out/editor-$skin.png"
  else
    echo "$out/editor-$skin.png was not written" >&2
    status=1
  fi
done
exit $status
