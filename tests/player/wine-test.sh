#!/usr/bin/env bash
# The Windows player (Tarnovelle.exe) under Wine, on Wine's ALSA driver with
# an ALSA configuration of the test's own (so no sound card of the machine
# takes part):
#
#   wine-test.sh devices EXE   no output device: the one-line error and exit
#                              1; ALSA's null device as the WASAPI default:
#                              listed, played through in shared event mode;
#                              the state saved, restored, and a damaged one
#                              set aside
#   wine-test.sh window EXE    the window "Tarnovelle" opens on the X display
#                              (exit 77 without one) and playing continues
#
# Prints one line per check; exits 1 if any failed.
set -uo pipefail
mode=$1 exe=$2
source "$(dirname "$0")/../packaging/checks.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

: "${WINEPREFIX:?set WINEPREFIX to the Wine prefix of the tests}"
wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f >/dev/null 2>&1
printf 'pcm.!default {\n  type null\n}\n' >"$work/null.conf"
printf '# no devices at all\n' >"$work/none.conf"
appdata=$(winepath -u "$(wine cmd /c echo %APPDATA% </dev/null 2>/dev/null | tr -d '\r')")
folder="$appdata/Tarnovelle"
state="$folder/state.vstpreset"

# run CONF OUT ARGS...: the player with ALSA configuration CONF, its
# messages (without ALSA's own) in OUT; returns its exit status.
run() {
  local conf=$1 out=$2
  shift 2
  ALSA_CONFIG_PATH="$work/$conf.conf" wine "$exe" "$@" </dev/null >"$out.raw" 2>&1
  local rc=$?
  tr -d '\r' <"$out.raw" | grep -v '^ALSA lib' >"$out"
  sed 's/^/      /' "$out"
  return $rc
}
has() { grep -qF -- "$2" "$1"; }

devices_checks() {
  rm -rf "$folder"
  run none "$work/none" --no-gui --seconds 1
  check "without an output device it exits 1" test $? -eq 1
  check "... saying so in one line" \
    bash -c 'test "$(wc -l <"$1")" -eq 1 && grep -q "^Tarnovelle: error: cannot play: there is no WASAPI output device" "$1"' _ "$work/none"
  run none "$work/list-none" --list-devices
  check "--list-devices finds no output device" has "$work/list-none" "no output devices"

  run null "$work/list" --list-devices
  check "--list-devices lists ALSA's null device as the default output" \
    grep -qE '^output: .+ \(default\)$' "$work/list"
  check "... and the MIDI inputs (or none)" grep -qE '^(MIDI input: |no MIDI inputs$)' "$work/list"

  run null "$work/play" --no-gui --seconds 2
  check "it plays through the null device for 2 seconds (exit 0)" test $? -eq 0
  check "... in shared, event-driven mode" has "$work/play" "(shared, event-driven), 48000 Hz"
  check "... rendering sound all the while" \
    bash -c 'awk "/played [0-9.]+ s of sound/ { for (i = 1; i < NF; i++) if (\$i == \"played\") found = \$(i + 1) >= 1.5 } END { exit !found }" "$1"' _ "$work/play"
  check "... and saves the state in %APPDATA%\\Tarnovelle" test -s "$state"

  cp "$state" "$work/saved.vstpreset"
  run null "$work/again" --no-gui --seconds 1
  check "the next start restores it" has "$work/again" "restored the last state"

  echo "not a preset" >"$state"
  run null "$work/damaged" --no-gui --seconds 1
  check "a damaged state file does not stop it (exit 0)" test $? -eq 0
  check "... it is reported" has "$work/damaged" "the saved state is damaged"
  check "... and set aside" bash -c 'test "$(cat "$1.damaged")" = "not a preset"' _ "$state"
  check "... and replaced by the default state" cmp "$work/saved.vstpreset" "$state"
}

window_checks() {
  [ -n "${DISPLAY:-}" ] || { echo "no X display: skipped"; exit 77; }
  # Wine's desktop process belongs to the display its first program saw: a
  # server left by a run without a display must end first.
  timeout 60 wineserver -w
  run null "$work/window" --seconds 3
  check "with a window it plays and ends after --seconds (exit 0)" test $? -eq 0
  check "... the window 'Tarnovelle' was open" has "$work/window" "window 'Tarnovelle' open"
  check "... no warning about it" bash -c '! grep -q "without a window" "$1"' _ "$work/window"
}

case $mode in
  devices) devices_checks ;;
  window) window_checks ;;
  *) echo "unknown mode '$mode' (devices, window)" >&2; exit 2 ;;
esac
echo "$failures check(s) failed"
[ "$failures" -eq 0 ]
