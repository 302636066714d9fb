#!/usr/bin/env python3
"""Processor use of one idle agent: Vorn (or Vorng) over a stretch of seconds,
 1. with no server at all and standard input on a pipe that stays open,
 2. with no server and standard input at its end (/dev/null) or closed,
 3. against a loopback peer that answers the init and then sends a sense_body
    every 100 ms (the send slots of every cycle are served, nothing is queued),
 4. playing: the same peer in play_on, with a see after every sense_body that shows
    the ball 20 m ahead, so that the player decides and sends commands every cycle.
Prints user+system seconds and the share of one core for each. Every player runs
in a temporary folder; players and folders are gone when the script ends, however
it ends.

usage: bench/idle_cpu.py [--program build/bin/Vorn] [--seconds 10]
"""
import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

SENSE = ("(sense_body {} (view_mode high normal) (stamina 8000 1) (speed 0 0) "
         "(head_angle 0) (kick 0) (dash 0) (turn 0) (say 0) (turn_neck 0))\0")
SEE = "(see {} ((f c) 30 5) ((g r) 60 2) ((b) 20 0 0 0) ((l r) 60 10))\0"
PROG = "idle_cpu.py"


class Refusal(Exception):
    """A one-line reason to stop, printed without a traceback."""


class Parser(argparse.ArgumentParser):
    def error(self, message):
        raise Refusal(message)


def cputime(pid):
    """Seconds the process has run on a processor (nanosecond accounting)."""
    with open(f"/proc/{pid}/schedstat") as f:
        return int(f.read().split()[0]) / 1e9


def seconds(text):
    try:
        value = float(text)
    except ValueError:
        value = float("nan")
    if not 0 < value <= 86400:
        raise argparse.ArgumentTypeError(f"must be above 0 and at most 86400, not '{text}'")
    return value


def program(text):
    if not (os.path.isfile(text) and os.access(text, os.X_OK)):
        raise argparse.ArgumentTypeError(f"'{text}' is not a program that can be run "
                                         "(build first: ./run.sh or ./test.sh)")
    return os.path.abspath(text)


def measure(proc, span, during=None):
    time.sleep(0.5)  # past start-up and placement
    before = cputime(proc.pid)
    if during:
        during(span)
    else:
        time.sleep(span)
    used = cputime(proc.pid) - before
    proc.kill()
    proc.wait()
    return used


def report(name, used, span):
    print(f"{name:<46} {used:8.5f} s  {100 * used / span:6.3f} % of one core", flush=True)


def run(a, scratch, procs, sockets):
    """The four measurements; every process and socket goes into procs and sockets."""
    s = a.seconds

    def start(port, stdin, closed=False):
        folder = tempfile.mkdtemp(dir=scratch)
        procs.append(subprocess.Popen([a.program, "127.0.0.1", str(port)], cwd=folder,
                                      stdin=stdin, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL,
                                      preexec_fn=(lambda: os.close(0)) if closed else None))
        return procs[-1]

    def udp():
        sockets.append(socket.socket(socket.AF_INET, socket.SOCK_DGRAM))
        sockets[-1].bind(("127.0.0.1", 0))
        return sockets[-1]

    print(f"{a.program}, {s:g} s each, on {os.cpu_count()} cores", flush=True)
    port = udp().getsockname()[1]  # a port where nobody answers
    report("no server, standard input on a pipe", measure(start(port, subprocess.PIPE), s), s)
    report("no server, standard input from /dev/null",
           measure(start(port, subprocess.DEVNULL), s), s)
    report("no server, standard input closed", measure(start(port, None, closed=True), s), s)

    def served(initreply, see):
        """A player against a peer that sends a sense_body (and a see, when given) every
        100 ms; the player and the function that plays the peer for a span."""
        peer = udp()
        proc = start(peer.getsockname()[1], subprocess.PIPE)
        peer.settimeout(5)
        try:
            _, agent = peer.recvfrom(4096)
        except socket.timeout:
            raise Refusal("the player sent no init within 5 s")
        peer.sendto(initreply, agent)

        def cycles(span):
            end = time.monotonic() + span
            deadline = time.monotonic()
            cycle = 0
            while time.monotonic() < end:
                peer.sendto(SENSE.format(cycle).encode(), agent)
                if see:
                    time.sleep(0.02)
                    peer.sendto(see.format(cycle).encode(), agent)
                cycle += 1
                deadline += 0.1
                time.sleep(max(0, deadline - time.monotonic()))

        return proc, cycles

    proc, cycles = served(b"(init l 5 before_kick_off)\0", None)
    report("sense_body every 100 ms", measure(proc, s, cycles), s)
    proc, cycles = served(b"(init l 5 play_on)\0", SEE)
    report("playing: sense_body and see every 100 ms", measure(proc, s, cycles), s)


def main():
    procs, sockets, scratch = [], [], None
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # through the clean-up below
    try:
        ap = Parser(prog=PROG, description=__doc__.split("\n")[0])
        here = os.path.dirname(os.path.abspath(__file__))
        ap.add_argument("--program", type=program,
                        default=os.path.join(here, "..", "build", "bin", "Vorn"))
        ap.add_argument("--seconds", type=seconds, default=10)
        a = ap.parse_args()
        scratch = tempfile.mkdtemp(prefix="vornbench.")
        run(a, scratch, procs, sockets)
        return 0
    except Refusal as why:
        print(f"{PROG}: {why}", file=sys.stderr)
        return 2
    except KeyboardInterrupt:
        return 130
    finally:
        for proc in procs:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        for s in sockets:
            s.close()
        if scratch:
            shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
