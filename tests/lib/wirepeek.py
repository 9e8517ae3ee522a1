#!/usr/bin/env python3
"""Peeks at a game host on loopback and prints the solution of its next game.

    wirepeek.py --port 7772 [--timeout 20]

Connects to the host on 127.0.0.1:PORT, waits for the givens of the next game
that starts there and prints the solved grid as one line of 81 digits, row by
row from the top left. Exit status 0 on success; 1 with a message on stderr
when no game started within the timeout, the host closed the connection or
the givens have no single solution.

It never logs in. The host hands every connection a slot and sends it the
game's broadcasts (the start, the givens, the turn) from the moment it is
accepted, login or not, while the players' windows learn of a slot only from
its login. So a peek that connects after the players is seen by nobody: the
host tells no window of it, and when it leaves, the windows are told only that
a seat they never saw is free again. The cost is that it cannot catch a game
already running (the host sends the givens of a running game only at a login)
and that the host lets a connection go when it has not logged in within
30 seconds: start the peek, then start the game.

The wire carries the givens but never the solution, so the grid is solved
here, by backtracking; the host's puzzles have one solution each.

As a module: connect(port) -> Peek, Peek.next_message(deadline),
Peek.wait_for_givens(deadline) -> 9x9 grid, solve(grid) -> 9x9 grid,
solutions(grid, limit) -> list of grids, parse_givens(text) -> 9x9 grid.
Grids are lists of rows (grid[row][column], both from 0), 0 for an empty cell.
"""
import argparse
import socket
import sys
import time

FF = b"\xff"


class PeekError(Exception):
    pass


class Peek:
    """One connection to a host, read one message (without its 0xFF) at a time."""

    def __init__(self, sock):
        self.sock = sock
        self.pending = b""
        self.slot = None

    def close(self):
        self.sock.close()

    def next_message(self, deadline):
        """The next message, or PeekError at the deadline (time.monotonic())."""
        while FF not in self.pending:
            left = deadline - time.monotonic()
            if left <= 0:
                raise PeekError("timed out")
            self.sock.settimeout(left)
            try:
                chunk = self.sock.recv(65536)
            except socket.timeout:
                raise PeekError("timed out") from None
            if not chunk:
                raise PeekError("the host closed the connection")
            self.pending += chunk
        message, _, self.pending = self.pending.partition(FF)
        return message

    def wait_for_givens(self, deadline):
        """Reads until the host sends this slot a game's givens; returns the grid."""
        while True:
            message = self.next_message(deadline)
            name, _, fields = message.partition(b"+")
            if name == b"CMD_sendlogininfo":
                self.slot = int(fields)
            elif name == b"CMD_theboard":
                return parse_givens(fields)


def connect(port, host="127.0.0.1", timeout=5.0):
    sock = socket.create_connection((host, port), timeout=timeout)
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    return Peek(sock)


def parse_givens(fields):
    """The fields of CMD_theboard: the recipient's slot, then +column+row+digit groups."""
    parts = fields.split(b"+")
    numbers = [int(p) for p in parts[1:]]
    if len(numbers) % 3:
        raise PeekError("the givens are not whole column, row, digit groups: %r" % fields)
    grid = [[0] * 9 for _ in range(9)]
    for i in range(0, len(numbers), 3):
        column, row, digit = numbers[i:i + 3]
        if not (1 <= column <= 9 and 1 <= row <= 9 and 1 <= digit <= 9):
            raise PeekError("a given lies off the board: %d %d %d" % (column, row, digit))
        grid[row - 1][column - 1] = digit
    return grid


def solutions(grid, limit=2):
    """Up to `limit` solutions of the grid (the grid itself is not changed)."""
    work = [row[:] for row in grid]
    rows = [set() for _ in range(9)]
    cols = [set() for _ in range(9)]
    boxes = [set() for _ in range(9)]
    empty = []
    for r in range(9):
        for c in range(9):
            d = work[r][c]
            if d == 0:
                empty.append((r, c))
                continue
            b = (r // 3) * 3 + c // 3
            if d in rows[r] or d in cols[c] or d in boxes[b]:
                return []
            rows[r].add(d)
            cols[c].add(d)
            boxes[b].add(d)
    found = []

    def search():
        if not empty:
            found.append([row[:] for row in work])
            return len(found) >= limit
        # The cell with the fewest candidates next keeps the search small.
        best, best_candidates = None, None
        for i, (r, c) in enumerate(empty):
            used = rows[r] | cols[c] | boxes[(r // 3) * 3 + c // 3]
            candidates = [d for d in range(1, 10) if d not in used]
            if best is None or len(candidates) < len(best_candidates):
                best, best_candidates = i, candidates
                if len(candidates) <= 1:
                    break
        r, c = empty.pop(best)
        b = (r // 3) * 3 + c // 3
        for d in best_candidates:
            work[r][c] = d
            rows[r].add(d)
            cols[c].add(d)
            boxes[b].add(d)
            done = search()
            rows[r].discard(d)
            cols[c].discard(d)
            boxes[b].discard(d)
            if done:
                work[r][c] = 0
                empty.insert(best, (r, c))
                return True
        work[r][c] = 0
        empty.insert(best, (r, c))
        return False

    search()
    return found


def solve(grid):
    """The one solution of the grid; PeekError when it has none or several."""
    found = solutions(grid, 2)
    if not found:
        raise PeekError("the givens have no solution")
    if len(found) > 1:
        raise PeekError("the givens have more than one solution")
    return found[0]


def digits(grid):
    return "".join(str(d) for row in grid for d in row)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--port", type=int, default=7772)
    parser.add_argument("--timeout", type=float, default=20.0,
                        help="seconds to wait for a game to start (default 20)")
    args = parser.parse_args(argv)
    deadline = time.monotonic() + args.timeout
    try:
        try:
            peek = connect(args.port, timeout=max(0.1, args.timeout))
        except OSError as e:
            raise PeekError("cannot connect to 127.0.0.1:%d: %s" % (args.port, e.strerror or e)) from None
        try:
            grid = peek.wait_for_givens(deadline)
        finally:
            peek.close()
        print(digits(solve(grid)), flush=True)
    except PeekError as e:
        what = str(e)
        if what == "timed out":
            what = "no game started within %g seconds" % args.timeout
        print("wirepeek: %s" % what, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
