#!/usr/bin/env bash
# A screen reader's view of a solo game: the game runs on its own X server,
# its own session bus with the accessibility bus, and in its own network
# namespace (it listens on its fixed port); tests/atspi_dump.py reads the
# window through AT-SPI and checks the names.
#   tests/accessibility.sh SOURCE_DIR BUILD_DIR [DUMP_FILE]
set -euo pipefail

isolate_wrap="dbus-run-session --"
source "$(dirname "$0")/lib/isolate.sh"
source_dir=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
source "$(dirname "$0")/lib/desktop.sh"
dump=${3:-$work/atspi-dump.txt}

# A copy of the program keeps its settings in its own (temporary) folder.
cp "$build/sudoku" "$work/"

start_desktop

# The accessibility bus and its registry, on this session's bus.
launcher=/usr/libexec/at-spi-bus-launcher
[ -x "$launcher" ] || launcher=/usr/lib/at-spi2-core/at-spi-bus-launcher
"$launcher" --launch-immediately >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
        >/dev/null 2>&1 && break
    sleep 0.1
done

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 QT_QPA_PLATFORM=xcb \
    "$work/sudoku" >"$work/out.txt" 2>&1 &
pids+=($!)

status=0
# Debian's own Python, which holds python3-pyatspi.
timeout -k 5 90 /usr/bin/python3 "$source_dir/tests/atspi_dump.py" "$dump" 60 || status=$?
if [ "$status" -ne 0 ]; then
    echo "--- program output"; cat "$work/out.txt"
    [ -f "$dump" ] && { echo "--- dump"; cat "$dump"; }
fi
exit "$status"
