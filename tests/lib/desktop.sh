# Sourced by the script tests that run the real programs on a screen of their
# own: $work is a temporary folder, removed at exit together with every
# process listed in $pids; start_desktop starts an X server on a free display
# with openbox on it and exports DISPLAY (and XDG_RUNTIME_DIR=$work).

work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

start_desktop() {
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    exec 3>&-
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -1 "$work/display")" XDG_RUNTIME_DIR=$work
    for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    openbox >"$work/openbox.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 300); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.1
    done
    echo "FAIL: openbox did not start on $DISPLAY: $(cat "$work/openbox.log")"
    return 1
}
