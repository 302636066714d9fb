#!/usr/bin/env python3
"""What scripts/vornkit/matchfolder.py reads in the folder of a real match on each server:
pitch and the real server's stand-in (tests/support/rcss_standin.py), vorn against the
scripted team, both at once, and an empty folder. Each of its commands (those match.sh and
series.sh run) must give what the game log's own last lines say, or nothing where the folder
does not tell; and so must the reader's seed, missed slots and p99.
"""

import json
import os
import re
import subprocess
import sys
import tempfile

from harness import REPO, at_once, finish, run

sys.path.insert(0, os.path.join(REPO, "scripts"))
from vornkit import matchfolder  # noqa: E402

TEAM = os.path.join(REPO, "tests", "support", "scripted_team.py")
STANDIN = os.path.join(REPO, "tests", "support", "rcss_standin.py")
READER = os.path.join(REPO, "scripts", "vornkit", "matchfolder.py")
CYCLES = 40
SEED = 4711
SERVERS = {"pitch": ["--seed", str(SEED)], "real": ["--server", STANDIN]}
failures = []


def play(d, name, options):
    got = run(["scripts/match.sh", "--cycles", str(CYCLES), "--opponent",
               f"{TEAM} --port {{port}}", "--dir", name] + options, cwd=d)
    if got.returncode != 0:
        failures.append(f"{name}: match.sh status {got.returncode}:\n{got.stdout}{got.stderr}")
        return
    # result.json, as series-match.sh makes it after every match
    run(["scripts/series_summary.py", "match", name, "--side", "left", "--status", "0",
         "--cycles", str(CYCLES)], cwd=d)


def logged(gamelog):
    """The last cycle, the score and the teams of the game log, from its own last lines."""
    with open(gamelog, encoding="latin-1") as f:
        text = f.read()
    cycle = re.findall(r"^\(show (\d+) ", text, re.M)[-1]
    left, right, sl, sr = re.findall(r"^\(team \d+ (\S+) (\S+) (\d+) (\d+)\)", text, re.M)[-1]
    return cycle, sl, sr, left, right


def said(*args):
    got = subprocess.run([sys.executable, READER] + list(args), capture_output=True, text=True)
    return got.returncode, got.stdout.strip("\n")


with tempfile.TemporaryDirectory() as d:
    at_once([(play, (d, name, options)) for name, options in SERVERS.items()])
    pitch, real, empty, cut = (os.path.join(d, name) for name in ("pitch", "real", "empty",
                                                                  "cut"))
    os.mkdir(empty)
    os.mkdir(cut)
    with open(os.path.join(cut, "pitch.txt"), "w") as f:  # pitch's lines after a full disk
        f.write("pitch: cannot write the game log m.rcg: No space left on device\n"
                "pitch: match stopped at cycle 7 of 40\nscore: a 1 : 0 b\n")
    p, r = logged(os.path.join(pitch, "match.rcg")), logged(os.path.join(real, "match.rcg"))
    # the command and its arguments, its status and its output
    CASES = [
        (["pitchend", pitch], 0, " ".join(p)),
        (["pitchend", cut], 0,
         "7 1 0 a b\ncannot write the game log m.rcg: No space left on device"),
        (["last", "--record", os.path.join(pitch, "match.jsonl")], 0, " ".join(p[:3])),
        (["last", "--gamelog", os.path.join(pitch, "match.rcg")], 0, " ".join(p[:3])),
        (["ended", pitch], 0, f"played left {p[1]} {p[2]} "),
        (["pitchend", real], 0, ""),
        (["last", "--gamelog", os.path.join(real, "match.rcg")], 0, " ".join(r[:3])),
        (["ended", real], 0, f"played left {r[1]} {r[2]} "),
        (["pitchend", empty], 0, ""),
        (["busy", empty], 1, ""),
        (["ended", empty], 1, ""),
    ]
    for args, status, out in CASES:
        got = said(*args)
        if got != (status, out):
            failures.append(f"matchfolder.py {' '.join(args)}: {got}, not {(status, out)}")
    # the folder, the server's seed, the players that missed slots, whether a p99 was told
    READS = [(pitch, SEED, 11, True), (real, int, 11, False), (empty, None, 0, False)]
    for folder, seed, players, timed in READS:
        got = (matchfolder.serverseed(folder), len(matchfolder.missedslots(folder)),
               matchfolder.slotsp99(folder) is not None)
        if got[1:] != (players, timed) or not (got[0] == seed or seed is int and
                                               isinstance(got[0], int)):
            failures.append(f"{folder}: seed, players, p99 told {got}, not "
                            f"{(seed, players, timed)}")
    # A series' stop sums up a match that had no time to report without its game log: the
    # score from pitch's summary, stopped, no figures (pitch's result.json made anew).
    run(["scripts/series_summary.py", "match", pitch, "--side", "left", "--status", "130",
         "--cycles", str(CYCLES), "--no-game-log"], cwd=d)
    with open(os.path.join(pitch, "result.json")) as f:
        got = json.load(f)
    told = (got["status"], got["for"], got["against"], got["figures"])
    if told != ("stopped", int(p[1]), int(p[2]), None):
        failures.append(f"--no-game-log: status, score and figures {told}")
finish(failures, len(CASES) + len(READS) + 1)
