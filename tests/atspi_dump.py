#!/usr/bin/python3
"""Reads the running game's window through the accessibility bus, as a screen
reader does, prints the tree and checks it: the board holds 81 named cells,
and every push button, check box and label that shows has a name.

    atspi_dump.py DUMP_FILE [SECONDS]

Then it starts a solo game from the keyboard (xdotool: Escape closes the
download window, Ctrl+N and Return start the game), moves the selection
with the arrows and checks that the givens are read out as such and that
the selected cell is the focused one.
"""
import subprocess
import sys
import time

import pyatspi

CHECKED_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON: "push button",
    pyatspi.ROLE_CHECK_BOX: "check box",
    pyatspi.ROLE_LABEL: "label",
}


def main_window():
    """The game's main frame, "Sudoku", once its application is on the bus."""
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None:
            continue
        for i in range(app.childCount):
            frame = app.getChildAtIndex(i)
            if frame is not None and frame.name == "Sudoku" and frame.getRole() == pyatspi.ROLE_FRAME:
                return app
    return None


def walk(node, depth, lines, found):
    role = node.getRole()
    states = node.getState()
    showing = states.contains(pyatspi.STATE_SHOWING)
    focused = states.contains(pyatspi.STATE_FOCUSED)
    lines.append("%s[%s] %r%s%s" % ("  " * depth, node.getRoleName(), node.name,
                                     "" if showing else " (hidden)", " (focused)" if focused else ""))
    found.append((role, node.name, showing))
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            walk(child, depth + 1, lines, found)


def main():
    dump_file = sys.argv[1]
    deadline = time.monotonic() + (float(sys.argv[2]) if len(sys.argv) > 2 else 30)
    app = None
    cells = []
    # The window appears and fills its board while the game starts: ask
    # again until the 81 cells are there or the time is up.
    while time.monotonic() < deadline:
        app = main_window()
        if app is not None:
            lines, found = [], []
            walk(app, 0, lines, found)
            cells = [name for role, name, _ in found if role == pyatspi.ROLE_TABLE_CELL]
            if len(cells) == 81:
                break
        time.sleep(0.2)
    if app is None:
        print("FAIL: no window named Sudoku on the accessibility bus")
        return 1
    with open(dump_file, "w") as out:
        out.write("\n".join(lines) + "\n")
    failures = []
    if len(cells) != 81:
        failures.append("%d cells, not 81" % len(cells))
    failures += ["a cell without a name" for name in cells if not name]
    for role, name, showing in found:
        if role in CHECKED_ROLES and showing and not name.strip():
            failures.append("a %s without a name" % CHECKED_ROLES[role])
    counts = {label: sum(1 for role, _, s in found if role == r and s) for r, label in CHECKED_ROLES.items()}
    print("%d nodes, %d cells, showing: %s" % (len(found), len(cells),
                                               ", ".join("%s: %d" % (k, n) for k, n in counts.items())))
    if not failures:
        failures += play(app, deadline, dump_file)
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


def board_cells(app):
    lines, found = [], []
    walk(app, 0, lines, found)
    return lines, [(name, node_focused) for (role, name, _), node_focused
                   in zip(found, focused_flags(app)) if role == pyatspi.ROLE_TABLE_CELL]


def focused_flags(node):
    flags = [node.getState().contains(pyatspi.STATE_FOCUSED)]
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            flags += focused_flags(child)
    return flags


def keys(*names):
    for name in names:
        subprocess.run(["xdotool", "key", "--clearmodifiers", name], check=True)


def window(title, seconds=1.0):
    """The id of a showing window with this exact title, activated; None when there is none."""
    try:
        found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^%s$" % title],
                               capture_output=True, text=True, timeout=seconds).stdout.split()
    except subprocess.TimeoutExpired:
        return None
    if not found:
        return None
    subprocess.run(["xdotool", "windowactivate", "--sync", found[0]], capture_output=True, timeout=5)
    return found[0]


def start_solo_game(deadline):
    """Escape closes the download window, Ctrl+N opens the game options, Return starts."""
    if window("Download The Brenvik Lobby", 10):
        keys("Escape")
    while time.monotonic() < deadline:
        window("Sudoku", 5)
        keys("ctrl+n")
        if window("Sudoku - Game Start"):
            keys("Return")
            window("Sudoku", 5)
            return True
    return False


def wait_for(app, deadline, test):
    while time.monotonic() < deadline:
        lines, cells = board_cells(app)
        if test(cells):
            return lines, cells
        time.sleep(0.2)
    return board_cells(app)


def play(app, deadline, dump_file):
    """A solo game started from the keyboard, as a screen reader hears it."""
    failures = []
    if not start_solo_game(deadline):
        return ["Ctrl+N opened no game options"]
    lines, cells = wait_for(app, deadline, lambda c: any(n.endswith(", given") for n, _ in c))
    givens = sum(1 for n, _ in cells if n.endswith(", given"))
    if not givens:
        failures.append("no cell reads as a given after the game started")
    keys("Right", "Down", "Right")
    lines, cells = wait_for(app, deadline, lambda c: [n for n, f in c if f])
    focused = [n for n, f in cells if f]
    # The first arrow selects the top left cell; Down and Right lead to row 2, column 2.
    if len(focused) != 1 or not focused[0].startswith("row 2, column 2, "):
        failures.append("focused after Right, Down, Right: %s, not row 2, column 2" % (focused or "none"))
    with open(dump_file, "a") as out:
        out.write("--- after a solo game started and three arrow keys\n")
        out.write("\n".join(line for line in lines if "table cell" in line and
                             ("given" in line or "focused" in line)) + "\n")
    print("after the start: %d givens, focused: %s" % (givens, ", ".join(focused) or "none"))
    return failures


if __name__ == "__main__":
    sys.exit(main())
