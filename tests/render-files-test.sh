#!/usr/bin/env bash
# tarnovelle-render and the files it writes, run in the build directory:
#
#   render-files-test.sh MIDI RENDERER [WRAPPER...]
#
# An output that cannot be written (a file size limit, as on a full disk; a
# read-only folder; a folder in the file's place) ends the render with
# status 1 and one line naming the file and the reason; the WAV that was
# there stays byte for byte, and no temporary file is left beside it.
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
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
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

# Failed writes, one shape: PREPARE runs in a subshell that then renders.
# name | prepare | the reason expected in the message
cases=(
  "a file size limit (a full disk)|ulimit -f 8|too large"
  "a read-only folder|chmod a-w \"\$dir\"|denied"
  "a folder in the WAV's place|rm \"\$dir/take.wav\"; mkdir \"\$dir/take.wav\"|"
)
for c in "${cases[@]}"; do
  IFS='|' read -r name prepare reason <<<"$c"
  if [ "$name" = "a file size limit (a full disk)" ] && [ $wine -eq 1 ]; then
    echo "skip  $name: not under Wine"
    continue
  fi
  if [ "$name" = "a read-only folder" ] && [ "$(id -u)" -eq 0 ]; then
    echo "skip  $name: running as root, who may write into a read-only folder"
    continue
  fi
  dir="$work/case"
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$work/plain.wav" "$dir/take.wav"
  before=$(ls -A "$dir")
  out=$( (eval "$prepare"; run "$rel/case/take.wav") 2>&1)
  rc=$?
  chmod u+w "$dir"
  echo "      $out"
  check "$name: status 1 (was $rc)" test "$rc" -eq 1
  check "$name: one line naming the file" \
    bash -c '[ "$(wc -l <<<"$1")" -eq 1 ] && grep -qF "tarnovelle-render: error: cannot write '"'"'$2" <<<"$1"' _ \
    "$out" "$rel/case/take.wav"
  [ -n "$reason" ] && check "$name: ... and the reason ($reason)" grep -qi -- "$reason" <<<"$out"
  if [ -f "$dir/take.wav" ]; then
    check "$name: the old WAV is kept byte for byte" cmp "$work/plain.wav" "$dir/take.wav"
  fi
  check "$name: no temporary file is left" test "$(ls -A "$dir")" = "$before"
done

# Names outside the code page.
mkdir -p "$work/Тарновелле" "$work/Вывод"
cp "$midi" "$work/Тарновелле/демо.mid"
check "a MIDI file in a Cyrillic folder renders into a Cyrillic folder" \
  run "$rel/Вывод/звук.wav" "$rel/Тарновелле/демо.mid"
check "... the same as from plain names" cmp "$work/plain.wav" "$work/Вывод/звук.wav"

echo "$failures check(s) failed"
[ "$failures" -eq 0 ]
