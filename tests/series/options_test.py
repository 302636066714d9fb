#!/usr/bin/env python3
"""The seed and server options of scripts/series.sh and scripts/match.sh on a table of
values: each bad one is refused before anything starts, with status 2 (1 for a missing
program, found when the match starts) and one line naming the option, and nothing is
created; each good one passes --check.

usage: tests/series/options_test.py BIN_DIR
"""
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, "..", ".."))
BIN = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(REPO, "build", "bin")
SERIES, MATCH = "scripts/series.sh", "scripts/match.sh"
# script, arguments, exit status, the one line it prints (empty: none)
CASES = [
    (SERIES, "--seed -1", 2, "series.sh: --seed must be a whole number from 0 to 999999989, "
     "not '-1'"),
    (SERIES, "--seed 999999990", 2, "series.sh: --seed must be a whole number from 0 to "
     "999999989, not '999999990'"),  # the last of the 10 matches would pass the largest
    (SERIES, "--matches 1 --seed 999999998", 0, ""),
    (SERIES, "--seed 0", 0, ""),
    (SERIES, "--check --seed", 2, "series.sh: --seed needs a value (see --help)"),
    (SERIES, "--jobs auto", 0, ""),
    (SERIES, "--jobs 65", 2, "series.sh: --jobs must be a whole number from 1 to 64, not '65'"),
    (SERIES, "--pitch nowhere", 2, "series.sh: --pitch: nowhere/pitch is missing"),
    (SERIES, f"--pitch {BIN} --bin nowhere", 2,
     "series.sh: --bin: nowhere/Vorn is missing; build first (./run.sh or ./test.sh)"),
    (MATCH, "--seed 1000000000 --check", 2, "match.sh: --seed must be a whole number from 0 "
     "to 999999999, not '1000000000'"),
    (MATCH, "--seed 12a --check", 2, "match.sh: --seed must be a whole number from 0 to "
     "999999999, not '12a'"),
    (MATCH, "--seed 999999999 --check", 0, ""),
    (MATCH, "--pitch nowhere --cycles 5", 1, "match.sh: --pitch: nowhere/pitch is missing"),
]
failures = []
with tempfile.TemporaryDirectory() as d:
    for script, args, status, line in CASES:
        check = " --check" if script == SERIES and "--check" not in args else ""
        run = subprocess.run([os.path.join(REPO, script)] + (args + check).split(), cwd=d,
                             env=dict(os.environ, VORN_BIN=BIN), capture_output=True,
                             text=True, timeout=60)
        out = (run.stdout + run.stderr).splitlines()
        if run.returncode != status or out != ([line] if line else []) or os.listdir(d):
            failures.append(f"{script} {args}: status {run.returncode} (expected {status}), "
                            f"output {out} (expected {line!r}), left {os.listdir(d)}")

print("\n".join(failures) if failures else "every option as expected")
print(f"{len(CASES) - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
