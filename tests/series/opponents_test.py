#!/usr/bin/env python3
"""vorn against every kind of opponent, all at once: a table of matches of 40 cycles on pitch
through scripts/match.sh, and a series on the real server's stand-in.

The table: a scripted team of eleven of the tests' own (tests/support/scripted_team.py),
whose result, read from the game log, must be pitch's own score; a command that never
connects, and one whose players leave at cycle 15, each invalid with its reason and status
3; an opponent asking a version the server does not serve (pitch, the stand-in), refused
at once with the reason, status 3; this build against itself (--opponent vorn:BIN) on either side, where pitch must call the
opponent's team vorn-b and the build under test vorn. The
series: two matches at once against the scripted team on tests/support/rcss_standin.py,
which takes the real server's options, checks them and plays on pitch; the first of them to
start finds its port taken, and is started again on others. Each match's result must agree
with the last (team ...) line of its game log, the two matches must have had three ports
each, none shared, below the ephemeral ports, their logs under fixed names in their folders,
and their configuration in a home of their own. No process of any case may be left.

usage: tests/series/opponents_test.py BIN_DIR
"""
import glob
import gzip
import json
import os
import re
import tempfile

from harness import BIN, REPO, at_once, finish, run, survivors

TEAM = os.path.join(REPO, "tests", "support", "scripted_team.py")
STANDIN = os.path.join(REPO, "tests", "support", "rcss_standin.py")
failures = []
# name, the opponent and other options of match.sh, its status, its line on the match: a
# format of the score pitch's summary gives (left, right)
CASES = [
    ("scripted", ["--opponent", f"{TEAM} --port {{port}}"], 0,
     "result: vorn {} : {} scripted (vorn on the left), cycle 40 (time_over)"),
    ("never", ["--opponent", "sleep 300 # {port}", "--connect-wait", "2"], 3,
     "match.sh: the match is invalid: the opponent never connected: no player of it joined "
     "within 2 s of its start (its output: opponent.txt)"),
    ("leaves", ["--side", "right", "--opponent", f"{TEAM} --port {{port}} --leave-at 15"], 3,
     "match.sh: the match is invalid: the opponent ended at cycle CYCLE before time over "
     "(its output: opponent.txt)"),
    ("refused", ["--opponent", f"{TEAM} --port {{port}} --version 15"], 3,
     "match.sh: the match is invalid: the opponent was refused: pitch serves protocol 6 only "
     "(it asked for version 15); play on the real server with --server PATH"),
    ("refused-real", ["--server", STANDIN, "--opponent", f"{TEAM} --port {{port}} --version 25"],
     3, "match.sh: the match is invalid: the opponent was refused: the real server refused a "
     "player: it asked for protocol version 25, which the real server does not serve"),
    ("twins-left", ["--opponent", f"vorn:{BIN}"], 0,
     "result: vorn {} : {} vorn-b (vorn on the left), cycle 40 (time_over)"),
    ("twins-right", ["--side", "right", "--opponent", f"vorn:{BIN}"], 0,
     "result: vorn-b {} : {} vorn (vorn on the right), cycle 40 (time_over)"),
]


def match(d, name, options, status, line):
    folder = os.path.join(d, name)
    os.mkdir(folder)
    got = run(["scripts/match.sh", "--cycles", "40", "--dir", "m"] + options, cwd=folder)
    out = (got.stdout + got.stderr).splitlines()
    score = re.search(r"^score: \S+ (\d+) : (\d+) \S+$", got.stdout, re.M)
    want = line.format(*score.groups()) if score else line
    # the cycle at which the runner saw a team end depends on the machine's speed
    pattern = re.escape(want).replace("CYCLE", r"\d+")
    if got.returncode != status or not any(re.fullmatch(pattern, o) for o in out):
        failures.append(f"{name}: status {got.returncode} (expected {status}), no line "
                        f"{want!r} in:\n{got.stdout}{got.stderr}")
    if status == 3 and not os.path.isfile(os.path.join(folder, "m", "invalid.txt")):
        failures.append(f"{name}: no invalid.txt in the match folder")


def lastteam(gamelog):
    """The names and score of the game log's last (team T LEFT RIGHT SL SR) line."""
    with gzip.open(gamelog, "rt", encoding="latin-1") as f:
        teams = [line.split()[2:6] for line in f if line.startswith("(team ")]
    left, right, sl, sr = teams[-1]
    return left, right, int(sl), int(sr.rstrip(")"))


def series(d):
    folder = os.path.join(d, "series")
    os.mkdir(folder)
    got = run(["scripts/series.sh", "--matches", "2", "--jobs", "2", "--cycles", "40",
               "--server", STANDIN, "--opponent", f"{TEAM} --port {{port}}", "--dir", "s"],
              cwd=folder, STANDIN_TAKEN=os.path.join(folder, "taken"))
    s = os.path.join(folder, "s")
    first = (f"series in {s}: 2 matches, 2 played to the end, 0 stopped early, 0 failed")
    if got.returncode != 0 or first not in got.stdout.splitlines():
        failures.append(f"series: status {got.returncode}, no line {first!r} in:\n"
                        f"{got.stdout}{got.stderr}")
        return
    low = int(open("/proc/sys/net/ipv4/ip_local_port_range").read().split()[0])
    ports, retried = [], 0
    for m in sorted(glob.glob(os.path.join(s, "match-*"))):
        with open(os.path.join(m, "result.json")) as f:
            r = json.load(f)
        left, right, sl, sr = lastteam(os.path.join(m, "match.rcg.gz"))
        logged = (right, sr, sl) if r["side"] == "left" else (left, sl, sr)
        if (r["opponent"], r["for"], r["against"]) != logged:
            failures.append(f"{m}: the result says {r}, its game log {left} {sl} : {sr} {right}")
        with open(os.path.join(m, "server", "options.txt")) as f:
            given = dict(line.strip().split("=", 1) for line in f)
        ports += [int(given[f"server::{k}"]) for k in ("port", "coach_port", "olcoach_port")]
        if [given[f"server::{k}"] for k in ("game_log_dir", "game_log_fixed_name")] != [m, "match"]\
                or not os.path.isfile(os.path.join(m, "server", "conf", "server.conf")):
            failures.append(f"{m}: logs or configuration elsewhere: {given}")
        with open(os.path.join(m, "report.txt")) as f:
            said = f.read()
        retried += "or the two after it taken; trying others" in said
        # the game log is kept compressed, and the report names it so
        if f"game log: {os.path.relpath(m, folder)}/match.rcg.gz\n" not in said and \
                f"game log: {m}/match.rcg.gz\n" not in said:
            failures.append(f"{m}: the report does not name match.rcg.gz: {said[-300:]}")
    if len(set(ports)) != 6 or max(ports) >= low or retried != 1:
        failures.append(f"series: ports {ports} (below {low}, none shared), started again on "
                        f"others {retried} times, not once")
    if glob.glob(os.path.join(s, "**", "~"), recursive=True):
        failures.append("series: a folder named ~ was made")


with tempfile.TemporaryDirectory() as d:
    at_once([(match, (d,) + case) for case in CASES] + [(series, (d,))])
    left = survivors(d)
    if left:
        failures.append(f"processes of the matches are still running: {left}")
finish(failures, passed=f"{len(CASES)} matches and a series as expected")
