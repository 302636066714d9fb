#!/usr/bin/env python3
"""A series of three short matches through scripts/series.sh, one match at once on this
machine and one on a second "machine" reached through GNU parallel's own --ssh (the
environment variable PARALLEL_SSH) pointed at a local stand-in (ssh_standin.sh), which
loses the first job sent to it without a word, as GNU parallel counts a success. The series
must end with status 1 and name that match as failed, with a folder of its own; play the
other two, odd matches with vorn on the left and even ones on the right, every match folder
back in the series folder and nothing left in the stand-in's home; the summary of every
match played must agree with that match's own report (score, missed slots) and send-slot
figures; and no process of the series may be left.

usage: tests/series/series_test.py BIN_DIR
"""
import json
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, "..", ".."))
BIN = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(REPO, "build", "bin")
failures = []


def report(folder, side):
    """Goals for and against, and the missed slots, as the match's report.txt gives them."""
    text = open(os.path.join(folder, "report.txt"), encoding="latin-1").read()
    left, right = map(int, re.search(r"^score: \S+ (\d+) : (\d+) \S+$", text, re.M).groups())
    missed = sum(int(m) for m in re.findall(r"^\d+ +Vorng? +\d+ +(\d+)\b", text, re.M))
    with open(os.path.join(folder, "slots.json")) as f:
        p99 = max(s["p99_ms"] for s in json.load(f)["slots"] if "p99_ms" in s)
    goals = (left, right) if side == "left" else (right, left)
    return {"for": goals[0], "against": goals[1], "missed_slots": missed, "p99_ms": p99}


def survivors(folder):
    """Processes that run in the folder or name it on their command line (every player runs
    in its folder, pitch and the scripts name theirs)."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            cwd = os.readlink(f"/proc/{pid}/cwd")
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                line = f.read().replace(b"\0", b" ").decode(errors="replace")
        except OSError:
            continue
        if cwd.startswith(folder) or folder in line:
            found.append(f"{pid}: {line}")
    return found


with tempfile.TemporaryDirectory() as d:
    home, log, hosts = (os.path.join(d, x) for x in ("home", "standin.log", "hosts"))
    os.mkdir(home)
    with open(hosts, "w") as f:
        f.write("standin\n")
    env = dict(os.environ, VORN_BIN=BIN, PARALLEL_SSH=os.path.join(HERE, "ssh_standin.sh"),
               STANDIN_HOME=home, STANDIN_LOG=log, STANDIN_DROP="1")
    series = os.path.join(d, "series")
    run = subprocess.run([os.path.join(REPO, "scripts", "series.sh"), "--matches", "3",
                          "--jobs", "1", "--cycles", "30", "--hosts", hosts, "--dir", series],
                         env=env, capture_output=True, text=True, timeout=240,
                         start_new_session=True)
    if run.returncode != 1:
        failures.append(f"series.sh ended with status {run.returncode}, not 1 for a lost match")
    try:
        with open(os.path.join(series, "summary.json")) as f:
            summary = json.load(f)
        matches = summary["matches"]
        lost = [m for m in matches if os.path.exists(os.path.join(series, m["dir"], "lost.txt"))]
        played = [m for m in matches if m["status"] == "played"]
        sides = [m["side"] == ("left" if int(m["dir"][-3:]) % 2 else "right") for m in matches]
        if (len(matches), len(played), summary["failed"], len(lost)) != (3, 2, 1, 1) or \
                not all(sides) or lost[0] in played:
            failures.append(f"expected two matches played and one lost, odd ones left: {matches}")
        elif not re.search(rf"match {int(lost[0]['dir'][-3:])} \(vorn \w+\) failed: it never "
                           r"reported its end from standin", run.stdout):
            failures.append("the lost match is not named as lost on standin")
        for m in played:
            own = report(os.path.join(series, m["dir"]), m["side"])
            if {k: m[k] for k in own} != own:
                failures.append(f"{m['dir']}: the summary says {m}, its report {own}")
    except (OSError, ValueError, KeyError, AttributeError) as e:
        failures.append(f"no summary that agrees with the reports: {e!r}")
    if not re.search(r"match \d \(vorn \w+\) started on standin", run.stdout):
        failures.append("no match was played through the ssh stand-in")
    if os.listdir(home):
        failures.append(f"the stand-in's home still holds {os.listdir(home)}")
    if survivors(d):
        failures.append(f"processes of the series are still running: {survivors(d)}")
    if failures:
        print(run.stdout, run.stderr, sep="\n")

print("\n".join(failures))
print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
sys.exit(1 if failures else 0)
