#!/usr/bin/env bash
# Runs every benchmark program found in a build folder.
# Usage: bash bench/run.sh BUILD_DIR [extra Google Benchmark flags]
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR}
shift
shopt -s nullglob
found=0
for b in "$build"/bench/bench_* "$build"/bench_*; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  found=1
  echo "== $(basename "$b")"
  "$b" "$@"
done
if [ $found -eq 0 ]; then
  echo "no bench_* programs in $build" >&2
  exit 1
fi
# A chat line's round trip through a hosting game on loopback (p50 / p99);
# give BASELINE=path/to/an/older/sudoku to time it beside this build's.
echo "== chat round trip"
bash "$(dirname "$0")/latency.sh" ${BASELINE:+"$BASELINE"} "$build/sudoku"
