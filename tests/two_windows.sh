#!/usr/bin/env bash
# A whole game between two real windows. Ann hosts through the lobby; Bob's
# game, on a second display (his own desktop), joins 127.0.0.1. They chat
# both ways, Ann starts a First To Complete game in her window, Bob fills his
# board through his window and checks it, and both windows name the winner.
# Each player's tally file then holds one more game against the other.
#
# What a window shows is read from the window itself: its chat view is
# selected with the mouse and copied with the view's own "Copy", and the
# clipboard is read back. The solution comes from wirepeek, a peek on the
# host's wire that never logs in, so neither window knows of it.
#
# Runs in its own network namespace (the game listens on its fixed ports)
# with its own X servers, window managers and home folders.
#   tests/two_windows.sh BUILD_DIR [SCREENSHOT_PREFIX]
# SCREENSHOT_PREFIX-host.png and SCREENSHOT_PREFIX-join.png are written at
# the end when a prefix is given.
set -euo pipefail

source "$(dirname "$0")/lib/isolate.sh"
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
shots=${2:-}
began=$(date +%s%N)

source "$here/lib/desktop.sh"

fail() {
    echo "FAIL: $*"
    if [ -n "$shots" ]; then
        [ -z "${disp_a:-}" ] || DISPLAY=$disp_a import -window root "$shots-fail-host.png" || true
        [ -z "${disp_b:-}" ] || DISPLAY=$disp_b import -window root "$shots-fail-join.png" || true
    fi
    for f in "$work"/*.log; do
        [ -s "$f" ] && { echo "--- $(basename "$f")"; tail -20 "$f"; }
    done
    exit 1
}
step() { echo "[$(( ($(date +%s%N) - began) / 1000000 )) ms] $*"; }

# Runs a command every 0.1 s until it succeeds, at most $1 tenths of a second.
poll() {
    local tries=$1
    shift
    for _ in $(seq "$tries"); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

# A player's own folders: the program's folder (settings and tally) and a home.
player_env() {
    local home=$work/home-$1
    mkdir -p "$home/config" "$home/data" "$home/cache" "$home/runtime"
    chmod 700 "$home/runtime"
    echo "HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data" \
         "XDG_CACHE_HOME=$home/cache XDG_RUNTIME_DIR=$home/runtime QT_QPA_PLATFORM=xcb"
}

# A tally file that already tallies one opponent, with no games counted yet.
seed_tally() {
    local opponent=$2 text=$work/tally-seed.txt
    {
        printf '9\r\n2\r\n0\r\n%s\r\n' "$opponent"
        for _ in $(seq 16); do printf '0\r\n'; done
    } > "$text"
    "$build/wrzl" c "$text" "$1/sudokutally.tld" || fail "wrzl could not write the seed tally"
}

# The tally file's rows, one a line: the name cell and the eight counters.
tally_rows() {
    local out=$work/tally-read.txt
    "$build/wrzl" d "$1/sudokutally.tld" "$out" >/dev/null 2>&1 || return 1
    tr -d '\r' < "$out" | awk 'NR == 1 { cols = $0 } NR == 2 { rows = $0 } NR > 2 { cell[NR - 3] = $0 }
        END { if (cols != 9) exit 1
              for (r = 0; r < rows; r++) { line = cell[r]
                  for (c = 1; c < 9; c++) line = line " " cell[c * rows + r]
                  print line } }'
}

win_do() { DISPLAY=$1 xdotool "${@:2}"; }

# Where the window manager put a window's client area, and whether it shows.
find_window() {
    local display=$1 name=$2 wid
    wid=$(DISPLAY=$display timeout 20 xdotool search --sync --onlyvisible --name "$name" | head -1) || true
    echo "$wid"
}

# A click at (x, y) of a window's client area, the window raised first.
click_at() {
    local display=$1 wid=$2 x=$3 y=$4 button=${5:-1}
    win_do "$display" windowactivate --sync "$wid" >/dev/null 2>&1 || true
    win_do "$display" mousemove --window "$wid" "$x" "$y" click "$button"
}

# The main window's client area begins with the menu bar; the board panel
# lies below it at (0, MENU).
menu_height() {
    local display=$1 wid=$2 h
    h=$(DISPLAY=$display xwininfo -id "$wid" | awk '/^  Height:/ {print $2}')
    echo $((h - 488))
}

# The text the chat view of a main window shows: selected with the mouse from
# its first visible character to its last, copied through the view's menu.
chat_text() {
    local display=$1 wid=$2 menu=$3 pid before
    pid=$(win_do "$display" getwindowpid "$wid")
    before=$(win_do "$display" search --onlyvisible --pid "$pid" | wc -l)
    local x0=$((466 + 8)) y0=$((224 + menu + 8)) x1=$((466 + 235)) y1=$((224 + menu + 222))
    win_do "$display" windowactivate --sync "$wid" >/dev/null 2>&1 || true
    win_do "$display" mousemove --window "$wid" $x0 $y0 mousedown 1 \
        mousemove --window "$wid" $(((x0 + x1) / 2)) $(((y0 + y1) / 2)) \
        mousemove --window "$wid" $x1 $y1 mouseup 1
    win_do "$display" click 3
    # The view's menu: Copy is its first item.
    poll 20 sh -c "[ \$(DISPLAY=$display xdotool search --onlyvisible --pid $pid | wc -l) -gt $before ]" \
        || { echo "the chat view's menu did not open" >&2; return 1; }
    win_do "$display" key Down Return
    DISPLAY=$display python3 "$here/lib/clipboard.py"
}

# Waits until a window's chat view shows a line; $4 is a fixed string.
wait_chat_line() {
    local display=$1 wid=$2 menu=$3 line=$4 text=""
    for _ in $(seq 40); do
        text=$(chat_text "$display" "$wid" "$menu" 2>/dev/null) || true
        if grep -qxF -- "$line" <<<"$text"; then return 0; fi
        sleep 0.2
    done
    echo "the chat view last showed:"
    sed 's/^/    | /' <<<"$text"
    return 1
}

type_chat() {
    local display=$1 wid=$2 menu=$3 text=$4
    click_at "$display" "$wid" $((466 + 120)) $((457 + menu + 11))
    win_do "$display" type --delay 20 -- "$text"
    win_do "$display" key Return
}

# ---- the two desktops and the two players' folders ----

ann=$work/ann
bob=$work/bob
mkdir -p "$ann" "$bob"
[ -z "$shots" ] || mkdir -p "$(dirname "$shots")"
cp "$build/sudoku" "$build/sudoku-lobby" "$ann/"
cp "$build/sudoku" "$bob/"
printf '[lobby]\nName=Ann\nAddress=127.0.0.1\n' > "$ann/brenviklobby.ini"
seed_tally "$ann" Bob
seed_tally "$bob" Ann

start_desktop a 1280x1024x24 || fail "no desktop for Ann"
disp_a=$desktop
start_desktop b 1280x1024x24 || fail "no desktop for Bob"
disp_b=$desktop
# Every X client below names its display.
unset DISPLAY
step "desktops $disp_a (Ann) and $disp_b (Bob) are up"

# ---- Ann hosts through the lobby ----

env DISPLAY="$disp_a" $(player_env ann) "$ann/sudoku-lobby" >"$work/lobby.log" 2>&1 &
pids+=($!)
lobby=$(find_window "$disp_a" '^Sudoku Lobby$')
[ -n "$lobby" ] || fail "the lobby window did not show"
# "Host a game" stands right of the name field, in the second row of the form.
click_at "$disp_a" "$lobby" 295 135
host=$(find_window "$disp_a" '^Sudoku$')
[ -n "$host" ] || fail "the lobby started no game window on Ann's desktop"
# The lobby starts the game detached: it is not this script's child.
host_pid=$(win_do "$disp_a" getwindowpid "$host")
pids+=($host_pid)
# Out of the way of the game window.
win_do "$disp_a" windowmove "$lobby" 860 660 >/dev/null 2>&1 || true
poll 200 sh -c "ss -ltn | grep -q ':7772 '" || fail "Ann's game does not listen on 7772"
menu_a=$(menu_height "$disp_a" "$host")
step "Ann's game hosts (menu bar $menu_a px)"
wait_chat_line "$disp_a" "$host" "$menu_a" "You are Connected." || fail "Ann's window did not log in"

# ---- Bob joins ----

env DISPLAY="$disp_b" $(player_env bob) "$bob/sudoku" Bob 127.0.0.1 false >"$work/bob.log" 2>&1 &
bob_pid=$!
pids+=($bob_pid)
join=$(find_window "$disp_b" '^Sudoku$')
[ -n "$join" ] || fail "Bob's game window did not show"
menu_b=$(menu_height "$disp_b" "$join")
wait_chat_line "$disp_b" "$join" "$menu_b" "You are Connected." || fail "Bob's window did not log in"
wait_chat_line "$disp_a" "$host" "$menu_a" "Bob is Connected." || fail "Ann's window did not see Bob arrive"
step "Bob joined"

# ---- chat both ways ----

type_chat "$disp_a" "$host" "$menu_a" "Hello Bob, ready?"
wait_chat_line "$disp_b" "$join" "$menu_b" "Ann chats: Hello Bob, ready?" || fail "Ann's line did not reach Bob's window"
type_chat "$disp_b" "$join" "$menu_b" "Ready when you are, Ann!"
wait_chat_line "$disp_a" "$host" "$menu_a" "Bob chats: Ready when you are, Ann!" || fail "Bob's line did not reach Ann's window"
step "chat went both ways"

# ---- Ann starts a First To Complete game in her window ----

python3 "$here/lib/wirepeek.py" --port 7772 --timeout 25 >"$work/solution.txt" 2>"$work/wirepeek.log" &
peek=$!
pids+=($peek)
# The peek is in once the host counts two connections besides its listener:
# Bob's and the peek's (Ann's own window reaches her host inside her program).
poll 50 sh -c "[ \$(ss -tn state established '( sport = :7772 )' | tail -n +2 | wc -l) -ge 2 ]" \
    || fail "wirepeek did not connect"
click_at "$disp_a" "$host" $((490 + 109)) $((136 + menu_a + 13))
options=$(find_window "$disp_a" '^Sudoku - Game Start$')
[ -n "$options" ] || fail "Start Game opened no game options on Ann's desktop"
click_at "$disp_a" "$options" $((6 + 16)) $((99 + 15))   # First To Complete
click_at "$disp_a" "$options" $((230 + 16)) $((37 + 15)) # Easy Puzzle
click_at "$disp_a" "$options" $((96 + 109)) $((150 + 13))
wait "$peek" || fail "wirepeek saw no game start"
solution=$(head -1 "$work/solution.txt")
[[ "$solution" =~ ^[1-9]{81}$ ]] || fail "wirepeek printed '$solution'"
wait_chat_line "$disp_b" "$join" "$menu_b" "Ann has started a First to Complete game." \
    || fail "Bob's window did not see the game start"
step "the game started"

# ---- Bob fills his board through his window and checks it ----

# Cell centres on the board, which lies at (8, 7) of the board panel; a
# click opens the typing box (a player without stored settings types), and
# a digit typed over a given changes nothing.
xs=(26 76 125 176 225 274 324 374 420)
ys=(25 75 124 174 223 272 323 372 420)
win_do "$disp_b" windowactivate --sync "$join" >/dev/null 2>&1 || true
for row in $(seq 0 8); do
    for col in $(seq 0 8); do
        digit=${solution:$((row * 9 + col)):1}
        win_do "$disp_b" mousemove --window "$join" $((8 + xs[col])) $((menu_b + 7 + ys[row])) click 1
        win_do "$disp_b" key "$digit"
    done
done
click_at "$disp_b" "$join" $((489 + 53)) $((171 + menu_b + 12))
step "Bob checked his board"

# ---- both windows name the winner ----

wait_chat_line "$disp_b" "$join" "$menu_b" "You have Won the Game!" || fail "Bob's window does not show his win"
wait_chat_line "$disp_a" "$host" "$menu_a" "Bob has Won the Game!" || fail "Ann's window does not name Bob the winner"
step "both windows name the winner"

[ -n "$shots" ] && {
    DISPLAY=$disp_a import -window root "$shots-host.png"
    DISPLAY=$disp_b import -window root "$shots-join.png"
}

# ---- each tally holds one more game against the other ----

# Row 0: games, wins. Opponent rows: name, games, his wins, my wins, neither;
# then the same four for this session.
expect_tally() {
    local folder=$1 want=$2 got=""
    for _ in $(seq 50); do
        got=$(tally_rows "$folder") || true
        [ "$got" = "$want" ] && return 0
        sleep 0.1
    done
    echo "tally in $folder:"; sed 's/^/    | /' <<<"$got"
    echo "wanted:"; sed 's/^/    | /' <<<"$want"
    return 1
}
expect_tally "$ann" $'0 1 0 0 0 0 0 0 0\nBob 1 1 0 0 1 1 0 0' || fail "Ann's tally did not count Bob's win"
expect_tally "$bob" $'0 1 1 0 0 0 0 0 0\nAnn 1 0 1 0 1 0 1 0' || fail "Bob's tally did not count his win over Ann"
step "both tallies counted the game"

# ---- the windows close as their close box does ----

kill -TERM "$bob_pid"
kill -TERM "$host_pid"
poll 100 sh -c "! kill -0 $bob_pid 2>/dev/null" || fail "Bob's game still runs after SIGTERM"
status=0
wait "$bob_pid" || status=$?
[ "$status" -eq 0 ] || fail "Bob's game ended with status $status"
poll 100 sh -c "! kill -0 $host_pid 2>/dev/null" || fail "Ann's game still runs after SIGTERM"
expect_tally "$ann" $'0 1 0 0 0 0 0 0 0\nBob 1 1 0 0 1 1 0 0' || fail "Ann's tally changed at exit"
expect_tally "$bob" $'0 1 1 0 0 0 0 0 0\nAnn 1 0 1 0 1 0 1 0' || fail "Bob's tally changed at exit"
step "both games ended; all done in $(( ($(date +%s%N) - began) / 1000000 )) ms"
