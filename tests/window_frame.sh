#!/usr/bin/env bash
# Under a real window manager the main window's frame, title bar included,
# lies on the screen: after the stored place is applied at login, and after
# "Reset Screen Location". Runs a solo game on its own X server and in its own
# network namespace (the game listens on its fixed port).
#   tests/window_frame.sh BUILD_DIR [SCREENSHOT.png]
set -euo pipefail

source "$(dirname "$0")/lib/isolate.sh"
build=$(cd "$1" && pwd)
shot=${2:-}

source "$(dirname "$0")/lib/desktop.sh"

# A copy of the program keeps its settings in its own (temporary) folder.
cp "$build/sudoku" "$work/"
printf '[sudoku]\nTop=3\nLeft=3\nWidth=734\nHeight=485\n' > "$work/brenviklobby.ini"

start_desktop

QT_QPA_PLATFORM=xcb "$work/sudoku" >"$work/out.txt" 2>&1 &
game=$!
pids+=($game)
wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Sudoku$' | head -1)
[ -n "$wid" ] || { echo "FAIL: no main window"; exit 1; }

# The frame's top edge: the window's own top minus the title bar the window
# manager put above it.
frame_top() {
    local y top
    y=$(xwininfo -id "$wid" | awk '/Absolute upper-left Y/ {print $4}')
    top=$(xprop -id "$wid" _NET_FRAME_EXTENTS | awk -F'[=,]' '{gsub(/ /, ""); print $4}')
    echo $((y - ${top:-0}))
}
wait_placed() {
    # The settings are read at login; wait until the frame stands still.
    local last="" now
    for _ in $(seq 50); do
        now=$(frame_top)
        [ "$now" = "$last" ] && [ -n "$(xprop -id "$wid" _NET_FRAME_EXTENTS | grep =)" ] && break
        last=$now
        sleep 0.2
    done
    echo "$now"
}

# The window's own top-left corner on the screen ("X Y").
client_xy() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print x, y}'
}

fail=0
top=$(wait_placed)
echo "frame top after login: $top"
[ "$top" -ge 0 ] || { echo "FAIL: the title bar is above the screen after login (frame top $top)"; fail=1; }

# Play Solo Game closes the lobby download window that the solo start shows.
dl=$(timeout 30 xdotool search --sync --onlyvisible --name '^Download The' | head -1)
[ -n "$dl" ] || { echo "FAIL: no download window"; exit 1; }
read -r x y < <(client_xy "$dl")
xdotool mousemove $((x + 587)) $((y + 178)) click 1
for _ in $(seq 50); do xdotool search --onlyvisible --name '^Download The' >/dev/null || break; sleep 0.1; done

# Drag the window away, then Options -> Reset Screen Location brings its
# frame back to (3,3).
timeout 10 xdotool windowmove --sync "$wid" 250 200 2>/dev/null || xdotool windowmove "$wid" 250 200
timeout 10 xdotool windowactivate --sync "$wid" 2>/dev/null || true
wait_placed >/dev/null
read -r x y < <(client_xy "$wid")
xdotool mousemove $((x + 70)) $((y + 10)) click 1
for _ in $(seq 50); do [ "$(xdotool search --onlyvisible --class sudoku | wc -l)" -gt 1 ] && break; sleep 0.1; done
xdotool mousemove $((x + 135)) $((y + 185)) click 1
top=$(wait_placed)
echo "frame top after Reset Screen Location: $top"
[ "$top" -eq 3 ] || { echo "FAIL: Reset Screen Location put the frame's top at $top, not 3"; fail=1; }

[ -n "$shot" ] && import -window root "$shot"

# SIGTERM closes the window as its close box does: the program ends normally
# and stores the place the window was moved to.
timeout 10 xdotool windowmove --sync "$wid" 200 150 2>/dev/null || xdotool windowmove "$wid" 200 150
wait_placed >/dev/null
kill -TERM "$game"
for _ in $(seq 100); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
kill -KILL "$game" 2>/dev/null && { echo "FAIL: the program was still running after SIGTERM"; fail=1; }
status=0
wait "$game" || status=$?
[ "$status" -eq 0 ] || { echo "FAIL: SIGTERM ended the program with status $status"; fail=1; }
left=$(awk -F= '$1 ~ /^Left *$/ {gsub(/ /, "", $2); print $2}' "$work/brenviklobby.ini")
echo "stored Left after SIGTERM: $left"
[ "$left" != 3 ] || { echo "FAIL: the moved window's place was not stored at SIGTERM"; fail=1; }
exit $fail
