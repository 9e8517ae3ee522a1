#!/usr/bin/env bash
# Runs every built fuzz target for a few seconds on a copy of its seed corpus.
# Usage: fuzz-smoke.sh BUILD_DIR SECONDS
set -euo pipefail
build=${1:-build-fuzz}
secs=${2:-20}
root=$(cd "$(dirname "$0")/.." && pwd)
shopt -s nullglob
targets=("$build"/fuzz/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets built"
  exit 0
fi
failed=0
for t in "${targets[@]}"; do
  name=$(basename "$t"); name=${name#fuzz_}
  # A target whose source is gone may linger in an old build folder.
  [ -f "$root/tests/fuzz/fuzz_$name.cpp" ] || continue
  work=$(mktemp -d)
  if [ -d "$root/tests/fuzz/corpus/$name" ]; then cp -r "$root/tests/fuzz/corpus/$name/." "$work/"; fi
  run=$secs
  # The host reads every peer's bytes: it gets twice the time.
  [ "$name" = tserver ] && run=$((secs * 2))
  # The two stream readers get inputs long enough to pass every size cap.
  len=()
  case $name in tserver|clientsession) len=(-max_len=262144) ;; esac
  echo "== fuzz $name for ${run}s"
  if ! QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 "$t" -max_total_time="$run" "${len[@]}" \
       -artifact_prefix="$build/fuzz/${name}-" -print_final_stats=0 "$work" >"$build/fuzz/$name.log" 2>&1; then
    echo "fuzz target $name FAILED:"; tail -n 40 "$build/fuzz/$name.log"; failed=1
  else
    # The last status line holds the coverage and the inputs per second.
    grep -E '^#[0-9]+[[:space:]]+(DONE|pulse|NEW|REDUCE)' "$build/fuzz/$name.log" | tail -n 1 || true
  fi
  rm -rf "$work"
done
exit $failed
