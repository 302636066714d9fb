"""GNU parallel's log of a series' jobs, D/joblog.txt (parallel --joblog, which
scripts/series.sh gives it): a head line, then a line per job, tab-separated: Seq (the job's
line of the plan), Host, Starttime, JobRuntime (seconds), Send, Receive, Exitval, Signal,
Command. Read by vornkit/series_run.py (when each match of a run of two builds started),
bench/series_jobs_table.py (a series' wall time) and series.sh, for a match that never
reported its end:

  scripts/vornkit/joblog.py FOLDER SEQ   the job's host and exit value, "HOST EXITVAL"
                                         (nothing, status 1, when the log has no such job)
"""

import os
import sys


def jobs(folder):
    """A dict per job in the folder's joblog.txt: "seq" (int), "host", "start" (seconds since
    the epoch), "runtime" (seconds) and "exitval" (int), each None when its field is missing or no number;
    [] without the file."""
    try:
        with open(os.path.join(folder, "joblog.txt"), encoding="latin-1") as f:
            lines = f.read().splitlines()[1:]
    except OSError:
        return []
    return [{"seq": number(fields, 0, int), "host": fields[1] if len(fields) > 1 else None,
             "start": number(fields, 2, float), "runtime": number(fields, 3, float),
             "exitval": number(fields, 6, int)}
            for fields in (line.split("\t") for line in lines)]


def number(fields, i, kind):
    try:
        return kind(fields[i])
    except (IndexError, ValueError):
        return None


def main(argv):
    if len(argv) != 2 or not argv[1].isdigit():
        print("usage: scripts/vornkit/joblog.py FOLDER SEQ", file=sys.stderr)
        return 2
    for job in jobs(argv[0]):
        if job["seq"] == int(argv[1]) and job["host"]:
            print(job["host"], "" if job["exitval"] is None else job["exitval"])
            return 0
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
