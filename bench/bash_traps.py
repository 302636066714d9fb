#!/usr/bin/env python3
"""How often this machine's bash loses a trapped signal, by the command it was running: a
loop of one command, trapping SIGTERM, gets SIGTERM after a random 0.5 to 1.5 s; the trap
either runs (held) or not (lost: the loop runs on to its 6 s). One command substitution to a
command holds; two in one command lose the signal whenever it comes while the first runs
(bash parses the second with the trap pending, and the trap fails to parse).

  bench/bash_traps.py [--trials N]   (default 20 a command; about 1 s a trial)
"""

import argparse
import random
import signal
import subprocess
import sys
import time

LOOP = """s=""
trap 's=TERM' TERM
while [ -z "$s" ] && [ $SECONDS -lt 6 ]; do %s; done
if [ -n "$s" ]; then echo held; else echo lost; fi"""
COMMANDS = ['x="$(true)"', 'x="$(true)$(true)"', 'x=$(true) y=$(true)']


def trial(command):
    shell = subprocess.Popen(["bash", "-c", LOOP % command], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, start_new_session=True)
    time.sleep(0.5 + random.random())
    shell.send_signal(signal.SIGTERM)
    return shell.communicate()[0].decode().strip() == "held"


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--trials", type=int, default=20, metavar="N",
                        help="trials a command (default 20)")
    args = parser.parse_args(argv)
    if args.trials < 1:
        parser.error("--trials must be at least 1")
    version = subprocess.run(["bash", "-c", "echo $BASH_VERSION"], capture_output=True,
                             text=True).stdout.strip()
    print(f"bash {version}")
    for command in COMMANDS:
        held = sum(trial(command) for _ in range(args.trials))
        print(f"{command:24} held {held} of {args.trials}", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
