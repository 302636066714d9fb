#!/usr/bin/env python3
"""Two series through scripts/series.sh, at once. The first, of four short matches, one
match at once on this machine and one on a second "machine" reached through GNU parallel's own --ssh (the
environment variable PARALLEL_SSH) pointed at a local stand-in (ssh_standin.sh), which
loses the first job sent to it without a word, as GNU parallel counts a success, and the
connection of the second once its match has begun (ssh's status 255), and plays the rest.
The series must end with status 1 and name the first as failed, with a folder of its own;
play the second again on this machine and count it once, as replayed; play the other two,
one of them on the stand-in, odd matches with vorn on the left and even ones on the right,
each with the seed of its number, every match folder back in the series folder and nothing
left in the stand-in's home; the summary of every match played must agree with that match's
own report (score, missed slots, seed) and send-slot figures; the programs on record must
be the ones played. The second, of two matches whose pitch fails, must play each once:
a match that fails on its own is no lost machine. No process of either may be left.

usage: tests/series/series_test.py BIN_DIR
"""
import hashlib
import json
import os
import re
import tempfile

from harness import BIN, at_once, finish, run, survivors

HERE = os.path.dirname(os.path.abspath(__file__))
failures = []


def report(folder, side):
    """Goals for and against, and the missed slots, as the match's report.txt gives them."""
    text = open(os.path.join(folder, "report.txt"), encoding="latin-1").read()
    left, right = map(int, re.search(r"^score: \S+ (\d+) : (\d+) \S+$", text, re.M).groups())
    missed = sum(int(m) for m in re.findall(r"^\d+ +Vorng? +\d+ +(\d+)\b", text, re.M))
    with open(os.path.join(folder, "slots.json")) as f:
        p99 = max(s["p99_ms"] for s in json.load(f)["slots"] if "p99_ms" in s)
    seed = int(re.search(r"^pitch listening on \S+ a match of \d+ cycles with seed (\d+) in ",
                         text, re.M).group(1))
    goals = (left, right) if side == "left" else (right, left)
    return {"for": goals[0], "against": goals[1], "missed_slots": missed, "p99_ms": p99,
            "seed": seed}


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def series(d, args, **standin):
    """series.sh in d/series with the stand-in as the second machine (its home d/home);
    standin holds the stand-in's settings (DROP, LOSE)."""
    home, log, hosts = (os.path.join(d, x) for x in ("home", "standin.log", "hosts"))
    os.mkdir(home)
    with open(hosts, "w") as f:
        f.write("standin\n")
    folder = os.path.join(d, "series")
    got = run(["scripts/series.sh", "--jobs", "1", "--hosts", hosts, "--dir", folder] + args,
              PARALLEL_SSH=os.path.join(HERE, "ssh_standin.sh"), STANDIN_HOME=home,
              STANDIN_LOG=log, **{f"STANDIN_{k}": v for k, v in standin.items()})
    return got, folder, home


def lostmachines(d):
    """The first job sent to the stand-in lost without a word, the second with its
    connection: the first fails, the second is played again here and counted once."""
    run, series_, home = series(d, ["--matches", "4", "--cycles", "30", "--seed", "5000"],
                                DROP="1", LOSE="2")
    failed = len(failures)
    if run.returncode != 1:
        failures.append(f"series.sh ended with status {run.returncode}, not 1 for a lost match")
    try:
        with open(os.path.join(series_, "summary.json")) as f:
            summary = json.load(f)
        matches = summary["matches"]
        lost = [m for m in matches if os.path.exists(os.path.join(series_, m["dir"], "lost.txt"))]
        played = [m for m in matches if m["status"] == "played"]
        sides = [m["side"] == ("left" if int(m["dir"][-3:]) % 2 else "right") and
                 m["seed"] == 5000 + int(m["dir"][-3:]) for m in matches]
        if (len(matches), len(played), summary["failed"], len(lost)) != (4, 3, 1, 1) or \
                not all(sides) or lost[0] in played:
            failures.append(f"expected three matches played and one lost, odd ones left, "
                            f"seeds 5000+i: {matches}")
        elif not re.search(rf"match {int(lost[0]['dir'][-3:])} \(vorn \w+\) failed: it never "
                           r"reported its end from standin", run.stdout):
            failures.append("the lost match is not named as lost on standin")
        replayed = summary["replayed"]
        with open(os.path.join(series_, "joblog.txt")) as f:
            hosts_of = dict(line.split("\t")[:2] for line in f if line[0].isdigit())
        if [(r["lost_on"], r["played_on"]) for r in replayed] != [("standin", "this machine")] \
                or replayed[0]["match"] not in [m["dir"] for m in played] or \
                hosts_of.get(str(int(replayed[0]["match"][-3:]))) != ":":
            failures.append(f"expected one match lost on standin and played here: {replayed}")
        elif not re.search(rf"match {int(replayed[0]['match'][-3:])} \(vorn \w+\) lost with "
                           r"standin: played again on this machine \(try 2 of at most 3\)",
                           run.stdout):
            failures.append("the replayed match is not named as played again")
        if "standin" not in [hosts_of.get(str(int(m["dir"][-3:]))) for m in played]:
            failures.append(f"no match was played to the end on the stand-in: {hosts_of}")
        programs = {p["name"]: p for p in summary["programs"]}
        if sorted(programs) != ["Vorn", "Vorng", "pitch"] or \
                any(p["sha256"] != sha256(os.path.join(BIN, n)) or
                    p["path"] != os.path.join(BIN, n) for n, p in programs.items()):
            failures.append(f"the programs on record are not the ones played: {programs}")
        for m in played:
            own = report(os.path.join(series_, m["dir"]), m["side"])
            if {k: m[k] for k in own} != own:
                failures.append(f"{m['dir']}: the summary says {m}, its report {own}")
    except (OSError, ValueError, KeyError, AttributeError, IndexError) as e:
        failures.append(f"no summary that agrees with the reports: {e!r}")
    if not re.search(r"match \d \(vorn \w+\) started on standin", run.stdout):
        failures.append("no match was played through the ssh stand-in")
    if os.listdir(home):
        failures.append(f"the stand-in's home still holds {os.listdir(home)}")
    if len(failures) > failed:
        print(run.stdout, run.stderr, sep="\n")


def failingmatches(d):
    """Matches that fail on their own (their pitch refuses to start: the real one, given a
    bad option by a wrapper in its place) fail once each: no machine was lost, so none is
    played again."""
    folder = os.path.join(d, "pitch")
    os.mkdir(folder)
    with open(os.path.join(folder, "pitch"), "w") as f:
        f.write(f"#!/bin/sh\nexec '{os.path.join(BIN, 'pitch')}' \"$@\" --cycles 0\n")
    os.chmod(os.path.join(folder, "pitch"), 0o755)
    run, series_, _ = series(d, ["--matches", "2", "--cycles", "30", "--pitch", folder])
    try:
        with open(os.path.join(series_, "summary.json")) as f:
            summary = json.load(f)
        reports = [open(os.path.join(series_, m["dir"], "report.txt")).read()
                   for m in summary["matches"]]
    except (OSError, ValueError, KeyError) as e:
        summary, reports = {}, [repr(e)]
    if run.returncode != 1 or summary.get("failed") != 2 or summary.get("replayed") != [] or \
            " lost with " in run.stdout or \
            not all("match.sh: pitch did not start" in r for r in reports):
        failures.append(f"matches that failed on their own: status {run.returncode}, replayed "
                        f"{summary.get('replayed')}, output {run.stdout} {run.stderr}, "
                        f"reports {reports}")


with tempfile.TemporaryDirectory() as d:
    cases = [lostmachines, failingmatches]
    for case in cases:
        os.mkdir(os.path.join(d, case.__name__))
    at_once([(case, (os.path.join(d, case.__name__),)) for case in cases])
    if survivors(d):
        failures.append(f"processes of the series are still running: {survivors(d)}")
finish(failures, passed="both series as expected")
