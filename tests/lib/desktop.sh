# Sourced by the script tests that run the real programs on a screen of their
# own: $work is a temporary folder, removed at exit together with every
# process listed in $pids.
#
# start_desktop [NAME [SCREEN]] starts an X server on a free display with
# openbox on it, names the display in $desktop and exports it as DISPLAY
# (with XDG_RUNTIME_DIR=$work); openbox's output goes to
# $work/openbox-NAME.log. start_server does the same without the window
# manager. The server never resets: without -noreset it regenerates whenever
# its last client leaves, and a client that connects just then is refused.

work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

start_server() {
    local name=${1:-main} screen=${2:-1024x768x24} fd_file
    fd_file=$work/display-$name
    exec 3>"$fd_file"
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset >/dev/null 2>&1 &
    pids+=($!)
    exec 3>&-
    for _ in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.1; done
    [ -s "$fd_file" ] || { echo "FAIL: Xvfb did not start"; return 1; }
    desktop=":$(head -1 "$fd_file")"
    export DISPLAY=$desktop XDG_RUNTIME_DIR=$work
    for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
    echo "FAIL: Xvfb $DISPLAY does not answer"
    return 1
}

start_desktop() {
    local name=${1:-main}
    start_server "$@" || return 1
    openbox >"$work/openbox-$name.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 300); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.1
    done
    echo "FAIL: openbox did not start on $DISPLAY: $(cat "$work/openbox-$name.log")"
    return 1
}
