#!/usr/bin/env python3
"""live_delay.py -- how far the live page lags behind the server.

Plays a match of pitch's built-in team at the normal 100 ms step (CYCLES cycles, default
300), watched at once by a scripted monitor, which notes when each step's show line left the
server (it arrives within microseconds over 127.0.0.1: the server's clock), and by
scripts/live.py with its page open in headless Chromium, which notes when it drew each step.
For every step of play_on (its cycle is unique) the delay is the page's drawing time less
the monitor's arrival time. Prints the count, median, 95th percentile and largest delay, and
the steps the page never drew (it draws the newest step once per screen refresh).

usage: bench/live_delay.py [CYCLES] [BUILD_DIR]
"""
import os
import socket
import statistics
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(REPO, "tests", "replay"))
sys.path.insert(0, os.path.join(REPO, "scripts"))
from browser import Browser, find_chromium  # noqa: E402
from vornkit import showline  # noqa: E402


def watch(port, arrivals, done):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1 << 20)
    s.settimeout(0.5)
    s.sendto(b"(dispinit version 5)\0", ("127.0.0.1", port))
    while not done.is_set():
        try:
            data = s.recv(1 << 16)
        except socket.timeout:
            continue
        now = time.time() * 1000  # before the reading, which takes a while
        try:
            show = showline.read(data.decode("latin-1"))
        except ValueError:
            continue
        if show["mode"] == "play_on":
            arrivals.setdefault(show["cycle"], now)


def main(argv):
    if argv and argv[0] in ("-h", "--help"):
        print(__doc__.strip())
        return 0
    cycles = int(argv[0]) if argv else 300
    build = argv[1] if len(argv) > 1 else os.path.join(REPO, "build")
    chromium = find_chromium()
    if not chromium:
        print("live_delay: no chromium", file=sys.stderr)
        return 1
    pitch = subprocess.Popen([os.path.join(build, "bin", "pitch"), "--port", "0", "--opponent",
                              "chasers", "--cycles", str(cycles), "--kickoff-after", "3",
                              "--quiet"], stdout=subprocess.PIPE, text=True)
    port = int(pitch.stdout.readline().split()[-1])
    threading.Thread(target=pitch.stdout.read, daemon=True).start()
    arrivals, done = {}, threading.Event()
    threading.Thread(target=watch, args=(port, arrivals, done), daemon=True).start()
    live = subprocess.Popen([sys.executable, os.path.join(REPO, "scripts", "live.py"), "--port",
                             str(port), "--listen", "127.0.0.1:0"], stdout=subprocess.PIPE,
                            text=True)
    url = live.stdout.readline().split()[5]
    b = Browser(chromium)
    try:
        b.goto(url)
        pitch.wait()
        done.set()
        log = b.evaluate("live.log")
    finally:
        b.close()
        live.terminate()
        live.wait()
    drawn = {}
    for t, mode, at in log:
        if mode == "play_on":
            drawn.setdefault(t, at)
    delays = sorted(drawn[t] - arrivals[t] for t in drawn if t in arrivals)
    missing = len([t for t in arrivals if t not in drawn])
    p95 = delays[int(0.95 * (len(delays) - 1))]
    print(f"machine: {os.cpu_count()} cores; load {os.getloadavg()[0]:.2f}")
    print(f"live page delay over {len(delays)} steps of play_on: median "
          f"{statistics.median(delays):.1f} ms, p95 {p95:.1f} ms, max {delays[-1]:.1f} ms; "
          f"steps never drawn: {missing} of {len(arrivals)}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
