#!/usr/bin/env bash
# Configures and builds CMake presets (default: linux and windows), each with
# 2 parallel jobs (set in CMakePresets.json). Usage: scripts/build.sh [PRESET...]
# Every preset is attempted; the exit status is non-zero if any failed.
# The full compiler output of each build is kept in build/<preset>/build.log.
set -uo pipefail
cd "$(dirname "$0")/.."

presets=("$@")
[ "${#presets[@]}" -gt 0 ] || presets=(linux windows)

failed=()
for preset in "${presets[@]}"; do
  echo "==> [$preset] configure"
  if ! cmake --preset "$preset"; then
    echo "==> [$preset] configure FAILED"
    failed+=("$preset")
    continue
  fi
  echo "==> [$preset] build"
  log="build/$preset/build.log"
  start=$SECONDS
  if cmake --build --preset "$preset" 2>&1 | tee "$log"; then
    warnings=$(grep -c 'warning:' "$log" || true)
    echo "==> [$preset] built in $((SECONDS - start)) s, $warnings compiler warning line(s) (log: $log)"
  else
    echo "==> [$preset] build FAILED after $((SECONDS - start)) s (log: $log)"
    failed+=("$preset")
  fi
done

if [ "${#failed[@]}" -gt 0 ]; then
  echo "==> build failed for: ${failed[*]}"
  exit 1
fi
