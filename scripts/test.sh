#!/usr/bin/env bash
# Builds everything and runs every test stage:
#   linux    native build (build/linux), ctest
#   asan     AddressSanitizer + UBSan build (build/asan), ctest
#   fuzz     clang with libFuzzer (build/fuzz): bounded runs of the state
#            fuzzer and of the call-sequence fuzzer, one summary line each
#   windows  mingw cross build (build/windows), ctest running the .exe under Wine
# All stages run even if an earlier one fails. The exit status is non-zero if
# any stage failed, and the last line printed is "N passed, M failed" (plus
# ", K skipped" when tests were skipped or disabled), counting individual test
# cases over all stages. A stage that could not produce per-case results
# (build failure, crash before googletest's summary, ctest error) adds one
# failure so the total never reads "0 failed" after a breakdown.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
started=$SECONDS

total_pass=0
total_fail=0
total_skip=0
overall=0
summary=()

# record STAGE PASSED FAILED SKIPPED EXIT_STATUS NOTE
record() {
  local stage=$1 pass=$2 fail=$3 skip=$4 rc=$5 note=${6:-}
  if [ "$rc" -ne 0 ]; then
    overall=1
    if [ "$fail" -eq 0 ]; then
      fail=1
      note="${note:+$note; }failed without a per-case failure (counted as 1)"
    fi
  fi
  total_pass=$((total_pass + pass))
  total_fail=$((total_fail + fail))
  total_skip=$((total_skip + skip))
  summary+=("$(printf '%-10s %4d passed, %d failed, %d skipped%s' \
    "$stage:" "$pass" "$fail" "$skip" "${note:+  ($note)}")")
}

# Per-case counts from ctest's JUnit report: "PASSED FAILED SKIPPED". An
# optional second argument names a ctest entry to leave out (one counted
# case by case from its own output).
junit_counts() {
  local file=$1 except=${2:-}
  if [ ! -f "$file" ]; then
    echo "0 0 0"
    return
  fi
  awk -v except="$except" '
    except != "" && index($0, "<testcase name=\"" except "\"") { next }
    /<testcase / {
      if ($0 ~ /status="run"/) p++
      else if ($0 ~ /status="fail"/) f++
      else if ($0 ~ /status="(notrun|disabled)"/) s++
    }
    END { print p + 0, f + 0, s + 0 }' "$file"
}

# Per-case counts from googletest's own summary lines in a ctest log (used for
# the Windows stage, where one ctest entry runs the whole test executable).
gtest_log_counts() {
  local file=$1
  if [ ! -f "$file" ]; then
    echo "0 0 0"
    return
  fi
  tr -d '\r' <"$file" | awk '
    /^\[  PASSED  \] [0-9]+ tests?\./      { p += $4 }
    /^\[  FAILED  \] [0-9]+ tests?, /      { f += $4 }
    /^\[  SKIPPED \] [0-9]+ tests?, /      { s += $4 }
    /YOU HAVE [0-9]+ DISABLED TESTS?/      { s += $3 }
    END { print p + 0, f + 0, s + 0 }'
}

# Per-case counts from a googletest XML report: "PASSED FAILED SKIPPED".
gtest_xml_counts() {
  local file=$1
  if [ ! -f "$file" ]; then
    echo "0 0 0"
    return
  fi
  awk '
    function finish() { if (failed) f++; else if (skipped) s++; else p++ }
    /<testcase / {
      skipped = ($0 ~ /status="notrun"/ || $0 ~ /result="skipped"/)
      failed = 0
      if ($0 ~ /\/>[[:space:]]*$/) finish(); else open = 1
    }
    open && /<failure/ { failed = 1 }
    open && /<\/testcase>/ { finish(); open = 0 }
    END { print p + 0, f + 0, s + 0 }' "$file"
}

# After a failed full build, builds just the test executable so the tests can
# still run; the failed build itself is recorded as one failure.
tests_only_build() {
  local preset=$1
  echo "==> [$preset] full build failed; building only tarno_tests"
  cmake --build --preset "$preset" --target tarno_tests
}

# Native ctest stage: build PRESET, run its tests, count cases.
native_stage() {
  local preset=$1
  local junit="$root/build/$preset/ctest-junit.xml"
  local t0=$SECONDS
  echo
  echo "######## $preset: build ########"
  local build_note=""
  if ! scripts/build.sh "$preset"; then
    build_note="build failed"
    if ! tests_only_build "$preset"; then
      record "$preset" 0 0 0 1 "$build_note"
      return
    fi
  fi
  echo
  echo "######## $preset: tests ########"
  rm -f "$junit"
  # The Linux editor's tests open real windows: a virtual X display when
  # xvfb-run is present (they skip themselves without a display), large
  # enough for the editor at content scale 2, and one that does not reset
  # when its last client leaves (a test starting then could not connect).
  local rc
  if command -v xvfb-run >/dev/null 2>&1; then
    xvfb-run -a -s "-screen 0 2560x1600x24 -noreset" ctest --preset "$preset" --output-junit "$junit" </dev/null
    rc=$?
  else
    ctest --preset "$preset" --output-junit "$junit"
    rc=$?
  fi
  read -r pass fail skip < <(junit_counts "$junit")
  record "$preset" "$pass" "$fail" "$skip" "$rc" "$((SECONDS - t0)) s"
  [ -z "$build_note" ] || record "$preset" 0 1 0 1 "$build_note"
}

windows_stage() {
  local t0=$SECONDS
  local log="$root/build/windows/Testing/Temporary/LastTest.log"
  local junit="$root/build/windows/ctest-junit.xml"
  echo
  echo "######## windows: build ########"
  local build_note=""
  if ! scripts/build.sh windows; then
    build_note="build failed"
    if ! tests_only_build windows; then
      record windows 0 0 0 1 "$build_note"
      return
    fi
  fi
  echo
  echo "######## windows: tests under Wine ########"
  source scripts/wine-env.sh
  rm -f "$log" "$junit"
  local rc
  # The Wine run goes through a virtual X display when xvfb-run is present
  # (tests that open windows will need it); wineserver -w waits for Wine's
  # helper processes to exit before the display goes away.
  local run="ctest --preset windows --output-junit '$junit'; rc=\$?; wineserver -w; exit \$rc"
  if command -v xvfb-run >/dev/null 2>&1; then
    xvfb-run -a -s "-screen 0 2560x1600x24 -noreset" bash -c "$run" </dev/null
    rc=$?
    if [ ! -f "$log" ]; then
      echo "xvfb-run did not get as far as ctest (status $rc); running without a display"
      bash -c "$run" </dev/null
      rc=$?
    fi
  else
    bash -c "$run" </dev/null
    rc=$?
  fi
  # The test executable's cases from its own summary, every other ctest
  # entry (the packages' checks, the timing tool) as one case each.
  read -r pass fail skip < <(gtest_log_counts "$log")
  read -r pass2 fail2 skip2 < <(junit_counts "$junit" tarno_tests)
  pass=$((pass + pass2)) fail=$((fail + fail2)) skip=$((skip + skip2))
  record windows "$pass" "$fail" "$skip" "$rc" "$((SECONDS - t0)) s"
  [ -z "$build_note" ] || record windows 0 1 0 1 "$build_note"
}

# ThreadSanitizer: the tests that run the audio and main threads together
# (the processor's, the player's queues and pause handshake), and the
# processor tests around them.
tsan_stage() {
  local t0=$SECONDS
  local out="$root/build/tsan/tsan-tests.xml"
  echo
  echo "######## tsan: build ########"
  if ! { cmake --preset tsan >/dev/null && cmake --build --preset tsan --target tarno_tests; }; then
    record tsan 0 0 0 1 "build failed"
    return
  fi
  echo
  echo "######## tsan: tests ########"
  rm -f "$out"
  (cd build/tsan && TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" \
    ./tarno_tests --gtest_filter='Concurrency*:Processor*:PlayerThreads*' --gtest_output="xml:$out")
  local rc=$?
  read -r pass fail skip < <(gtest_xml_counts "$out")
  record tsan "$pass" "$fail" "$skip" "$rc" "$((SECONDS - t0)) s"
}

# libFuzzer: bounded runs of the state fuzzer (state blobs, controller states
# and preset files) and of the call-sequence fuzzer (which loads the bundle
# built in build/fuzz), each from its seed corpus and counted on its own line.
fuzz_stage() {
  local t0=$SECONDS
  local seconds=${TARNO_FUZZ_SECONDS:-30}
  local callSeconds=${TARNO_CALL_FUZZ_SECONDS:-$seconds}
  echo
  echo "######## fuzz: build ########"
  if ! { cmake --preset fuzz >/dev/null && cmake --build --preset fuzz; }; then
    record fuzz 0 0 0 1 "build failed"
    record fuzzcall 0 0 0 1 "build failed"
    return
  fi
  echo
  echo "######## fuzz: state readers, $seconds s ########"
  local corpus="$root/build/fuzz/corpus"
  mkdir -p "$corpus"
  cp tests/fuzz/corpus/* "$corpus/"
  # The factory presets (made by the fuzz build) seed the preset file reader.
  cp build/fuzz/presets/*.vstpreset "$corpus/"
  (cd build/fuzz && ./tarno_state_fuzzer -max_total_time="$seconds" -seed=1 -print_final_stats=1 "$corpus")
  local rc=$?
  if [ "$rc" -eq 0 ]; then
    record fuzz 1 0 0 0 "$((SECONDS - t0)) s"
  else
    record fuzz 0 1 0 "$rc" "crash input in build/fuzz"
  fi

  t0=$SECONDS
  echo
  echo "######## fuzz: call sequences, $callSeconds s ########"
  local calls="$root/build/fuzz/call-corpus"
  mkdir -p "$calls"
  cp tests/fuzz/call-corpus/* "$calls/"
  (cd build/fuzz && ./tarno_call_fuzzer -max_total_time="$callSeconds" -seed=1 -print_final_stats=1 "$calls")
  rc=$?
  if [ "$rc" -eq 0 ]; then
    record fuzzcall 1 0 0 0 "$((SECONDS - t0)) s"
  else
    record fuzzcall 0 1 0 "$rc" "crash input in build/fuzz"
  fi
}

native_stage linux
native_stage asan
tsan_stage
fuzz_stage
windows_stage

echo
echo "######## summary ($((SECONDS - started)) s) ########"
for line in "${summary[@]}"; do
  echo "$line"
done
if [ "$total_skip" -gt 0 ]; then
  echo "$total_pass passed, $total_fail failed, $total_skip skipped"
else
  echo "$total_pass passed, $total_fail failed"
fi
exit "$overall"
