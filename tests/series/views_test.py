#!/usr/bin/env python3
"""What a series says about whom, on made-up series folders summed up by
scripts/series_summary.py, and what it puts on record:

- the side under test: a series whose opponent is under test gives that team's side, goals,
  wins and verdict ("your team"), in the table, summary.json and the page;
- what differs from a baseline, on a table of pairs of series: the line naming it, and the
  warning when more than the side under test changed;
- the goal-difference chart stays within a page however far the goal differences spread;
- the ELF build-id: the same for a build and its stripped copy (as readelf reads it), none
  for a file that is no ELF or is cut short;
- the program an opponent's command starts, on a table of commands.

usage: tests/series/views_test.py BIN_DIR
"""
import html
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

from harness import BIN, REPO, finish

sys.path.insert(0, os.path.join(REPO, "scripts"))
from vornkit import programs  # noqa: E402

failures = []
TEAM = os.path.join(REPO, "tests", "support", "scripted_team.py")


def summarise(*args):
    return subprocess.run([sys.executable, os.path.join(REPO, "scripts", "series_summary.py")] +
                          list(args), capture_output=True, text=True)


def writejson(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as out:
        json.dump(data, out)


def program(role, name, sha, build_id=None):
    return {"role": role, "name": name, "path": f"/b/{name}", "sha256": sha * 64,
            "build_id": build_id, "git": None}


def series(folder, gds, **record):
    """A series of matches of 100 cycles played to the end with vorn's goal differences gds
    (vorn left in odd matches, seed 10 + n), and its series.json from record."""
    writejson(os.path.join(folder, "series.json"), {"seed": 10, "planned": len(gds)} | record)
    for n, gd in enumerate(gds, 1):
        writejson(os.path.join(folder, f"match-{n:03d}", "result.json"),
                  {"dir": f"match-{n:03d}", "side": "left" if n % 2 else "right", "seed": 10 + n,
                   "status": "played", "for": max(gd, 0), "against": max(-gd, 0),
                   "goal_difference": gd, "cycles": 100, "catches": 1, "opponent_catches": 2,
                   "missed_slots": 0, "slots": 1000, "p99_ms": 1})


VORN = [program("goalie", "Vorng", "1"), program("field player", "Vorn", "2")]
SERVER = program("server", "pitch", "3")
COMMAND = f"{TEAM} --port {{port}}"


def record(opponent=COMMAND, opponent_sha="4", team="2", under_test="vorn"):
    progs = [SERVER, VORN[0], program("field player", "Vorn", team)]
    if opponent_sha:
        progs.append(program("opponent", "scripted_team.py", opponent_sha))
    return {"opponent": opponent, "under_test": under_test, "programs": progs,
            "server_options": ["--cycles", "100"]}


# The opponent under test: vorn lost 5 and won 1 (goal differences -1 -2 -3 +4 -2 -1), so
# its team won 5 and lost 1 (+1 +2 +3 -4 +2 +1); with vorn on the right (its team left) +2 -4
# +1: mean -1/3, sd sqrt(31 / 3), half width t(2) * sd / sqrt(3); goals for 2 0 1 (t(2) /
# sqrt(3)), against 0 4 0. Against a baseline of the same seeds where its team lost each by
# 1: pairs +2 +3 +4 -3 +3 +2, mean 11/6, sd sqrt(37 / 6), half width t(5) * sd / sqrt(6).
def rows(text):
    return [tuple(re.split(r"\s{2,}", line)) for line in text.splitlines()]


with tempfile.TemporaryDirectory() as d:
    series(os.path.join(d, "s"), [-1, -2, -3, 4, -2, -1], started="2026-12-01T10:00:00+00:00",
           **record(under_test="opponent", opponent_sha="5"))
    base = [{"seed": 10 + n, "side": "right" if n % 2 else "left", "status": "played",
             "goal_difference": -1} for n in range(1, 7)]
    writejson(os.path.join(d, "b", "summary.json"),
              {"seed": 10, "planned": 6, "matches": base} | record(under_test="opponent"))
    got = summarise("series", os.path.join(d, "s"), "--baseline", os.path.join(d, "b"))
    with open(os.path.join(d, "s", "summary.json")) as f:
        summary = json.load(f)
    with open(os.path.join(d, "s", "index.html")) as f:
        page = f.read()
    table = [("matches", "n", "W-D-L", "goals for", "goals against", "goal difference",
              "vorn's missed slots"),
             ("your team left", "3", "2-0-1", "1.00 [0.00, 3.48]", "1.33 [0.00, 7.07]",
              "-0.33 [-8.32, +7.65]", "0 of 3000 (0.000%)"),
             ("match-001", "right", "11", "played", "100", "1", "0", "2", "0", "1.00")]
    lines = ["verdict: your team: no difference shown: difference in your team's goal difference "
             "per match +1.83 [-0.77, +4.44] (6 pairs)",
             "what differs: the opponent (the side under test)"]
    missing = [x for x in table if x not in rows(got.stdout)] + \
        [x for x in lines if x not in got.stdout.splitlines()]
    if not re.search(r"^across time: the baseline was played at a time not on record, this "
                     r"series from 2026-12-01T10:00:00\+00:00 to \S+; ", got.stdout, re.M):
        missing.append("across time: ...")
    if missing or "warning:" in got.stdout or ">your team left<" not in page or \
            html.escape(lines[0]) not in page:
        failures.append(f"the opponent under test: no lines {missing} (or a warning, or not on "
                        f"the page) in:\n{got.stdout}{got.stderr}")
    figures = [summary[k] for k in ("wins", "draws", "losses")] + \
        [summary["by_side"]["right"]["played"], summary["matches"][0]["vorn_side"]]
    if summary["under_test"] != "opponent" or figures != [5, 0, 1, 3, "left"]:
        failures.append(f"summary.json of the opponent under test: {summary['under_test']}, "
                        f"won-drawn-lost, right side, vorn's side {figures}")

# A series and its baseline (of the same seeds) that differ in what the record says: what the
# line names, and the warning or none.
DIFFERS = [
    ("vorn under test, another build", {"team": "9"}, {}, "what differs: vorn's build (the side "
     "under test)", None),
    ("vorn under test, another opponent", {"opponent_sha": "8"}, {},
     "what differs: the opponent", "warning: the opponents differ (the command "
     f"'{COMMAND}' (scripted_team.py (sha256 444444444444)) in the baseline, the command "
     f"'{COMMAND}' (scripted_team.py (sha256 888888888888)) here): the difference is also one "
     "of opponents"),
    ("the opponent under test, another vorn", {"team": "9", "under_test": "opponent"},
     {"under_test": "opponent"}, "what differs: vorn's build",
     "warning: vorn's builds differ (Vorng (sha256 111111111111), Vorn (sha256 222222222222) "
     "from /b in the baseline, Vorng (sha256 111111111111), Vorn (sha256 999999999999) from /b "
     "here): the difference is also one of vorn's builds"),
    ("another side under test", {"under_test": "opponent"}, {},
     "what differs: the side under test", "warning: the side under test differs (vorn in the "
     "baseline, the opponent here): the two series judge different teams"),
    ("the same build, stripped", {"team": "7"}, {}, "the baseline: the same team build (the "
     "same build-id; the sha256 differ, as a stripped copy's such as the installed one does)",
     None),
]
for name, ours, theirs, line, warning in DIFFERS:
    with tempfile.TemporaryDirectory() as d:
        this, base = record(**ours), record(**theirs)
        if name.endswith("stripped"):
            for r in (this, base):
                r["programs"] = [dict(p, build_id="ab" * 20) for p in r["programs"]]
        series(os.path.join(d, "s"), [0, 1, 0, -1], **this)
        series(os.path.join(d, "b"), [1, 0, 0, 0], **base)
        summarise("series", os.path.join(d, "b"))
        got = summarise("series", os.path.join(d, "s"), "--baseline", os.path.join(d, "b"))
        warnings = [x for x in got.stdout.splitlines() if x.startswith("warning:")]
        if line not in got.stdout.splitlines() or warnings != ([warning] if warning else []):
            failures.append(f"{name}: expected {line!r} and warnings {warning!r}, got "
                            f"{warnings} in:\n{got.stdout}{got.stderr}")

# Goal differences from -29 to 0 (a whole match against the chasers) and -3 to +3: the chart
# within 720 px, a bar per value while they spread little, every match in a bar.
for gds, width, bars in (([-29, -28, -20, -12, -1, 0], 720, None), ([-3, 3, 0, 1], 720, 7)):
    with tempfile.TemporaryDirectory() as d:
        series(d, gds)
        summarise("series", d)
        with open(os.path.join(d, "index.html")) as f:
            svg = re.search(r"<svg width=\"(\d+)\".*?</svg>", f.read(), re.S)
        labels = re.findall(r'<text x="[\d.]+" y="198">([^<]*)</text>', svg.group(0))
        counted = sum(int(n) for n in re.findall(r'y="[\d.]+">(\d+)</text>', svg.group(0)))
        if int(svg.group(1)) > width or (bars and len(labels) != bars) or counted != len(gds):
            failures.append(f"chart of {gds}: {svg.group(1)} px wide, bars {labels}, "
                            f"{counted} matches in them")

# On the real server (no series seed, no record): the seeds the servers drew, and the share
# of vorn's slots missed; the summary's line on each (one a warning when it says so).
SEEDS = [
    ([5, 6], 0, ["send slots missed: 0.000% of vorn's, within 0.1%"]),
    ([5, 5], 0, ["send slots missed: 0.000% of vorn's, within 0.1%", "warning: matches shared "
                 "the server's seed, and with it their noise: match-001, match-002 seed 5"]),
    ([5, 6], 3, ["warning: vorn's players missed 0.30% of their send slots, above 0.1%: the "
                 "machine was too busy for the matches to mean what they would mean alone; play "
                 "fewer at once (--jobs)"]),
]
for seeds, missed, lines in SEEDS:
    with tempfile.TemporaryDirectory() as d:
        series(d, [0, 0], seed=None)
        for n, seed in enumerate(seeds, 1):
            path = os.path.join(d, f"match-{n:03d}", "result.json")
            with open(path) as f:
                r = json.load(f)
            writejson(path, r | {"seed": seed, "p99_ms": None, "missed_slots": missed})
        got = summarise("series", d).stdout.splitlines()
        said = [x for x in got if x.startswith(("warning:", "send slots missed"))]
        if said != lines:
            failures.append(f"seeds {seeds}, {missed} missed of 1000: {said}, not {lines}")

# The build-id of this build's Vorn, of its stripped copy (the same; the sha256 not), as
# readelf reads it; none for a script or an ELF cut short.
with tempfile.TemporaryDirectory() as d:
    copy, cut = os.path.join(d, "Vorn"), os.path.join(d, "cut")
    shutil.copy2(os.path.join(BIN, "Vorn"), copy)
    subprocess.run(["strip", copy], check=True)
    with open(os.path.join(BIN, "Vorn"), "rb") as f, open(cut, "wb") as out:
        out.write(f.read(200))
    told = re.search(r"Build ID: ([0-9a-f]+)", subprocess.run(
        ["readelf", "-n", os.path.join(BIN, "Vorn")], capture_output=True, text=True).stdout)
    ids = [programs.buildid(p) for p in (os.path.join(BIN, "Vorn"), copy, TEAM, cut)]
    if not told or ids != [told.group(1), told.group(1), None, None] or \
            programs.sha256(copy) == programs.sha256(os.path.join(BIN, "Vorn")):
        failures.append(f"build-ids {ids}, readelf: {told and told.group(1)}")

# An opponent's command and the program it starts (None: none can be told).
true = shutil.which("true")
COMMANDS = [
    (f"{TEAM} --host {{host}} --port {{port}}", TEAM),
    (f"cd {os.path.dirname(TEAM)} && ./scripted_team.py -p {{port}}", TEAM),
    (f"python3 -u {TEAM} --port {{port}}", TEAM),
    (f"exec env LANG=C {true} {{port}}", true),
    ("true {port}", true),
    ("nosuchprogram {port}", None),
    ("cd /nowhere && ./start.sh {port}", None),
    ("'unclosed {port}", None),
]
for command, path in COMMANDS:
    got = programs.commandprogram(command)
    if got != path:
        failures.append(f"the program of {command!r}: {got}, not {path}")

finish(failures, passed="every view and record as expected")
