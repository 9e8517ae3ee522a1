#!/usr/bin/env bash
# Counts how often the game wakes up while it sits idle: the context switches
# of all its threads, read from /proc before and after a quiet spell.
#
# Usage: bash bench/wakeups.sh BUILD_DIR [SECONDS] [--playing]
#   A solo game is started (its own host in the same process) and left alone;
#   with --playing a game is started first (Start Game, then the options
#   dialog's start, clicked with xdotool), so the game clock runs. Needs
#   xvfb-run and xdotool; runs in a scratch folder so no settings are touched.
#   Prints wake-ups per second.
set -euo pipefail
build=$(cd "${1:?usage: wakeups.sh BUILD_DIR [SECONDS]}" && pwd)
secs=${2:-10}
playing=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/sudoku" "$work/"

count() {
  local pid=$1 total=0 n
  for f in /proc/"$pid"/task/*/status; do
    n=$(awk '/^(voluntary|nonvoluntary)_ctxt_switches/ {s += $2} END {print s+0}' "$f" 2>/dev/null || echo 0)
    total=$((total + n))
  done
  echo "$total"
}

export XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
printf '[sudoku]\nTop=3\nLeft=3\n' > "$work/brenviklobby.ini"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  "$0" >/dev/null 2>&1 &
  echo $! > "'"$work"'/pid"
  if [ "$1" = "--playing" ]; then
    sleep 3
    w=$(xdotool search --name "^Sudoku\$" | head -1)
    eval "$(xdotool getwindowgeometry --shell "$w")"
    # the client area starts below the menu bar: Start Game sits at (599,149) in it
    xdotool mousemove $((X + 599)) $((Y + HEIGHT - 488 + 149)) click 1
    sleep 1
    d=$(xdotool search --name "Sudoku - Game Start" | head -1)
    eval "$(xdotool getwindowgeometry --shell "$d")"
    xdotool mousemove $((X + 205)) $((Y + 163)) click 1
    touch "'"$work"'/started"
  fi
  wait
' "$work/sudoku" "$playing" &
runner=$!
for _ in $(seq 50); do [ -s "$work/pid" ] && break; sleep 0.1; done
pid=$(cat "$work/pid")
sleep 4 # start-up, login and the first paint
if [ "$playing" = "--playing" ]; then
  for _ in $(seq 50); do [ -e "$work/started" ] && break; sleep 0.1; done
  sleep 2
fi
before=$(count "$pid")
sleep "$secs"
after=$(count "$pid")
threads=$(ls /proc/"$pid"/task | wc -l)
kill "$pid" 2>/dev/null || true
wait "$runner" 2>/dev/null || true
awk -v a="$after" -v b="$before" -v s="$secs" -v t="$threads" \
  'BEGIN { printf "context switches before %d, after %d\nwake-ups: %d in %d s over %d threads = %.2f per second\n", b, a, a - b, s, t, (a - b) / s }'
