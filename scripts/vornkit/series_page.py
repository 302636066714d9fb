"""The page of a series, D/index.html (scripts/series_summary.py series D): what the table
says (vornkit/series_tables.py), the chart of the goal differences split by side, the match
figures, and a link per match to its replay; the page's style and tables, which the page of
a run of two builds (vornkit/series_run.py) shares.
"""

import html
import os

from vornkit import series_tables as tables


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
    """The page of the series summed up in s."""
    played = [m for m in s["matches"] if m["status"] == "played"]
    links = [f"{m['dir']}/replay.html" if os.path.isfile(
        os.path.join(s["dir"], m["dir"], "replay.html")) else None for m in s["matches"]]
    notes = [x for x in tables.opponentlines(s) + [tables.p99line(s), tables.sharedseedline(s),
                                                    tables.replayline(s)] if x]
    figurerows = tables.figurerows(s)
    compared = tables.comparison(s)
    return "\n".join([
        "<!DOCTYPE html>", '<html lang="en"><head><meta charset="utf-8">',
        f"<title>vorn series: {tables.matchcount(len(s['matches']))}</title>",
        f"<style>{PAGE_STYLE}</style></head><body>",
        f"<h1>A series of {tables.matchcount(len(s['matches']))}</h1>",
        f"<p>{html.escape(s['dir'])}: {html.escape(tables.counts(s))}.</p>",
        "<h2>Over the matches played to the end</h2>",
        "<p>Means with their 95% intervals (Student's t).</p>",
        htmltable(tables.overhead(s), tables.overrows(s)),
        "".join(f"<p>{html.escape(x)}</p>" for x in notes),
        "<h2>Against the baseline</h2>" if compared else "",
        "<ul>" + "".join(f"<li><strong>{html.escape(x)}</strong></li>" if
                         x.startswith("verdict:") else f"<li>{html.escape(x)}</li>"
                         for x in compared) + "</ul>" if compared else "",
        "<h2>Seeds and programs</h2>",
        f"<p>{html.escape(tables.seedline(s))}</p>",
        htmltable(tables.PROGRAM_HEAD[:3] + ("sha256", "build-id") + tables.PROGRAM_HEAD[5:],
                  tables.programrows(s, 64)) if tables.programrows(s) else "",
        "".join(f"<p>{html.escape(note)}.</p>" for note in tables.programnotes(s)),
        "<h2>Goal differences</h2>",
        "<p>Matches played to the end by " + ("your team's goals minus vorn's" if
                                              tables.opponentundertest(s) else
                                              "vorn's goals minus the opponent's") + ".</p>",
        f'<p class="key"><span style="background:#3a6ea5"></span> {tables.team(s)} left &nbsp; '
        f'<span style="background:#e0a030"></span> {tables.team(s)} right</p>',
        histogram(played, tables.team(s)),
        "<h2>Match figures</h2><p>Means per match played to the end with their 95% intervals "
        "(scripts/figures.py; docs/report.md says how each is counted).</p>" +
        htmltable(tables.figurehead(s), figurerows) if figurerows else "",
        "<h2>Matches</h2><p>Each links to its replay.</p>",
        htmltable(tables.matchhead(s), tables.matchrows(s), links),
        "</body></html>", ""])
