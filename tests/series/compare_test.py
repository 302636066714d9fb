#!/usr/bin/env python3
"""Two builds in one run (scripts/series.sh --compare A B): this build as A and a stripped
copy of it as B, 2 pairs of short matches against pitch's chasers, two at once. Each pair
must be played as one: the same seed (S+k, as pitch itself says in each match's report) and
the same side for both builds, vorn on the left in pair 1 and on the right in pair 2; the
order must alternate: GNU parallel's log of the jobs must show A's match of pair 1 started
before B's, and B's of pair 2 before A's, and the run's summary must say so. The summary
must pair the two (not Welch), give the order's effect from the pairs' results, and find
the stripped copy the same team build by its build-id although its sha256 differs. No
process may be left.

usage: tests/series/compare_test.py BIN_DIR
"""
import json
import os
import re
import shutil
import subprocess
import tempfile

from harness import BIN, finish, run, survivors

SEED = 4000
failures = []


def joblog(folder):
    """{(build, pair): (Seq, start time)} from GNU parallel's log of the jobs: the build from
    the stage folder in the command, the pair from its --index."""
    out = {}
    with open(os.path.join(folder, "joblog.txt")) as f:
        for line in f.readlines()[1:]:
            fields = line.rstrip("\n").split("\t")
            which = re.search(r"/([ab])/scripts/series-match\.sh --index (\d+) ", fields[8])
            out[(which.group(1), int(which.group(2)))] = (int(fields[0]), float(fields[2]))
    return out


def pitchseed(match):
    """The seed pitch played the match with, from its line in the match's report."""
    with open(os.path.join(match, "report.txt"), encoding="latin-1") as f:
        return int(re.search(r"^pitch listening on \S+ a match of \d+ cycles with seed (\d+) ",
                             f.read(), re.M).group(1))


def check(d, got):
    folder = os.path.join(d, "run")
    if got.returncode != 0:
        failures.append(f"series.sh --compare: status {got.returncode}")
        return
    with open(os.path.join(folder, "summary.json")) as f:
        summary = json.load(f)
    jobs = joblog(folder)
    results = {}
    for x in ("a", "b"):
        for k in (1, 2):
            match = os.path.join(folder, x, f"match-{k:03d}")
            with open(os.path.join(match, "result.json")) as f:
                r = json.load(f)
            results[(x, k)] = r
            side = "left" if k == 1 else "right"
            if (r["seed"], pitchseed(match), r["side"]) != (SEED + k, SEED + k, side):
                failures.append(f"{x}/match-{k:03d}: seed {r['seed']} (pitch: "
                                f"{pitchseed(match)}), side {r['side']}; pair {k} is seed "
                                f"{SEED + k}, vorn {side}")
    for k, first, second in ((1, "a", "b"), (2, "b", "a")):
        (seq1, start1), (seq2, start2) = jobs[(first, k)], jobs[(second, k)]
        if not (seq1 < seq2 and start1 <= start2):
            failures.append(f"pair {k}: {first.upper()} should have started first: "
                            f"jobs {jobs}")
    pairs = [(p["pair"], p["first"], p["a"]["seed"], p["b"]["seed"], p["a"]["side"],
              p["b"]["side"]) for p in summary["pairs"]]
    if pairs != [(1, "A", SEED + 1, SEED + 1, "left", "left"),
                 (2, "B", SEED + 2, SEED + 2, "right", "right")]:
        failures.append(f"the summary's pairs: {pairs}")
    gd = {key: r["goal_difference"] for key, r in results.items()}
    order = ((gd[("b", 2)] - gd[("a", 2)]) - (gd[("b", 1)] - gd[("a", 1)])) / 2
    lines = [
        "comparison: paired by seed and side: both series played seeds "
        f"{SEED}+1 to {SEED}+2 on the same sides",
        "order: the match started first in its pair minus the one started second, in goal "
        f"difference per match, net of the builds' difference: {order:+.2f} (too few pairs for "
        "an interval: 1 played to the end with A first, 1 with B first; two of each give one)",
        "A: the same team build (the same build-id; the sha256 differ, as a stripped copy's "
        "such as the installed one does)"]
    missing = [line for line in lines if line not in got.stdout.splitlines()]
    if missing or "across time:" in got.stdout:
        failures.append(f"no lines {missing} in:\n{got.stdout}")


with tempfile.TemporaryDirectory() as d:
    stripped = os.path.join(d, "stripped")
    os.mkdir(stripped)
    for name in ("Vorn", "Vorng"):
        shutil.copy2(os.path.join(BIN, name), stripped)
        subprocess.run(["strip", os.path.join(stripped, name)], check=True)
    got = run(["scripts/series.sh", "--compare", BIN, stripped, "--matches", "2", "--cycles",
               "20", "--jobs", "2", "--seed", str(SEED), "--dir", os.path.join(d, "run")])
    try:
        check(d, got)
    except (OSError, ValueError, KeyError, AttributeError, IndexError, TypeError) as e:
        failures.append(f"no run to check: {e!r}")
    if failures:
        print(got.stdout, got.stderr, sep="\n")
    if survivors(d):
        failures.append(f"processes of the run are still running: {survivors(d)}")
finish(failures, passed="the pairs and their order as expected")
