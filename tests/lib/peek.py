#!/usr/bin/env python3
"""A loopback player for script tests: takes a free seat on the game host at
127.0.0.1:7772, writes the solved board of the next game to SOLUTION (nine
lines of nine digits, row by row, then nine lines marking the givens with 1)
and the text of CMD_winner to WINNER. Exits after the winner or after its
time limit (seconds).

    peek.py SOLUTION WINNER LIMIT
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wirepeek  # noqa: E402


def main():
    solution_path, winner_path, limit = sys.argv[1], sys.argv[2], float(sys.argv[3])
    deadline = time.monotonic() + limit
    peek = None
    while peek is None:
        try:
            peek = wirepeek.connect(7772, timeout=1)
        except OSError:
            if time.monotonic() >= deadline:
                sys.exit("peek: no host")
            time.sleep(0.2)
    try:
        while True:
            name, _, fields = peek.next_message(deadline).partition(b"+")
            if name == b"CMD_sendlogininfo":
                # A seat that logs in is one the host tells the winner to.
                peek.sock.sendall(b"CMD_logininfo+" + fields + b"+1.0.2+peek" + wirepeek.FF)
            elif name == b"CMD_theboard":
                givens = wirepeek.parse_givens(fields)
                solved = wirepeek.solve(givens)
                with open(solution_path + ".tmp", "w") as f:
                    for row in solved:
                        f.write("".join(map(str, row)) + "\n")
                    for row in givens:
                        f.write("".join("1" if d else "0" for d in row) + "\n")
                os.rename(solution_path + ".tmp", solution_path)
            elif name == b"CMD_winner":
                with open(winner_path, "w") as f:
                    f.write(fields.partition(b"+")[0].decode("latin-1") + "\n")
                return 0
    except wirepeek.PeekError as e:
        sys.exit("peek: %s" % ("no winner in time" if str(e) == "timed out" else e))


if __name__ == "__main__":
    sys.exit(main())
