#!/usr/bin/python3
"""Reads the running game's window through the accessibility bus, as a screen
reader does, prints the tree and checks it: the board holds 81 named cells,
and every push button, check box and label that shows has a name.

    atspi_dump.py DUMP_FILE [SECONDS]
"""
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
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
