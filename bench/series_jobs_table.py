#!/usr/bin/env python3
"""The table of matches at once: series of scripts/series.sh played at several numbers of
matches at once (--jobs J), a few runs of each, summed up per J.

    bench/series_jobs_table.py [--runs] [--log-suffix .log] FOLDER...

Each FOLDER is a series folder (its summary.json, and joblog.txt for the wall time: the
first match's start to the last match's end, as GNU parallel logged them). The series'
console output, when kept beside the folder as FOLDER.log (--log-suffix), gives the
warnings it printed and, from lines "# load at the start: ..." and "# load at the end: ..."
(the contents of /proc/loadavg) that the loop playing it wrote, the load average. The runs
are grouped by the matches at once their series.json records.

Per J: the runs; the matches played (the sum over the runs, of how many planned, and the
fewest of one run); the failed matches with their reasons, a failed match without a reason
flagged as a fault with its folder; the share of the send slots missed, the worst match's
send-slot p99 and the wall time, each as the median and range over the runs; how many runs
warned (before the start: --jobs above what the machine holds; as a match ended: a machine
too busy; at the end: the worst p99 above 20 ms); the load averages (1 minute) at the
starts and the ends. --runs prints a line per run below it. Exit status 0, 1 when a failed
match has no reason, 2 when a folder cannot be read.
"""
import argparse
import json
import os
import re
import statistics
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.realpath(__file__)), "..", "scripts"))
from vornkit import joblog  # noqa: E402

LOAD = re.compile(r"^# load at the (start|end): (\S+)")
# The warnings a series prints, by when: the pre-start one, a busy match's, the end's.
WARNINGS = [("start", re.compile(r"^warning: --jobs \d+ is more than this machine holds")),
            ("busy", re.compile(r"^warning: match \S+ shows a machine too busy")),
            ("p99", re.compile(r"^warning: the worst match's send-slot p99"))]


class Unreadable(Exception):
    pass


def readjson(path):
    try:
        with open(path) as f:
            return json.load(f)
    except OSError as e:
        raise Unreadable(f"{path}: {e.strerror}") from None
    except ValueError as e:
        raise Unreadable(f"{path} is not JSON: {e}") from None


def walltime(folder):
    """Seconds from the first match's start to the last one's end in the folder's
    joblog.txt, or None without one."""
    timed = [j for j in joblog.jobs(folder) if j["start"] is not None and
             j["runtime"] is not None]
    if not timed:
        return None
    return max(j["start"] + j["runtime"] for j in timed) - min(j["start"] for j in timed)


def console(path):
    """What the series' console output says: the loads at the start and the end, and the
    warnings by kind. Empty without the file."""
    said = {"load": {}, "warned": set()}
    try:
        with open(path, errors="replace") as f:
            lines = f.read().splitlines()
    except OSError:
        return said
    for line in lines:
        m = LOAD.match(line)
        if m:
            said["load"][m.group(1)] = float(m.group(2))
        for kind, pattern in WARNINGS:
            if pattern.match(line):
                said["warned"].add(kind)
    return said


def run(folder, suffix):
    """One series folder, in figures."""
    folder = folder.rstrip("/") or folder
    s = readjson(os.path.join(folder, "summary.json"))
    record = readjson(os.path.join(folder, "series.json"))
    matches = s.get("matches") or []
    failed = [(m.get("dir"), m.get("why")) for m in matches if m.get("status") == "failed"]
    worst = s.get("worst_p99") or {}
    said = console(folder + suffix)
    return {"folder": folder, "jobs": record.get("jobs", s.get("jobs")),
            "planned": s.get("planned", len(matches)), "played": s.get("played", 0),
            "failed": failed, "missed": s.get("missed_slots", 0), "slots": s.get("slots", 0),
            "share": s.get("missed_share"), "p99": worst.get("ms"), "wall": walltime(folder),
            "load": said["load"], "warned": said["warned"]}


def spread(values, form):
    """The median and range of the values, in FORM; '-' without any."""
    values = sorted(v for v in values if v is not None)
    if not values:
        return "-"
    if len(values) == 1:
        return form(values[0])
    return f"{form(statistics.median(values))} ({form(values[0])} to {form(values[-1])})"


def percent(x):
    return f"{100 * x:.3f}%"


def ms(x):
    return f"{x:.1f} ms"


def seconds(x):
    return f"{x:.0f} s"


def load(x):
    return f"{x:.2f}"


def ranged(values):
    values = sorted(v for v in values if v is not None)
    if not values:
        return "-"
    return load(values[0]) if values[0] == values[-1] else f"{load(values[0])} to {load(values[-1])}"


def reasons(failed):
    """The failed matches, counted with their reasons: 'N (N1 reason; N2 reason)', an empty
    reason as a fault."""
    counts = {}
    for _, why in failed:
        key = why if why else "FAULT: no reason"
        counts[key] = counts.get(key, 0) + 1
    said = "; ".join(f"{n} {why}" for why, n in sorted(counts.items(), key=lambda x: -x[1]))
    return f"{len(failed)} ({said})" if failed else "0"


def warned(runs):
    """How many runs warned, and of what."""
    parts = [f"{sum(bool(r['warned']) for r in runs)} of {len(runs)}"]
    named = {"start": "before the start", "busy": "a busy match", "p99": "p99 at the end"}
    for kind, words in named.items():
        n = sum(kind in r["warned"] for r in runs)
        if n:
            parts.append(f"{words} {n}")
    return parts[0] + (f" ({', '.join(parts[1:])})" if len(parts) > 1 else "")


def table(runs):
    out = ["| J | runs | played (sum, fewest of a run) | failed | missed slots (median, range) "
           "| worst p99 (median, range) | wall time (median, range) | warned | load at the "
           "start | load at the end |",
           "|---|---|---|---|---|---|---|---|---|---|"]
    byjobs = {}
    for r in runs:
        byjobs.setdefault(r["jobs"], []).append(r)
    for jobs in sorted(byjobs, key=lambda j: (j is None, j)):
        rs = byjobs[jobs]
        failed = [f for r in rs for f in r["failed"]]
        missed = f"{spread([r['share'] for r in rs], percent)}"
        out.append(
            f"| {jobs} | {len(rs)} | {sum(r['played'] for r in rs)} of "
            f"{sum(r['planned'] for r in rs)}, {min(r['played'] for r in rs)} | "
            f"{reasons(failed)} | {missed} | "
            f"{spread([r['p99'] for r in rs], ms)} | {spread([r['wall'] for r in rs], seconds)} | "
            f"{warned(rs)} | {ranged([r['load'].get('start') for r in rs])} | "
            f"{ranged([r['load'].get('end') for r in rs])} |")
    return out


def perrun(runs):
    out = ["| folder | J | played | failed | missed slots | worst p99 | wall time | warned | "
           "load start / end |", "|---|---|---|---|---|---|---|---|---|"]
    for r in runs:
        share = "-" if r["share"] is None else percent(r["share"])
        loads = " / ".join(load(r["load"][k]) if k in r["load"] else "-" for k in ("start", "end"))
        out.append(
            f"| {r['folder']} | {r['jobs']} | {r['played']} of {r['planned']} | "
            f"{reasons(r['failed'])} | "
            f"{r['missed']:,} of {r['slots']:,} ({share}) | "
            f"{'-' if r['p99'] is None else ms(r['p99'])} | "
            f"{'-' if r['wall'] is None else seconds(r['wall'])} | "
            f"{', '.join(sorted(r['warned'])) or '-'} | {loads} |")
    return out


def main():
    p = argparse.ArgumentParser(
        description=__doc__.split("\n\n")[0],
        epilog=__doc__.split("\n\n", 2)[2], formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("folders", nargs="+", metavar="FOLDER", help="series folders")
    p.add_argument("--runs", action="store_true", help="a line per run too")
    p.add_argument("--log-suffix", default=".log",
                   help="the console output of FOLDER is FOLDER plus this (default .log)")
    a = p.parse_args()
    runs = []
    for folder in a.folders:
        try:
            runs.append(run(folder, a.log_suffix))
        except Unreadable as e:
            print(f"series_jobs_table.py: {e}", file=sys.stderr)
            sys.exit(2)
    print("\n".join(table(runs)))
    if a.runs:
        print()
        print("\n".join(perrun(runs)))
    faults = [(r["folder"], d) for r in runs for d, why in r["failed"] if not why]
    for folder, d in faults:
        print(f"fault: {folder}/{d} failed without a reason", file=sys.stderr)
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
