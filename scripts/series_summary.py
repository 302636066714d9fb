#!/usr/bin/env python3
"""Sums up the matches of a series (scripts/series.sh).

  scripts/series_summary.py match FOLDER --side left|right --status N --cycles C
  scripts/series_summary.py series D [--baseline D2]
  scripts/series_summary.py baseline D2

"match" reads one match folder of scripts/match.sh (pitch.txt, team.txt, slots.json and the
record match.jsonl) and writes its figures to FOLDER/result.json: the score as vorn's goals
for and against, the goalie's catches, the send slots missed by all players and the send-slot
p99 (the largest of the three slots' p99), and the match figures of both sides
(scripts/figures.py: from figures.json, else from the game log match.rcg). It prints
"STATUS FOR AGAINST", STATUS being "played" (match.sh ended with status 0 after all C
cycles), "stopped" (ended early by a signal) or "failed" (pitch failed, or no match was
recorded). N is match.sh's exit status.

"series" reads D/match-*/result.json and prints a table per match and over the series:
wins, draws and losses; the means of goals for, against and the goal difference, each with
its Student's t 95% interval; the missed slots in all; the same split by vorn's side; the
means of the match figures, vorn's and the opponent's, with their intervals. Only
matches played to the end count. The figures go to D/summary.json and a page to
D/index.html. --baseline D2 compares with an earlier series in D2 (its summary.json): the
difference in mean goal difference with its 95% interval (Welch's), and whether the
interval excludes zero. "baseline" only checks that D2 holds such a summary (one line and
status 1 when not).
"""

import argparse
import glob
import html
import json
import os
import re
import subprocess
import sys

import figures
import matchlog
import series_stats

HERE = os.path.dirname(os.path.abspath(__file__))
SLOTS_PER_CYCLE = 3
# match.sh's exit status after Ctrl-C or SIGTERM (130, 143); 0 when an older runner ended
# early without saying so
STOPPED = (0, 130, 143)
SCORE_LINE = re.compile(r"^score: (\S+) (\d+) : (\d+) (\S+)\s*$")
TEAM_ROW = re.compile(r"^\s*\d+\s+Vorng?\s+\d+\s+(\d+)(\s|$)")  # player, program, sent, missed


def catches(record, side):
    """The goalie's catches as scripts/goalie-report.py counts them (a catch in play that gave
    its side the free kick); None when it cannot tell."""
    run = subprocess.run([sys.executable, os.path.join(HERE, "goalie-report.py"), record,
                          "--side", side[0]], capture_output=True, text=True)
    m = re.search(r"^catches: (\d+)$", run.stdout, re.M)
    return int(m.group(1)) if run.returncode == 0 and m else None


def lastcycle(record):
    """The cycle of the record's last step line (read from its end: a record is long)."""
    with open(record, "rb") as f:
        f.seek(max(0, os.path.getsize(record) - 65536))
        found = re.findall(rb'"type":"cycle","step":\d+,"cycle":(\d+)', f.read())
    return int(found[-1]) if found else 0


def readlines(path):
    try:
        with open(path, encoding="latin-1") as f:
            return f.read().splitlines()
    except OSError:
        return []


def matchfigures(folder, side, status, cycles):
    """The figures of one match folder, as result.json holds them."""
    r = {"dir": os.path.basename(os.path.abspath(folder)), "side": side, "exit_status": status,
         "planned_cycles": cycles, "cycles": 0, "for": 0, "against": 0, "catches": 0,
         "players": 0, "missed_slots": 0, "slots": 0, "p99_ms": None}
    for line in readlines(os.path.join(folder, "pitch.txt")):
        m = SCORE_LINE.match(line)
        if m:
            left, right = int(m.group(2)), int(m.group(3))
            if "vorn" in (m.group(1), m.group(4)):
                side = r["side"] = "left" if m.group(1) == "vorn" else "right"
            r["for"], r["against"] = (left, right) if side == "left" else (right, left)
    rows = [TEAM_ROW.match(line) for line in readlines(os.path.join(folder, "team.txt"))]
    missed = [int(m.group(1)) for m in rows if m]
    r["players"], r["missed_slots"] = len(missed), sum(missed)
    record = os.path.join(folder, "match.jsonl")
    if os.path.isfile(record):
        r["cycles"], r["catches"] = lastcycle(record), catches(record, side)
    r["slots"] = SLOTS_PER_CYCLE * r["cycles"] * r["players"]
    try:
        with open(os.path.join(folder, "slots.json"), encoding="utf-8") as f:
            p99 = [s["p99_ms"] for s in json.load(f)["slots"] if "p99_ms" in s]
        r["p99_ms"] = max(p99) if p99 else None
    except (OSError, ValueError, KeyError):
        pass
    if status == 0 and r["cycles"] >= cycles:
        r["status"] = "played"
    elif status in STOPPED and os.path.isfile(record):
        r["status"] = "stopped"
    else:
        r["status"] = "failed"
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
            found = figures.figures(matchlog.read(os.path.join(folder, "match.rcg")))
        except matchlog.MatchError:
            return None
    ours, theirs = ("l", "r") if side == "left" else ("r", "l")
    return {"vorn": found[ours], "opponent": found[theirs]}


def outcomes(matches):
    """Wins, draws, losses, the three means with their intervals, and the missed slots."""
    gd = [m["goal_difference"] for m in matches]
    missed, slots = sum(m["missed_slots"] for m in matches), sum(m["slots"] for m in matches)
    return {"played": len(matches), "wins": sum(d > 0 for d in gd),
            "draws": sum(d == 0 for d in gd), "losses": sum(d < 0 for d in gd),
            "goals_for": series_stats.mean_ci([m["for"] for m in matches]),
            "goals_against": series_stats.mean_ci([m["against"] for m in matches]),
            "goal_difference": series_stats.mean_ci(gd),
            "missed_slots": missed, "slots": slots,
            "missed_share": missed / slots if slots else None}


def figuremeans(matches):
    """The means of vorn's and the opponent's figures over the matches that have them, each
    with its 95% interval; None when none has."""
    rows = [m["figures"] for m in matches if isinstance(m.get("figures"), dict)]
    if not rows:
        return None
    return {who: {name: series_stats.mean_ci(
        [v for v in (figures.numbers(r[who])[name] for r in rows) if v is not None])
        for name in figures.NUMBERS + figures.SET_PLAYS} for who in ("vorn", "opponent")}


def figurerows(s):
    """The rows of the figures' table: a figure, vorn's mean and the opponent's, each with
    its interval; the set plays that came about."""
    f = s.get("figures")
    if not f:
        return []
    rows = [(row, interval(f["vorn"][k]), interval(f["opponent"][k])) for row, k in
            zip(figures.ROWS + figures.SET_PLAY_ROWS, figures.NUMBERS + figures.SET_PLAYS)
            if k in figures.NUMBERS or f["vorn"][k]["mean"] or f["opponent"][k]["mean"]]
    return rows


FIGURE_HEAD = ("figure", "vorn", "opponent")


def baselinefigures(folder):
    """The goal differences of the matches an earlier series played to the end, from its
    summary.json; ValueError naming the file when it is not a series' summary."""
    path = os.path.join(folder, "summary.json")
    try:
        with open(path, encoding="utf-8") as f:
            base = json.load(f)
        gd = [m["goal_difference"] for m in base["matches"] if m["status"] == "played"]
    except OSError as e:
        raise ValueError(f"{path}: {e.strerror}") from None
    except ValueError as e:
        raise ValueError(f"{path} is not JSON: {e}") from None
    except (KeyError, TypeError, AttributeError):
        gd = None
    if gd is None or not all(type(d) in (int, float) for d in gd):
        raise ValueError(f"{path} is not the summary of a series (no matches with their "
                         "goal differences)")
    return gd


def summarise(folder, baseline=None):
    matches = []
    for path in sorted(glob.glob(os.path.join(folder, "match-*", "result.json"))):
        with open(path, encoding="utf-8") as f:
            matches.append(json.load(f))
    played = [m for m in matches if m["status"] == "played"]
    s = {"dir": os.path.abspath(folder), "matches": matches,
         "stopped": sum(m["status"] == "stopped" for m in matches),
         "failed": sum(m["status"] == "failed" for m in matches)}
    s.update(outcomes(played))
    s["figures"] = figuremeans(played)
    s["by_side"] = {side: outcomes([m for m in played if m["side"] == side])
                    for side in ("left", "right")}
    if baseline:
        gd = baselinefigures(baseline)
        s["baseline"] = {"dir": os.path.abspath(baseline), "played": len(gd),
                         "goal_difference": series_stats.mean_ci(gd),
                         "difference": series_stats.difference(
                             [m["goal_difference"] for m in played], gd)}
    return s


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
    rows = [("all", s)] + [(f"vorn {k}", v) for k, v in s["by_side"].items()]
    return [(name, o["played"], f"{o['wins']}-{o['draws']}-{o['losses']}",
             interval(o["goals_for"]), interval(o["goals_against"]),
             interval(o["goal_difference"], True), share(o)) for name, o in rows]


OVER_HEAD = ("matches", "n", "W-D-L", "goals for", "goals against", "goal difference",
             "missed slots")
MATCH_HEAD = ("match", "side", "status", "cycles", "for", "against", "catches",
              "missed slots", "p99 ms")


def matchrows(s):
    return [(m["dir"], m["side"], m["status"], m["cycles"], m["for"], m["against"],
             "-" if m["catches"] is None else m["catches"], m["missed_slots"], num(m["p99_ms"]))
            for m in s["matches"]]


def comparison(s):
    b = s.get("baseline")
    if not b:
        return None
    d = b["difference"]
    verdict = ("too few matches for an interval" if d is None else
               "the interval excludes zero" if d["excludes_zero"] else
               "the interval includes zero: no difference shown")
    return (f"against the baseline {b['dir']} ({matchcount(b['played'])}, goal difference "
            f"{interval(b['goal_difference'], True)}): difference in mean goal difference "
            f"{interval(d, True)}; {verdict}")


def printtable(head, rows, out):
    widths = [max(len(str(x)) for x in col) for col in zip(head, *rows)]
    for row in [head] + rows:
        print("  ".join(str(x).ljust(w) for x, w in zip(row, widths)).rstrip(), file=out)


def printsummary(s, out):
    print(f"series in {s['dir']}: {matchcount(len(s['matches']))}, {s['played']} played to the "
          f"end, {s['stopped']} stopped early, {s['failed']} failed", file=out)
    printtable(MATCH_HEAD, matchrows(s), out)
    print("over the matches played to the end (means with their 95% intervals):", file=out)
    printtable(OVER_HEAD, overrows(s), out)
    if figurerows(s):
        print("the match figures, means per match played to the end with their 95% intervals "
              "(scripts/figures.py):", file=out)
        printtable(FIGURE_HEAD, figurerows(s), out)
    line = comparison(s)
    if line:
        print(line, file=out)


def histogram(matches):
    """An SVG bar chart of the goal differences, a bar per value, split by side."""
    gd = [m["goal_difference"] for m in matches]
    if not gd:
        return "<p>No match was played to the end.</p>"
    lo, hi = min(min(gd), 0), max(max(gd), 0)
    counts = {v: [0, 0] for v in range(lo, hi + 1)}
    for m in matches:
        counts[m["goal_difference"]][m["side"] == "right"] += 1
    most = max(a + b for a, b in counts.values())
    bar, height, top = 32, 160, 20  # px: a bar's width, the tallest bar, room above it
    parts = [f'<svg width="{bar * len(counts) + 40}" height="{height + top + 30}" role="img" '
             f'aria-label="goal differences">']
    for i, (v, (left, right)) in enumerate(sorted(counts.items())):
        x, base = 20 + i * bar, height + top
        for n, cls in ((left, "left"), (right, "right")):
            h = n * height / most
            if n:
                parts.append(f'<rect class="{cls}" x="{x + 3}" y="{base - h:.1f}" '
                             f'width="{bar - 6}" height="{h:.1f}"><title>{n} with vorn {cls}'
                             f'</title></rect>')
            base -= h
        if left + right:
            parts.append(f'<text x="{x + bar / 2}" y="{base - 4:.1f}">{left + right}</text>')
        label = f"{v:+d}" if v else "0"
        parts.append(f'<text x="{x + bar / 2}" y="{height + top + 18}">{label}</text>')
    parts.append(f'<line x1="20" x2="{20 + bar * len(counts)}" y1="{height + top}" '
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
    line = comparison(s)
    return "\n".join([
        "<!DOCTYPE html>", '<html lang="en"><head><meta charset="utf-8">',
        f"<title>vorn series: {matchcount(len(s['matches']))}</title>",
        f"<style>{PAGE_STYLE}</style></head><body>",
        f"<h1>A series of {matchcount(len(s['matches']))}</h1>",
        f"<p>{html.escape(s['dir'])}: {s['played']} played to the end, {s['stopped']} "
        f"stopped early, {s['failed']} failed.</p>",
        "<h2>Over the matches played to the end</h2>",
        "<p>Means with their 95% intervals (Student's t).</p>",
        htmltable(OVER_HEAD, overrows(s)),
        f"<p>{html.escape(line)}</p>" if line else "",
        "<h2>Goal differences</h2>",
        "<p>Matches played to the end by vorn's goals minus the opponent's.</p>",
        '<p class="key"><span style="background:#3a6ea5"></span> vorn left &nbsp; '
        '<span style="background:#e0a030"></span> vorn right</p>',
        histogram(played),
        "<h2>Match figures</h2><p>Means per match played to the end with their 95% intervals "
        "(scripts/figures.py; docs/report.md says how each is counted).</p>" +
        htmltable(FIGURE_HEAD, figurerows(s)) if figurerows(s) else "",
        "<h2>Matches</h2><p>Each links to its replay.</p>",
        htmltable(MATCH_HEAD, matchrows(s), links),
        "</body></html>", ""])


def writefile(path, text):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


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
    b = sub.add_parser("baseline", help="check that D2 holds the summary of a series")
    b.add_argument("folder")
    s = sub.add_parser("series", help="a series folder: the table, summary.json, index.html")
    s.add_argument("folder")
    s.add_argument("--baseline", metavar="D2")
    a = p.parse_args(argv)
    try:
        if a.what == "match":
            r = matchfigures(a.folder, a.side, a.status, a.cycles)
            writefile(os.path.join(a.folder, "result.json"), json.dumps(r, indent=1) + "\n")
            print(r["status"], r["for"], r["against"])
            return 0
        if a.what == "baseline":
            baselinefigures(a.folder)
            return 0
        r = summarise(a.folder, a.baseline)
        printsummary(r, sys.stdout)
        writefile(os.path.join(a.folder, "summary.json"), json.dumps(r, indent=1) + "\n")
        writefile(os.path.join(a.folder, "index.html"), page(r))
        return 0
    except (OSError, ValueError, KeyError) as e:
        print(f"series_summary.py: {e}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
