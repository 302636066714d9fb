#!/usr/bin/env python3
"""The statistics of a series on fixed tables: t quantiles against published values, paired
differences and the matches needed against values worked out by hand and published power
tables, and series folders of made-up match results (with baseline series: one of other
seeds, one of the same) summed up by scripts/series_summary.py, against means, intervals,
verdicts and lines worked out by hand. A verdict needs a spread it can estimate: below 5
pairs (or 5 matches a side), or without spread, it is "cannot tell", with the reason."""
import html
import json
import os
import subprocess
import sys
import tempfile

from harness import REPO, finish

sys.path.insert(0, os.path.join(REPO, "scripts"))
from vornkit import series_compare  # noqa: E402
from vornkit import series_stats  # noqa: E402

# degrees of freedom, the t quantile of 0.975 from printed tables
QUANTILES = [(1, 12.7062047), (2, 4.3026527), (4, 2.7764451), (8, 2.3060041), (10, 2.2281389),
             (30, 2.0422725), (120, 1.9799304)]
# p, degrees of freedom, the t quantile from a printed table of Student's t (three decimals;
# below 0.5 the table's value for 1 - p, negated, as the distribution is symmetric)
OTHER_QUANTILES = [(0.3, 10, -0.542), (0.1, 10, -1.372), (0.025, 4, -2.776), (0.5, 7, 0.0),
                   (0.8, 10, 0.879), (0.8, 4, 0.941), (0.9, 1, 3.078), (0.8, 30, 0.854)]
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
# this series' and the baseline's goal differences, pair by pair; the mean difference, the
# half width of its interval (t(n - 1) * s / sqrt(n), t from the printed table, s by hand),
# the verdict and why it cannot tell
PAIRED = [
    # 4 pairs: the interval [+0.45, +4.55] lies above zero, but 4 pairs are too few to know
    # the spread
    ([1, 2, 3, 4], [0, 0, 0, 0], 2.5, 3.1824463 * 1.2909944 / 2, "cannot tell",
     "fewer than 5 pairs: 4"),
    ([0, 0, 1], [1, 2, 0], -2 / 3, 4.3026527 * 1.5275252 / 3 ** 0.5, "cannot tell",
     "fewer than 5 pairs: 3"),
    # differences -4 -4 -3 -4 -4: s^2 = 0.2
    ([-5, -6, -4, -5, -6], [-1, -2, -1, -1, -2], -3.8, 2.7764451 * 0.2 ** 0.5 / 5 ** 0.5,
     "worse", None),
    # differences 1 2 3 4 5: s^2 = 2.5, interval [1.04, 4.96]
    ([1, 2, 3, 4, 5], [0] * 5, 3, 2.7764451 * 2.5 ** 0.5 / 5 ** 0.5, "better", None),
    # differences -1 0 1 2 -2: mean 0, s^2 = 2.5
    ([0, 1, 2, 3, 0], [1, 1, 1, 1, 2], 0, 2.7764451 * 2.5 ** 0.5 / 5 ** 0.5,
     "no difference shown", None),
    ([2, 3], [1, 2], 1, 0, "cannot tell", "fewer than 5 pairs: 2"),
    # every pair differs alike: an interval of width 0, no spread to judge by
    ([2, 3, 4, 5, 6], [1, 2, 3, 4, 5], 1, 0, "cannot tell", "no spread: all 5 pairs differ alike"),
]
# two unpaired samples; the verdict and why it cannot tell. The first: means 3 and 0, s^2 1
# and 1 over 5 each, so Welch's df 8 and the interval 3 +- 2.306 * sqrt(0.4) = [1.54, 4.46].
WELCH = [
    ([2, 3, 4, 2, 4], [-1, 0, 1, -1, 1], "better", None),
    ([2, 3, 4, 2, 4, 3], [-1, 1, 0, 0], "cannot tell", "fewer than 5 matches on a side: 6 and 4"),
    ([1] * 5, [0] * 6, "cannot tell", "no spread: every match of both came out alike"),
    ([1] * 5, [0, 1, -1, 0, 0], "better", None),  # one sample spreads: Welch's df 4
    ([2], [0, 1, 2, 3, 4], "cannot tell", "fewer than two matches on a side: no interval"),
]
# whether an interval excludes zero: a bound on zero does not
EXCLUDES = [([0.1, 2], True), ([-2, -0.1], True), ([0, 2], False), ([-2, 0], False),
            ([0, 0], False), ([-1, 1], False)]
# two samples, their pooled standard deviation by hand: [1 2 3] and [2 4]: squares about
# their means 2 and 2, sqrt(4 / 3); [1 3] and [0 4]: 2 and 8, sqrt(10 / 2); none below 3
POOLED = [([1, 2, 3], [2, 4], 1.1547005), ([1, 3], [0, 4], 2.2360680), ([0, 0], [5], 0.0),
          ([1], [1], None)]
# spread, difference, paired, matches needed at 95% with 80% power: published power tables
# of Student's t test give 10 pairs and 17 matches a series for a difference of one spread,
# 34 and 64 for half of one
# 34 and 64 for half of one; a difference of 0 no number of matches shows (the most counted,
# 100000); a negative one needs as many as its size; without spread the fewest, 2
NEEDED = [(1, 1, True, 10), (1, 0.5, True, 34), (2, 1, True, 34), (1, 1, False, 17),
          (1, 0.5, False, 64), (0.5, 1, False, 6), (1, 0, True, 100000),
          (1, 0, False, 100000), (1, -1, True, 10), (0, 1, True, 2), (0, 0, True, 100000)]
# paired, matches here, in the baseline, the spread; the matches needed for a difference of 1
# (from NEEDED's power tables: 10 pairs, 17 a series at sd 1), those there are, enough, why not
SUFFICIENCY = [
    (True, 10, 10, 1.0, 10, 10, True, None),
    (True, 9, 9, 1.0, 10, 9, False, None),
    (False, 17, 20, 1.0, 17, 17, True, None),
    (False, 12, 30, 1.0, 17, 12, False, None),  # the smaller series counts
    (True, 4, 4, 1.0, 10, 4, False, "fewer than 5 pairs: the spread is not known"),
    (False, 8, 4, 1.0, 17, 4, False, "fewer than 5 matches on a side: the spread is not known"),
    (True, 6, 6, 0.0, 2, 6, False, "the goal differences did not spread at all"),
    (False, 1, 1, None, None, 1, False, "too few matches for a spread"),
]
failures = []


def check(what, got, want, tolerance=1e-6):
    if isinstance(want, (list, tuple)):
        for g, w in zip(got or [None] * len(want), want):
            check(what, g, w, tolerance)
    elif got is None or abs(got - want) > tolerance:
        failures.append(f"{what}: {got}, expected {want}")


def summarise(*args):
    return subprocess.run([sys.executable, os.path.join(REPO, "scripts", "series_summary.py")] +
                          list(args), capture_output=True, text=True)


def writejson(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as out:
        json.dump(data, out)


def result(series, n, **fields):
    """Writes match n's result.json in the series folder: a match of 100 cycles played to the
    end, 0:0, vorn on the left in odd ones; fields say what differs."""
    writejson(os.path.join(series, f"match-{n:03d}", "result.json"),
              {"dir": f"match-{n:03d}", "side": "left" if n % 2 else "right", "status": "played",
               "for": 0, "against": 0, "goal_difference": 0, "cycles": 100, "catches": 0,
               "missed_slots": 0, "slots": 1000, "p99_ms": 1} | fields)


for df, t in QUANTILES:
    check(f"t quantile, {df} df", series_stats.t_quantile(0.975, df), t)
for p, df, t in OTHER_QUANTILES:
    check(f"t quantile {p}, {df} df", series_stats.t_quantile(p, df), t, 5e-4)
for ours, theirs, mean, half, verdict, why in PAIRED:
    d = series_stats.paired(ours, theirs)
    check(f"paired {ours} - {theirs}", [d["mean"]] + d["ci95"], [mean, mean - half, mean + half])
    got = (series_stats.verdict(d), series_stats.why_not(d))
    if got != (verdict, why):
        failures.append(f"paired {ours} - {theirs}: {got}, not {(verdict, why)}")
for ours, theirs, verdict, why in WELCH:
    d = series_stats.difference(ours, theirs)
    got = (series_stats.verdict(d), series_stats.why_not(d))
    if got != (verdict, why):
        failures.append(f"unpaired {ours} - {theirs}: {got}, not {(verdict, why)}")
for ci, excludes in EXCLUDES:
    if series_stats.excludes_zero(ci) != excludes:
        failures.append(f"the interval {ci} excludes zero: {not excludes}")
for ours, theirs, sd in POOLED:
    got = series_stats.pooled_sd(ours, theirs)
    if sd is None and got is not None or sd is not None and (got is None or abs(got - sd) > 1e-6):
        failures.append(f"pooled sd of {ours} and {theirs}: {got}, not {sd}")
if (series_stats.verdict(series_stats.paired([3], [0])),
        series_stats.why_not(series_stats.paired([3], [0]))) != (
            "cannot tell", "fewer than two matches on a side: no interval"):
    failures.append("one pair gives a verdict")
for sd, delta, pairs, n in NEEDED:
    got = series_stats.matches_needed(sd, delta, pairs)
    if got != n:
        failures.append(f"matches needed for {delta} at sd {sd} (paired {pairs}): {got}, not {n}")
for pairs, here, there, sd, needed, have, enough, why in SUFFICIENCY:
    got = series_compare.sufficiency(pairs, here, there, sd)
    want = {"delta": 1.0, "sd": sd, "needed": needed, "have": have, "enough": enough,
            "cannot_tell": why}
    if got != want:
        failures.append(f"large enough, paired {pairs}, {here} and {there} at sd {sd}: {got}, "
                        f"not {want}")
# Two series without spread still differ, by exactly the difference of their means.
check("difference without spread", (series_stats.difference([-3] * 3, [-5] * 4) or {}).get("ci95"),
      [2, 2])


def series_of(seed, planned, gds, sides=None):
    """A baseline's summary: its seed, its plan and the goal differences of its matches, of
    seeds seed+1 on, vorn left in odd ones."""
    return {"seed": seed, "planned": planned, "matches": [
        {"seed": seed + n, "side": (sides or {}).get(n, "left" if n % 2 else "right"),
         "status": "played", "goal_difference": g} for n, g in enumerate(gds, 1)]}


# Which comparison two series get: this series, the baseline, the pairs (None: unpaired) and
# why, as pairing() words it.
PAIRING = [
    (series_of(10, 3, [1, 2, 3]), series_of(10, 3, [0, 0, 1]), [(1, 0), (2, 0), (3, 1)],
     "paired by seed and side: both series played seeds 10+1 to 10+3 on the same sides"),
    (series_of(10, 3, [1, 2, 3]), series_of(10, 4, [0, 0, 1, 1]), None,
     "unpaired (Welch): the baseline has 4 matches, this series 3, so not all seeds are the "
     "same"),
    (series_of(10, 3, [1, 2, 3]), series_of(11, 3, [0, 0, 1]), None,
     "unpaired (Welch): the baseline played other seeds (series seed 11, this series 10)"),
    (series_of(10, 3, [1, 2, 3]), {"matches": []}, None,
     "unpaired (Welch): the baseline has no seeds on record"),
    (series_of(10, 3, [1, 2, 3]), series_of(10, 3, [0, 0, 1], {1: "right", 3: "right"}), None,
     "unpaired (Welch): only 1 of the same seeds were played to the end in both series"),
]
for this, base, pairs, why in PAIRING:
    got = series_compare.pairing(this, base)
    if got != (pairs, why):
        failures.append(f"pairing {this} with {base}: {got}, not {(pairs, why)}")

with tempfile.TemporaryDirectory() as d:
    for n, side, status, f, a in MATCHES:
        result(os.path.join(d, "s"), n, side=side, status=status, against=a,
               goal_difference=f - a, missed_slots=n, **{"for": f})
    writejson(os.path.join(d, "b", "summary.json"),
              {"matches": [{"status": "played", "goal_difference": g} for g in BASELINE_GD]})
    with open(os.path.join(d, "s", "summary.json"), "w") as out:
        out.write('{"matches": [1]}')  # not a series: one line, status 1, no traceback
    bad = summarise("series", os.path.join(d, "s"), "--baseline", os.path.join(d, "s"))
    if bad.returncode != 1 or len(bad.stderr.splitlines()) != 1:
        failures.append(f"a baseline that is no series: {bad.returncode}, {bad.stderr!r}")
    run = summarise("series", os.path.join(d, "s"), "--baseline", os.path.join(d, "b"))
    if run.returncode != 0 or not os.path.isfile(os.path.join(d, "s", "index.html")):
        failures.append(f"series_summary.py: status {run.returncode}: {run.stderr}")
    else:
        with open(os.path.join(d, "s", "summary.json")) as f:
            summary = json.load(f)
        for path, mean, half in EXPECTED:
            got = summary
            for k in path.split("/"):
                got = got[k]
            # a count's interval stops at 0
            low = max(0, mean - half) if path.startswith("goals_") else mean - half
            check(path, [got["mean"]] + got["ci95"], [mean, low, mean + half])
        check("won, drawn, lost", [summary[k] for k in ("wins", "draws", "losses")], [0, 1, 4])
        check("missed slots", (summary["missed_slots"], summary["slots"]), (15, 5000))
        if not summary["baseline"]["difference"]["excludes_zero"]:
            failures.append("the difference from the baseline should exclude zero")


def program(role, name, sha):
    return {"role": role, "name": name, "path": f"/b/{name}", "sha256": sha * 64, "git": None}


# A series of seed 10 (goal differences 1 2 3 4 against the chasers' seeds 11 to 14) against
# two baselines: one of the same seed, whose pairs differ by 1 2 3 4 (mean 2.5, half width
# as in PAIRED), on another server; and one of seed 11, compared unpaired.
with tempfile.TemporaryDirectory() as d:
    programs = [program("server", "pitch", "a"), program("field player", "Vorn", "c")]
    writejson(os.path.join(d, "s", "series.json"),
              {"seed": 10, "planned": 4, "server_options": ["--cycles", "100"],
               "programs": programs})
    base = []
    for n in range(1, 5):
        side = "left" if n % 2 else "right"
        result(os.path.join(d, "s"), n, seed=10 + n, goal_difference=n,
               p99_ms=[3.5, 21.25, 2, 1][n - 1], **{"for": n})
        base.append({"seed": 10 + n, "side": side, "status": "played", "goal_difference": 0})
    writejson(os.path.join(d, "same", "summary.json"),
              {"seed": 10, "planned": 4, "matches": base, "server_options": ["--cycles", "100"],
               "programs": [program("server", "pitch", "b"), programs[1]]})
    writejson(os.path.join(d, "other", "summary.json"),
              {"seed": 11, "planned": 4, "matches": base})
    expected = {
        "same": [
            "comparison: paired by seed and side: both series played seeds 10+1 to 10+4 on "
            "the same sides",
            "verdict: cannot tell (fewer than 5 pairs: 4): difference in goal difference per "
            "match +2.50 [+0.45, +4.55] (4 pairs)",
            "large enough for a difference of 1 goal per match: cannot tell (fewer than 5 "
            "pairs: the spread is not known)",
            "warning: the servers differ (pitch (sha256 bbbbbbbbbbbb) in the baseline, pitch "
            "(sha256 aaaaaaaaaaaa) here): the difference is also one of servers"],
        "other": [
            "comparison: unpaired (Welch): the baseline played other seeds (series seed 11, "
            "this series 10)",
            # without spread in the baseline, Welch's interval is the same as the pairs'
            "verdict: cannot tell (fewer than 5 matches on a side: 4 and 4): difference in goal "
            "difference per match +2.50 [+0.45, +4.55] (4 matches here, 4 in the baseline)",
            "large enough for a difference of 1 goal per match: cannot tell (fewer than 5 "
            "matches on a side: the spread is not known)"],
    }
    why = {"same": "fewer than 5 pairs: 4", "other": "fewer than 5 matches on a side: 4 and 4"}
    for name, lines in expected.items():
        run = summarise("series", os.path.join(d, "s"), "--baseline", os.path.join(d, name))
        with open(os.path.join(d, "s", "index.html")) as f:
            page = f.read()
        with open(os.path.join(d, "s", "summary.json")) as f:
            compared = json.load(f)["baseline"]
        for line in lines:
            if line not in run.stdout.splitlines() or f">{html.escape(line)}<" not in page:
                failures.append(f"against {name}: no line {line!r} in the table and the page: "
                                f"{run.stdout}")
        if compared["method"] != ("paired" if name == "same" else "unpaired"):
            failures.append(f"against {name}: compared {compared['method']}")
        if (compared["verdict"], compared["verdict_why"]) != ("cannot tell", why[name]):
            failures.append(f"against {name}: summary.json's verdict {compared['verdict']}, "
                            f"{compared['verdict_why']}")
    worst = ("warning: the worst match's send-slot p99 was 21.25 ms (match-002), above 20 ms: "
             "the machine was too busy for the matches to mean what they would mean alone; "
             "play fewer at once (--jobs)")
    if worst not in run.stdout.splitlines():
        failures.append(f"no warning of the worst p99 in {run.stdout}")

# A series of 6 matches of seed 40 against a baseline of the same seeds that drew them all:
# pairs differing by 2 0 3 1 2 4, mean 2, s^2 2, half width t(5) * sqrt(2 / 6) = 1.484. At sd
# sqrt(2) a difference of 1 needs the smallest n with n >= 2 (t(0.975, n - 1) + t(0.8, n - 1))^2:
# from the printed table 17 gives 2 (2.120 + 0.865)^2 = 17.8, too few; 18 gives
# 2 (2.110 + 0.863)^2 = 17.7.
with tempfile.TemporaryDirectory() as d:
    writejson(os.path.join(d, "s", "series.json"), {"seed": 40, "planned": 6})
    for n, gd in enumerate([2, 0, 3, 1, 2, 4], 1):
        result(os.path.join(d, "s"), n, seed=40 + n, goal_difference=gd, **{"for": gd})
    writejson(os.path.join(d, "b", "summary.json"), series_of(40, 6, [0] * 6))
    run = summarise("series", os.path.join(d, "s"), "--baseline", os.path.join(d, "b"))
    with open(os.path.join(d, "s", "index.html")) as f:
        page = f.read()
    with open(os.path.join(d, "s", "summary.json")) as f:
        compared = json.load(f)["baseline"]
    for line in ["verdict: better: difference in goal difference per match +2.00 [+0.52, +3.48] "
                 "(6 pairs)",
                 "the smallest difference these series could show: 1.48 goals per match (the "
                 "interval's half-width)",
                 "large enough for a difference of 1 goal per match: no: at this spread (sd "
                 "1.41) 18 pairs show it (95%, power 80%); these have 6"]:
        if line not in run.stdout.splitlines() or f">{html.escape(line)}<" not in page:
            failures.append(f"6 pairs: no line {line!r} in the table and the page: {run.stdout}")
    got = {k: compared[k] for k in ("verdict", "verdict_why")} | {
        k: compared["sufficient"][k] for k in ("needed", "have", "enough", "cannot_tell")}
    if got != {"verdict": "better", "verdict_why": None, "needed": 18, "have": 6,
               "enough": False, "cannot_tell": None}:
        failures.append(f"6 pairs in summary.json: {got}")

# Head-to-head series against another build (matches 2k-1 and 2k of seed 20+k, the sides
# swapped): their goal differences (None: invalid) and lines. Pairs (2, -1) and (1, 1) have
# means 0.5 and 1: mean 0.75, sd sqrt(0.125), half width t(1) * 0.25; (3, -1) and (2, 0)
# both 1: exactly 1.
HEAD_TO_HEAD = [
    ([2, -1, 1, 1, 0, None], [
        "series in {}: 6 matches, 5 played to the end, 0 stopped early, 0 failed, 1 invalid",
        "head to head, of 5 played to the end: this build won 3, the build in /b won 1, 1 drawn",
        "head to head: paired by seed: 2 seeds, each played by each build on each side; a pair "
        "counts with its mean per match",
        "verdict: cannot tell (fewer than 5 pairs: 2): this build's goal difference per match "
        "against the other +0.75 [-2.43, +3.93]",
        "invalid, left out of the figures: 1 match: match-006 (the opponent never connected)"]),
    ([3, -1, 2, 0], [
        "head to head, of 4 played to the end: this build won 2, the build in /b won 1, 1 drawn",
        "verdict: cannot tell (fewer than 5 pairs: 2): this build's goal difference per match "
        "against the other +1.00 [+1.00, +1.00]"]),
    # pairs (3, -1) (2, 0) (4, 0) (1, 1) (3, 1): means 1 1 2 1 2, mean 1.4, s^2 0.3, half
    # width t(4) * sqrt(0.3 / 5) = 0.680
    ([3, -1, 2, 0, 4, 0, 1, 1, 3, 1], [
        "verdict: better: this build's goal difference per match against the other +1.40 "
        "[+0.72, +2.08]"]),
    # one pair only: match by match, 3 matches are too few; mean 4/3, s^2 1/3, half width
    # t(2) * sqrt(1/3) / sqrt(3) = t(2) / 3 = 1.434
    ([2, 1, 1], [
        "head to head: match by match: 1 pair of the same seed played to the end",
        "verdict: cannot tell (fewer than 5 matches: 3): this build's goal difference per "
        "match against the other +1.33 [-0.10, +2.77]"]),
]
for gds, lines in HEAD_TO_HEAD:
    with tempfile.TemporaryDirectory() as d:
        writejson(os.path.join(d, "series.json"), {"seed": 20, "planned": len(gds),
                                                   "opponent": "vorn:/b", "other_build": "/b"})
        for n, gd in enumerate(gds, 1):
            result(d, n, seed=20 + (n + 1) // 2, goal_difference=gd or 0,
                   against=max(-(gd or 0), 0), **{"for": max(gd or 0, 0)},
                   **({"why": None} if gd is not None else
                      {"status": "invalid", "why": "the opponent never connected"}))
        run = summarise("series", d)
        with open(os.path.join(d, "index.html")) as f:
            page = f.read()
        for line in (x.format(d) for x in lines):
            onpage = html.escape(line.split(", ", 1)[1] if line.startswith("series in ") else line)
            if line not in run.stdout.splitlines() or onpage not in page:
                failures.append(f"head to head {gds}: no line {line!r} in the table and the "
                                f"page: {run.stdout}{run.stderr}")

# A sample's interval cut to what its figure can be: values, least, most, the interval.
# 0 and 4: mean 2, half width t(1) * 2 = 25.4124; 80 and 99: 89.5 +- t(1) * 9.5 = 120.709;
# 1 2 3 and 5 6 7: t(2) / sqrt(3) = 2.4841.
CUT = [
    ([0, 4], 0, None, [0, 2 + 25.4124094]),
    ([80, 99], 0, 100, [0, 100]),
    ([1, 2, 3], 0, None, [0, 2 + 2.4841377]),
    ([5, 6, 7], 0, 100, [6 - 2.4841377, 6 + 2.4841377]),  # within its bounds: as it is
    ([-3, 3], None, None, [-38.1186142, 38.1186142]),  # a difference is not cut
]
for values, low, high, ci in CUT:
    check(f"interval of {values} cut to {low}..{high}",
          series_stats.mean_ci(values, low=low, high=high)["ci95"], ci)

# A series whose matches a full disk broke: result.json empty, missing, or without its
# cycles; each named and counted as failed, the two played summed up, against a baseline of
# the same seeds whose pairs all differ alike (0:0 against 0:0): the series cannot tell.
# result.json's text (None: no file), and the line or part of one the summary must show.
BROKEN = [
    ("", "match-003 ({d}/match-003/result.json is empty)"),
    (None, "match-004 ({d}/match-004/result.json is missing)"),
    ('{"status": "played", "side": "left", "cycles": "68", "for": 0, "against": 2}',
     "match-005 ({d}/match-005/result.json is broken: no cycles, goal_difference, "
     "missed_slots, slots)"),
]
with tempfile.TemporaryDirectory() as d:
    for n in (1, 2):
        result(os.path.join(d, "s"), n, seed=30 + n)
    for n, (text, _) in enumerate(BROKEN, 3):
        os.makedirs(os.path.join(d, "s", f"match-{n:03d}"))
        if text is not None:
            with open(os.path.join(d, "s", f"match-{n:03d}", "result.json"), "w") as out:
                out.write(text)
    writejson(os.path.join(d, "s", "series.json"), {"seed": 30, "planned": 5})
    writejson(os.path.join(d, "b", "summary.json"),
              {"seed": 30, "planned": 5, "matches": [
                  {"seed": 30 + n, "side": "left" if n % 2 else "right", "status": "played",
                   "goal_difference": 0} for n in (1, 2)]})
    run = summarise("series", os.path.join(d, "s"), "--baseline", os.path.join(d, "b"))
    s = os.path.join(d, "s")
    lines = [f"series in {s}: 5 matches, 2 played to the end, 0 stopped early, 3 failed",
             "no result, counted as failed: 3 matches: " +
             "; ".join(why.format(d=s) for _, why in BROKEN),
             "the smallest difference these series could show: cannot tell: the goal "
             "differences did not spread at all"]
    missing = [line for line in lines if line not in run.stdout.splitlines()]
    if run.returncode != 0 or missing or not os.path.isfile(os.path.join(s, "summary.json")):
        failures.append(f"a series with broken matches: status {run.returncode}, no lines "
                        f"{missing} in {run.stdout}{run.stderr}")

# One match folder a full disk cut short: pitch could not write its game log to the end but
# played on and said so, and ended with its summary. pitch's lines, vorn's side; the line
# "match" prints and the cycles in result.json.
CUT_SHORT = [
    (["pitch: cannot write the game log /m/match.rcg: No space left on device",
      "pitch: match over at cycle 200", "score: vorn 0 : 1 chasers"], "left",
     "failed 0 1 pitch cannot write the game log /m/match.rcg: No space left on device", 200),
    (["pitch: cannot write the record /m/match.jsonl: No space left on device",
      "pitch: match over at cycle 300", "score: chasers 2 : 1 vorn"], "right",
     "failed 1 2 pitch cannot write the record /m/match.jsonl: No space left on device", 300),
]
for said, side, line, cycles in CUT_SHORT:
    with tempfile.TemporaryDirectory() as d:
        with open(os.path.join(d, "pitch.txt"), "w") as out:
            out.write("\n".join(said) + "\n")
        with open(os.path.join(d, "match.rcg"), "w") as out:
            out.write("ULG5\n(show 1 ((b) 0 0")  # cut off in its first step
        run = summarise("match", d, "--side", side, "--status", "1", "--cycles", str(cycles))
        try:
            with open(os.path.join(d, "result.json")) as f:
                got = json.load(f)["cycles"]
        except (OSError, ValueError, KeyError):
            got = None
        if run.stdout.splitlines() != [line] or got != cycles:
            failures.append(f"a match cut short ({said[0]}): {run.stdout!r}{run.stderr!r}, "
                            f"cycles {got}")

finish(failures, passed="every figure as expected")
