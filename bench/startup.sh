#!/usr/bin/env bash
# CPU time from exec until the main window is mapped, for the game and for a
# bare Qt main window of the same size with a menu bar, under Xvfb.
#
#     bench/startup.sh BUILD_DIR [BASELINE_PROGRAM]
#
# Runs RUNS (15) interleaved warm rounds after one unmeasured round, each
# program in its own network namespace (the game listens on 7772), and
# prints the medians and the game's ratio to the bare window.
set -euo pipefail
build=$(cd "${1:?usage: startup.sh BUILD_DIR [BASELINE_PROGRAM]}" && pwd)
baseline=${2:-}
runs=${RUNS:-15}
watch=$build/bench/mapwatch
bare=$build/bench/barewindow
for f in "$watch" "$bare" "$build/sudoku"; do
    [ -x "$f" ] || { echo "startup.sh: $f is missing" >&2; exit 1; }
done

# The X server (and $work, removed at exit) come from the window tests' helper.
source "$(dirname "$0")/../tests/lib/desktop.sh"
start_server bench 1280x1024x24
export QT_QPA_PLATFORM=xcb

# One timed start, in a fresh network namespace with loopback up and fresh
# home, runtime and temporary folders (the single-instance lock lives there).
timed() {
    local home
    home=$(mktemp -d -p "$work")
    chmod 700 "$home"
    # A start that never maps its window (the X connection lost on a busy
    # machine) is tried again, up to three times.
    for _ in 1 2 3; do
        if HOME=$home XDG_CONFIG_HOME=$home/.config XDG_RUNTIME_DIR=$home TMPDIR=$home \
            unshare -n bash -c 'ip link set lo up && exec "$@"' timed "$watch" "$@" 2>/dev/null; then
            return 0
        fi
        echo "startup.sh: a start of $1 did not map its window; trying again" >&2
    done
    return 1
}

declare -A times
names=(bare game)
[ -n "$baseline" ] && names+=(baseline)
for round in $(seq 0 "$runs"); do
    for name in "${names[@]}"; do
        case $name in
        bare) t=$(timed "$bare") ;;
        game) t=$(timed "$build/sudoku" Ann 127.0.0.1 true) ;;
        baseline) t=$(timed "$baseline" Ann 127.0.0.1 true) ;;
        esac
        [ "$round" -gt 0 ] && times[$name]+="$t "
    done
done

median() { tr ' ' '\n' | grep . | sort -g | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
bareMs=$(echo "${times[bare]}" | median)
printf 'start-up CPU time to window mapped, median of %d: bare Qt window %.1f ms\n' "$runs" "$bareMs"
for name in "${names[@]}"; do
    [ "$name" = bare ] && continue
    ms=$(echo "${times[$name]}" | median)
    printf '  %-8s %.1f ms = %.2fx the bare window\n' "$name" "$ms" "$(echo "$ms / $bareMs" | bc -l)"
done
