#!/usr/bin/env bash
# The hosting window's CPU share while players chat 100 lines a second for
# 10 seconds, under Xvfb: bench/chatcpu.sh PROGRAM [BASELINE_PROGRAM].
# Each program runs in its own network namespace (it listens on 7772).
set -euo pipefail
# Its own network namespace and X server, as the window tests have them.
source "$(dirname "$0")/../tests/lib/isolate.sh"
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/lib/desktop.sh"
start_server bench 1280x1024x24
export QT_QPA_PLATFORM=xcb

declare -a names shares
for program in "$@"; do
    home=$(mktemp -d -p "$work")
    HOME=$home XDG_CONFIG_HOME=$home XDG_RUNTIME_DIR=$home "$program" Ann 127.0.0.1 true >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 100); do ss -ltn | grep -q ':7772 ' && break; sleep 0.1; done
    share=$(python3 "$here/chatload.py" 7772 "$pid" "${RATE:-100}" "${SECONDS_:-10}")
    kill "$pid"; wait "$pid" 2>/dev/null || true
    for _ in $(seq 50); do ss -ltn | grep -q ':7772 ' || break; sleep 0.1; done
    names+=("$program")
    shares+=("$share")
done
echo "hosting window's CPU at ${RATE:-100} chat lines/s for ${SECONDS_:-10} s (% of one core):"
for i in "${!names[@]}"; do
    line="  ${names[$i]}: ${shares[$i]} %"
    if [ "$i" -gt 0 ]; then
        line+=" ($(echo "scale=2; ${shares[$i]} / ${shares[0]}" | bc -l)x the first)"
    fi
    echo "$line"
done
