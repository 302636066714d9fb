#!/usr/bin/env python3
"""servers_compare.py -- whole matches on pitch and on the real soccer server, figure by figure.

vorn plays the same series on both servers, with the noise on: alone (--opponent none) and
against the project's scripted protocol-6 team (tests/support/scripted_team.py, the same
program on both), the same number of matches of the same length, on the same sides (as
scripts/series.sh plays them: against the scripted team odd matches vorn left, even ones
right; alone always left). The two series of an opponent are played at the same time, so
that both meet the same load on the machine. Then
each match's figures are read from its game log and its text log, the same way for both
servers, and every figure is compared: its mean per match on each server with Student's t
95% interval, and the difference (pitch minus the real server) with Welch's 95% interval.

  bench/servers_compare.py [--real-server PATH] [--matches N] [--cycles C] [--jobs J]
                           [--opponents none,scripted] [--dir D]
  bench/servers_compare.py --compare D [D2 ...]   the table again from the series in D
                                                 (and D2 ...: their matches together)

Options:
  --real-server PATH  the real server's binary (also --server PATH; default: $REAL_SERVER;
                      no place is assumed, bench/real_server.py)
  --matches N         matches per server and opponent (default 8)
  --cycles C          cycles per match, a multiple of 20 (default 1000)
  --jobs J            matches at once in each series (default 2: 4 at once in all)
  --opponents LIST    which opponents, of "none" and "scripted" (default both)
  --dir D             where the series go (default a new /tmp/servers-compare.*); it must
                      not exist or be empty
  --compare D [D2 ...]  no matches: the table of the series already in D, or of
                      the matches of several such folders taken together

Both servers give every player the default player type: pitch always does unless told
otherwise, and the real server is run through a two-line wrapper, D/rcssserver, that adds
player::allow_mult_default_type=true (without it the real server hands out random types at
the first kick-off, which a version-6 client is never told of). pitch plays every match with
a seed of its own (scripts/series.sh draws them); the real server seeds itself from its
clock. The figures, per match and per team (vorn, and the other side: the scripted team or
nobody):

  goals, kicks       from the game log: the score, and the kicks that reached the ball
  catches            from the game log: the goalie's catches in play that held the ball
  kick-offs, kick-ins, corner kicks, goal kicks, free kicks, indirect free kicks
                     the referee's calls in the text log, to the side given the restart
  out of bounds      kick-ins, corner kicks and goal kicks together
  offsides, back passes, catch faults, free-kick faults
                     the calls against the side that committed them
  drop balls         whoever they came to
  ball in a third    the steps of play_on with the ball in vorn's third, the middle one and
                     the other side's third (vorn's third is the one it defends)

A figure that depends on the machine's timing (the send slots the players missed) is not
compared; the slots missed in each series are shown below the table, to say whether the
machine was quiet enough. The table is printed as Markdown, and written to D/table.md with
the figures of every match in D/compare.json. A difference whose interval excludes zero is
marked "differs"; one of fewer than 5 matches on a side, or of no spread at all, "cannot
tell" (scripts/series_stats.py: no verdict without a spread it can estimate).

Exit status: 0 when the table was made, 1 when a series could not be played or holds no
match, 2 for a usage error, 3 when no real server is named (a check that cannot be made).
"""

import argparse
import glob
import json
import os
import selectors
import shlex
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(REPO, "scripts"))
from vornkit import figures  # noqa: E402
from vornkit import matchlog  # noqa: E402
from vornkit import series_stats  # noqa: E402
import real_server  # noqa: E402

NO_REAL_SERVER = real_server.NOT_NAMED
SERVERS = ("pitch", "real")
SERVER_NAMES = {"pitch": "pitch", "real": "the real server"}
OPPONENTS = ("none", "scripted")
SCRIPTED = os.path.join(REPO, "tests", "support", "scripted_team.py")
WHO = ("vorn", "other")

# ORDER FIGURES: the rows of the table, each a figure of vorn's and of the other side's
# (WHO) or of the match; the key of each in a match's figures.
PER_TEAM = (
    ("goals", "goals"),
    ("kicks", "kicks"),
    ("catches", "catches"),
    ("kick_off", "kick-offs"),
    ("kick_in", "kick-ins"),
    ("corner_kick", "corner kicks"),
    ("goal_kick", "goal kicks"),
    ("out_of_bounds", "out of bounds (the three above)"),
    ("free_kick", "free kicks"),
    ("indirect_free_kick", "indirect free kicks"),
    ("offside", "offsides (committed)"),
    ("back_pass", "back passes (committed)"),
    ("catch_fault", "catch faults (committed)"),
    ("free_kick_fault", "free-kick faults (committed)"),
)
PER_MATCH = (
    ("drop_ball", "drop balls"),
    ("third_vorn", "steps of play_on, ball in vorn's third"),
    ("third_middle", "steps of play_on, ball in the middle third"),
    ("third_other", "steps of play_on, ball in the other side's third"),
)
OUT_OF_BOUNDS = ("kick_in", "corner_kick", "goal_kick")


def figure_names():
    """Every figure of a match, in the table's order, with its words: (key, words)."""
    out = []
    for key, words in PER_TEAM:
        out += [(f"{who}_{key}", f"{who}: {words}") for who in WHO]
    return out + list(PER_MATCH)


def match_figures(folder, side):
    """The figures of one match folder of a series (its game log and text log), in vorn's
    terms: vorn played on side ("left" or "right"). Raises matchlog.MatchError when a log
    cannot be read."""
    game = os.path.join(folder, "match.rcg.gz")
    text = os.path.join(folder, "match.rcl.gz")
    game = game if os.path.isfile(game) else game[:-3]
    text = text if os.path.isfile(text) else text[:-3]
    match = matchlog.read(game)
    f = figures.figures(match)
    calls = figures.callcounts(matchlog.referee_calls(text))
    ours, theirs = ("l", "r") if side == "left" else ("r", "l")
    out = {}
    for who, s in zip(WHO, (ours, theirs)):
        out[f"{who}_goals"] = f[s]["goals"]
        out[f"{who}_kicks"] = f[s]["kicks"]
        out[f"{who}_catches"] = f[s]["catches"] or 0  # no goalie: none caught
        for key, _ in PER_TEAM[3:]:
            if key != "out_of_bounds":
                out[f"{who}_{key}"] = calls[s].get(key, 0)
        out[f"{who}_out_of_bounds"] = sum(calls[s].get(k, 0) for k in OUT_OF_BOUNDS)
    out["drop_ball"] = calls["other"].get("drop_ball", 0)
    left, middle, right = figures.thirds(match)
    out["third_vorn"], out["third_other"] = (left, right) if side == "left" else (right, left)
    out["third_middle"] = middle
    return out


def series_matches(folder):
    """The matches of a series played to the end: [{"dir", "side", "figures"}], by folder."""
    out = []
    for path in sorted(glob.glob(os.path.join(folder, "match-*", "result.json"))):
        with open(path, encoding="utf-8") as f:
            r = json.load(f)
        if r.get("status") != "played":
            continue
        match = os.path.dirname(path)
        out.append({"dir": os.path.basename(match), "side": r["side"],
                    "figures": match_figures(match, r["side"])})
    return out


def compare(pitch, real):
    """Figure by figure, the matches of pitch against those of the real server (lists of
    each match's figures): [{"key", "figure", "pitch", "real", "difference"}], the first
    two as series_stats.mean_ci gives them, the difference pitch minus real with Welch's
    interval (series_stats.difference; None below two matches on either side). A figure
    that is 0 in every match of both is left out."""
    out = []
    for key, words in figure_names():
        a = [m[key] for m in pitch if m.get(key) is not None]
        b = [m[key] for m in real if m.get(key) is not None]
        if not any(a) and not any(b):
            continue
        out.append({"key": key, "figure": words, "pitch": series_stats.mean_ci(a),
                    "real": series_stats.mean_ci(b),
                    "difference": series_stats.difference(a, b)})
    return out


def _mean(m):
    if m["mean"] is None:
        return "-"
    if m["ci95"] is None:
        return f"{m['mean']:.2f}"
    return f"{m['mean']:.2f} [{m['ci95'][0]:.2f}, {m['ci95'][1]:.2f}]"


def _difference(d):
    if d is None:
        return "-", ""
    text = f"{d['mean']:+.2f} [{d['ci95'][0]:+.2f}, {d['ci95'][1]:+.2f}]"
    return text, ("cannot tell" if series_stats.why_not(d) else
                  "differs" if d["excludes_zero"] else "")


def table(rows, pitch_n, real_n):
    """The rows of compare() as the lines of a Markdown table."""
    out = [f"| figure (per match) | pitch ({pitch_n}) | real server ({real_n}) | "
           "pitch - real, 95% | |", "|---|---|---|---|---|"]
    for r in rows:
        diff, mark = _difference(r["difference"])
        out.append(f"| {r['figure']} | {_mean(r['pitch'])} | {_mean(r['real'])} | {diff} | "
                   f"{mark} |")
    return out


def chance_line(rows):
    """How many of the figures compared differ, against how many a 95% interval lets differ
    by chance alone when the servers are alike (one in twenty); and how many cannot tell."""
    tested = [r for r in rows if not series_stats.why_not(r["difference"])]
    differ = sum(1 for r in tested if r["difference"]["excludes_zero"])
    untold = len(rows) - len(tested)
    return (f"{differ} of {len(tested)} figures differ; with no difference between the "
            f"servers about {len(tested) / 20:.1f} would, by chance alone." +
            (f" {untold} cannot tell (fewer than 5 matches on a side, or no spread)."
             if untold else ""))


def zero_figures(rows):
    """The words of the figures that compare() left out, as 0 in every match."""
    shown = {r["key"] for r in rows}
    return [words for key, words in figure_names() if key not in shown]


def slots_line(folder):
    """The send slots the series' players missed, from its summary.json, as words."""
    try:
        with open(os.path.join(folder, "summary.json"), encoding="utf-8") as f:
            s = json.load(f)
        return f"{s['missed_slots']} of {s['slots']} send slots missed"
    except (OSError, ValueError, KeyError, TypeError):
        return "send slots not known (no summary.json)"


def report(folders, opponents):
    """The tables of the series in folders (one folder or several, whose matches are taken
    together), one per opponent; returns (lines, data) or raises SystemExit(1) naming a
    series that holds no match."""
    folders = [folders] if isinstance(folders, str) else folders
    lines, data = [], {}
    for opp in opponents:
        found = {s: [] for s in SERVERS}
        for folder in folders:
            for server in SERVERS:
                series = os.path.join(folder, f"{opp}-{server}")
                try:
                    matches = series_matches(series)
                except (OSError, ValueError, KeyError, matchlog.MatchError) as e:
                    raise SystemExit(f"servers_compare.py: {series}: {e}") from None
                if not matches:
                    raise SystemExit(f"servers_compare.py: {series}: no match played to the "
                                     "end")
                found[server] += [dict(m, dir=os.path.join(series, m["dir"])) for m in matches]
        rows = compare(*([m["figures"] for m in found[s]] for s in SERVERS))
        title = "vorn alone" if opp == "none" else "vorn against the scripted team"
        lines += [f"### {title}", ""]
        lines += table(rows, len(found["pitch"]), len(found["real"]))
        zero = zero_figures(rows)
        lines += ["", chance_line(rows)]
        lines += ["", "0 in every match on both servers: " + "; ".join(zero) + "." if zero
                  else "No figure was 0 in every match on both servers."]
        lines += [f"{SERVER_NAMES[s]}: " + "; ".join(
            slots_line(os.path.join(f, f"{opp}-{s}")) for f in folders) for s in SERVERS]
        lines.append("")
        data[opp] = {"matches": found, "rows": rows}
    return lines, data


def loadavg():
    try:
        with open("/proc/loadavg", encoding="ascii") as f:
            return " ".join(f.read().split()[:3])
    except OSError:
        return "unknown"


def wrapper(folder, real):
    """A program that runs the real server with every player of the default type."""
    path = os.path.join(folder, "rcssserver")
    with open(path, "w", encoding="utf-8") as f:
        f.write("#!/bin/sh\n# the real server, every player of the default type\n"
                f"exec {shlex.quote(real)} \"$@\" player::allow_mult_default_type=true\n")
    os.chmod(path, 0o755)
    return path


def play_pair(folder, opp, server, args):
    """Plays the series of one opponent on both servers at once, their lines shown as they
    come; returns the exit statuses {server: status}."""
    opponent = "none" if opp == "none" else f"{SCRIPTED} --host {{host}} --port {{port}}"
    procs, sel = {}, selectors.DefaultSelector()
    for s in SERVERS:
        cmd = [os.path.join(REPO, "scripts", "series.sh"), "--matches", str(args.matches),
               "--jobs", str(args.jobs), "--cycles", str(args.cycles), "--opponent",
               opponent, "--dir", os.path.join(folder, f"{opp}-{s}")]
        cmd += ["--server", server] if s == "real" else []
        p = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        procs[s] = p
        sel.register(p.stdout, selectors.EVENT_READ, s)
    open_pipes = len(procs)
    while open_pipes:
        for key, _ in sel.select():
            line = key.fileobj.readline()
            if not line:
                sel.unregister(key.fileobj)
                open_pipes -= 1
                continue
            print(f"[{opp} on {key.data}] {line}", end="", flush=True)
    return {s: p.wait() for s, p in procs.items()}


def parse(argv):
    ap = argparse.ArgumentParser(add_help=False)
    real_server.add_option(ap)
    ap.add_argument("--matches", type=int, default=8)
    ap.add_argument("--cycles", type=int, default=1000)
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--opponents", default=",".join(OPPONENTS))
    ap.add_argument("--dir")
    ap.add_argument("--compare", metavar="D", nargs="+")
    ap.add_argument("-h", "--help", action="store_true")
    args = ap.parse_args(argv)
    args.opponents = [o for o in args.opponents.split(",") if o]
    problems = [f"--opponents: '{o}' is not one of {', '.join(OPPONENTS)}"
                for o in args.opponents if o not in OPPONENTS]
    problems += [] if args.opponents else ["--opponents: name at least one"]
    problems += [] if 2 <= args.matches <= 1000 else ["--matches must be 2 to 1000"]
    problems += [] if 1 <= args.jobs <= 64 else ["--jobs must be 1 to 64"]
    problems += [] if args.cycles >= 20 and args.cycles % 20 == 0 else [
        "--cycles must be a multiple of 20 (the real server counts a half in whole seconds)"]
    return args, problems


def main(argv):
    try:
        args, problems = parse(argv)
    except SystemExit:
        return 2
    if args.help:
        print(__doc__.strip())
        return 0
    if problems:
        print(f"servers_compare.py: {problems[0]}", file=sys.stderr)
        return 2
    if args.compare:
        lines, _ = report(args.compare, args.opponents)
        print("\n".join(lines))
        return 0
    real, error = real_server.find(args.real_server)
    if error:
        print(f"servers_compare.py: {error}", file=sys.stderr)
        return 2 if args.real_server or os.environ.get(real_server.ENV) else NO_REAL_SERVER
    folder = args.dir or tempfile.mkdtemp(prefix="servers-compare.")
    if os.path.exists(folder) and os.listdir(folder):
        print(f"servers_compare.py: --dir {folder} is not empty", file=sys.stderr)
        return 2
    os.makedirs(folder, exist_ok=True)
    server = wrapper(folder, os.path.abspath(real))
    print(f"{args.matches} matches of {args.cycles} cycles per server and opponent "
          f"({', '.join(args.opponents)}), {args.jobs} at once per series, in {folder}",
          flush=True)
    load = {}
    for opp in args.opponents:
        start, began = loadavg(), time.monotonic()
        status = play_pair(folder, opp, server, args)
        load[opp] = {"start": start, "end": loadavg(),
                     "seconds": round(time.monotonic() - began)}
        print(f"[{opp}] both series ended after {load[opp]['seconds']} s (status "
              f"{status['pitch']} on pitch, {status['real']} on the real server); load "
              f"average {load[opp]['start']} at the start, {load[opp]['end']} at the end",
              flush=True)
    try:
        lines, data = report(folder, args.opponents)
    except SystemExit as e:
        print(e, file=sys.stderr)
        return 1
    lines += [f"Load average (1, 5, 15 min) of the series {opp}: {v['start']} at the start, "
              f"{v['end']} at the end, {v['seconds']} s" for opp, v in load.items()]
    with open(os.path.join(folder, "table.md"), "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    with open(os.path.join(folder, "compare.json"), "w", encoding="utf-8") as f:
        json.dump({"matches": args.matches, "cycles": args.cycles, "load": load, **data}, f,
                  indent=1)
    print("\n".join(lines))
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except SystemExit as e:
        if isinstance(e.code, str):
            print(e.code, file=sys.stderr)
            sys.exit(1)
        raise
