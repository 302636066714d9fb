#!/usr/bin/env python3
"""pitch_clients.py -- 22 scripted protocol-6 clients for timing pitch.

Two teams of eleven connect to pitch on 127.0.0.1, each player moves to a spot in its
own half, and after every sense_body sends one body command (dash, turn, or a kick when
the ball is near), so pitch carries the traffic of a full match. Runs until pitch stops
answering for a few seconds (the match is over) or the time limit passes.

usage: pitch_clients.py PORT [SECONDS]
"""
import random
import select
import socket
import sys
import time


def main():
    if len(sys.argv) < 2 or sys.argv[1] in ("-h", "--help") or not sys.argv[1].isdigit():
        print(__doc__.strip())
        sys.exit(0 if len(sys.argv) > 1 and sys.argv[1] in ("-h", "--help") else 2)
    port = int(sys.argv[1])
    limit = float(sys.argv[2]) if len(sys.argv) > 2 else 600
    socks, replyaddr, cycle = [], {}, {}
    for team in ("left", "right"):
        for i in range(11):
            s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            s.bind(("127.0.0.1", 0))
            goalie = "(goalie)" if i == 0 else ""
            s.sendto(f"(init {team} (version 6.02){goalie})".encode(), ("127.0.0.1", port))
            s.settimeout(5)
            data, addr = s.recvfrom(9000)
            if not data.startswith(b"(init "):
                sys.exit(f"pitch_clients: init refused: {data!r}")
            s.setblocking(False)
            replyaddr[s] = addr
            cycle[s] = 0
            s.sendto(f"(move {-5 - 4 * i} {-20 + 4 * i})".encode(), addr)
            socks.append(s)
    rng = random.Random(5)
    start = last = time.monotonic()
    while time.monotonic() - start < limit and time.monotonic() - last < 5:
        ready, _, _ = select.select(socks, [], [], 1.0)
        for s in ready:
            try:
                data = s.recv(9000)
            except OSError:
                continue
            last = time.monotonic()
            if not data.startswith(b"(sense_body"):
                continue
            cycle[s] += 1
            r = rng.random()
            if r < 0.6:
                cmd = "(dash 60)"
            elif r < 0.9:
                cmd = f"(turn {rng.randint(-60, 60)})"
            else:
                cmd = f"(kick 50 {rng.randint(-90, 90)})"
            if cycle[s] % 5 == 0:
                cmd += "(turn_neck 10)"
            s.sendto(cmd.encode(), replyaddr[s])
    for s in socks:
        s.close()


if __name__ == "__main__":
    main()
