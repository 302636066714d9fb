#!/usr/bin/env python3
"""Sums up the matches of a series (scripts/series.sh).

  scripts/series_summary.py match FOLDER --side left|right --status N --cycles C [--seed S]
  scripts/series_summary.py record D [--seed S] --matches N --cycles C --opponent X --jobs J
                            [--other-build DIR] [--server-options "..."]
                            [--under-test vorn|opponent] [--compare DIR_A DIR_B]
                            [--part-of RUN A|B] [--program ROLE PATH COPY]...
  scripts/series_summary.py series D [--baseline D2]
  scripts/series_summary.py compare D
  scripts/series_summary.py baseline D2

"match" reads one match folder of scripts/match.sh (the game log match.rcg, pitch.txt,
team.txt, slots.json, invalid.txt, report.txt) and writes its figures to FOLDER/result.json:
the score as vorn's goals for and against and the cycle it ended at, from pitch's own summary
(pitch.txt) when it printed one, else from the game log (scripts/outcome.py), which also
gives the opponent's name and the goalie's catches; the send slots missed by all players (team.txt)
and the send-slot p99 (the largest of the three slots' p99, from pitch's record; none on the
real server), and the match figures of both sides (scripts/figures.py: from figures.json,
else from the game log). It prints "STATUS FOR AGAINST", and for an invalid match the reason
after it, STATUS being "played" (match.sh ended with status 0 after all C cycles), "stopped"
(ended early by a signal), "invalid" (the opponent never connected or left before time over:
match.sh says why in invalid.txt) or "failed" (the server failed, or no match was logged;
"why" says what went wrong, when pitch or the runner said so). N is match.sh's exit status,
S the seed pitch played the match with.

"record" writes D/series.json at the start of a series: its seed (none for a server that
seeds itself), plan, opponent (and the other build of a head-to-head) and server options,
and per program played its role, path, sha256 (of COPY, the copy the series plays) and, when
PATH lies in a git checkout, that checkout's "git describe --always --dirty" at that moment:
the state of the checkout when the series started, which need not be the source the
program was built from (an older build, an edit since); the sha256 is the program's own
identity.

"series" reads D/match-*/result.json (a folder whose result.json is missing or broken is
named and counted as failed) and prints a table per match and over the series: the
opponent (its name in the game logs, and against another build of vorn which build won how
often), the invalid matches with their reasons;
wins, draws and losses; the means of goals for, against and the goal difference, each with
its Student's t 95% interval (cut to what the figure can be: 0 and up for a count, 0 to 100
for a share); the missed slots in all; the same split by vorn's side; the
means of the match figures, vorn's and the opponent's, with their intervals; the worst
match's send-slot p99, with a warning above 20 ms; the seeds and programs on record
(D/series.json) and the matches played again after their machine was lost (D/replayed.txt).
Only matches played to the end count; invalid ones are left out. The figures go to
D/summary.json and a page to D/index.html, each written whole or not at all. --baseline D2 compares with an earlier series in D2 (its summary.json), paired
by seed and side when both played the same seeds, else unpaired (scripts/vornkit/series_compare.py):
the difference in goal difference per match with its 95% interval and the verdict.
"baseline" only checks that D2 holds such a summary (one line and status 1 when not).

With "under_test": "opponent" on record (series.sh --under-test opponent) every figure of
"series" is the opponent's ("your team"): its side, goals, wins and goal difference, in the
table, summary.json and the page, each match's result.json staying vorn's. Every program on
record carries its ELF build-id beside its sha256 (strip keeps the one, not the other), and
an opponent's command the program it starts (role "opponent").

"compare" sums up a run of two builds (series.sh --compare): the series of each in D/a and
D/b (B's against A's), and in D the pairs, B against A, and the order's own effect (the
match started first in its pair minus the one started second), as a table, D/summary.json
and D/index.html. "series D" on such a run does the same.
"""

import argparse
import datetime
import glob
import hashlib
import html
import json
import os
import re
import shlex
import shutil
import struct
import subprocess
import sys

from vornkit import figures
from vornkit import matchlog
import outcome
from vornkit import series_compare
from vornkit import series_stats

HERE = os.path.dirname(os.path.abspath(__file__))
SLOTS_PER_CYCLE = 3
# match.sh's exit status after Ctrl-C or SIGTERM (130, 143); 0 when an older runner ended
# early without saying so
STOPPED = (0, 130, 143)
INVALID = 3  # match.sh's exit status for an invalid match
# A match's send-slot p99 above this says that the machine was too busy for the match to
# mean what it would mean alone.
P99_LIMIT_MS = 20.0
TEAM_ROW = re.compile(r"^\s*\d+\s+Vorng?\s+\d+\s+(\d+)(\s|$)")  # player, program, sent, missed
# pitch's summary: its first line, then the score of the left and the right team
PITCH_END = re.compile(r"^pitch: match (?:over|stopped) at cycle (\d+)")
PITCH_SCORE = re.compile(r"^score: (\S+) (\d+) : (\d+) (\S+)$")
# what pitch says when it cannot write a file, and the runner's and the team's own lines
PITCH_CANNOT = re.compile(r"^pitch: (cannot write .*)$")
SAID = re.compile(r"^(?:match\.sh|start-team\.sh): (.*)$")
# The seed the server says it drew (pitch's line, the real server's from its clock).
SERVER_SEED = (("pitch.txt", re.compile(r"^pitch: random seed (\d+)$")),
               ("server.txt", re.compile(r"^(?:Using given )?Simulator Random Seed: (-?\d+)$")))


def serverseed(folder):
    """The seed the match's server said it played with, else None."""
    for name, pattern in SERVER_SEED:
        for line in readlines(os.path.join(folder, name)):
            m = pattern.match(line)
            if m:
                return int(m.group(1))
    return None


def readlines(path):
    try:
        with open(path, encoding="latin-1") as f:
            return f.read().splitlines()
    except OSError:
        return []


def gamelog(folder):
    """The match's game log: match.rcg, or compressed."""
    plain = os.path.join(folder, "match.rcg")
    return plain if os.path.isfile(plain) or not os.path.isfile(plain + ".gz") else plain + ".gz"


def pitchsummary(folder):
    """pitch's own last word on the match, from its summary in pitch.txt: (cycle, left
    goals, right goals, left team, right team); None when it printed none (it was killed, or
    the server was another)."""
    cycle = None
    for line in readlines(os.path.join(folder, "pitch.txt")):
        end, score = PITCH_END.match(line), PITCH_SCORE.match(line)
        if end:
            cycle = int(end.group(1))
        elif score and cycle is not None:
            return cycle, int(score.group(2)), int(score.group(3)), score.group(1), score.group(4)
    return None


def failure(folder):
    """Why a match failed, in a line: what pitch could not write, else the runner's or the
    team's last line of complaint in its report; None when neither said anything."""
    for line in readlines(os.path.join(folder, "pitch.txt")):
        m = PITCH_CANNOT.match(line)
        if m:
            return "pitch " + m.group(1)
    said = [m.group(1) for m in map(SAID.match, readlines(os.path.join(folder, "report.txt")))
            if m]
    return said[-1] if said else None


def matchfigures(folder, side, status, cycles, seed=None):
    """The figures of one match folder, as result.json holds them."""
    r = {"dir": os.path.basename(os.path.abspath(folder)), "side": side, "seed": seed,
         "exit_status": status, "planned_cycles": cycles, "cycles": 0, "for": 0, "against": 0,
         "opponent": None, "catches": 0, "opponent_catches": 0, "players": 0,
         "missed_slots": 0, "slots": 0, "p99_ms": None, "why": None}
    if seed is None:
        r["seed"] = serverseed(folder)
    try:
        match = matchlog.read(gamelog(folder))
        o = outcome.outcome(match, side)
        r.update({k: o[k] for k in ("for", "against", "opponent", "catches")}, cycles=o["cycle"])
        theirs = "r" if side == "left" else "l"
        goalie = matchlog.goalie(match, theirs)
        r["opponent_catches"] = matchlog.catches(match, theirs, goalie)["catches"] if goalie \
            else 0
    except matchlog.MatchError:
        pass
    # pitch's own summary holds when its game log could not be written to the end
    ended = pitchsummary(folder)
    if ended:
        cycle, left, right, lname, rname = ended
        ours, theirs = (left, right) if side == "left" else (right, left)
        r.update({"cycles": cycle, "for": ours, "against": theirs,
                  "opponent": r["opponent"] or (rname if side == "left" else lname)})
    rows = [TEAM_ROW.match(line) for line in readlines(os.path.join(folder, "team.txt"))]
    missed = [int(m.group(1)) for m in rows if m]
    r["players"], r["missed_slots"] = len(missed), sum(missed)
    r["slots"] = SLOTS_PER_CYCLE * r["cycles"] * r["players"]
    try:
        with open(os.path.join(folder, "slots.json"), encoding="utf-8") as f:
            p99 = [s["p99_ms"] for s in json.load(f)["slots"] if "p99_ms" in s]
        r["p99_ms"] = max(p99) if p99 else None
    except (OSError, ValueError, KeyError, TypeError):
        pass
    why = " ".join(readlines(os.path.join(folder, "invalid.txt"))).strip()
    if why or status == INVALID:
        r["status"], r["why"] = "invalid", why or "match.sh said so (see its report.txt)"
    elif status == 0 and r["cycles"] >= cycles:
        r["status"] = "played"
    elif status in STOPPED and os.path.isfile(gamelog(folder)):
        r["status"] = "stopped"
    else:
        r["status"], r["why"] = "failed", failure(folder)
    r["goal_difference"] = r["for"] - r["against"]
    r["figures"] = gamefigures(folder, r["side"])
    return r


def gamefigures(folder, side):
    """vorn's and the opponent's figures of the match (scripts/figures.py): from the
    folder's figures.json, which scripts/match.sh writes, else from its game log; None when
    it has neither."""
    try:
        found = figures.load(os.path.join(folder, "figures.json"))
    except ValueError:
        try:
            found = figures.figures(matchlog.read(gamelog(folder)))
        except matchlog.MatchError:
            return None
    ours, theirs = ("l", "r") if side == "left" else ("r", "l")
    return {"vorn": found[ours], "opponent": found[theirs]}


def outcomes(matches):
    """Wins, draws, losses, the three means with their intervals (those of the goals cut at
    0), and the missed slots."""
    gd = [m["goal_difference"] for m in matches]
    missed, slots = sum(m["missed_slots"] for m in matches), sum(m["slots"] for m in matches)
    return {"played": len(matches), "wins": sum(d > 0 for d in gd),
            "draws": sum(d == 0 for d in gd), "losses": sum(d < 0 for d in gd),
            "goals_for": series_stats.mean_ci([m["for"] for m in matches], low=0),
            "goals_against": series_stats.mean_ci([m["against"] for m in matches], low=0),
            "goal_difference": series_stats.mean_ci(gd),
            "missed_slots": missed, "slots": slots,
            "missed_share": missed / slots if slots else None}


# The figures that are shares, in percent; every other one is a count.
SHARES = ("possession",)


def figuremeans(matches):
    """The means of vorn's and the opponent's figures over the matches that have them, each
    with its 95% interval, cut to what the figure can be (0 to 100 for a share, 0 and up
    for a count); None when none has."""
    rows = [m["figures"] for m in matches if isinstance(m.get("figures"), dict)]
    if not rows:
        return None
    return {who: {name: series_stats.mean_ci(
        [v for v in (figures.numbers(r[who])[name] for r in rows) if v is not None],
        low=0, high=100 if name in SHARES else None)
        for name in figures.NUMBERS + figures.SET_PLAYS} for who in ("vorn", "opponent")}


def opponentundertest(s):
    return s.get("under_test") == "opponent"


def team(s):
    """The side under test, as the table names it: vorn, or "your team" when the opponent
    is under test."""
    return "your team" if opponentundertest(s) else "vorn"


def figurerows(s):
    """The rows of the figures' table: a figure, the side under test's mean and the other's
    (vorn's and the opponent's, or the other way round), each with its interval; the set
    plays that came about."""
    f = s.get("figures")
    if not f:
        return []
    first, second = ("opponent", "vorn") if opponentundertest(s) else ("vorn", "opponent")
    rows = [(row, interval(f[first][k]), interval(f[second][k])) for row, k in
            zip(figures.ROWS + figures.SET_PLAY_ROWS, figures.NUMBERS + figures.SET_PLAYS)
            if k in figures.NUMBERS or f["vorn"][k]["mean"] or f["opponent"][k]["mean"]]
    return rows


FIGURE_HEAD = ("figure", "vorn", "opponent")
OPPONENT_FIGURE_HEAD = ("figure", "your team", "vorn")


def figurehead(s):
    return OPPONENT_FIGURE_HEAD if opponentundertest(s) else FIGURE_HEAD


def sha256(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


# ELF: the program headers' note segments (PT_NOTE), and the note GNU's linker writes with
# the build's id (NT_GNU_BUILD_ID), which strip keeps.
PT_NOTE, NT_GNU_BUILD_ID = 4, 3


def buildid(path):
    """The ELF build-id note of the program at path in hex, or None (not ELF, no such note,
    unreadable). strip leaves the note, so a stripped copy (the Debian package's) has the id
    of the build it came from, where its sha256 differs."""
    try:
        with open(path, "rb") as f:
            head = f.read(64)
            if len(head) < 52 or head[:4] != b"\x7fELF" or head[4] not in (1, 2) or \
                    head[5] not in (1, 2):
                return None
            wide, order = head[4] == 2, "<" if head[5] == 1 else ">"
            if wide:
                phoff, = struct.unpack_from(order + "Q", head, 32)
                phentsize, phnum = struct.unpack_from(order + "HH", head, 54)
            else:
                phoff, = struct.unpack_from(order + "I", head, 28)
                phentsize, phnum = struct.unpack_from(order + "HH", head, 42)
            if phentsize < (56 if wide else 32) or phnum > 4096:
                return None
            f.seek(phoff)
            table = f.read(phentsize * phnum)
            for i in range(len(table) // phentsize):
                entry = table[i * phentsize:(i + 1) * phentsize]
                kind, = struct.unpack_from(order + "I", entry, 0)
                if kind != PT_NOTE:
                    continue
                offset, size = struct.unpack_from(order + ("QxxxxxxxxxxxxxxxxQ" if wide else
                                                           "IxxxxxxxxI"), entry, 8 if wide else 4)
                f.seek(offset)
                found = notebuildid(f.read(min(size, 1 << 16)), order)
                if found:
                    return found
    except (OSError, struct.error):
        return None
    return None


def notebuildid(notes, order):
    """The build id among the notes of one note segment (name size, descriptor size, type,
    then the name and the descriptor, each padded to 4 bytes), or None."""
    at = 0
    while at + 12 <= len(notes):
        namesz, descsz, kind = struct.unpack_from(order + "III", notes, at)
        name = at + 12
        desc = name + (namesz + 3) // 4 * 4
        end = desc + (descsz + 3) // 4 * 4
        if desc + descsz > len(notes):
            return None
        if kind == NT_GNU_BUILD_ID and notes[name:name + namesz].rstrip(b"\0") == b"GNU":
            return notes[desc:desc + descsz].hex() or None
        at = end
    return None


def gitdescribe(path):
    """"git describe --always --dirty" of the checkout that holds path, or None."""
    try:
        run = subprocess.run(["git", "-C", os.path.dirname(os.path.abspath(path)), "describe",
                              "--always", "--dirty"], capture_output=True, text=True, timeout=60)
    except (OSError, subprocess.TimeoutExpired):
        return None
    return (run.stdout.strip() or None) if run.returncode == 0 else None


# Interpreters whose first argument that is a file is the program a command starts.
INTERPRETERS = re.compile(r"^(python[0-9.]*|sh|bash|dash|perl|ruby|node)$")
# Words a shell command may begin with before its program.
ASSIGNMENT = re.compile(r"^[A-Za-z_][A-Za-z0-9_]*=")


def commandprogram(command):
    """The program an opponent's command starts, as an absolute path, or None when it cannot
    be told: its first word past "cd DIR &&" (relative to DIR), "exec", "env" and variables
    set before it, found on PATH when it names no folder; for an interpreter (python3, sh,
    ...) the script it is given."""
    try:
        words = shlex.split(command.replace("{host}", "h").replace("{port}", "1"))
    except ValueError:
        return None
    folder = os.getcwd()
    while words:
        if words[0] == "cd" and len(words) >= 3 and words[2] in ("&&", ";"):
            folder = os.path.join(folder, os.path.expanduser(words[1]))
            words = words[3:]
        elif words[0] in ("exec", "env", "nice", "setsid") or ASSIGNMENT.match(words[0]):
            words = words[1:]
        else:
            break
    if not words:
        return None
    first = os.path.expanduser(words[0])
    path = os.path.join(folder, first) if "/" in first else shutil.which(first)
    if not path or not os.path.isfile(path):
        return None
    if INTERPRETERS.match(os.path.basename(path)):
        for word in words[1:]:
            if word.startswith("-"):
                continue
            script = os.path.join(folder, os.path.expanduser(word))
            return os.path.abspath(script) if os.path.isfile(script) else os.path.abspath(path)
    return os.path.abspath(path)


def onrecord(role, path, copy):
    """A program as series.json keeps it: role, name, path, the sha256 of the copy played, its
    ELF build-id (which strip keeps, where the sha256 changes) and the git describe of the
    checkout that holds path."""
    return {"role": role, "name": os.path.basename(path), "path": os.path.abspath(path),
            "sha256": sha256(copy), "build_id": buildid(copy), "git": gitdescribe(path)}


def record(a):
    """What series.json keeps of a series from its start: the seed, the plan, the server's
    options, the side under test, when it started, and every program played: with an
    opponent's command, the program that command starts (role "opponent") where it can be
    told."""
    programs = [onrecord(role, path, copy) for role, path, copy in a.program]
    if a.opponent not in ("chasers", "none") and not a.opponent.startswith("vorn:"):
        path = commandprogram(a.opponent)
        if path:
            programs.append(onrecord("opponent", path, path))
    out = {"seed": a.seed, "planned": a.matches, "cycles": a.cycles, "opponent": a.opponent,
           "other_build": a.other_build, "jobs": a.jobs,
           "server_options": shlex.split(a.server_options), "under_test": a.under_test,
           "started": now(), "programs": programs}
    if a.compare:
        out["compare"] = {"a": os.path.abspath(a.compare[0]), "b": os.path.abspath(a.compare[1])}
    if a.part_of:
        out["part_of"] = {"run": os.path.abspath(a.part_of[0]), "build": a.part_of[1]}
    return out


def now():
    return datetime.datetime.now().astimezone().isoformat(timespec="seconds")


# What summary.json carries over from series.json.
RECORD_KEYS = ("seed", "planned", "cycles", "opponent", "other_build", "jobs", "server_options",
               "under_test", "started", "programs", "compare", "part_of")


def readjson(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def readrecord(folder):
    """A series folder's series.json as a dict; {} when it has none that can be read."""
    try:
        r = readjson(os.path.join(folder, "series.json"))
    except (OSError, ValueError):
        return {}
    return r if isinstance(r, dict) else {}


def baselinesummary(folder):
    """An earlier series' summary.json, with its matches played to the end; ValueError naming
    the file when it is not a series' summary."""
    path = os.path.join(folder, "summary.json")
    try:
        base = readjson(path)
        ok = all(type(m["goal_difference"]) in (int, float) for m in base["matches"]
                 if m["status"] == "played")
    except OSError as e:
        raise ValueError(f"{path}: {e.strerror}") from None
    except ValueError as e:
        raise ValueError(f"{path} is not JSON: {e}") from None
    except (KeyError, TypeError, AttributeError):
        ok = False
    if isinstance(base, dict) and isinstance(base.get("compare"), dict) and "a" in base:
        raise ValueError(f"{folder} holds a run of two builds (series.sh --compare): give the "
                         f"series of one of them, {os.path.join(folder, 'a')} or "
                         f"{os.path.join(folder, 'b')}")
    if not ok:
        raise ValueError(f"{path} is not the summary of a series (no matches with their "
                         "goal differences)")
    return base


def replays(folder):
    """The matches played again after their machine was lost: series.sh notes each as a line
    "NUMBER<tab>HOST-LOST<tab>HOST-PLAYED" in replayed.txt."""
    out = []
    for line in readlines(os.path.join(folder, "replayed.txt")):
        parts = line.split("\t")
        if len(parts) == 3 and parts[0].isdigit():
            out.append({"match": f"match-{int(parts[0]):03d}", "lost_on": parts[1],
                        "played_on": parts[2]})
    return out


def worstp99(matches):
    """The match with the largest send-slot p99, and whether it passed P99_LIMIT_MS."""
    timed = [m for m in matches if m.get("p99_ms") is not None]
    if not timed:
        return None
    m = max(timed, key=lambda m: m["p99_ms"])
    return {"match": m["dir"], "ms": m["p99_ms"], "limit_ms": P99_LIMIT_MS,
            "over": m["p99_ms"] > P99_LIMIT_MS}


# What a match without a readable result.json counts as: failed, with the reason.
BROKEN = {"side": None, "seed": None, "status": "failed", "cycles": 0, "for": 0, "against": 0,
          "goal_difference": 0, "opponent": None, "catches": None, "players": 0,
          "missed_slots": 0, "slots": 0, "p99_ms": None, "figures": None}
# What a summary needs of a result.json, and of what types.
NEEDED = {"side": (str, type(None)), "status": str, "cycles": int, "for": int, "against": int,
          "goal_difference": int, "missed_slots": int, "slots": int}


def matchresult(path):
    """A match folder's result.json, or, when it is missing or broken (a full disk cut it
    short, say), a failed match whose "why" names the file and what is wrong with it."""
    name = os.path.basename(os.path.dirname(path))
    try:
        r = readjson(path)
        if not isinstance(r, dict):
            raise ValueError("not an object")
        wrong = [k for k, kinds in NEEDED.items() if not isinstance(r.get(k), kinds)]
        if wrong:
            raise ValueError(f"no {', '.join(wrong)}")
        return dict(r, dir=name)
    except FileNotFoundError:
        why = f"{path} is missing"
    except OSError as e:
        why = f"{path}: {e.strerror}"
    except ValueError as e:
        why = f"{path} is empty" if not os.path.getsize(path) else f"{path} is broken: {e}"
    return dict(BROKEN, dir=name, why=why, broken=True)


def fromopponent(m):
    """A match as the opponent played it, for a series whose side under test is the
    opponent: its side, goals for and against, goal difference and goalie's catches (None
    when the result has no such count); vorn's side kept as vorn_side."""
    other = {"left": "right", "right": "left"}
    return dict(m, side=other.get(m["side"], m["side"]), vorn_side=m["side"],
                goal_difference=-m["goal_difference"], catches=m.get("opponent_catches"),
                **{"for": m["against"], "against": m["for"]})


def lastend(folders):
    """When the last of the matches ended: its result.json's time, or None."""
    stamps = []
    for m in folders:
        try:
            stamps.append(os.path.getmtime(os.path.join(m, "result.json")))
        except OSError:
            pass
    if not stamps:
        return None
    return datetime.datetime.fromtimestamp(max(stamps)).astimezone().isoformat(
        timespec="seconds")


def summarise(folder, baseline=None, across_time=True):
    try:
        onrecord = readjson(os.path.join(folder, "series.json"))
    except OSError:
        onrecord = {}
    except ValueError as e:
        raise ValueError(f"{os.path.join(folder, 'series.json')} is not JSON: {e}") from None
    folders = [m for m in sorted(glob.glob(os.path.join(folder, "match-*"))) if os.path.isdir(m)]
    matches = [matchresult(os.path.join(m, "result.json")) for m in folders]
    if isinstance(onrecord, dict) and onrecord.get("under_test") == "opponent":
        matches = [fromopponent(m) for m in matches]
    played = [m for m in matches if m["status"] == "played"]
    s = {"dir": os.path.abspath(folder), "matches": matches,
         "stopped": sum(m["status"] == "stopped" for m in matches),
         "failed": sum(m["status"] == "failed" for m in matches),
         "invalid": sum(m["status"] == "invalid" for m in matches)}
    if isinstance(onrecord, dict):
        s.update({k: onrecord[k] for k in RECORD_KEYS if k in onrecord})
    s["under_test"] = s.get("under_test") or "vorn"
    s["ended"] = lastend(folders)
    s["replayed"] = replays(folder)
    s.update(outcomes(played))
    s["figures"] = figuremeans(played)
    s["by_side"] = {side: outcomes([m for m in played if m["side"] == side])
                    for side in ("left", "right")}
    s["worst_p99"] = worstp99(played)
    s["shared_seeds"] = sharedseeds(matches) if s.get("seed") is None else []
    if s.get("other_build"):
        s["head_to_head"] = series_compare.headtohead(s)
    if baseline:
        s["baseline"] = series_compare.compare(s, baselinesummary(baseline),
                                               os.path.abspath(baseline), across_time)
    return s


def sharedseeds(matches):
    """The seeds that more than one match played with, each with its matches, when the
    seeds were the server's own (two matches that share one play the same noise)."""
    by = {}
    for m in matches:
        if m.get("seed") is not None:
            by.setdefault(m["seed"], []).append(m["dir"])
    return [{"seed": k, "matches": v} for k, v in sorted(by.items()) if len(v) > 1]


def sharedseedline(s):
    """A warning when matches shared the server's seed."""
    shared = s.get("shared_seeds") or []
    if not shared:
        return None
    said = "; ".join(f"{', '.join(x['matches'])} seed {x['seed']}" for x in shared)
    return (f"warning: matches shared the server's seed, and with it their noise: {said}")


def matchcount(n):
    return f"{n} match" if n == 1 else f"{n} matches"


def num(x, digits=2, sign=False):
    return "-" if x is None else f"{x:{'+' if sign else ''}.{digits}f}"


def interval(stat, sign=False):
    """"mean [low, high]" of a mean_ci or difference result."""
    if stat is None or stat.get("mean") is None:
        return "-"
    ci = stat.get("ci95")
    rest = f" [{num(ci[0], sign=sign)}, {num(ci[1], sign=sign)}]" if ci else ""
    return num(stat["mean"], sign=sign) + rest


def share(o):
    s = o["missed_share"]
    return f"{o['missed_slots']} of {o['slots']}" + ("" if s is None else f" ({100 * s:.3f}%)")


def overrows(s):
    """The rows over the series: all played matches, then each side."""
    rows = [("all", s)] + [(f"{team(s)} {k}", v) for k, v in s["by_side"].items()]
    return [(name, o["played"], f"{o['wins']}-{o['draws']}-{o['losses']}",
             interval(o["goals_for"]), interval(o["goals_against"]),
             interval(o["goal_difference"], True), share(o)) for name, o in rows]


OVER_HEAD = ("matches", "n", "W-D-L", "goals for", "goals against", "goal difference",
             "missed slots")
MATCH_HEAD = ("match", "side", "seed", "status", "cycles", "for", "against", "catches",
              "missed slots", "p99 ms")
# With the opponent under test: its side, goals and goalie's catches; vorn's send slots.
OPPONENT_MATCH_HEAD = MATCH_HEAD[:8] + ("vorn's missed slots", "vorn's p99 ms")
OPPONENT_OVER_HEAD = OVER_HEAD[:6] + ("vorn's missed slots",)


def matchhead(s):
    return OPPONENT_MATCH_HEAD if opponentundertest(s) else MATCH_HEAD


def overhead(s):
    return OPPONENT_OVER_HEAD if opponentundertest(s) else OVER_HEAD


def matchrows(s):
    return [(m["dir"], m["side"] or "-", "-" if m.get("seed") is None else m["seed"],
             m["status"], m["cycles"], m["for"], m["against"],
             "-" if m.get("catches") is None else m["catches"], m["missed_slots"],
             num(m.get("p99_ms"))) for m in s["matches"]]


# The seeds and programs on record, and what may make the matches mean less: the worst
# send-slot p99, the matches played again.
PROGRAM_HEAD = ("program", "role", "checkout", "sha256 (its start)", "build-id (its start)",
                "path")
# What the column "checkout" holds.
CHECKOUT_NOTE = ("checkout: git describe --always --dirty of the git checkout that holds the "
                 "program, when the series started: the checkout's state then, which need not "
                 "be the source the program was built from; the sha256 is the program's "
                 "identity")
# What the column "build-id" holds.
BUILD_ID_NOTE = ("build-id: the build's id in the program's ELF note, which strip keeps: a "
                 "stripped copy of a build (the installed Vorn) has a sha256 of its own but the "
                 "same build-id")


def seedline(s):
    if s.get("other_build") and s.get("seed") is not None:
        options = " ".join(s.get("server_options") or [])
        return (f"seeds: matches 2k-1 and 2k played seed {s['seed']}+k (series seed "
                f"{s['seed']}, --seed {s['seed']} plays the same again); server options: "
                f"{options}")
    if s.get("seed") is None:
        if "--server" in (s.get("server_options") or []):
            return ("seeds: the server's own (the real server seeds itself from its clock); "
                    f"server options: {' '.join(s['server_options'])}")
        return "seeds: not on record"
    options = " ".join(s.get("server_options") or [])
    return (f"seeds: match i played with seed {s['seed']}+i (series seed {s['seed']}, "
            f"--seed {s['seed']} plays the same again); server options: {options or 'none'}")


def programrows(s, digits=16):
    """The programs on record, their sha256 and build-id cut to their first digits."""
    return [(p["name"], p["role"], p.get("git") or "-", p["sha256"][:digits],
             (p.get("build_id") or "-")[:digits], p["path"]) for p in s.get("programs") or []]


def programnotes(s):
    """The notes below the programs' table: what its columns checkout and build-id hold."""
    programs = s.get("programs") or []
    return [note for note, key in ((CHECKOUT_NOTE, "git"), (BUILD_ID_NOTE, "build_id"))
            if any(p.get(key) for p in programs)]


# Without pitch's record (the real server), the share of vorn's send slots missed (its
# players' logs) above this says the same.
MISSED_LIMIT = 0.001


def p99line(s):
    w = s.get("worst_p99")
    if not w:
        share = s.get("missed_share")
        if share is None:
            return None
        if share > MISSED_LIMIT:
            return (f"warning: vorn's players missed {100 * share:.2f}% of their send slots, "
                    f"above {100 * MISSED_LIMIT:g}%: the machine was too busy for the matches to "
                    "mean what they would mean alone; play fewer at once (--jobs)")
        return (f"send slots missed: {100 * share:.3f}% of vorn's, within "
                f"{100 * MISSED_LIMIT:g}%")
    if w["over"]:
        return (f"warning: the worst match's send-slot p99 was {w['ms']:.2f} ms ({w['match']}), "
                f"above {w['limit_ms']:g} ms: the machine was too busy for the matches to mean "
                "what they would mean alone; play fewer at once (--jobs)")
    return f"send-slot p99: at most {w['ms']:.2f} ms ({w['match']}), within {w['limit_ms']:g} ms"


def replayline(s):
    r = s.get("replayed") or []
    if not r:
        return None
    which = ", ".join(f"{x['match']} (lost on {x['lost_on']}, played on {x['played_on']})"
                      for x in r)
    return (f"played again after their machine was lost: {matchcount(len(r))}, each counted "
            f"once: {which}")


def opponentlines(s):
    """Who the opponent was: its name in the game logs and how it was started; against
    another build of vorn, which build won how often; the invalid matches and why."""
    given = s.get("opponent")
    names = sorted({m["opponent"] for m in s["matches"] if m.get("opponent")})
    lines = []
    other = s.get("other_build")
    if opponentundertest(s):
        lines.append(undertestline(s, names))
    if other:
        lines.append(f"opponent: the vorn build in {other} (--opponent {given}); the game logs "
                     "name it vorn-b on either side")
        if opponentundertest(s):
            lines.append(f"head to head, of {s['played']} played to the end: the build in "
                         f"{other} (under test) won {s['wins']}, this build won {s['losses']}, "
                         f"{s['draws']} drawn")
        else:
            lines.append(f"head to head, of {s['played']} played to the end: this build won "
                         f"{s['wins']}, the build in {other} won {s['losses']}, {s['draws']} "
                         "drawn")
        if s.get("head_to_head"):
            lines += series_compare.headtoheadlines(s["head_to_head"])
    elif names:
        lines.append(f"opponent: {', '.join(names)}" + (f" (--opponent {given})" if given else ""))
    invalid = [m for m in s["matches"] if m["status"] == "invalid"]
    if invalid:
        lines.append(f"invalid, left out of the figures: {matchcount(len(invalid))}: " +
                     "; ".join(f"{m['dir']} ({m.get('why')})" for m in invalid))
    broken = [m for m in s["matches"] if m.get("broken")]
    if broken:
        lines.append(f"no result, counted as failed: {matchcount(len(broken))}: " +
                     "; ".join(f"{m['dir']} ({m['why']})" for m in broken))
    return lines


def undertestline(s, names):
    """Who is under test when the opponent is: "your team", its program on record, and the
    vorn build it plays against."""
    ours = series_compare.opponentprograms(s.get("programs"))
    told = f", {', '.join(series_compare.describe(p) for p in ours)}" if ours else ""
    called = f", {', '.join(names)} in the game logs" if names else ""
    vorn = series_compare.teamwords(s.get("programs"))
    return (f"under test: your team (the opponent{called}{told}); every figure below is its "
            "own: its side, its goals for and against, its goal difference, its goalie's "
            f"catches; vorn ({vorn or 'not on record'}) is the sparring partner, and the send "
            "slots are vorn's players'")


def comparison(s):
    """The lines of the comparison with the baseline, its first naming the baseline."""
    b = s.get("baseline")
    if not b:
        return []
    return [f"against the baseline {b['dir']} ({matchcount(b['played'])}, goal difference "
            f"{interval(b['goal_difference'], True)}):"] + series_compare.lines(b)


def printtable(head, rows, out):
    widths = [max(len(str(x)) for x in col) for col in zip(head, *rows)]
    for row in [head] + rows:
        print("  ".join(str(x).ljust(w) for x, w in zip(row, widths)).rstrip(), file=out)


def counts(s):
    """How the matches ended, in words."""
    text = (f"{s['played']} played to the end, {s['stopped']} stopped early, {s['failed']} "
            "failed")
    return text + (f", {s['invalid']} invalid" if s.get("invalid") else "")


def printsummary(s, out):
    print(f"series in {s['dir']}: {matchcount(len(s['matches']))}, {counts(s)}", file=out)
    for line in opponentlines(s):
        print(line, file=out)
    print(seedline(s), file=out)
    if programrows(s):
        printtable(PROGRAM_HEAD, programrows(s), out)
        for note in programnotes(s):
            print(note, file=out)
    printtable(matchhead(s), matchrows(s), out)
    print("over the matches played to the end (means with their 95% intervals):", file=out)
    printtable(overhead(s), overrows(s), out)
    if figurerows(s):
        print("the match figures, means per match played to the end with their 95% intervals "
              "(scripts/figures.py):", file=out)
        printtable(figurehead(s), figurerows(s), out)
    for line in [p99line(s), sharedseedline(s), replayline(s)] + comparison(s):
        if line:
            print(line, file=out)


# The goal differences' chart: a bar per value up to this many values, else bars of several
# values each, at most BINS of them, so that it stays within a page at any spread.
SINGLE_VALUES, BINS = 24, 12


def bins(lo, hi):
    """The chart's bars for goal differences from lo to hi (lo <= 0 <= hi), as (first, last)
    value of each: one value a bar while there are at most SINGLE_VALUES, else the smallest
    whole width that gives at most BINS bars, the bars aligned on 0 (one of them starts at 0)."""
    if hi - lo + 1 <= SINGLE_VALUES:
        return [(v, v) for v in range(lo, hi + 1)]
    width = -(-(hi - lo + 1) // BINS)
    while hi // width - lo // width + 1 > BINS:
        width += 1
    return [(k * width, k * width + width - 1) for k in range(lo // width, hi // width + 1)]


def binlabel(first, last):
    def sign(v):
        return f"{v:+d}" if v else "0"
    return sign(first) if first == last else f"{sign(first)}..{sign(last)}"


def histogram(matches, who="vorn"):
    """An SVG bar chart of the goal differences, split by side: a bar per value, or per range
    of values when they spread widely (bins); its width bounded, and scaled to the page."""
    gd = [m["goal_difference"] for m in matches]
    if not gd:
        return "<p>No match was played to the end.</p>"
    bars = bins(min(min(gd), 0), max(max(gd), 0))
    counts = [[0, 0] for _ in bars]
    for m in matches:
        i = next(i for i, (a, b) in enumerate(bars) if a <= m["goal_difference"] <= b)
        counts[i][m["side"] == "right"] += 1
    most = max(a + b for a, b in counts)
    # px: a bar's width, the tallest bar, room above it
    bar, height, top = 32 if bars[0][0] == bars[0][1] else 56, 160, 20
    width, full = bar * len(bars) + 40, height + top + 30
    parts = [f'<svg width="{width}" height="{full}" viewBox="0 0 {width} {full}" '
             'style="max-width: 100%; height: auto" role="img" aria-label="goal differences">']
    for i, ((first, last), (left, right)) in enumerate(zip(bars, counts)):
        x, base = 20 + i * bar, height + top
        for n, cls in ((left, "left"), (right, "right")):
            h = n * height / most
            if n:
                parts.append(f'<rect class="{cls}" x="{x + 3}" y="{base - h:.1f}" '
                             f'width="{bar - 6}" height="{h:.1f}"><title>{n} with {who} {cls}'
                             f'</title></rect>')
            base -= h
        if left + right:
            parts.append(f'<text x="{x + bar / 2}" y="{base - 4:.1f}">{left + right}</text>')
        parts.append(f'<text x="{x + bar / 2}" y="{height + top + 18}">'
                     f'{binlabel(first, last)}</text>')
    parts.append(f'<line x1="20" x2="{20 + bar * len(bars)}" y1="{height + top}" '
                 f'y2="{height + top}" stroke="#888"/>')
    parts.append("</svg>")
    return "\n".join(parts)


PAGE_STYLE = """body { font: 14px/1.4 sans-serif; margin: 2em; color: #222; }
table { border-collapse: collapse; margin: 0.5em 0 1.5em; }
th, td { padding: 0.2em 0.8em; border-bottom: 1px solid #ddd; text-align: left; }
th { background: #f3f3f3; }
svg text { font-size: 12px; text-anchor: middle; }
rect.left { fill: #3a6ea5; } rect.right { fill: #e0a030; }
.key span { display: inline-block; width: 1em; height: 1em; vertical-align: middle; }"""


def htmltable(head, rows, links=None):
    out = ["<table><tr>" + "".join(f"<th>{html.escape(h)}</th>" for h in head) + "</tr>"]
    for i, row in enumerate(rows):
        cells = [html.escape(str(x)) for x in row]
        if links and links[i]:
            cells[0] = f'<a href="{html.escape(links[i])}">{cells[0]}</a>'
        out.append("<tr>" + "".join(f"<td>{c}</td>" for c in cells) + "</tr>")
    return "\n".join(out + ["</table>"])


def page(s):
    played = [m for m in s["matches"] if m["status"] == "played"]
    links = [f"{m['dir']}/replay.html" if os.path.isfile(
        os.path.join(s["dir"], m["dir"], "replay.html")) else None for m in s["matches"]]
    notes = [x for x in opponentlines(s) + [p99line(s), sharedseedline(s), replayline(s)] if x]
    compared = comparison(s)
    return "\n".join([
        "<!DOCTYPE html>", '<html lang="en"><head><meta charset="utf-8">',
        f"<title>vorn series: {matchcount(len(s['matches']))}</title>",
        f"<style>{PAGE_STYLE}</style></head><body>",
        f"<h1>A series of {matchcount(len(s['matches']))}</h1>",
        f"<p>{html.escape(s['dir'])}: {html.escape(counts(s))}.</p>",
        "<h2>Over the matches played to the end</h2>",
        "<p>Means with their 95% intervals (Student's t).</p>",
        htmltable(overhead(s), overrows(s)),
        "".join(f"<p>{html.escape(x)}</p>" for x in notes),
        "<h2>Against the baseline</h2>" if compared else "",
        "<ul>" + "".join(f"<li><strong>{html.escape(x)}</strong></li>" if
                         x.startswith("verdict:") else f"<li>{html.escape(x)}</li>"
                         for x in compared) + "</ul>" if compared else "",
        "<h2>Seeds and programs</h2>",
        f"<p>{html.escape(seedline(s))}</p>",
        htmltable(PROGRAM_HEAD[:3] + ("sha256", "build-id") + PROGRAM_HEAD[5:],
                  programrows(s, 64)) if programrows(s) else "",
        "".join(f"<p>{html.escape(note)}.</p>" for note in programnotes(s)),
        "<h2>Goal differences</h2>",
        "<p>Matches played to the end by " + ("your team's goals minus vorn's" if
                                              opponentundertest(s) else
                                              "vorn's goals minus the opponent's") + ".</p>",
        f'<p class="key"><span style="background:#3a6ea5"></span> {team(s)} left &nbsp; '
        f'<span style="background:#e0a030"></span> {team(s)} right</p>',
        histogram(played, team(s)),
        "<h2>Match figures</h2><p>Means per match played to the end with their 95% intervals "
        "(scripts/figures.py; docs/report.md says how each is counted).</p>" +
        htmltable(figurehead(s), figurerows(s)) if figurerows(s) else "",
        "<h2>Matches</h2><p>Each links to its replay.</p>",
        htmltable(matchhead(s), matchrows(s), links),
        "</body></html>", ""])


# --- Two builds in one run (series.sh --compare): D/a and D/b hold a series each, D the run.

def planorder(folder):
    """{pair: build} of the build whose match came first in its pair in the plan of an
    interleaved run (D/plan.txt: "PAIR SIDE NUMBER BUILD SEED" a line, in the order GNU
    parallel started them)."""
    first = {}
    for line in readlines(os.path.join(folder, "plan.txt")):
        fields = line.split()
        if len(fields) >= 4 and fields[0].isdigit():
            first.setdefault(int(fields[0]), fields[3])
    return first


def startedtimes(folder):
    """When each match of an interleaved run started, as {(build, pair): seconds since the
    epoch}, from GNU parallel's log of the jobs (its Seq is the line of the plan)."""
    plan = [line.split() for line in readlines(os.path.join(folder, "plan.txt"))]
    out = {}
    for line in readlines(os.path.join(folder, "joblog.txt"))[1:]:
        fields = line.split("\t")
        try:
            n, start = int(fields[0]), float(fields[2])
            out[(plan[n - 1][3], int(plan[n - 1][0]))] = start
        except (IndexError, ValueError):
            continue
    return out


def runsummary(folder):
    """An interleaved run: each build's series summed up (its summary.json and page written,
    B's against A), and the run's own summary."""
    rec = readjson(os.path.join(folder, "series.json"))
    if not isinstance(rec, dict) or not isinstance(rec.get("compare"), dict):
        raise ValueError(f"{os.path.join(folder, 'series.json')} is not the record of a run of "
                         "two builds (series.sh --compare)")
    sides = {}
    for x in ("a", "b"):
        part = os.path.join(folder, x)
        sides[x] = summarise(part, os.path.join(folder, "a") if x == "b" else None,
                             across_time=False)
        writesummary(sides[x], part)
    a, b = sides["a"], sides["b"]
    run = {"dir": os.path.abspath(folder), "compare": rec["compare"],
           **{k: rec[k] for k in ("seed", "planned", "cycles", "opponent", "jobs",
                                  "server_options", "started") if k in rec},
           "ended": max(filter(None, (a["ended"], b["ended"])), default=None)}
    for x, sx in sides.items():
        run[x] = {k: sx[k] for k in ("dir", "programs", "played", "stopped", "failed", "invalid",
                                     "wins", "draws", "losses", "goals_for", "goals_against",
                                     "goal_difference", "by_side", "missed_slots", "slots",
                                     "missed_share", "worst_p99") if k in sx}
        run[x]["held"] = len(sx["matches"])
    run.update(series_compare.interleaved(a, b, startedtimes(folder), planorder(folder)))
    run["comparison"] = b.get("baseline")
    worst = [w for w in (a["worst_p99"], b["worst_p99"]) if w]
    run["worst_p99"] = max(worst, key=lambda w: w["ms"]) if worst else None
    if run["worst_p99"]:
        which = "a" if run["worst_p99"] is a["worst_p99"] else "b"
        run["worst_p99"] = dict(run["worst_p99"], match=f"{which}/{run['worst_p99']['match']}")
    return run


def writesummary(s, folder):
    """A series' summary.json and page; OSError names the file."""
    writefile(os.path.join(folder, "summary.json"), json.dumps(s, indent=1) + "\n")
    writefile(os.path.join(folder, "index.html"), page(s))


PAIR_HEAD = ("pair", "seed", "vorn side", "first", "A", "B", "B - A", "A started", "B started")


def pairrows(run):
    """A row per pair: its seed and side, which build started first, each build's match (its
    status and score) and when it started, in seconds after the run's first match."""
    times = [m["started"] for p in run["pairs"] for m in (p["a"], p["b"]) if m and m["started"]]
    zero = min(times) if times else None

    def match(m):
        return "-" if m is None else f"{m['status']} {m['for']}:{m['against']}"

    def when(m):
        if m is None or m["started"] is None or zero is None:
            return "-"
        return f"+{m['started'] - zero:.3f} s"

    rows = []
    for p in run["pairs"]:
        one = p["a"] or p["b"]
        both = p["a"] and p["b"] and p["a"]["status"] == p["b"]["status"] == "played"
        rows.append((p["pair"], "-" if one.get("seed") is None else one["seed"], one["side"],
                     p["first"], match(p["a"]), match(p["b"]),
                     f"{p['b']['goal_difference'] - p['a']['goal_difference']:+d}" if both
                     else "-", when(p["a"]), when(p["b"])))
    return rows


def runover(run):
    """The rows over the run: each build's matches played to the end, all and by side."""
    rows = []
    for x in ("a", "b"):
        s = run[x]
        rows += [(f"{x.upper()} {name}",) + row[1:] for name, row in
                 zip(("all", "vorn left", "vorn right"), overrows(s))]
    return rows


def runlines(run):
    """The lines of the run below its tables: B against A, the order, the worst p99."""
    c = run.get("comparison")
    out = []
    if c:
        out.append("B against A, in one run (B's goal difference minus A's in the pair of the "
                   "same seed and side):")
        out += series_compare.lines(c, ("B", "A"))
    out += series_compare.orderlines(run["order"])
    out += [x for x in (p99line(run),) if x]
    return out


def runhead(run):
    c = run["compare"]
    return (f"two builds in one run in {run['dir']}: {matchcount(run.get('planned') or 0)} "
            "each, in pairs of the same seed and side, interleaved (A's match started first in "
            f"odd pairs, B's in even ones); A: {c['a']}, B: {c['b']}")


def printrun(run, out):
    print(runhead(run), file=out)
    for x in ("a", "b"):
        print(f"series {x.upper()} in {run[x]['dir']}: {matchcount(run[x]['held'])}, "
              f"{counts(run[x])}", file=out)
    print(seedline(run), file=out)
    printtable(PAIR_HEAD, pairrows(run), out)
    print("over the matches played to the end (means with their 95% intervals):", file=out)
    printtable(OVER_HEAD, runover(run), out)
    for line in runlines(run):
        print(line, file=out)


def runpage(run):
    lines = runlines(run)
    return "\n".join([
        "<!DOCTYPE html>", '<html lang="en"><head><meta charset="utf-8">',
        "<title>vorn: two builds in one run</title>",
        f"<style>{PAGE_STYLE}</style></head><body>",
        "<h1>Two builds in one run</h1>", f"<p>{html.escape(runhead(run))}.</p>",
        '<p>The series of each: <a href="a/index.html">A</a>, <a href="b/index.html">B</a>.</p>',
        "<h2>B against A</h2>",
        "<ul>" + "".join(f"<li><strong>{html.escape(x)}</strong></li>" if
                         x.startswith(("verdict:", "order:")) else f"<li>{html.escape(x)}</li>"
                         for x in lines) + "</ul>",
        "<h2>Over the matches played to the end</h2>",
        "<p>Means with their 95% intervals (Student's t).</p>",
        htmltable(OVER_HEAD, runover(run)),
        "<h2>Pairs</h2>", f"<p>{html.escape(seedline(run))}</p>",
        htmltable(PAIR_HEAD, pairrows(run)),
        "</body></html>", ""])


def compared(folder):
    """series.sh --compare's summary: each build's series, then the run's summary.json and page,
    then its table; the status as summary() gives it."""
    run = runsummary(folder)
    return written(folder, run, runpage, printrun)


def writefile(path, text):
    """The file written whole or not at all: a file beside it, renamed into its place once
    it is complete. OSError names the file."""
    part = os.path.join(os.path.dirname(path) or ".", f".{os.path.basename(path)}.{os.getpid()}")
    try:
        with open(part, "w", encoding="utf-8") as f:
            f.write(text)
        os.replace(part, path)
    except OSError as e:
        try:
            os.remove(part)
        except OSError:
            pass
        raise OSError(e.errno, f"cannot write {path}: {e.strerror}") from None


def main(argv):
    p = argparse.ArgumentParser(prog="series_summary.py",
                                description="Sums up a match or a series (see the top of this "
                                "file).")
    sub = p.add_subparsers(dest="what", required=True)
    m = sub.add_parser("match", help="one match folder: result.json")
    m.add_argument("folder")
    m.add_argument("--side", choices=("left", "right"), required=True)
    m.add_argument("--status", type=int, required=True)
    m.add_argument("--cycles", type=int, required=True)
    m.add_argument("--seed", type=int)
    r = sub.add_parser("record", help="the seed, plan and programs of a series: series.json")
    r.add_argument("folder")
    for name in ("matches", "cycles", "jobs"):
        r.add_argument(f"--{name}", type=int, required=True)
    r.add_argument("--seed", type=int)
    r.add_argument("--opponent", required=True)
    r.add_argument("--other-build", help="the folder of the other vorn build played head to head")
    r.add_argument("--server-options", default="")
    r.add_argument("--under-test", choices=("vorn", "opponent"), default="vorn")
    r.add_argument("--compare", nargs=2, metavar=("DIR_A", "DIR_B"),
                   help="a run of two builds, interleaved: their bin folders")
    r.add_argument("--part-of", nargs=2, metavar=("RUN", "BUILD"),
                   help="one build's series (A or B) of the interleaved run in RUN")
    r.add_argument("--program", nargs=3, action="append", default=[],
                   metavar=("ROLE", "PATH", "COPY"))
    b = sub.add_parser("baseline", help="check that D2 holds the summary of a series")
    b.add_argument("folder")
    s = sub.add_parser("series", help="a series folder: the table, summary.json, index.html")
    s.add_argument("folder")
    s.add_argument("--baseline", metavar="D2")
    c = sub.add_parser("compare", help="a run of two builds interleaved (series.sh --compare): "
                       "the series of each in D/a and D/b, the comparison in D")
    c.add_argument("folder")
    a = p.parse_args(argv)
    try:
        if a.what == "match":
            r = matchfigures(a.folder, a.side, a.status, a.cycles, a.seed)
            try:
                writefile(os.path.join(a.folder, "result.json"), json.dumps(r, indent=1) + "\n")
            except OSError as e:
                # the series counts a match without its result.json as failed: so does the line
                print("failed", r["for"], r["against"], oserror(e))
                raise
            print(r["status"], r["for"], r["against"], *([r["why"]] if r["why"] else []))
            return 0
        if a.what == "record":
            writefile(os.path.join(a.folder, "series.json"), json.dumps(record(a), indent=1) +
                      "\n")
            return 0
        if a.what == "baseline":
            baselinesummary(a.folder)
            return 0
        if a.what == "compare" or isinstance(readrecord(a.folder).get("compare"), dict):
            if a.what == "series" and a.baseline:
                raise ValueError(f"{a.folder} holds a run of two builds (series.sh --compare): "
                                 "compare the series of one of them, D/a or D/b, with a "
                                 "baseline")
            return compared(a.folder)
        r = summarise(a.folder, a.baseline)
        return summary(r, a.folder)
    except OSError as e:
        print(f"series_summary.py: {oserror(e)}", file=sys.stderr)
        return 1
    except (ValueError, KeyError) as e:
        print(f"series_summary.py: {e}", file=sys.stderr)
        return 1


def oserror(e):
    """An OSError in words, with the file it is about."""
    if e.filename and e.strerror:
        return f"{e.filename}: {e.strerror}"
    return e.strerror or str(e)


def summary(r, folder):
    """The summary's files first, then the table, which is printed also when a file cannot
    be written (a full disk), and whose reader may have gone: 141 then, as for a program that
    a closed pipe ends, once the files are written; 1 when a file could not be."""
    return written(folder, r, page, printsummary)


def written(folder, r, makepage, printer):
    """summary.json and index.html (makepage) of r into folder, then r printed (printer);
    the status as summary() says."""
    failed = []
    for name, text in (("summary.json", json.dumps(r, indent=1) + "\n"),
                       ("index.html", makepage(r))):
        try:
            writefile(os.path.join(folder, name), text)
        except OSError as e:
            failed.append(oserror(e))
    status = 1 if failed else 0
    try:
        printer(r, sys.stdout)
        sys.stdout.flush()
    except BrokenPipeError:
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        status = status or 141
    for why in failed:
        print(f"series_summary.py: {why}", file=sys.stderr)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
