#!/usr/bin/env python3
"""The live page in a real browser during a short match on pitch: headless Chromium opens
the page scripts/live.py serves while pitch plays its built-in team at five times the speed,
and the test checks that the cycle and then the score change on the page while the match
runs, that the players and the ball are drawn, that a second watcher gets the steps at the
same time, that the page says when the server has gone and when a new one on the same port
answers, and that Ctrl-C ends live.py. Exit status 0 when all holds, 1 on a failure, 77 when
no Chromium is installed (./test.sh installs it).

  live_page_test.py [BIN_DIR]                  the test (default build/bin)
  live_page_test.py --url URL --screenshot PNG [--wait S]
                                               a picture of a running live page after S s
"""

import argparse
import json
import os
import signal
import socket
import subprocess
import sys
import threading
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
from browser import (Browser, BrowserError, Failure, check, find_chromium,  # noqa: E402
                     field_state as state, wait_for)

LIVE = os.path.join(REPO, "scripts", "live.py")
SKIP = 77
WAIT = 60.0  # seconds anything awaited may take on a busy machine
CYCLES = 300  # the built-in team scores at cycle 229 (seed 1)


def start_pitch(bin_dir, port, cycles):
    """pitch with its built-in team, waiting before the kick-off for players that never
    come: the match starts when the test's monitor says so, once the page shows the wait."""
    p = subprocess.Popen([os.path.join(bin_dir, "pitch"), "--port", str(port), "--opponent",
                          "chasers", "--cycles", str(cycles), "--step-ms", "20",
                          "--kickoff-after", "0", "--quiet"],
                         stdout=subprocess.PIPE, text=True)
    line = p.stdout.readline()
    check(line.startswith("pitch: listening on port"), f"pitch did not start: {line!r}")
    threading.Thread(target=p.stdout.read, daemon=True).start()  # the rest, unread
    return p, int(line.split()[-1])


class KickOff:
    """The kick-off, asked of pitch by a monitor of the test's own: (dispstart) to the port
    its session answers from, again at every poke() until the page shows the match under
    way (a repeated one changes nothing once pitch has kicked off)."""

    def __init__(self, port):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.settimeout(WAIT)
        self.sock.sendto(b"(dispinit version 5)\0", ("127.0.0.1", port))
        _, self.session = self.sock.recvfrom(1 << 16)
        self.last = 0.0

    def poke(self):
        if time.monotonic() - self.last >= 0.5:
            self.sock.sendto(b"(dispstart)\0", self.session)
            self.last = time.monotonic()
        return False

    def close(self):
        self.sock.sendto(b"(dispbye)\0", self.session)
        self.sock.close()


def kicked_off(b, port, test, what):
    """The page's state once test holds, pitch kicked off by the test's monitor."""
    k = KickOff(port)
    try:
        return wait_for(b, lambda s: test(s) or k.poke(), what)
    finally:
        k.close()


def watcher(url, frames):
    """A second watcher beside the browser: counts the events with a step in them."""
    try:
        with urllib.request.urlopen(url + "events", timeout=WAIT) as r:
            for raw in r:
                if raw.startswith(b"data: ") and json.loads(raw[6:]).get("frame"):
                    frames.append(1)
    except OSError:
        pass


def run(bin_dir, chromium):
    pitch, port = start_pitch(bin_dir, 0, CYCLES)
    live = subprocess.Popen([sys.executable, LIVE, "--port", str(port), "--listen",
                             "127.0.0.1:0"], stdout=subprocess.PIPE, text=True)
    b = second = None
    try:
        first = live.stdout.readline()
        check(first.startswith("live: the page is at http://127.0.0.1:"), f"live.py: {first!r}")
        url = first.split()[5]
        frames = []
        threading.Thread(target=watcher, args=(url, frames), daemon=True).start()
        b = Browser(chromium)
        b.goto(url)
        watching = f"watching 127.0.0.1:{port} (it answers from port "
        # The page's first state is the wait before the kick-off, however long the browser
        # took to come: only then does the match start.
        wait_for(b, lambda s: s["state"] == "watching" and s["score"] == "0:0",
                 "the match's wait before the kick-off")
        s = kicked_off(b, port, lambda s: int(s["cycle"]) > 0, "a cycle after the kick-off")
        check(s["state"] == "watching" and s["status"].startswith(watching),
              f"status while watching: {s['state']} {s['status']!r}")
        drawn = sorted((d["kind"], d.get("side"), d.get("unum"), d.get("goalie")) for d in s["drawn"])
        check(drawn == sorted([("ball", None, None, None), ("player", "r", 1, True)] +
                              [("player", "r", u, False) for u in range(2, 12)]),
              f"drawn: {drawn}")
        cycles, scores = [int(s["cycle"])], [s["score"]]
        deadline = time.monotonic() + WAIT
        while int(s["cycle"]) < CYCLES and time.monotonic() < deadline:
            s = state(b)
            if int(s["cycle"]) != cycles[-1]:
                cycles.append(int(s["cycle"]))
            if s["score"] != scores[-1]:
                scores.append(s["score"])
            time.sleep(0.05)
        check(len(cycles) >= 10 and cycles == sorted(cycles), f"cycles seen: {cycles}")
        check(scores == ["0:0", "0:1"], f"scores seen: {scores}")
        check(len(frames) >= 10, f"the second watcher got {len(frames)} steps")
        check(pitch.wait(timeout=WAIT) == 0, "pitch failed")

        silent = f"127.0.0.1:{port} is silent since cycle {CYCLES}; asking again every second"
        wait_for(b, lambda s: s["state"] == "silent" and s["status"] == silent, repr(silent))
        pitch, _ = start_pitch(bin_dir, port, 20)  # a server restarted on the same port
        again = f"watching 127.0.0.1:{port} again (it answers from port "
        wait_for(b, lambda s: s["status"].startswith(again) and int(s["cycle"]) == 0,
                 repr(again))
        kicked_off(b, port, lambda s: s["status"].startswith(again) and int(s["cycle"]) > 0,
                   "the second match under way")
        check(pitch.wait(timeout=WAIT) == 0, "the second pitch failed")

        live.send_signal(signal.SIGINT)
        check(live.wait(timeout=WAIT) == 0, f"live.py after Ctrl-C: status {live.returncode}")
        rest = live.stdout.read().splitlines()
        check(rest[-1:] == ["live: stopped"], f"live.py's last lines: {rest}")
    finally:
        for p in (pitch, live):
            if p.poll() is None:
                p.kill()
                p.wait()
        live.stdout.close()
        if b:
            b.close()


def main(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("bin", nargs="?", default=os.path.join(REPO, "build", "bin"))
    p.add_argument("--url", help="a live page already running (with --screenshot)")
    p.add_argument("--screenshot", metavar="PNG", help="write a picture of the page instead")
    p.add_argument("--wait", type=float, default=5, help="seconds before the picture")
    a = p.parse_args(argv)
    chromium = find_chromium()
    if not chromium:
        print("live_page_test.py: skipped, no chromium installed")
        return SKIP
    try:
        if a.screenshot:
            b = Browser(chromium)
            try:
                b.goto(a.url)
                time.sleep(a.wait)  # a picture when the user asks for it, no check
                b.screenshot(a.screenshot)
                s = state(b)
                print(f"screenshot: {a.screenshot} (cycle {s['cycle']}, {s['status']})")
            finally:
                b.close()
            return 0
        run(a.bin, chromium)
    except (Failure, BrowserError, OSError, subprocess.TimeoutExpired) as e:
        print(f"live_page_test.py: FAILED: {e}")
        return 1
    print("live_page_test.py: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
