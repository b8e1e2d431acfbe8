#!/usr/bin/env bash
# tarnovelle-render with preset files, run in the build directory:
#
#   render-preset-test.sh MIDI RENDERER [WRAPPER...]
#
# A render with a factory preset saved with --save-preset renders the same
# when that file is loaded again, and differs from a render without it; a
# file that is not a preset stops the program (status 1) before any output
# is written, with a message naming the file and the reason. WRAPPER (wine)
# runs a Windows renderer.
set -uo pipefail
midi=$1
shift
work=$(mktemp -d "$PWD/render-preset.XXXXXX")
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/packaging/checks.sh"

tool=("$@")
# run [OPTION...] OUTPUT.wav: renders the MIDI file through the build's bundle.
run() { "${tool[@]}" --quiet --tail 0.5 "${@:1:$#-1}" Tarnovelle.vst3 "$midi" "${@: -1}" </dev/null; }

check "a factory preset loads, and the state in use is saved" \
  run --preset "presets/03  Bass.vstpreset" --save-preset "$work/saved.vstpreset" "$work/bass.wav"
check "the saved preset renders the same" run --preset "$work/saved.vstpreset" "$work/again.wav"
check "... identically" cmp "$work/bass.wav" "$work/again.wav"
check "without the preset the render differs" run "$work/plain.wav"
check "... it does" bash -c '! cmp -s "$1" "$2"' _ "$work/bass.wav" "$work/plain.wav"

printf 'VST3 but nothing more' >"$work/bad.vstpreset"
out=$(run --preset "$work/bad.vstpreset" "$work/bad.wav" 2>&1)
rc=$?
echo "      $out"
check "a broken preset stops the render (status $rc)" test "$rc" -eq 1
check "... naming the file and the reason" \
  grep -qF "$work/bad.vstpreset: truncated: 21 bytes" <<<"$out"
check "... before writing any output" test ! -e "$work/bad.wav"

echo "$failures check(s) failed"
[ "$failures" -eq 0 ]
