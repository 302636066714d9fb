"""GNU parallel's log of a series' jobs, D/joblog.txt (parallel --joblog, which
scripts/series.sh gives it): a head line, then a line per job, tab-separated: Seq (the job's
line of the plan), Host, Starttime, JobRuntime (seconds), Send, Receive, Exitval, Signal,
Command. Read by vornkit/series_run.py (when each match of a run of two builds started) and
bench/series_jobs_table.py (a series' wall time).
"""

import os


def jobs(folder):
    """A dict per job in the folder's joblog.txt: "seq" (int), "host", "start" (seconds since
    the epoch) and "runtime" (seconds), each None when its field is missing or no number;
    [] without the file."""
    try:
        with open(os.path.join(folder, "joblog.txt"), encoding="latin-1") as f:
            lines = f.read().splitlines()[1:]
    except OSError:
        return []
    return [{"seq": number(fields, 0, int), "host": fields[1] if len(fields) > 1 else None,
             "start": number(fields, 2, float), "runtime": number(fields, 3, float)}
            for fields in (line.split("\t") for line in lines)]


def number(fields, i, kind):
    try:
        return kind(fields[i])
    except (IndexError, ValueError):
        return None
