#!/usr/bin/env bash
# Chat round trip through a hosting game on loopback, for each program given,
# in the same run: bench/latency.sh PROGRAM [PROGRAM...] (e.g. build/sudoku).
# Each runs in its own network namespace, from a copy in a temporary folder.
set -euo pipefail
if [ "${1:-}" != "--inner" ]; then
    exec unshare -n bash "$0" --inner "$@"
fi
shift
ip link set lo up
here=$(cd "$(dirname "$0")" && pwd)
for program in "$@"; do
    work=$(mktemp -d)
    cp "$program" "$work/sudoku"
    QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work "$work/sudoku" Ann 127.0.0.1 true >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 100); do ss -ltn | grep -q ':7772 ' && break; sleep 0.1; done
    printf '%s: ' "$program"
    python3 "$here/latency.py" 7772 "${COUNT:-300}"
    kill "$pid"; wait "$pid" 2>/dev/null || true
    rm -rf "$work"
done
