#!/usr/bin/env bash
# A whole solo game from the keyboard alone, once in Typing mode and once in
# Clicking mode: the options dialog opened and confirmed by keys, every empty
# cell filled with arrows and digits, pencil marks, undo and redo, a check
# halfway and a final one that wins. A loopback peer in a free slot of the
# host reads the givens, solves them and reports the winner. Runs on its own
# X server and in its own network namespace (the game listens on its fixed
# port).
#   tests/keyboard_game.sh SOURCE_DIR BUILD_DIR [SCREENSHOT_PREFIX]
set -euo pipefail

source "$(dirname "$0")/lib/isolate.sh"
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
shots=${3:-}

source "$(dirname "$0")/lib/desktop.sh"
cp "$build/sudoku" "$work/"

start_desktop

keys() { xdotool key --delay 12 "$@"; }

fail=0
game=""
peek=""
stop() { # ends this round's program and peer
    [ -n "$game" ] && kill -TERM "$game" 2>/dev/null || true
    for _ in $(seq 100); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$game" 2>/dev/null || true
    [ -n "$peek" ] && kill "$peek" 2>/dev/null || true
    wait "$game" "$peek" 2>/dev/null || true
    game="" peek=""
}
play() { # MODE (1 Typing, 0 Clicking) NAME
    local mode=$1 name=$2
    rm -f "$work/solution" "$work/winner"
    printf '[sudoku]\nTop=3\nLeft=3\nWidth=734\nHeight=485\nSelect=%s\nGametype=3\nPuzzletype=1\n' "$mode" \
        > "$work/brenviklobby.ini"
    QT_QPA_PLATFORM=xcb "$work/sudoku" >"$work/out-$name.txt" 2>&1 &
    game=$!
    pids+=($game)
    local wid
    wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Sudoku$' 2>/dev/null | head -1) || true
    [ -n "$wid" ] || { echo "FAIL($name): no main window"; fail=1; return; }
    python3 "$src/tests/lib/peek.py" "$work/solution" "$work/winner" 40 &
    peek=$!
    pids+=($peek)

    # Escape closes the download window of the solo start.
    local dl
    dl=$(timeout 20 xdotool search --sync --onlyvisible --name '^Download The' 2>/dev/null | head -1) || true
    if [ -n "$dl" ]; then
        timeout 5 xdotool windowactivate --sync "$dl" 2>/dev/null || true
        keys Escape
        for _ in $(seq 50); do xdotool search --onlyvisible --name '^Download The' >/dev/null 2>&1 || break; sleep 0.1; done
        if xdotool search --onlyvisible --name '^Download The' >/dev/null 2>&1; then
            echo "FAIL($name): Escape left the download window open"; fail=1
        fi
    fi
    timeout 5 xdotool windowactivate --sync "$wid" 2>/dev/null || true
    # Ctrl+N opens the game options (once the peer has logged in); Return starts.
    local opts=""
    for _ in $(seq 50); do
        keys ctrl+n
        opts=$(timeout 1 xdotool search --onlyvisible --name '^Sudoku - Game Start$' 2>/dev/null | head -1) && [ -n "$opts" ] && break
        sleep 0.1
    done
    [ -n "$opts" ] || { echo "FAIL($name): Ctrl+N opened no game options"; cat "$work/out-$name.txt"; xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | sed "s/^/  window: /"; fail=1; return; }
    timeout 5 xdotool windowactivate --sync "$opts" 2>/dev/null || true
    keys Return
    for _ in $(seq 100); do [ -s "$work/solution" ] && break; sleep 0.1; done
    [ -s "$work/solution" ] || { echo "FAIL($name): no puzzle reached the peer"; fail=1; return; }
    timeout 5 xdotool windowactivate --sync "$wid" 2>/dev/null || true
    mapfile -t rows < "$work/solution"

    # The last empty cell on the way, row by row, snaking.
    local row i c d given last=-1
    for row in $(seq 0 8); do
        for i in $(seq 0 8); do
            if [ $((row % 2)) -eq 0 ]; then c=$i; else c=$((8 - i)); fi
            [ "${rows[$((row + 9))]:$c:1}" = 1 ] || last=$((row * 9 + c))
        done
    done

    # The first arrow only selects the top left cell. In each row: pencil
    # marks and Space + digit (the chooser of the mode) on the first empty
    # cell, plain digits elsewhere. At the last empty cell a wrong digit
    # follows the right one.
    local seq=(Down) first wrong
    for row in $(seq 0 8); do
        [ "$row" -gt 0 ] && seq+=(Down)
        first=1
        for i in $(seq 0 8); do
            if [ $((row % 2)) -eq 0 ]; then c=$i; else c=$((8 - i)); fi
            [ "$i" -gt 0 ] && { [ $((row % 2)) -eq 0 ] && seq+=(Right) || seq+=(Left); }
            d=${rows[$row]:$c:1}
            given=${rows[$((row + 9))]:$c:1}
            [ "$given" = 1 ] && continue
            if [ "$first" = 1 ]; then
                seq+=(ctrl+3 shift+4 ctrl+3 space "$d")
                first=0
            else
                seq+=("$d")
            fi
            if [ $((row * 9 + c)) = "$last" ]; then
                wrong=$(( d % 9 + 1 ))
                seq+=("$wrong")
                break 2
            fi
        done
        if [ "$row" = 4 ]; then
            # A check halfway; the board keeps the keyboard and the next
            # arrow comes back to the same cell.
            seq+=(Return Left)
        fi
    done
    keys "${seq[@]}"
    # The wrong digit repeats one of its row: it shows red. Undo, redo and
    # undo again leave the right digit.
    if [ -n "$shots" ]; then sleep 0.3; import -window "$wid" "${shots}-$name-conflict.png"; fi
    keys ctrl+z ctrl+shift+z ctrl+y ctrl+z
    keys Return
    for _ in $(seq 100); do [ -s "$work/winner" ] && break; sleep 0.1; done
    if [ -s "$work/winner" ]; then
        echo "$name: winner $(cat "$work/winner")"
    else
        echo "FAIL($name): the keyboard game was not won"; fail=1
    fi
    if [ -n "$shots" ]; then import -window "$wid" "${shots}-$name-won.png"; fi
}

play 1 typing
stop
play 0 clicking
stop
exit $fail
