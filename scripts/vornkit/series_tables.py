"""The summary of a series in words and tables (scripts/series_summary.py series D prints
them; vornkit/series_page.py puts the same on the page): the table of matches and the one
over them, all and by side, the match figures, the seeds and programs on record, and the lines
that say who the opponent was, which matches were invalid or had no result, how busy the
machine was, which seeds were shared, which matches were played again, and the comparison
with a baseline. With the opponent under test every figure is its own ("your team").
"""

from vornkit import figures
from vornkit import matchfolder
from vornkit import series_compare


def opponentundertest(s):
    return s.get("under_test") == "opponent"


def team(s):
    """The side under test, as the table names it: vorn, or "your team" when the opponent
    is under test."""
    return "your team" if opponentundertest(s) else "vorn"


def figurerows(s):
    """The rows of the figures' table: a figure, the side under test's mean and the other's
    (vorn's and the opponent's, or the other way round), each with its interval; the set
    plays that came about."""
    f = s.get("figures")
    if not f:
        return []
    first, second = ("opponent", "vorn") if opponentundertest(s) else ("vorn", "opponent")
    rows = [(row, interval(f[first][k]), interval(f[second][k])) for row, k in
            zip(figures.ROWS + figures.SET_PLAY_ROWS, figures.NUMBERS + figures.SET_PLAYS)
            if k in figures.NUMBERS or f["vorn"][k]["mean"] or f["opponent"][k]["mean"]]
    return rows


FIGURE_HEAD = ("figure", "vorn", "opponent")
OPPONENT_FIGURE_HEAD = ("figure", "your team", "vorn")


def figurehead(s):
    return OPPONENT_FIGURE_HEAD if opponentundertest(s) else FIGURE_HEAD


def sharedseedline(s):
    """A warning when matches shared the server's seed."""
    shared = s.get("shared_seeds") or []
    if not shared:
        return None
    said = "; ".join(f"{', '.join(x['matches'])} seed {x['seed']}" for x in shared)
    return (f"warning: matches shared the server's seed, and with it their noise: {said}")


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
    rows = [("all", s)] + [(f"{team(s)} {k}", v) for k, v in s["by_side"].items()]
    return [(name, o["played"], f"{o['wins']}-{o['draws']}-{o['losses']}",
             interval(o["goals_for"]), interval(o["goals_against"]),
             interval(o["goal_difference"], True), share(o)) for name, o in rows]


OVER_HEAD = ("matches", "n", "W-D-L", "goals for", "goals against", "goal difference",
             "missed slots")


MATCH_HEAD = ("match", "side", "seed", "status", "cycles", "for", "against", "catches",
              "missed slots", "p99 ms")


# With the opponent under test: its side, goals and goalie's catches; vorn's send slots.
OPPONENT_MATCH_HEAD = MATCH_HEAD[:8] + ("vorn's missed slots", "vorn's p99 ms")


OPPONENT_OVER_HEAD = OVER_HEAD[:6] + ("vorn's missed slots",)


def matchhead(s):
    return OPPONENT_MATCH_HEAD if opponentundertest(s) else MATCH_HEAD


def overhead(s):
    return OPPONENT_OVER_HEAD if opponentundertest(s) else OVER_HEAD


def matchrows(s):
    return [(m["dir"], m["side"] or "-", "-" if m.get("seed") is None else m["seed"],
             m["status"], m["cycles"], m["for"], m["against"],
             "-" if m.get("catches") is None else m["catches"], m["missed_slots"],
             num(m.get("p99_ms"))) for m in s["matches"]]


# The seeds and programs on record, and what may make the matches mean less: the worst
# send-slot p99, the matches played again.
PROGRAM_HEAD = ("program", "role", "checkout", "sha256 (its start)", "build-id (its start)",
                "path")


# What the column "checkout" holds.
CHECKOUT_NOTE = ("checkout: git describe --always --dirty of the git checkout that holds the "
                 "program, when the series started: the checkout's state then, which need not "
                 "be the source the program was built from; the sha256 is the program's "
                 "identity")


# What the column "build-id" holds.
BUILD_ID_NOTE = ("build-id: the build's id in the program's ELF note, which strip keeps: a "
                 "stripped copy of a build (the installed Vorn) has a sha256 of its own but the "
                 "same build-id")


def seedline(s):
    if s.get("other_build") and s.get("seed") is not None:
        options = " ".join(s.get("server_options") or [])
        return (f"seeds: matches 2k-1 and 2k played seed {s['seed']}+k (series seed "
                f"{s['seed']}, --seed {s['seed']} plays the same again); server options: "
                f"{options}")
    if s.get("seed") is None:
        if "--server" in (s.get("server_options") or []):
            return ("seeds: the server's own (the real server seeds itself from its clock); "
                    f"server options: {' '.join(s['server_options'])}")
        return "seeds: not on record"
    options = " ".join(s.get("server_options") or [])
    return (f"seeds: match i played with seed {s['seed']}+i (series seed {s['seed']}, "
            f"--seed {s['seed']} plays the same again); server options: {options or 'none'}")


def programrows(s, digits=16):
    """The programs on record, their sha256 and build-id cut to their first digits."""
    return [(p["name"], p["role"], p.get("git") or "-", p["sha256"][:digits],
             (p.get("build_id") or "-")[:digits], p["path"]) for p in s.get("programs") or []]


def programnotes(s):
    """The notes below the programs' table: what its columns checkout and build-id hold."""
    programs = s.get("programs") or []
    return [note for note, key in ((CHECKOUT_NOTE, "git"), (BUILD_ID_NOTE, "build_id"))
            if any(p.get(key) for p in programs)]


def p99line(s):
    w = s.get("worst_p99")
    if not w:
        share = s.get("missed_share")
        if share is None:
            return None
        limit = matchfolder.MISSED_LIMIT
        if share > limit:
            return (f"warning: vorn's players missed {100 * share:.2f}% of their send slots, "
                    f"above {100 * limit:g}%: the machine was too busy for the matches to "
                    "mean what they would mean alone; play fewer at once (--jobs)")
        return f"send slots missed: {100 * share:.3f}% of vorn's, within {100 * limit:g}%"
    if w["over"]:
        return (f"warning: the worst match's send-slot p99 was {w['ms']:.2f} ms ({w['match']}), "
                f"above {w['limit_ms']:g} ms: the machine was too busy for the matches to mean "
                "what they would mean alone; play fewer at once (--jobs)")
    return f"send-slot p99: at most {w['ms']:.2f} ms ({w['match']}), within {w['limit_ms']:g} ms"


def replayline(s):
    r = s.get("replayed") or []
    if not r:
        return None
    which = ", ".join(f"{x['match']} (lost on {x['lost_on']}, played on {x['played_on']})"
                      for x in r)
    return (f"played again after their machine was lost: {matchcount(len(r))}, each counted "
            f"once: {which}")


def opponentlines(s):
    """Who the opponent was: its name in the game logs and how it was started; against
    another build of vorn, which build won how often; the invalid matches and why."""
    given = s.get("opponent")
    names = sorted({m["opponent"] for m in s["matches"] if m.get("opponent")})
    lines = []
    other = s.get("other_build")
    if opponentundertest(s):
        lines.append(undertestline(s, names))
    if other:
        lines.append(f"opponent: the vorn build in {other} (--opponent {given}); the game logs "
                     "name it vorn-b on either side")
        if opponentundertest(s):
            lines.append(f"head to head, of {s['played']} played to the end: the build in "
                         f"{other} (under test) won {s['wins']}, this build won {s['losses']}, "
                         f"{s['draws']} drawn")
        else:
            lines.append(f"head to head, of {s['played']} played to the end: this build won "
                         f"{s['wins']}, the build in {other} won {s['losses']}, {s['draws']} "
                         "drawn")
        if s.get("head_to_head"):
            lines += series_compare.headtoheadlines(s["head_to_head"])
    elif names:
        lines.append(f"opponent: {', '.join(names)}" + (f" (--opponent {given})" if given else ""))
    invalid = [m for m in s["matches"] if m["status"] == "invalid"]
    if invalid:
        lines.append(f"invalid, left out of the figures: {matchcount(len(invalid))}: " +
                     "; ".join(f"{m['dir']} ({m.get('why')})" for m in invalid))
    broken = [m for m in s["matches"] if m.get("broken")]
    if broken:
        lines.append(f"no result, counted as failed: {matchcount(len(broken))}: " +
                     "; ".join(f"{m['dir']} ({m['why']})" for m in broken))
    return lines


def undertestline(s, names):
    """Who is under test when the opponent is: "your team", its program on record, and the
    vorn build it plays against."""
    ours = series_compare.opponentprograms(s.get("programs"))
    told = f", {', '.join(series_compare.describe(p) for p in ours)}" if ours else ""
    called = f", {', '.join(names)} in the game logs" if names else ""
    vorn = series_compare.teamwords(s.get("programs"))
    return (f"under test: your team (the opponent{called}{told}); every figure below is its "
            "own: its side, its goals for and against, its goal difference, its goalie's "
            f"catches; vorn ({vorn or 'not on record'}) is the sparring partner, and the send "
            "slots are vorn's players'")


def comparison(s):
    """The lines of the comparison with the baseline, its first naming the baseline."""
    b = s.get("baseline")
    if not b:
        return []
    return [f"against the baseline {b['dir']} ({matchcount(b['played'])}, goal difference "
            f"{interval(b['goal_difference'], True)}):"] + series_compare.lines(b)


def printtable(head, rows, out):
    widths = [max(len(str(x)) for x in col) for col in zip(head, *rows)]
    for row in [head] + rows:
        print("  ".join(str(x).ljust(w) for x, w in zip(row, widths)).rstrip(), file=out)


def counts(s):
    """How the matches ended, in words."""
    text = (f"{s['played']} played to the end, {s['stopped']} stopped early, {s['failed']} "
            "failed")
    return text + (f", {s['invalid']} invalid" if s.get("invalid") else "")


def printsummary(s, out):
    print(f"series in {s['dir']}: {matchcount(len(s['matches']))}, {counts(s)}", file=out)
    for line in opponentlines(s):
        print(line, file=out)
    print(seedline(s), file=out)
    if programrows(s):
        printtable(PROGRAM_HEAD, programrows(s), out)
        for note in programnotes(s):
            print(note, file=out)
    printtable(matchhead(s), matchrows(s), out)
    print("over the matches played to the end (means with their 95% intervals):", file=out)
    printtable(overhead(s), overrows(s), out)
    if figurerows(s):
        print("the match figures, means per match played to the end with their 95% intervals "
              "(scripts/figures.py):", file=out)
        printtable(figurehead(s), figurerows(s), out)
    for line in [p99line(s), sharedseedline(s), replayline(s)] + comparison(s):
        if line:
            print(line, file=out)
