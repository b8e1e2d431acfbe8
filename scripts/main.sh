#!/usr/bin/env bash
# Installs the build dependencies, builds the native and Windows variants, then
# runs the engine benchmarks (native build) and prints their table.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh linux windows

bench=build/linux/tarno_bench
if [ -x "$bench" ]; then
  echo
  echo "==> benchmarks ($bench)"
  "$bench" --benchmark_min_time=0.1
else
  echo
  echo "==> $bench was not built (no bench/*.cpp sources yet); skipping benchmarks"
fi
