#!/usr/bin/env bash
# Round trips through a hosting game on loopback, for each program given, in
# the same run: bench/latency.sh PROGRAM [PROGRAM...] (e.g. build/sudoku).
# For each: a chat line's round trip, and a check's round trip alone and while
# three more players chat 20 lines a second each. COUNT sets the number of
# checks (500) and chat lines (300). Each program runs in its own network
# namespace, from a copy in a temporary folder.
set -euo pipefail
source "$(dirname "$0")/../tests/lib/isolate.sh"
here=$(cd "$(dirname "$0")" && pwd)
# The host's pace: one queued message per tick while it is busy.
tick=$(sed -n 's/^constexpr int HostTickMs = \([0-9]*\);.*/\1/p' "$here/../host/tserver.cpp")
for program in "$@"; do
    echo "$program (host tick ${tick:-?} ms: a check queued behind N messages waits about N ticks):"
    for run in "chat ${COUNT:-300} 0" "check ${COUNT:-500} 0" "check ${COUNT:-500} 3"; do
        set -- $run
        work=$(mktemp -d)
        cp "$program" "$work/sudoku"
        QT_QPA_PLATFORM=offscreen HOME=$work XDG_CONFIG_HOME=$work XDG_RUNTIME_DIR=$work "$work/sudoku" Ann 127.0.0.1 true >/dev/null 2>&1 &
        pid=$!
        for _ in $(seq 100); do ss -ltn | grep -q ':7772 ' && break; sleep 0.1; done
        printf '  '
        python3 "$here/latency.py" 7772 "$2" "$1" "$3" || echo "(failed)"
        kill "$pid"; wait "$pid" 2>/dev/null || true
        rm -rf "$work"
    done
done
