#!/usr/bin/env bash
# tarnovelle-render and the files it writes, run in the build directory:
#
#   render-files-test.sh MIDI RENDERER [WRAPPER...]
#
# An output that cannot be written (a file size limit, as on a full disk)
# ends the render with status 1 and one line naming the file and the
# reason; the WAV that was there stays byte for byte, and no temporary file
# is left beside it.
# A MIDI file in a folder named outside the ANSI code page (Cyrillic, under
# a German UTF-8 locale, code page 1252 under Wine) renders into such a
# folder, the same as from plain names. WRAPPER (wine) runs a Windows
# renderer; the file size limit is then left out (it would bind the Wine
# server too).
set -uo pipefail
midi=$1
shift
tool=("$@")
wine=0
[ $# -gt 1 ] && wine=1
work=$(mktemp -d "$PWD/render-files.XXXXXX")
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/packaging/checks.sh"

# The locale: generated here where the machine lacks it and may make it.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  if ! localedef -i de_DE -f UTF-8 de_DE.UTF-8 2>/dev/null; then
    echo "skipped: the de_DE.UTF-8 locale is missing and cannot be generated here (localedef)"
    exit 77
  fi
fi
export LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8

# run OUTPUT [MIDI]: renders through the build's bundle; the output relative
# to the build folder, as the Windows program takes it.
run() { "${tool[@]}" --quiet --tail 0.5 Tarnovelle.vst3 "${2:-$midi}" "$1" </dev/null; }

rel=${work#"$PWD"/}
check "a plain render" run "$rel/plain.wav" || exit 1

# A full disk (a file size limit), natively: the other ways a write fails
# are the file helper's own test (Files).
if [ $wine -eq 0 ]; then
  dir="$work/full"
  mkdir -p "$dir"
  cp "$work/plain.wav" "$dir/take.wav"
  out=$( (ulimit -f 8; run "$rel/full/take.wav") 2>&1)
  rc=$?
  echo "      $out"
  check "a full disk: status 1 (was $rc)" test "$rc" -eq 1
  check "... one line naming the file and the reason" \
    bash -c '[ "$(wc -l <<<"$1")" -eq 1 ] && grep -qF "tarnovelle-render: error: cannot write '"'"'$2'"'"': " <<<"$1" &&
      grep -q "too large" <<<"$1"' _ "$out" "$rel/full/take.wav"
  check "... the old WAV is kept byte for byte" cmp "$work/plain.wav" "$dir/take.wav"
  check "... and no temporary file is left" test "$(ls -A "$dir")" = take.wav
fi

# Names outside the code page.
mkdir -p "$work/Тарновелле" "$work/Вывод"
cp "$midi" "$work/Тарновелле/демо.mid"
check "a MIDI file in a Cyrillic folder renders into a Cyrillic folder" \
  run "$rel/Вывод/звук.wav" "$rel/Тарновелле/демо.mid"
check "... the same as from plain names" cmp "$work/plain.wav" "$work/Вывод/звук.wav"

echo "$failures check(s) failed"
[ "$failures" -eq 0 ]
