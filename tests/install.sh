#!/usr/bin/env bash
# An installed copy behaves like a Linux application: `cmake --install` into
# a temporary prefix puts the programs, desktop entries, icons, metainfo and
# manual pages where a desktop looks for them, the distribution's validators
# accept them, the installed game starts and logs in to its own solo host and
# ends cleanly on SIGTERM, and `make uninstall` removes what was installed.
# Runs on its own X server and in its own network namespace (the game listens
# on its fixed port).
#   tests/install.sh SOURCE_DIR BUILD_DIR [SCREENSHOT.png]
set -euo pipefail

source "$(dirname "$0")/lib/isolate.sh"
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
shot=${3:-}

# $work, $pids and the X server come from desktop.sh; the cleanup below
# replaces its own, to give back the manifest as well.
source "$(dirname "$0")/lib/desktop.sh"
# cmake --install writes its list into the build folder: the player's own
# `make install` list must survive this test.
manifest=$build/install_manifest.txt
[ -f "$manifest" ] && cp -p "$manifest" "$work/manifest.saved"
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    if [ -f "$work/manifest.saved" ]; then cp -p "$work/manifest.saved" "$manifest"; else rm -f "$manifest"; fi
    rm -rf "$work"
}
trap cleanup EXIT
fail=0
bad() { echo "FAIL: $*"; fail=1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log"
id=io.github.sudokugame.Sudoku
expected=(
    bin/sudoku bin/sudoku-lobby bin/wrzl
    share/applications/$id.desktop share/applications/$id.Lobby.desktop
    share/metainfo/$id.metainfo.xml
    share/icons/hicolor/scalable/apps/$id.svg
    share/man/man6/sudoku.6 share/man/man6/sudoku-lobby.6 share/man/man1/wrzl.1
)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
    # Each PNG is of the size its folder names.
    got=$(identify -format '%wx%h' "$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png" 2>/dev/null || true)
    [ "$got" = "${size}x${size}" ] || bad "the ${size}px icon is $got"
done
for f in "${expected[@]}"; do
    [ -f "$prefix/$f" ] || bad "not installed: $f"
done
for p in sudoku sudoku-lobby wrzl; do
    [ -x "$prefix/bin/$p" ] || bad "$p is not executable"
done

# The validators a distribution runs.
for d in "$prefix"/share/applications/*.desktop; do
    desktop-file-validate "$d" || bad "desktop-file-validate rejects $(basename "$d")"
done
appstreamcli validate --no-net --explain "$prefix/share/metainfo/$id.metainfo.xml" \
    || bad "appstreamcli rejects the metainfo"
# The tree as a whole: the metainfo's launchables and icon are installed too.
appstreamcli validate-tree --no-net "$prefix" >"$work/tree.log" 2>&1 \
    || bad "appstreamcli rejects the installed tree: $(cat "$work/tree.log")"
grep -q "<release version=\"$("$prefix/bin/sudoku" --version | awk '{print $2}')\"" \
    "$prefix/share/metainfo/$id.metainfo.xml" || bad "the metainfo's release is not the program's version"
# The manual pages format without a warning.
for page in man6/sudoku.6 man6/sudoku-lobby.6 man1/wrzl.1; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$prefix/share/man/$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || bad "$page: $warnings"
done

# The installed game, with a private home, on its own X server.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
if [ -n "$shot" ]; then start_desktop; else start_server; fi
XDG_RUNTIME_DIR=$work/run

# Started through PATH, as a desktop would, from an unrelated folder.
(cd "$work" && PATH="$prefix/bin:$PATH" QT_QPA_PLATFORM=xcb exec sudoku) >"$work/out.txt" 2>&1 &
game=$!
pids+=($game)
timeout 30 xdotool search --sync --onlyvisible --name '^Sudoku$' >/dev/null || bad "no window named Sudoku"
logged_in=0
for _ in $(seq 300); do
    if ss -Hltn 'sport = :7772' | grep -q '127.0.0.1:7772'; then
        logged_in=1
        break
    fi
    sleep 0.1
done
[ "$logged_in" = 1 ] || bad "the game did not listen on 127.0.0.1:7772"
# The solo player holds the first seat: a newcomer is offered the second.
seat=$(python3 - <<'PY'
import socket
s = socket.create_connection(("127.0.0.1", 7772), timeout=10)
buf = b""
while b"\xff" not in buf:
    buf += s.recv(4096)
print(buf.split(b"\xff")[0].decode("latin-1"))
PY
)
[ "$seat" = "CMD_sendlogininfo+2" ] || bad "the solo game's host offered '$seat', not the second seat"
# The window carries the installed icon and the desktop entry's name.
# The icon is set just after the window is first drawn.
wid=$(xdotool search --onlyvisible --name '^Sudoku$' | head -1)
for _ in $(seq 50); do
    xprop -id "$wid" _NET_WM_ICON >"$work/icon.txt" 2>&1 || true
    grep -q '_NET_WM_ICON(CARDINAL)' "$work/icon.txt" && break
    sleep 0.1
done
grep -q '_NET_WM_ICON(CARDINAL)' "$work/icon.txt" || bad "the window has no icon"
if [ -n "$shot" ]; then
    for _ in $(seq 50); do xdotool search --onlyvisible --name '^Download The' >/dev/null && break; sleep 0.1; done
    import -window root "$shot"
fi

# The download module is installed with the game, which loads it only when a
# download starts: libcurl is not among the libraries of a fresh start, and
# "Download And Install" loads the installed module.
modules=$(find "$prefix" -path '*/sudoku/sudoku-*.so' -printf '%f\n' | sort | tr '\n' ' ')
[ "$modules" = "sudoku-download.so sudoku-sound.so " ] || bad "the installed modules are: $modules"
! grep -q libcurl "/proc/$game/maps" || bad "the game loads libcurl at start"
dl=$(timeout 30 xdotool search --sync --onlyvisible --name '^Download The' | head -1)
read -r x y < <(xwininfo -id "$dl" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print x, y}')
xdotool mousemove $((x + 233)) $((y + 413)) click 1
loaded=0
for _ in $(seq 100); do
    grep -q "$prefix/.*/sudoku-download.so" "/proc/$game/maps" && { loaded=1; break; }
    sleep 0.1
done
[ "$loaded" = 1 ] || bad "the download did not load the installed module: $(tail -3 "$work/out.txt")"

kill -TERM "$game"
status=0
wait "$game" || status=$?
[ "$status" -eq 0 ] || bad "the game ended with status $status on SIGTERM: $(tail -5 "$work/out.txt")"

# The installed game finds the installed lobby beside itself: "Play with
# Others" in the download window starts it and ends the game.
(cd "$work" && PATH="$prefix/bin:$PATH" QT_QPA_PLATFORM=xcb exec sudoku) >"$work/out2.txt" 2>&1 &
game=$!
pids+=($game)
dl=$(timeout 30 xdotool search --sync --onlyvisible --name '^Download The' | head -1)
read -r x y < <(xwininfo -id "$dl" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print x, y}')
xdotool mousemove $((x + 587)) $((y + 438)) click 1
lobby=""
for _ in $(seq 100); do
    for exe in /proc/[0-9]*/exe; do
        if [ "$(readlink "$exe" 2>/dev/null)" = "$prefix/bin/sudoku-lobby" ]; then
            lobby=${exe#/proc/}; lobby=${lobby%/exe}
        fi
    done
    [ -n "$lobby" ] && break
    sleep 0.1
done
if [ -n "$lobby" ]; then
    pids+=($lobby)
    timeout 30 tail --pid="$game" -f /dev/null || bad "the game did not end after starting the lobby"
    kill -TERM "$lobby"
else
    bad "Play with Others did not start $prefix/bin/sudoku-lobby"
fi

# make uninstall removes exactly the files the install listed.
make -s -C "$src" BUILD="$build" uninstall >/dev/null
while IFS= read -r f; do
    [ ! -e "$f" ] || bad "left behind by uninstall: $f"
done <"$manifest"
# What stays is only what the game itself wrote beside its program.
left=$(cd "$prefix" && find . -type f | grep -vE '^\./bin/(brenviklobby\.ini|sudokutally\.tld)$' || true)
[ -z "$left" ] || bad "files remain after uninstall: $left"
exit $fail
