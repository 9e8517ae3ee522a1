#!/usr/bin/env python3
"""Round trip of one chat line through a hosting game, over loopback.

    latency.py PORT [COUNT]

Logs in to the host on 127.0.0.1:PORT as one player, then sends COUNT chat
lines one at a time, each after the previous one came back relayed, with a
pause between them longer than the host's tick, so every line finds the
host's queue idle. Prints p50 and p99 in milliseconds.
"""
import socket
import statistics
import sys
import time

FF = b"\xff"


def frames(sock, buf):
    while FF not in buf[0]:
        chunk = sock.recv(65536)
        if not chunk:
            raise SystemExit("the host closed the connection")
        buf[0] += chunk
    line, _, rest = buf[0].partition(FF)
    buf[0] = rest
    return line


def main():
    port = int(sys.argv[1])
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 500
    sock = socket.create_connection(("127.0.0.1", port))
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    buf = [b""]
    slot = None
    while slot is None:
        line = frames(sock, buf)
        if line.startswith(b"CMD_sendlogininfo+"):
            slot = int(line.split(b"+")[1])
    sock.sendall(b"CMD_logininfo+%d+1.0.2+Bench" % slot + FF)
    while not frames(sock, buf).startswith(b"CMD_newplayerinfo+%d+" % slot):
        pass
    times = []
    for i in range(count):
        text = b"ping%d" % i
        start = time.perf_counter()
        sock.sendall(b"CMD_chat+%d+%s|clBlack" % (slot, text) + FF)
        while text + b"|" not in frames(sock, buf):
            pass
        times.append((time.perf_counter() - start) * 1000)
        time.sleep(0.03)
    times.sort()
    p50 = statistics.median(times)
    p99 = times[min(len(times) - 1, int(len(times) * 0.99))]
    print(f"chat round trip over {count} lines: p50 {p50:.2f} ms, p99 {p99:.2f} ms")


if __name__ == "__main__":
    main()
