#!/usr/bin/env python3
"""The table of matches at once (bench/series_jobs_table.py) on made-up series folders: two
runs of J 4 and one of J 8, one of whose failed matches has no reason; the rows and the
fault line against ones worked out by hand, and a folder without its summary refused."""
import json
import os
import subprocess
import sys
import tempfile

from harness import REPO, finish

TABLE = os.path.join(REPO, "bench", "series_jobs_table.py")

# folder, J, matches (status, why, missed, slots), worst p99, joblog (start, run time),
# console lines (None: no console output kept)
RUNS = [
    ("j4-a", 4, [("played", None, 0, 1000), ("played", None, 2, 1000),
                 ("played", None, 0, 1000), ("failed", "pitch never started", 0, 0)],
     12.5, [(100.0, 40.0), (101.0, 45.5), (102.0, 30.0), (103.0, 2.0)],
     ["# load at the start: 1.50 1.00 0.50 1/100 1", "warning: match 2 shows a machine too busy:"
      " it missed 2 of 1000 send slots (0.20%), above 0.1%", "# load at the end: 2.25 1 1 1/1 1"]),
    ("j4-b", 4, [("played", None, 0, 1000)] * 4, 8.0, [(0.0, 60.0), (1.0, 70.0)],
     ["# load at the start: 0.50 0 0 1/1 1", "# load at the end: 3.00 0 0 1/1 1"]),
    ("j8-a", 8, [("played", None, 10, 1000)] * 7 + [("failed", None, 0, 0)], 30.0,
     [(0.0, 100.0)], None),
]
# Worked out by hand: J 4 played 3 + 4 of 8, fewest 3; shares 2/3000 and 0; p99s 12.5 and
# 8.0; walls 146.5 - 100 = 46.5 s and 71 s.
ROWS = [
    "| 4 | 2 | 7 of 8, 3 | 1 (1 pitch never started) | 0.033% (0.000% to 0.067%) | 10.2 ms "
    "(8.0 ms to 12.5 ms) | 59 s (46 s to 71 s) | 1 of 2 (a busy match 1) | 0.50 to 1.50 | "
    "2.25 to 3.00 |",
    "| 8 | 1 | 7 of 8, 7 | 1 (1 FAULT: no reason) | 1.000% | 30.0 ms | 100 s | 0 of 1 | - | - |",
]


def makeseries(root, name, jobs, matches, p99, joblog, lines):
    folder = os.path.join(root, name)
    os.makedirs(folder)
    played = [m for m in matches if m[0] == "played"]
    missed, slots = sum(m[2] for m in played), sum(m[3] for m in played)
    summary = {"planned": len(matches), "played": len(played), "missed_slots": missed,
               "slots": slots, "missed_share": missed / slots,
               "worst_p99": {"match": "match-001", "ms": p99},
               "matches": [{"dir": f"match-{i:03d}", "status": s, "why": why}
                           for i, (s, why, _, _) in enumerate(matches, 1)]}
    with open(os.path.join(folder, "summary.json"), "w") as f:
        json.dump(summary, f)
    with open(os.path.join(folder, "series.json"), "w") as f:
        json.dump({"jobs": jobs}, f)
    with open(os.path.join(folder, "joblog.txt"), "w") as f:
        f.write("Seq\tHost\tStarttime\tJobRuntime\tSend\tReceive\tExitval\tSignal\tCommand\n")
        for i, (start, took) in enumerate(joblog, 1):
            f.write(f"{i}\t:\t{start:.3f}\t{took:10.3f}\t0\t0\t0\t0\tx\n")
    if lines is not None:
        with open(folder + ".log", "w") as f:
            f.write("\n".join(lines) + "\n")
    return folder


def main():
    failures = []
    with tempfile.TemporaryDirectory() as root:
        folders = [makeseries(root, *r) for r in RUNS]
        p = subprocess.run([sys.executable, TABLE] + folders, capture_output=True, text=True)
        rows = p.stdout.splitlines()[2:]
        if rows != ROWS:
            failures.append("rows:\n" + "\n".join(rows) + "\nexpected:\n" + "\n".join(ROWS))
        fault = f"fault: {folders[2]}/match-008 failed without a reason\n"
        if (p.returncode, p.stderr) != (1, fault):
            failures.append(f"a reasonless failure: status {p.returncode}, {p.stderr!r}")
        os.remove(os.path.join(folders[1], "summary.json"))
        p = subprocess.run([sys.executable, TABLE, folders[1]], capture_output=True, text=True)
        said = (f"series_jobs_table.py: {folders[1]}/summary.json: No such file or directory\n")
        if (p.returncode, p.stdout, p.stderr) != (2, "", said):
            failures.append(f"no summary: status {p.returncode}, {p.stdout!r}, {p.stderr!r}")
    finish(failures, cases=3)


if __name__ == "__main__":
    main()
