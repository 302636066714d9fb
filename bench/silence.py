#!/usr/bin/env python3
"""The longest silence a player meets on pitch: pitch with its chasers and ten players of
vorn, and a listening client in the place of the eleventh, which announces itself like a
player, sends nothing more, and notes when every datagram arrives. Prints the longest gaps
between two datagrams, with the cycle and play mode of the datagram that ended each, over a
match of --cycles cycles (6000: a whole match with its pauses before the kick-off, at half
time and after every goal). Players leave at the end of a whole match: the gaps after time
over are not counted.

usage: bench/silence.py [--cycles 6000] [--bin DIR]
"""
import argparse
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cycles", type=int, default=6000)
    parser.add_argument("--bin", default=os.path.join(REPO, "build", "bin"))
    args = parser.parse_args()
    if not os.access(os.path.join(args.bin, "pitch"), os.X_OK):
        sys.exit(f"silence.py: --bin: no pitch in '{args.bin}' (build first: ./run.sh)")
    work = tempfile.mkdtemp(prefix="vorn-silence.")
    pitch = subprocess.Popen([os.path.join(args.bin, "pitch"), "--port", "0", "--bind",
                              "127.0.0.1", "--cycles", str(args.cycles), "--opponent",
                              "chasers", "--wait-players", "11", "--quiet"],
                             stdout=subprocess.PIPE, start_new_session=True)
    team = None
    try:
        port = int(pitch.stdout.readline().split()[-1])
        team = subprocess.Popen([os.path.join(REPO, "scripts", "start-team.sh"), "--host",
                                 "127.0.0.1", "--port", str(port), "--players", "10", "--dir",
                                 work, "--bin", args.bin], stdout=subprocess.DEVNULL,
                                start_new_session=True)
        time.sleep(2.5)  # the ten are numbered first; the listener takes the last place
        listener = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        listener.bind(("127.0.0.1", 0))
        listener.sendto(b"(init vorn (version 6.02))\0", ("127.0.0.1", port))
        listener.settimeout(30)
        gaps, last, mode, cycle = [], None, "before_kick_off", 0
        while True:
            try:
                data = listener.recv(8192).decode("latin-1")
            except socket.timeout:
                break
            now = time.monotonic()
            call = re.match(r"\(hear (\d+) referee (\w+)", data)
            if call:
                mode = call.group(2)
            sense = re.match(r"\((?:sense_body|see) (\d+)", data)
            if sense:
                cycle = int(sense.group(1))
            if last is not None:
                gaps.append((now - last, cycle, mode))
            last = now
            if mode == "time_over":
                break
        gaps.sort(reverse=True)
        print(f"{len(gaps) + 1} datagrams over {args.cycles} cycles; longest gaps:")
        for gap, cycle, mode in gaps[:5]:
            print(f"  {1000 * gap:8.1f} ms, ended by a datagram at cycle {cycle} ({mode})")
    finally:
        for p in (team, pitch):
            if p is not None and p.poll() is None:
                os.killpg(p.pid, signal.SIGTERM)
        for p in (team, pitch):
            if p is not None:
                p.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
