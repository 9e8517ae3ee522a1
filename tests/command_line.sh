#!/usr/bin/env bash
# The programs answer --help, --version and unknown options on the command
# line without a display, and only when the first argument begins with "-":
# any other first argument is a launch parameter (a player may be named
# "Ann", or "help").
#   tests/command_line.sh BIN_DIR VERSION
set -uo pipefail
bin=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# No display at all: an answer that needed one would fail here.
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$work
fail=0
bad() { echo "FAIL: $*"; fail=1; }

# program  arguments  exit  where-the-text-goes  text-it-holds
cases=(
  "sudoku|--help|0|out|Usage: sudoku"
  "sudoku|-h|0|out|Usage: sudoku"
  "sudoku|--version|0|out|sudoku $version"
  "sudoku|-v|0|out|sudoku $version"
  "sudoku|-x|2|err|Usage: sudoku"
  "sudoku|--nonsense Ann 127.0.0.1|2|err|unknown option '--nonsense'"
  "sudoku-lobby|--help|0|out|Usage: sudoku-lobby"
  "sudoku-lobby|--version|0|out|sudoku-lobby $version"
  "sudoku-lobby|-q|2|err|Usage: sudoku-lobby"
)
for c in "${cases[@]}"; do
    IFS='|' read -r prog args want where text <<<"$c"
    # shellcheck disable=SC2086
    "$bin/$prog" $args >"$work/out" 2>"$work/err"
    got=$?
    [ "$got" -eq "$want" ] || bad "$prog $args exited $got, not $want"
    grep -qF -- "$text" "$work/$where" || bad "$prog $args: \"$text\" missing from std$where"
    other=out; [ "$where" = out ] && other=err
    [ ! -s "$work/$other" ] || bad "$prog $args wrote to std$other: $(head -c 200 "$work/$other")"
done

# A first argument that does not begin with "-" goes on to the window: with
# no display that start fails in Qt, not in the option reader, whatever
# follows ("--help" as a later parameter is a host address or a role).
for args in "Ann" "help" "Ann --help true"; do
    # shellcheck disable=SC2086
    "$bin/sudoku" $args >"$work/out" 2>"$work/err"
    got=$?
    [ "$got" -ne 0 ] && [ "$got" -ne 2 ] || bad "sudoku $args exited $got: read as an option"
    grep -q "Usage:" "$work/out" "$work/err" && bad "sudoku $args printed the usage"
    grep -qi "display" "$work/err" || bad "sudoku $args did not try to open a window: $(head -c 200 "$work/err")"
done
exit $fail
