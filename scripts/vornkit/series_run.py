"""A run of two builds in one (series.sh --compare; scripts/series_summary.py compare D): the
series of each in D/a and D/b, summed up (B's against A's) with their summary.json and page,
and in D the run's own summary: the pairs of the same seed and side, B against A, and the
order's own effect (the match started first in its pair minus the one started second), as a
table, D/summary.json and D/index.html.
"""

import html
import json
import os

from vornkit import joblog
from vornkit import matchfolder
from vornkit import series_compare
from vornkit import series_page as pages
from vornkit import series_tables as tables
from vornkit import series_totals
from vornkit import outputs


def planorder(folder):
    """{pair: build} of the build whose match came first in its pair in the plan of an
    interleaved run (D/plan.txt: "PAIR SIDE NUMBER BUILD SEED" a line, in the order GNU
    parallel started them)."""
    first = {}
    for line in matchfolder.readlines(os.path.join(folder, "plan.txt")):
        fields = line.split()
        if len(fields) >= 4 and fields[0].isdigit():
            first.setdefault(int(fields[0]), fields[3])
    return first


def startedtimes(folder):
    """When each match of an interleaved run started, as {(build, pair): seconds since the
    epoch}, from GNU parallel's log of the jobs (its Seq is the line of the plan)."""
    plan = [line.split() for line in matchfolder.readlines(os.path.join(folder, "plan.txt"))]
    out = {}
    for job in joblog.jobs(folder):
        n, start = job["seq"], job["start"]
        try:
            if n is not None and start is not None:
                out[(plan[n - 1][3], int(plan[n - 1][0]))] = start
        except (IndexError, ValueError):
            continue
    return out


def runsummary(folder):
    """An interleaved run: each build's series summed up (its summary.json and page written,
    B's against A), and the run's own summary."""
    rec = outputs.readjson(os.path.join(folder, "series.json"))
    if not isinstance(rec, dict) or not isinstance(rec.get("compare"), dict):
        raise ValueError(f"{os.path.join(folder, 'series.json')} is not the record of a run of "
                         "two builds (series.sh --compare)")
    sides = {}
    for x in ("a", "b"):
        part = os.path.join(folder, x)
        sides[x] = series_totals.summarise(part, os.path.join(folder, "a") if x == "b" else None,
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
    outputs.writefile(os.path.join(folder, "summary.json"), json.dumps(s, indent=1) + "\n")
    outputs.writefile(os.path.join(folder, "index.html"), pages.page(s))


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
                 zip(("all", "vorn left", "vorn right"), tables.overrows(s))]
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
    out += [x for x in (tables.p99line(run),) if x]
    return out


def runhead(run):
    c = run["compare"]
    each = tables.matchcount(run.get("planned") or 0)
    return (f"two builds in one run in {run['dir']}: {each} each, in pairs of the same seed "
            "and side, interleaved (A's match started first in odd pairs, B's in even ones); "
            f"A: {c['a']}, B: {c['b']}")


def printrun(run, out):
    print(runhead(run), file=out)
    for x in ("a", "b"):
        print(f"series {x.upper()} in {run[x]['dir']}: {tables.matchcount(run[x]['held'])}, "
              f"{tables.counts(run[x])}", file=out)
    print(tables.seedline(run), file=out)
    tables.printtable(PAIR_HEAD, pairrows(run), out)
    print("over the matches played to the end (means with their 95% intervals):", file=out)
    tables.printtable(tables.OVER_HEAD, runover(run), out)
    for line in runlines(run):
        print(line, file=out)


def runpage(run):
    lines = runlines(run)
    return "\n".join([
        "<!DOCTYPE html>", '<html lang="en"><head><meta charset="utf-8">',
        "<title>vorn: two builds in one run</title>",
        f"<style>{pages.PAGE_STYLE}</style></head><body>",
        "<h1>Two builds in one run</h1>", f"<p>{html.escape(runhead(run))}.</p>",
        '<p>The series of each: <a href="a/index.html">A</a>, <a href="b/index.html">B</a>.</p>',
        "<h2>B against A</h2>",
        "<ul>" + "".join(f"<li><strong>{html.escape(x)}</strong></li>" if
                         x.startswith(("verdict:", "order:")) else f"<li>{html.escape(x)}</li>"
                         for x in lines) + "</ul>",
        "<h2>Over the matches played to the end</h2>",
        "<p>Means with their 95% intervals (Student's t).</p>",
        pages.htmltable(tables.OVER_HEAD, runover(run)),
        "<h2>Pairs</h2>", f"<p>{html.escape(tables.seedline(run))}</p>",
        pages.htmltable(PAIR_HEAD, pairrows(run)),
        "</body></html>", ""])
