#!/usr/bin/env bash
# Builds the bundle as a packager does: from a copy of the sources that is
# read-only, into a build folder elsewhere, with no presets.
#
#   read-only-source-test.sh SOURCE [TOOLCHAIN_FILE]
#
# The build must succeed (the Windows one runs the bundle's own tools under
# Wine) and must write nothing into the sources: root can write to
# read-only files, so the copy's file times are checked as well.
set -uo pipefail
src=$1 toolchain=${2:-}
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"

mkdir -p "$work/src"
tar -C "$src" --exclude=./build --exclude=./.git -cf - . | tar -C "$work/src" -xf -
chmod -R a-w "$work/src"
touch "$work/stamp"
sleep 1

args=(-S "$work/src" -B "$work/build" -DTARNO_BUILD_TESTS=OFF -DTARNO_BUILD_BENCH=OFF -DTARNO_PACKAGES=OFF)
[ -z "$toolchain" ] || args+=("-DCMAKE_TOOLCHAIN_FILE=$work/src/$toolchain" -DCMAKE_BUILD_TYPE=Release)
check "configured out of the source tree" cmake "${args[@]}" >"$work/configure.log" 2>&1 ||
  { tail -20 "$work/configure.log"; exit 1; }
check "built" cmake --build "$work/build" -j 2 >"$work/build.log" 2>&1 || tail -30 "$work/build.log"
check "the bundle has its moduleinfo.json" test -f "$work/build/Tarnovelle.vst3/Contents/Resources/moduleinfo.json"
check "nothing was written into the sources" \
  bash -c '[ -z "$(find "$1" -newer "$2" | head -5)" ]' _ "$work/src" "$work/stamp"
echo "$failures check(s) failed"
[ "$failures" -eq 0 ]
