#!/usr/bin/env python3
"""A loopback peer for script tests: takes a free slot on the game host at
127.0.0.1:7772, writes the solved board of the next game to SOLUTION (nine
lines of nine digits, row by row, then nine lines marking the givens with 1) and the text of
CMD_winner to WINNER. Exits after the winner or after its time limit."""
import socket
import sys
import time

import os

solution_path, winner_path, limit = sys.argv[1], sys.argv[2], float(sys.argv[3])


def solve(grid):
    for i in range(81):
        if grid[i] == 0:
            r, c = divmod(i, 9)
            used = set(grid[r * 9:(r + 1) * 9]) | set(grid[c::9])
            br, bc = r // 3 * 3, c // 3 * 3
            used |= {grid[(br + y) * 9 + bc + x] for y in range(3) for x in range(3)}
            for d in range(1, 10):
                if d not in used:
                    grid[i] = d
                    if solve(grid):
                        return True
            grid[i] = 0
            return False
    return True


deadline = time.time() + limit
sock = None
while sock is None and time.time() < deadline:
    try:
        sock = socket.create_connection(("127.0.0.1", 7772), timeout=1)
    except OSError:
        time.sleep(0.2)
if sock is None:
    sys.exit("peek: no host")
sock.settimeout(0.5)
buf = b""
while time.time() < deadline:
    try:
        data = sock.recv(65536)
    except socket.timeout:
        continue
    if not data:
        break
    buf += data
    while b"\xff" in buf:
        msg, buf = buf.split(b"\xff", 1)
        fields = msg.split(b"+")
        name = fields[0]
        if name == b"CMD_sendlogininfo":
            slot = fields[1]
            sock.sendall(b"CMD_logininfo+" + slot + b"+1.0.2+peek\xff")
        elif name == b"CMD_theboard":
            cells = [int(x) for x in fields[2:] if x]
            grid = [0] * 81
            for i in range(0, len(cells) - 2, 3):
                c, r, d = cells[i:i + 3]
                grid[(r - 1) * 9 + c - 1] = d
            givens = [1 if d else 0 for d in grid]
            solve(grid)
            with open(solution_path + ".tmp", "w") as f:
                for r in range(9):
                    f.write("".join(str(d) for d in grid[r * 9:(r + 1) * 9]) + "\n")
                for r in range(9):
                    f.write("".join(str(g) for g in givens[r * 9:(r + 1) * 9]) + "\n")
            os.rename(solution_path + ".tmp", solution_path)
        elif name == b"CMD_winner":
            with open(winner_path, "w") as f:
                f.write(fields[1].decode("latin-1") + "\n")
            sys.exit(0)
sys.exit("peek: no winner in time")
