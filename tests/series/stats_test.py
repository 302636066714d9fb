#!/usr/bin/env python3
"""The statistics of a series on fixed tables: t quantiles against published values, and a
series folder of made-up match results (with a baseline series) summed up by
scripts/series_summary.py, against means and intervals worked out by hand."""
import json
import os
import subprocess
import sys
import tempfile

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(REPO, "scripts"))
import series_stats  # noqa: E402

# degrees of freedom, the t quantile of 0.975 from printed tables
QUANTILES = [(1, 12.7062047), (2, 4.3026527), (4, 2.7764451), (8, 2.3060041), (10, 2.2281389),
             (30, 2.0422725), (120, 1.9799304)]
# match, side, status, for, against (the stopped match counts nowhere)
MATCHES = [(1, "left", "played", 0, 3), (2, "right", "played", 1, 2), (3, "left", "played", 0, 4),
           (4, "right", "played", 2, 2), (5, "left", "played", 1, 3), (6, "right", "stopped", 5, 0)]
BASELINE_GD = [-6, -4, -7, -3, -5]
# figure, its mean, the half width of its 95% interval. Goal differences -3 -1 -4 0 -2: mean
# -2, s^2 2.5, half width t(4) * sqrt(2.5 / 5); goals for 0 1 0 2 1: t(4) * sqrt(0.7 / 5).
# Left -3 -4 -2: t(2) / sqrt(3); right -1 0: t(1) * 0.5. Against the baseline (mean -5, s^2
# 2.5): difference 3, standard error 1, Welch's degrees of freedom 8.
EXPECTED = [
    ("goal_difference", -2, 1.9632432),
    ("goals_for", 0.8, 1.0388506),
    ("by_side/left/goal_difference", -3, 2.4841377),
    ("by_side/right/goal_difference", -0.5, 6.3531024),
    ("baseline/difference", 3, 2.3060041),
]
failures = []


def check(what, got, want, tolerance=1e-6):
    if isinstance(want, (list, tuple)):
        for g, w in zip(got or [None] * len(want), want):
            check(what, g, w, tolerance)
    elif got is None or abs(got - want) > tolerance:
        failures.append(f"{what}: {got}, expected {want}")


for df, t in QUANTILES:
    check(f"t quantile, {df} df", series_stats.t_quantile(0.975, df), t)
# Two series without spread still differ, by exactly the difference of their means.
check("difference without spread", (series_stats.difference([-3] * 3, [-5] * 4) or {}).get("ci95"),
      [2, 2])

with tempfile.TemporaryDirectory() as d:
    for n, side, status, f, a in MATCHES:
        os.makedirs(os.path.join(d, "s", f"match-{n:03d}"))
        r = {"dir": f"match-{n:03d}", "side": side, "status": status, "for": f, "against": a,
             "goal_difference": f - a, "cycles": 100, "catches": 0, "missed_slots": n,
             "slots": 1000, "p99_ms": 1.0}
        with open(os.path.join(d, "s", r["dir"], "result.json"), "w") as out:
            json.dump(r, out)
    os.makedirs(os.path.join(d, "b"))
    with open(os.path.join(d, "b", "summary.json"), "w") as out:
        json.dump({"matches": [{"status": "played", "goal_difference": g} for g in BASELINE_GD]},
                  out)
    summarise = [sys.executable, os.path.join(REPO, "scripts", "series_summary.py"), "series",
                 os.path.join(d, "s"), "--baseline"]
    with open(os.path.join(d, "s", "summary.json"), "w") as out:
        out.write('{"matches": [1]}')  # not a series: one line, status 1, no traceback
    bad = subprocess.run(summarise + [os.path.join(d, "s")], capture_output=True, text=True)
    if bad.returncode != 1 or len(bad.stderr.splitlines()) != 1:
        failures.append(f"a baseline that is no series: {bad.returncode}, {bad.stderr!r}")
    run = subprocess.run(summarise + [os.path.join(d, "b")], capture_output=True, text=True)
    if run.returncode != 0 or not os.path.isfile(os.path.join(d, "s", "index.html")):
        failures.append(f"series_summary.py: status {run.returncode}: {run.stderr}")
    else:
        with open(os.path.join(d, "s", "summary.json")) as f:
            summary = json.load(f)
        for path, mean, half in EXPECTED:
            got = summary
            for k in path.split("/"):
                got = got[k]
            check(path, [got["mean"]] + got["ci95"], [mean, mean - half, mean + half])
        check("won, drawn, lost", [summary[k] for k in ("wins", "draws", "losses")], [0, 1, 4])
        check("missed slots", (summary["missed_slots"], summary["slots"]), (15, 5000))
        if not summary["baseline"]["difference"]["excludes_zero"]:
            failures.append("the difference from the baseline should exclude zero")

print("\n".join(failures) if failures else "every figure as expected")
print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
sys.exit(1 if failures else 0)
