#!/usr/bin/env bash
# Runs every benchmark: each bench_* program found in a build folder, then the
# start-up, round-trip and chat-load figures, each beside its yardstick.
# Usage: bash bench/run.sh BUILD_DIR [extra Google Benchmark flags]
# BASELINE=path/to/an/older/sudoku adds that program beside this build's.
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR}
shift
here=$(cd "$(dirname "$0")" && pwd)
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
echo "== start-up (beside a bare Qt window)"
bash "$here/startup.sh" "$build" ${BASELINE:+"$BASELINE"}
echo "== round trips through a hosting game"
bash "$here/latency.sh" ${BASELINE:+"$BASELINE"} "$build/sudoku"
echo "== chat load on the hosting window"
bash "$here/chatcpu.sh" ${BASELINE:+"$BASELINE"} "$build/sudoku"
