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
(pitch.txt) when it printed one, else from the game log (vornkit/outcome.py), which also
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

The parts live in scripts/vornkit/: the files of a match folder (matchfolder.py), its
result.json (matchresult.py) and how it ended (ending.py), the record of a series
(series_record.py, programs.py), its figures (series_totals.py), its table (series_tables.py)
and page (series_page.py), and a run of two builds (series_run.py).
"""

import argparse
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))  # vornkit beside
from vornkit import matchresult  # noqa: E402
from vornkit import series_page  # noqa: E402
from vornkit import series_record  # noqa: E402
from vornkit import series_run  # noqa: E402
from vornkit import series_tables  # noqa: E402
from vornkit import series_totals  # noqa: E402
from vornkit import outputs  # noqa: E402


def compared(folder):
    """series.sh --compare's summary: each build's series, then the run's summary.json and page,
    then its table; the status as summary() gives it."""
    run = series_run.runsummary(folder)
    return written(folder, run, series_run.runpage, series_run.printrun)


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
    m.add_argument("--no-game-log", action="store_true",
                   help="leave the game log unread: the score from pitch's summary, no figures")
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
            r = matchresult.result(a.folder, a.side, a.status, a.cycles, a.seed,
                                   readlog=not a.no_game_log)
            try:
                outputs.writefile(os.path.join(a.folder, "result.json"),
                                    json.dumps(r, indent=1) + "\n")
            except OSError as e:
                # the series counts a match without its result.json as failed: so does the line
                print("failed", r["for"], r["against"], outputs.oserror(e))
                raise
            print(r["status"], r["for"], r["against"], *([r["why"]] if r["why"] else []))
            return 0
        if a.what == "record":
            outputs.writefile(os.path.join(a.folder, "series.json"),
                                json.dumps(series_record.record(a), indent=1) + "\n")
            return 0
        if a.what == "baseline":
            series_totals.baselinesummary(a.folder)
            return 0
        if a.what == "compare" or \
                isinstance(series_record.readrecord(a.folder).get("compare"), dict):
            if a.what == "series" and a.baseline:
                raise ValueError(f"{a.folder} holds a run of two builds (series.sh --compare): "
                                 "compare the series of one of them, D/a or D/b, with a "
                                 "baseline")
            return compared(a.folder)
        r = series_totals.summarise(a.folder, a.baseline)
        return summary(r, a.folder)
    except OSError as e:
        print(f"series_summary.py: {outputs.oserror(e)}", file=sys.stderr)
        return 1
    except (ValueError, KeyError) as e:
        print(f"series_summary.py: {e}", file=sys.stderr)
        return 1


def summary(r, folder):
    """The summary's files first, then the table, which is printed also when a file cannot
    be written (a full disk), and whose reader may have gone: 141 then, as for a program that
    a closed pipe ends, once the files are written; 1 when a file could not be."""
    return written(folder, r, series_page.page, series_tables.printsummary)


def written(folder, r, makepage, printer):
    """summary.json and index.html (makepage) of r into folder, then r printed (printer);
    the status as summary() says."""
    failed = []
    for name, text in (("summary.json", json.dumps(r, indent=1) + "\n"),
                       ("index.html", makepage(r))):
        try:
            outputs.writefile(os.path.join(folder, name), text)
        except OSError as e:
            failed.append(outputs.oserror(e))
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
