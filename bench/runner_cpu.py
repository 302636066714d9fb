#!/usr/bin/env python3
"""Processor use of the match runner during play: scripts/match.sh and scripts/start-team.sh
with everything they start (tail, grep, awk, sleep, subshells), pitch and the players aside,
from --start to --end seconds after the runner started, in a match of --cycles cycles. The
players' and pitch's own use over the same stretch is printed beside it. Short-lived
processes count through their parents (the kernel adds a reaped child's time to its
parent's), so nothing that starts and ends between two readings is missed.

usage: bench/runner_cpu.py [--cycles 400] [--start 15] [--end 45] [--players 11]
                           [--scripts DIR] [--bin DIR]

  --scripts DIR  the folder holding match.sh and start-team.sh (default this checkout's
                 scripts/; point it at an older checkout's to compare)
  --bin DIR      Vorn, Vorng and pitch (default build/bin of this checkout)
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
PLAYERS = ("pitch", "Vorn", "Vorng")
TICK = os.sysconf("SC_CLK_TCK")


class Parser(argparse.ArgumentParser):
    def error(self, message):
        sys.exit(f"runner_cpu.py: {message}")


def reading(session):
    """Per process of the session: (name, own plus reaped children's processor seconds)."""
    found = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/stat") as f:
                head, rest = f.read().rsplit(")", 1)
        except OSError:
            continue
        fields = rest.split()
        if int(fields[3]) != session:
            continue
        name = head.split("(", 1)[1]
        ticks = sum(int(v) for v in fields[11:15])  # utime stime cutime cstime
        found[pid] = (name, ticks / TICK)
    return found


def used(before, after, agents):
    """Processor seconds between two readings, of the agents or of everything else."""
    def part(r):
        return sum(t for name, t in r.values() if (name in PLAYERS) == agents)
    return part(after) - part(before)


def main():
    parser = Parser(description=__doc__.split("\n\n")[0],
                    formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cycles", type=int, default=400)
    parser.add_argument("--start", type=float, default=15)
    parser.add_argument("--end", type=float, default=45)
    parser.add_argument("--players", type=int, default=11)
    parser.add_argument("--scripts", default=os.path.join(REPO, "scripts"))
    parser.add_argument("--bin", default=os.path.join(REPO, "build", "bin"))
    args = parser.parse_args()
    if not 0 <= args.start < args.end:
        parser.error("--start must be at least 0 and below --end")
    if not os.access(os.path.join(args.scripts, "match.sh"), os.X_OK):
        parser.error(f"--scripts: no match.sh in '{args.scripts}'")
    if not os.access(os.path.join(args.bin, "pitch"), os.X_OK):
        parser.error(f"--bin: no pitch in '{args.bin}' (build first: ./run.sh)")
    work = tempfile.mkdtemp(prefix="vorn-runnercpu.")
    runner = subprocess.Popen(
        [os.path.join(args.scripts, "match.sh"), "--cycles", str(args.cycles), "--players",
         str(args.players), "--dir", os.path.join(work, "match")],
        env=dict(os.environ, VORN_BIN=os.path.abspath(args.bin)), stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        began = time.monotonic()
        time.sleep(args.start)
        before = reading(runner.pid)
        time.sleep(args.end - args.start)
        after = reading(runner.pid)
        if runner.poll() is not None:
            sys.exit("runner_cpu.py: the match ended before --end; give it more --cycles")
        span = time.monotonic() - began - args.start
        scripts, agents = used(before, after, False), used(before, after, True)
        print(f"runner (scripts and what they start): {scripts:.2f} s in {span:.1f} s "
              f"({100 * scripts / span:.1f}% of one core)")
        print(f"pitch and players:                    {agents:.2f} s in {span:.1f} s "
              f"({100 * agents / span:.1f}% of one core)")
    finally:
        try:
            os.killpg(runner.pid, signal.SIGTERM)
            runner.wait(timeout=30)
        except (ProcessLookupError, subprocess.TimeoutExpired):
            os.killpg(runner.pid, signal.SIGKILL)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
