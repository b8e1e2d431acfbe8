#!/usr/bin/env bash
# Checks the LV2 bundle BUNDLE with real LV2 tools:
#
#   lv2-test.sh validate  BUNDLE   lv2_validate finds 0 errors in every .ttl file
#   lv2-test.sh libraries BUNDLE   the DSP binary links no X11, XCB or Cairo and
#                                  exports lv2_descriptor only
#   lv2-test.sh jalv      BUNDLE   jalv runs the plug-in under a private JACK
#                                  server (jackd -d dummy), lists its presets,
#                                  loads one (which jalv applies between two
#                                  runs of the audio thread) and exits when its
#                                  input ends; skipped (77) without jackd or jalv
#
# LV2_PATH is pinned to a folder holding only the bundle.
set -uo pipefail
mode=$1 bundle=$2
uri="https://tarnovelle.invalid/lv2/tarnovelle"
work=$(mktemp -d)
jackd_pid=
cleanup() {
  if [ -n "$jackd_pid" ]; then kill "$jackd_pid" 2>/dev/null; wait "$jackd_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

case "$mode" in
validate)
  files=("$bundle"/*.ttl)
  [ "${#files[@]}" -ge 3 ] || { echo "too few .ttl files in $bundle: ${files[*]}"; exit 1; }
  out=$(lv2_validate "${files[@]}" 2>&1); rc=$?
  printf '%s\n' "$out"
  [ "$rc" -eq 0 ] || { echo "lv2_validate exited with $rc"; exit 1; }
  printf '%s\n' "$out" | grep -q '^Found 0 errors among' || exit 1
  ;;
libraries)
  so="$bundle/Tarnovelle.so"
  needed=$(objdump -p "$so" | awk '$1 == "NEEDED" { print $2 }')
  printf 'NEEDED: %s\n' $needed
  [ -n "$needed" ] || { echo "objdump found no NEEDED entries in $so"; exit 1; }
  if printf '%s\n' $needed | grep -Eq '^lib(X11|xcb|cairo|X)'; then echo "the DSP binary links a window system"; exit 1; fi
  exported=$(nm -D --defined-only "$so" | awk '{ print $3 }')
  printf 'exported: %s\n' $exported
  [ "$exported" = lv2_descriptor ] || { echo "exports more or less than lv2_descriptor"; exit 1; }
  ;;
jalv)
  command -v jackd >/dev/null && command -v jalv >/dev/null && command -v jack_wait >/dev/null || {
    echo "jackd or jalv not installed: skipped"; exit 77; }
  mkdir -p "$work/lv2"
  ln -s "$(cd "$bundle" && pwd)" "$work/lv2/Tarnovelle.lv2"
  # A server name of its own (JACK gives a stale slot back only to a
  # server of the same name, so it is the same in every run).
  server=tarno-lv2-jalv
  export JACK_DEFAULT_SERVER=$server JACK_NO_START_SERVER=1 JACK_NO_AUDIO_RESERVATION=1
  jackd -n "$server" -r -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
  jackd_pid=$!
  jack_wait -s "$server" -w -t 10 >/dev/null 2>&1 || { cat "$work/jackd.log"; echo "jackd did not start"; exit 1; }
  { sleep 1; echo presets; echo "preset $uri#preset-3"; sleep 1; echo controls; sleep 0.5; } |
    LV2_PATH="$work/lv2" timeout 30 jalv -n tarno-lv2-test "$uri" >"$work/jalv.log" 2>&1
  rc=$?
  cat "$work/jalv.log"
  fail=0
  [ "$rc" -eq 0 ] || { echo "jalv exited with $rc"; fail=1; }
  grep -q "^Plugin: *$uri\$" "$work/jalv.log" || { echo "jalv did not load the plug-in"; fail=1; }
  [ "$(grep -c "$uri#preset-[1-5] (" "$work/jalv.log")" -eq 5 ] || { echo "jalv did not list five presets"; fail=1; }
  grep -q "(03  Bass)" "$work/jalv.log" || { echo "the presets are not labelled with their titles"; fail=1; }
  # The defaults first, then the Bass preset's values.
  grep -q "^transpose = 0.000000" "$work/jalv.log" || { echo "no default transpose"; fail=1; }
  grep -q "transpose = -1.000000" "$work/jalv.log" || { echo "the Bass preset did not arrive"; fail=1; }
  grep -q "square = 80.000000" "$work/jalv.log" || { echo "the Bass preset's square level did not arrive"; fail=1; }
  exit $fail
  ;;
*)
  echo "usage: lv2-test.sh validate|libraries|jalv BUNDLE"; exit 2 ;;
esac
