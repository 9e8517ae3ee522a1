#!/usr/bin/env python3
"""CPU share of a hosting game's process while players chat.

    chatload.py PORT PID [LINES_PER_SECOND] [SECONDS]

Logs two players in to the host on 127.0.0.1:PORT, lets the window settle,
then has them send LINES_PER_SECOND (100) chat lines a second between them
for SECONDS (10), reading everything the host relays. Prints the process
PID's CPU time (user + system) over that time as a percentage of one core.
"""
import os
import select
import socket
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from latency import Player  # noqa: E402


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def main():
    port, pid = int(sys.argv[1]), int(sys.argv[2])
    rate = float(sys.argv[3]) if len(sys.argv) > 3 else 100
    seconds = float(sys.argv[4]) if len(sys.argv) > 4 else 10
    players = [Player(port, b"Talker%d" % i) for i in range(2)]
    for p in players:
        p.sock.setblocking(False)
    time.sleep(1.0)  # the window shows the joins and goes quiet
    start_cpu = cpu_seconds(pid)
    start = time.perf_counter()
    n = 0
    # Sleeps until the next line is due or bytes come, so that the load
    # itself takes little of the machine the window shares with it.
    socks = [p.sock for p in players]
    while True:
        now = time.perf_counter()
        if now - start >= seconds:
            break
        due = start + n / rate
        if now >= due:
            p = players[n % len(players)]
            p.send(b"CMD_chat+%d+Talker: line %d, a chat line of ordinary length|clBlack" % (p.slot, n))
            n += 1
            continue
        readable, _, _ = select.select(socks, [], [], due - now)
        for s in readable:
            try:
                s.recv(65536)
            except (BlockingIOError, socket.timeout):
                pass
    used = cpu_seconds(pid) - start_cpu
    elapsed = time.perf_counter() - start
    print(f"{100 * used / elapsed:.1f}")


if __name__ == "__main__":
    main()
