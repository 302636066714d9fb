#!/usr/bin/env python3
"""How long scripts/replay.py takes to turn a whole real-server match into a page, and how
large the page is.

  bench/replay_gamelog.py [--cycles N] [--keep DIR]

A whole match is made from the real server's sample in tests/data/gamelogs (300 cycles):
its header, 100 steps before the kick-off, then its show lines over and over with the
cycle counted on to N (default 6000), its play-mode changes repeated with them, and a goal
every 1000 cycles followed by 50 steps with the clock stopped and a kick-off; that is about
as large as a real server's log of a whole match (18 MB). The log is written plain (.rcg)
and compressed (.rcg.gz, as a server with compression writes it), and replay.py runs on
each as a user runs it. Prints the sizes, the wall and processor time of each run, the
machine, and its load.
"""

import argparse
import gzip
import os
import platform
import re
import resource
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SAMPLE = os.path.join(REPO, "tests", "data", "gamelogs", "real-server-300.rcg.gz")
SHOW = re.compile(r"^\(show (\d+) ")


def whole_match(cycles):
    """The lines of a match of the given length, built from the sample."""
    with gzip.open(SAMPLE, "rt") as f:
        lines = f.read().splitlines(keepends=True)
    timed = ("(show", "(playmode", "(team", "(msg")
    header = [line for line in lines if not line.startswith(timed)]
    shows = [line for line in lines if line.startswith("(show ")]
    modes = {int(m.group(1)): m.group(2) for m in
             (re.match(r"\(playmode (\d+) (\w+)\)", line) for line in lines) if m}
    out = header + ["(playmode 0 before_kick_off)\n", "(team 0 vorn opp 0 0)\n"]
    out += [SHOW.sub("(show 0 ", shows[0])] * 100
    score = [0, 0]
    for t in range(1, cycles + 1):
        show = shows[(t - 1) % len(shows)]
        mode = modes.get((t - 1) % len(shows) + 1)
        if mode:
            out.append(f"(playmode {t} {mode})\n")
        out.append(SHOW.sub(f"(show {t} ", show))
        if t % 1000 == 0 and t < cycles:
            side = (t // 1000) % 2
            score[side] += 1
            out.append(f"(playmode {t} goal_{'lr'[side]})\n")
            out.append(f"(team {t} vorn opp {score[0]} {score[1]})\n")
            out += [SHOW.sub(f"(show {t} ", show)] * 50
            out.append(f"(playmode {t} kick_off_{'rl'[side]})\n")
    out.append(f"(msg {cycles} 1 \"(result bench vorn_{score[0]}-vs-opp_{score[1]})\")\n")
    return "".join(out)


def cpu():
    """Processor time used by the finished child processes so far, in seconds."""
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def machine():
    model = "?"
    try:
        with open("/proc/cpuinfo") as f:
            model = next((line.split(":", 1)[1].strip() for line in f
                          if line.startswith("model name")), "?")
    except OSError:
        pass
    system = platform.platform()
    try:
        with open("/etc/os-release") as f:
            system = next((line.split("=", 1)[1].strip().strip('"') for line in f
                           if line.startswith("PRETTY_NAME=")), system)
    except OSError:
        pass
    return f"{os.cpu_count()} cores, {model}, {system}"


def main(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--cycles", type=int, default=6000, help="length of the match (default 6000)")
    p.add_argument("--keep", metavar="DIR", help="leave the logs and pages in DIR")
    a = p.parse_args(argv)
    if not 300 <= a.cycles <= 100000:
        print("replay_gamelog.py: --cycles must be from 300 to 100000", file=sys.stderr)
        return 2
    with tempfile.TemporaryDirectory(prefix="vorn-replaybench.") as tmp:
        folder = a.keep or tmp
        os.makedirs(folder, exist_ok=True)
        text = whole_match(a.cycles)
        plain, packed = os.path.join(folder, "match.rcg"), os.path.join(folder, "match.rcg.gz")
        with open(plain, "w") as f:
            f.write(text)
        with gzip.open(packed, "wt") as f:
            f.write(text)
        print(f"machine: {machine()}; load average before: {os.getloadavg()[0]:.2f}")
        mb = [os.path.getsize(f) / 1e6 for f in (plain, packed)]
        print(f"log: {a.cycles} cycles, {text.count('(show ')} show lines, {mb[0]:.1f} MB "
              f"(.rcg.gz: {mb[1]:.1f} MB)")
        for log in (plain, packed):
            page = log + ".html"
            before, started = cpu(), time.monotonic()
            subprocess.run([sys.executable, os.path.join(REPO, "scripts", "replay.py"), log,
                            "-o", page], check=True, stdout=subprocess.DEVNULL)
            took, used = time.monotonic() - started, cpu() - before
            print(f"replay.py {os.path.basename(log)}: {took:.1f} s ({used:.1f} s of processor "
                  f"time), page {os.path.getsize(page) / 1e6:.2f} MB")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
