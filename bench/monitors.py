#!/usr/bin/env python3
"""monitors.py -- N scripted monitors watching pitch (or any server), for timing it.

Each asks with "(dispinit version 5)" on 127.0.0.1:PORT and reads until the server has been
silent for three seconds or the time limit passes; then one line per monitor: the show lines
it got, how many steps it missed (a cycle skipped while the clock ran), and the longest time
between two show lines.

usage: monitors.py PORT [N] [SECONDS]    (default 4 monitors, 600 s)
"""
import select
import socket
import sys
import time


def main():
    args = sys.argv[1:]
    if not args or args[0] in ("-h", "--help") or not all(a.isdigit() for a in args):
        print(__doc__.strip())
        sys.exit(0 if args and args[0] in ("-h", "--help") else 2)
    port, count = int(args[0]), int(args[1]) if len(args) > 1 else 4
    limit = float(args[2]) if len(args) > 2 else 600
    socks = []
    for _ in range(count):
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1 << 20)
        s.sendto(b"(dispinit version 5)\0", ("127.0.0.1", port))
        socks.append(s)
    shows, missed, gap, last, cycle = ([0] * count for _ in range(5))
    start = heard = time.monotonic()
    while time.monotonic() - start < limit and time.monotonic() - heard < 3:
        ready, _, _ = select.select(socks, [], [], 0.5)
        now = time.monotonic()
        for s in ready:
            i = socks.index(s)
            data = s.recv(1 << 16)
            heard = now
            if not data.startswith(b"(show "):
                continue
            t = int(data.split()[1])
            if shows[i] and t > cycle[i] + 1:
                missed[i] += t - cycle[i] - 1
            if shows[i]:
                gap[i] = max(gap[i], now - last[i])
            shows[i] += 1
            cycle[i], last[i] = t, now
    for i in range(count):
        print(f"monitor {i + 1}: {shows[i]} show lines, {missed[i]} steps missed, "
              f"longest gap {gap[i] * 1000:.1f} ms")


if __name__ == "__main__":
    main()
