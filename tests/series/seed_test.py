#!/usr/bin/env python3
"""pitch's seed on a table of pairs of matches: two matches with the same seed take the same
steps, two with different seeds do not. The players are pitch's own chasers against an empty
side, kicking off after a fixed number of steps: their commands come at fixed steps, where a
client's datagrams would come when a busy machine lets them. Each match is 5 ms steps long,
and all of them run at once.

usage: tests/series/seed_test.py BIN_DIR
"""
import os
import subprocess
import tempfile

from harness import BIN, at_once, finish
# what the pair shows, the two seeds, whether their steps are to be the same
CASES = [
    ("the same seed", 7, 7, True),
    ("the same large seed", 2147483647, 2147483647, True),
    ("seeds one apart", 7, 8, False),
    ("seed 0 and the largest", 0, 2147483647, False),
]
failures = []


def steps(folder, name, seed):
    """The step lines of the record of a short match with the seed, or an error text."""
    record = os.path.join(folder, f"{name}.jsonl")
    try:
        run = subprocess.run([os.path.join(BIN, "pitch"), "--port", "0", "--opponent", "chasers",
                              "--wait-players", "0", "--kickoff-after", "0.2", "--step-ms", "5",
                              "--cycles", "60", "--quiet", "--seed", str(seed), "--record",
                              record], capture_output=True, text=True, timeout=120)
        with open(record, encoding="utf-8") as f:
            lines = [x for x in f if x.startswith('{"type":"cycle"')]
    except (OSError, subprocess.TimeoutExpired) as e:
        return f"pitch --seed {seed}: {e}"
    if run.returncode != 0 or len(lines) < 60:
        return f"pitch --seed {seed}: status {run.returncode}, {len(lines)} steps: {run.stderr}"
    return lines


def check(folder, i, what, a, b, same):
    got = [steps(folder, f"{i}{side}", seed) for side, seed in (("a", a), ("b", b))]
    errors = [x for x in got if isinstance(x, str)]
    if errors:
        failures.append(f"{what}: " + "; ".join(errors))
    elif (got[0] == got[1]) != same:
        differ = [n for n, (x, y) in enumerate(zip(*got)) if x != y]
        failures.append(f"{what} ({a}, {b}): the steps are {'not ' if same else ''}the same "
                        f"({len(differ)} of {len(got[0])} differ)")


with tempfile.TemporaryDirectory() as d:
    at_once([(check, (d, i) + case) for i, case in enumerate(CASES)])
finish(failures, len(CASES), "every pair as expected")
