#!/usr/bin/env python3
"""Processor use of one idle agent: Vorn (or Vorng) over a stretch of seconds,
 1. with no server at all and standard input on a pipe that stays open,
 2. with no server and standard input at its end (/dev/null) or closed,
 3. against a loopback peer that answers the init and then sends a sense_body
    every 100 ms (the send slots of every cycle are served, nothing is queued).
Prints user+system seconds and the share of one core for each.

usage: bench/idle_cpu.py [--program build/bin/Vorn] [--seconds 10]
"""
import argparse
import os
import sys
import socket
import subprocess
import tempfile
import time

SENSE = ("(sense_body {} (view_mode high normal) (stamina 8000 1) (speed 0 0) "
         "(head_angle 0) (kick 0) (dash 0) (turn 0) (say 0) (turn_neck 0))\0")


def cputime(pid):
    """Seconds the process has run on a processor (nanosecond accounting)."""
    with open(f"/proc/{pid}/schedstat") as f:
        return int(f.read().split()[0]) / 1e9


def start(program, port, stdin, closed=False):
    folder = tempfile.mkdtemp(prefix="vornbench.")
    return subprocess.Popen([os.path.abspath(program), "127.0.0.1", str(port)], cwd=folder,
                            stdin=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            preexec_fn=(lambda: os.close(0)) if closed else None)


def measure(proc, seconds, during=None):
    time.sleep(0.5)  # past start-up and placement
    before = cputime(proc.pid)
    if during:
        during(seconds)
    else:
        time.sleep(seconds)
    used = cputime(proc.pid) - before
    proc.kill()
    proc.wait()
    return used


def report(name, used, seconds):
    print(f"{name:<46} {used:8.5f} s  {100 * used / seconds:6.3f} % of one core")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--program", default="build/bin/Vorn")
    ap.add_argument("--seconds", type=float, default=10)
    a = ap.parse_args()
    s = a.seconds
    print(f"{a.program}, {s:g} s each, on {os.cpu_count()} cores")
    sys.stdout.flush()

    sink = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sink.bind(("127.0.0.1", 0))  # a port where nobody answers
    port = sink.getsockname()[1]

    proc = start(a.program, port, subprocess.PIPE)
    report("no server, standard input on a pipe", measure(proc, s), s)
    proc = start(a.program, port, subprocess.DEVNULL)
    report("no server, standard input from /dev/null", measure(proc, s), s)
    proc = start(a.program, port, None, closed=True)
    report("no server, standard input closed", measure(proc, s), s)

    peer = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    peer.bind(("127.0.0.1", 0))
    proc = start(a.program, peer.getsockname()[1], subprocess.PIPE)
    peer.settimeout(5)
    _, agent = peer.recvfrom(4096)
    peer.sendto(b"(init l 5 before_kick_off)\0", agent)

    def cycles(seconds):
        end = time.monotonic() + seconds
        deadline = time.monotonic()
        cycle = 0
        while time.monotonic() < end:
            peer.sendto(SENSE.format(cycle).encode(), agent)
            cycle += 1
            deadline += 0.1
            time.sleep(max(0, deadline - time.monotonic()))

    report("sense_body every 100 ms", measure(proc, s, cycles), s)


if __name__ == "__main__":
    main()
