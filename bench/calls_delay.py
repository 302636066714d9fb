#!/usr/bin/env python3
"""How long after its first player writes a referee's call into its console trace the team
starter (scripts/start-team.sh) prints it: a match of --cycles cycles on pitch against the
chasers, --players players of vorn started by hand. The trace is read at least every 2 ms
and the team's output as it comes; per call the delay in ms (at most: the call was written
after the last read that did not find it), then the largest.

usage: bench/calls_delay.py [--cycles 200] [--players 2] [--scripts DIR] [--bin DIR]

  --scripts DIR  the folder holding start-team.sh (default this checkout's scripts/; point
                 it at an older checkout's to compare)
  --bin DIR      Vorn, Vorng and pitch (default build/bin of this checkout)
"""
import argparse
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
CALL = re.compile(rb"^in hear out\[0\]=hear (\d+) referee (kick_off|goal|half_time|time_over)")
TOLD = {"kick-off": b"kick_off", "goal": b"goal", "half time": b"half_time",
        "time over": b"time_over"}


class Parser(argparse.ArgumentParser):
    def error(self, message):
        sys.exit(f"calls_delay.py: {message}")


def main():
    parser = Parser(description="Delay from a referee's call in the first player's trace to "
                    "the team starter's line for it.")
    parser.add_argument("--cycles", type=int, default=200)
    parser.add_argument("--players", type=int, default=2, choices=range(1, 12),
                        metavar="1..11")
    parser.add_argument("--scripts", default=os.path.join(REPO, "scripts"))
    parser.add_argument("--bin", default=os.path.join(REPO, "build", "bin"))
    a = parser.parse_args()
    if a.cycles < 1:
        parser.error("--cycles: must be above 0")
    work = tempfile.mkdtemp(prefix="vorn-callsdelay.")
    pitch = subprocess.Popen([os.path.join(a.bin, "pitch"), "--port", "0", "--bind",
                              "127.0.0.1", "--wait-players", str(a.players), "--cycles",
                              str(a.cycles), "--opponent", "chasers", "--quiet"],
                             stdout=subprocess.PIPE, start_new_session=True)
    port = pitch.stdout.readline().split()[-1].decode()
    team = subprocess.Popen([os.path.join(a.scripts, "start-team.sh"), "--host", "127.0.0.1",
                             "--port", port, "--players", str(a.players), "--dir", work],
                            env=dict(os.environ, VORN_BIN=a.bin), stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    trace = os.path.join(work, "player1", "console.txt")
    written, told, seen, out, done = {}, [], 0, b"", False
    before = time.monotonic()  # the start of the last read that found the trace as it was
    try:
        while not done:
            if select.select([team.stdout], [], [], 0.002)[0]:
                chunk = os.read(team.stdout.fileno(), 4096)
                done = not chunk
                out += chunk
                while b"\n" in out:
                    line, out = out.split(b"\n", 1)
                    if line.startswith(b"referee: "):
                        told.append((time.monotonic(), line.decode("latin-1")))
                    if line.startswith(b"referee: time over"):
                        os.kill(team.pid, signal.SIGTERM)  # the players would wait 10 s
            started = time.monotonic()
            try:
                with open(trace, "rb") as f:
                    f.seek(seen)
                    data = f.read()
            except OSError:
                continue
            end = data.rfind(b"\n") + 1
            seen += end
            for line in data[:end].split(b"\n"):
                m = CALL.match(line)
                if m and (m.group(1), m.group(2)) not in written:
                    written[(m.group(1), m.group(2))] = before
            before = started
    finally:
        team.wait()
        pitch.kill()
        pitch.wait()
        shutil.rmtree(work, ignore_errors=True)
    # Each line told goes with the call of its kind and cycle in the trace; the call was
    # written after the read before the one that found it, so each delay is an upper bound.
    delays = []
    for when, line in told:
        m = re.match(r"referee: (kick-off|goal|half time|time over).* at cycle (\d+)", line)
        key = (m.group(2).encode(), TOLD[m.group(1)]) if m else None
        if key not in written:
            print(f"{line}: not found in the trace")
            continue
        delays.append((when - written[key]) * 1000)
        print(f"{delays[-1]:8.1f} ms  {line}")
    if delays:
        print(f"largest: {max(delays):.1f} ms over {len(delays)} calls")
    return 0 if delays else 1


if __name__ == "__main__":
    sys.exit(main())
