#!/usr/bin/env python3
"""Round trips through a hosting game, over loopback.

    latency.py PORT [COUNT] [chat|check] [CHATTERS]

Logs in to the host on 127.0.0.1:PORT as one player.

chat:  sends COUNT chat lines one at a time, each after the previous one came
       back relayed.
check: starts a game and sends COUNT checks (CMD_checkit of one cell) one at
       a time, each after the host's CMD_checkresult for the previous one.

Between two sends it pauses longer than the host's tick, so that, without
other traffic, every message finds the host's queue idle. With CHATTERS > 0,
that many further players log in and each chats 20 lines a second the whole
time, each in a process of its own, so that their loops never hold up the
timing one. Prints p50 and p99 in milliseconds.
"""
import multiprocessing
import select
import socket
import statistics
import sys
import time

FF = b"\xff"


class Player:
    def __init__(self, port, name):
        self.sock = socket.create_connection(("127.0.0.1", port))
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.buf = b""
        self.slot = None
        while self.slot is None:
            line = self.frame()
            if line.startswith(b"CMD_sendlogininfo+"):
                self.slot = int(line.split(b"+")[1])
        self.send(b"CMD_logininfo+%d+1.0.2+%s" % (self.slot, name))
        while not self.frame().startswith(b"CMD_newplayerinfo+%d+" % self.slot):
            pass

    def frame(self):
        while FF not in self.buf:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise SystemExit("the host closed the connection")
            self.buf += chunk
        line, _, self.buf = self.buf.partition(FF)
        return line

    def send(self, message):
        self.sock.sendall(message + FF)


def chatter(port, index, stop):
    """Logs in and chats 20 lines a second until stop is set; reads all it
    gets. It sleeps until its next line is due or bytes come, so that it
    takes no more of the machine than a player's program would."""
    p = Player(port, b"Chatter%d" % index)
    n = 0
    next_at = time.perf_counter()
    while not stop.is_set():
        now = time.perf_counter()
        if now >= next_at:
            p.send(b"CMD_chat+%d+Chatter%d: line %d of the load|clBlack" % (p.slot, index, n))
            n += 1
            next_at += 0.05
            continue
        readable, _, _ = select.select([p.sock], [], [], next_at - now)
        if readable and not p.sock.recv(65536):
            return


def percentiles(times):
    times.sort()
    return statistics.median(times), times[min(len(times) - 1, int(len(times) * 0.99))]


def main():
    port = int(sys.argv[1])
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 500
    mode = sys.argv[3] if len(sys.argv) > 3 else "chat"
    chatters = int(sys.argv[4]) if len(sys.argv) > 4 else 0
    me = Player(port, b"Bench")
    stop = multiprocessing.Event()
    talkers = [multiprocessing.Process(target=chatter, args=(port, i + 1, stop), daemon=True) for i in range(chatters)]
    for t in talkers:
        t.start()
    if mode == "check":
        # Score and Show on the first puzzle list; wait for the board.
        me.send(b"CMD_startgame+Bench+1+1+")
        while not me.frame().startswith(b"CMD_theboard+"):
            pass
    time.sleep(0.5 if chatters else 0)  # let the chatters get going
    times = []
    for i in range(count):
        if mode == "check":
            # Digit 0 is always wrong: the board never fills, every check is judged alike.
            message = b"CMD_checkit+%d+5+5+0" % me.slot
            answer = b"CMD_checkresult+%d+" % me.slot
            start = time.perf_counter()
            me.send(message)
            while not me.frame().startswith(answer):
                pass
        else:
            text = b"ping%d" % i
            start = time.perf_counter()
            me.send(b"CMD_chat+%d+%s|clBlack" % (me.slot, text))
            while text + b"|" not in me.frame():
                pass
        times.append((time.perf_counter() - start) * 1000)
        time.sleep(0.03)
    stop.set()
    for t in talkers:
        t.join()
    p50, p99 = percentiles(times)
    load = f" with {chatters} players chatting 20 lines/s each" if chatters else ", nothing else on the wire"
    print(f"{mode} round trip over {count}{load}: p50 {p50:.2f} ms, p99 {p99:.2f} ms")


if __name__ == "__main__":
    main()
