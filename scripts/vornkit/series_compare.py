"""A series against a baseline series (scripts/series_summary.py series D --baseline D2).

Two series that played the same seeds (the same --seed and the same number of matches)
played the same matches on the same sides: they are compared match by match, as pairs of
the same seed and side, by the mean of the pairs' differences in goal difference with its
Student's t 95% interval. Any other two series are compared as two samples, by the
difference of their means with Welch's interval, and the comparison says why. Either way it
gives a verdict in words ("better", "worse", "no difference shown", or "cannot tell" with
the reason: fewer than 5 pairs or matches a side, or no spread at all), the smallest difference
the series could have shown (the interval's half-width; none when the goal differences did
not spread at all, and the series cannot tell), whether they were large enough to
show a difference of one goal per match, and the builds of both, with a warning when the
servers or their options differ.
"""

from vornkit import series_stats

# The difference, in goals per match, that a comparison says whether it was large enough for.
DELTA = 1.0


def played(summary):
    return [m for m in summary["matches"] if m.get("status") == "played"]


def planned(summary):
    """The number of matches the series was to play: its plan when on record, else the
    matches it has."""
    return summary.get("planned") or len(summary["matches"])


def pairing(this, base):
    """(pairs, why): the pairs of goal differences (this, baseline) of the matches of the
    same seed and side played to the end in both, or None when the series are not to be
    paired; why says which comparison it is and why."""
    if base.get("seed") is None:
        return None, "unpaired (Welch): the baseline has no seeds on record"
    if this.get("seed") is None:
        return None, "unpaired (Welch): this series has no seeds on record"
    if this["seed"] != base["seed"]:
        return None, (f"unpaired (Welch): the baseline played other seeds (series seed "
                      f"{base['seed']}, this series {this['seed']})")
    if planned(this) != planned(base):
        return None, (f"unpaired (Welch): the baseline has {planned(base)} matches, this "
                      f"series {planned(this)}, so not all seeds are the same")
    theirs = {(m.get("seed"), m["side"]): m["goal_difference"] for m in played(base)}
    ours = played(this)
    pairs = [(m["goal_difference"], theirs[(m.get("seed"), m["side"])]) for m in ours
             if (m.get("seed"), m["side"]) in theirs]
    if len(pairs) < 2:
        return None, (f"unpaired (Welch): only {len(pairs)} of the same seeds were played to "
                      "the end in both series")
    left = planned(this) - len(pairs)
    why = (f"paired by seed and side: both series played seeds {this['seed']}+1 to "
           f"{this['seed']}+{planned(this)} on the same sides")
    if left:
        why += (f" ({left} of them not played to the end in both, left out)")
    return pairs, why


def sufficiency(pairs, n_this, n_base, sd):
    """Whether the series could show a difference of DELTA: the matches (pairs, or matches per
    series) needed at the spread seen, against those played; "cannot_tell" says why that
    cannot be told (no spread known, too few to know it, none at all), else is None."""
    needed = series_stats.matches_needed(sd, DELTA, pairs)
    have = n_this if pairs else min(n_this, n_base)
    why = None
    if sd is None:
        why = "too few matches for a spread"
    elif have < series_stats.MIN_SAMPLE:
        why = (f"fewer than {series_stats.MIN_SAMPLE} "
               f"{'pairs' if pairs else 'matches on a side'}: the spread is not known")
    elif sd == 0:
        why = "the goal differences did not spread at all"
    return {"delta": DELTA, "sd": sd, "needed": needed, "have": have,
            "enough": why is None and have >= needed, "cannot_tell": why}


def compare(this, base, basedir, across_time=True):
    """The comparison of the summary this with the baseline's summary base (read from
    basedir), as summary.json keeps it under "baseline"; across_time when the two were
    played one after the other (a baseline), not interleaved in one run (--compare)."""
    ours = [m["goal_difference"] for m in played(this)]
    theirs = [m["goal_difference"] for m in played(base)]
    pairs, why = pairing(this, base)
    if pairs:
        diff = series_stats.paired([a for a, _ in pairs], [b for _, b in pairs])
        sd = diff["sd"]
    else:
        diff = series_stats.difference(ours, theirs)
        sd = series_stats.pooled_sd(ours, theirs)
    half = None if diff is None else (diff["ci95"][1] - diff["ci95"][0]) / 2
    return {"dir": basedir, "played": len(theirs), "played_here": len(ours),
            "goal_difference": series_stats.mean_ci(theirs),
            "method": "paired" if pairs else "unpaired", "why": why,
            "pairs": len(pairs) if pairs else None,
            "difference": diff, "verdict": series_stats.verdict(diff),
            "verdict_why": series_stats.why_not(diff), "smallest_shown": half,
            "sufficient": sufficiency(bool(pairs), len(pairs) if pairs else len(ours),
                                      len(theirs), sd),
            "builds": {"this": this.get("programs"), "baseline": base.get("programs")},
            "under_test": undertest(this), "differs": differences(this, base),
            "times": {"this": times(this), "baseline": times(base)} if across_time else None,
            "warnings": warnings(this, base)}


def undertest(summary):
    """The side whose goal difference a series' figures give: "vorn", or "opponent" (a team
    developer's own, with vorn its sparring partner)."""
    return summary.get("under_test") or "vorn"


def times(summary):
    """When a series was played: from its start to its last match's end, as on record."""
    return {"started": summary.get("started"), "ended": summary.get("ended")}


def headtohead(summary):
    """A series of this build against another build of vorn, in which matches 2k - 1 and 2k
    played the same seed with the sides swapped: whether this build did better, by the mean
    goal difference per match of the pairs (each build played that seed once on each side),
    with Student's t 95% interval; from the matches one by one when fewer than two pairs were
    played to the end in full."""
    bymatch = {int(m["dir"][-3:]): m for m in played(summary)}
    pairs = [(bymatch[n]["goal_difference"], bymatch[n + 1]["goal_difference"])
             for n in sorted(bymatch) if n % 2 == 1 and n + 1 in bymatch and
             bymatch[n].get("seed") is not None and
             bymatch[n].get("seed") == bymatch[n + 1].get("seed")]
    if len(pairs) >= 2:
        diff = series_stats.paired([a / 2 for a, _ in pairs], [-b / 2 for _, b in pairs])
        why = (f"paired by seed: {len(pairs)} seeds, each played by each build on each side; "
               "a pair counts with its mean per match")
    else:
        gd = [m["goal_difference"] for m in played(summary)]
        diff = series_stats.paired(gd, [0] * len(gd), unit="matches")
        why = (f"match by match: {len(pairs)} {'pair' if len(pairs) == 1 else 'pairs'} of the "
               "same seed played to the end")
    half = None if diff is None else (diff["ci95"][1] - diff["ci95"][0]) / 2
    return {"method": "paired" if len(pairs) >= 2 else "matches", "why": why,
            "pairs": len(pairs), "difference": diff, "verdict": series_stats.verdict(diff),
            "verdict_why": series_stats.why_not(diff), "smallest_shown": half,
            "under_test": undertest(summary), "other_build": summary.get("other_build")}


def headtoheadlines(h):
    if h.get("under_test") == "opponent":
        subject = (f"the goal difference per match of the build in {h.get('other_build')} "
                   "(under test) against this one")
    else:
        subject = "this build's goal difference per match against the other"
    out = [f"head to head: {h['why']}",
           f"verdict: {said(h)}: {subject} {interval(h['difference'])}"]
    if h["smallest_shown"] is not None:
        out.append(f"the smallest difference this series could show: {smallest(h)}")
    return out


def said(c):
    """A comparison's verdict in words, with the reason when it cannot tell."""
    why = c.get("verdict_why")
    return f"{c['verdict']} ({why})" if why else c["verdict"]


def smallest(c):
    """The smallest difference a comparison could show, in words: the interval's half-width,
    unless the goal differences did not spread at all, when there is none to give."""
    if not c["smallest_shown"]:
        return "cannot tell: the goal differences did not spread at all"
    return f"{c['smallest_shown']:.2f} goals per match (the interval's half-width)"


def program(summary, role):
    for p in summary.get("programs") or []:
        if p.get("role") == role:
            return p
    return None


# The roles of vorn's own programs, and of the opponent's (a build of vorn played head to
# head, or the program an opponent's command starts).
TEAM_ROLES = ("goalie", "field player")


def teamprograms(programs):
    return [p for p in programs or [] if p.get("role") in TEAM_ROLES]


def opponentprograms(programs):
    return [p for p in programs or [] if str(p.get("role", "")).startswith("opponent")]


def sameprograms(a, b):
    """Whether two lists of programs on record hold the same programs, role by role: "sha256"
    when their sha256 agree, "build-id" when only their ELF build-ids do (a stripped copy of
    the same build, such as the installed one), False when they differ, None when either list
    is empty."""
    if not a or not b:
        return None
    a, b = (sorted(x, key=lambda p: p.get("role", "")) for x in (a, b))
    if [p.get("role") for p in a] != [p.get("role") for p in b]:
        return False
    if all(p.get("sha256") == q.get("sha256") for p, q in zip(a, b)):
        return "sha256"
    if all(p.get("build_id") and p.get("build_id") == q.get("build_id") for p, q in zip(a, b)):
        return "build-id"
    return False


def sameserver(this, base):
    """Whether the two series' servers are the same program (as sameprograms says), None when
    either has none on record."""
    a, b = program(this, "server"), program(base, "server")
    return None if a is None or b is None else sameprograms([a], [b])


def opponentwords(summary):
    """The opponent of a series in a few words: who it was, and its programs on record."""
    given = summary.get("opponent")
    programs = opponentprograms(summary.get("programs"))
    if given is None:
        return "not on record"
    if given == "chasers":
        return "pitch's chasers"
    if given == "none":
        return "nobody"
    text = f"the vorn build {given[5:]}" if given.startswith("vorn:") else \
        f"the command '{given}'"
    return text + (f" ({', '.join(describe(p) for p in programs)})" if programs else "")


def sameopponent(this, base):
    """Whether the two series played the same opponent: the same kind, the same command (for
    a build of vorn, wherever it lay), and the same programs when they are on record; None
    when either has no opponent on record."""
    a, b = this.get("opponent"), base.get("opponent")
    if a is None or b is None:
        return None
    if a.startswith("vorn:") and b.startswith("vorn:"):
        return bool(sameprograms(opponentprograms(this.get("programs")),
                                 opponentprograms(base.get("programs"))))
    if a != b:
        return False
    programs = sameprograms(opponentprograms(this.get("programs")),
                            opponentprograms(base.get("programs")))
    return programs is None or bool(programs)


def differences(this, base):
    """What differs between the two series beside their matches, a name each: "team" (vorn's
    build), "opponent", "server", "server options", "length" (the cycles of a match),
    "under test" (the side whose figures they give); what cannot be told is left out."""
    out = []
    team = sameprograms(teamprograms(this.get("programs")), teamprograms(base.get("programs")))
    if team is False:
        out.append("team")
    if sameopponent(this, base) is False:
        out.append("opponent")
    if sameserver(this, base) is False:
        out.append("server")
    if "server_options" in this and "server_options" in base and \
            this["server_options"] != base["server_options"]:
        out.append("server options")
    if this.get("cycles") and base.get("cycles") and this["cycles"] != base["cycles"]:
        out.append("length")
    if undertest(this) != undertest(base):
        out.append("under test")
    return out


# What each difference is called on the line "what differs".
DIFFERENCE_NAMES = {"team": "vorn's build", "opponent": "the opponent", "server": "the server",
                    "server options": "the server options", "length": "the length of a match",
                    "under test": "the side under test"}


def differsline(b):
    """The line that names what differs between the two series, the side under test marked."""
    differs = b.get("differs")
    if differs is None:
        return None
    tested = "opponent" if b.get("under_test") == "opponent" else "team"
    if not differs:
        return ("what differs: nothing on record beside the matches (the same team build, "
                "opponent, server and server options as far as they are on record)")
    return "what differs: " + "; ".join(
        DIFFERENCE_NAMES[d] + (" (the side under test)" if d == tested else "")
        for d in differs)


def warnings(this, base):
    """What makes the two series more than two builds of the side under test: other servers,
    other server options, another opponent (or, when the opponent is under test, another
    build of vorn), another side under test."""
    out = []
    a, b = program(this, "server"), program(base, "server")
    if a is None or b is None:
        out.append("the servers cannot be compared: "
                   f"{'the baseline' if b is None else 'this series'} has no programs on record")
    elif not sameprograms([a], [b]):
        out.append(f"the servers differ ({describe(b)} in the baseline, {describe(a)} here): "
                   "the difference is also one of servers")
    if "server_options" in this and "server_options" in base and \
            this["server_options"] != base["server_options"]:
        out.append(f"the server options differ ({' '.join(base['server_options'])} in the "
                   f"baseline, {' '.join(this['server_options'])} here)")
    if undertest(this) != undertest(base):
        out.append(f"the side under test differs ({sidename(undertest(base))} in the baseline, "
                   f"{sidename(undertest(this))} here): the two series judge different teams")
    elif undertest(this) == "opponent":
        team = sameprograms(teamprograms(this.get("programs")),
                            teamprograms(base.get("programs")))
        if team is False:
            out.append(f"vorn's builds differ ({teamwords(base.get('programs'))} in the "
                       f"baseline, {teamwords(this.get('programs'))} here): the difference is "
                       "also one of vorn's builds")
    elif sameopponent(this, base) is False:
        out.append(f"the opponents differ ({opponentwords(base)} in the baseline, "
                   f"{opponentwords(this)} here): the difference is also one of opponents")
    return out


def sidename(side):
    return "vorn" if side == "vorn" else "the opponent"


def describe(p):
    """A program in a few words: name, git describe when known, and the start of its build-id
    (when it has one) and of its sha256."""
    git = f" {p['git']}" if p.get("git") else ""
    ids = ([f"build-id {p['build_id'][:12]}"] if p.get("build_id") else []) + \
        ([f"sha256 {p['sha256'][:12]}"] if p.get("sha256") else [])
    return f"{p['name']}{git} ({', '.join(ids)})" if ids else f"{p['name']}{git}"


def teamwords(programs):
    """vorn's programs as describe() gives them, with their folder."""
    players = teamprograms(programs)
    folders = sorted({p["path"].rsplit("/", 1)[0] for p in players if p.get("path")})
    return ", ".join(describe(p) for p in players) + (f" from {', '.join(folders)}"
                                                      if folders else "")


def builds(programs, summary=None):
    """A series' programs in a line: the team's as describe() gives them with their folder,
    the opponent's when there are any on record, then the server."""
    if not programs:
        return "not on record"
    text = teamwords(programs)
    others = opponentprograms(programs)
    if others:
        text += "; opponent " + ", ".join(describe(p) for p in others)
    server = [describe(p) for p in programs if p.get("role") == "server"]
    return text + (f"; server {server[0]}" if server else "")


def sameteam(a, b):
    """Whether two series' programs on record hold the same team build, as sameprograms
    says."""
    return sameprograms(teamprograms(a), teamprograms(b))


def signed(x):
    return "-" if x is None else f"{x:+.2f}"


def interval(d):
    if d is None:
        return "- (too few matches for an interval)"
    return f"{signed(d['mean'])} [{signed(d['ci95'][0])}, {signed(d['ci95'][1])}]"


def verdictline(b, count):
    """The verdict on the side under test: vorn's goal difference per match as ever, or, when
    the opponent is under test, that of "your team"."""
    d = b["difference"]
    if b.get("under_test") == "opponent":
        return (f"verdict: your team: {said(b)}: difference in your team's goal "
                f"difference per match {interval(d)} ({count})")
    return (f"verdict: {said(b)}: difference in goal difference per match "
            f"{interval(d)} ({count})")


def timeline(b):
    """A comparison with a baseline compares across time: when each series was played."""
    t = b.get("times")
    if not t:
        return None

    def when(x):
        if not x.get("started"):
            return "at a time not on record"
        return f"from {x['started']} to {x.get('ended') or 'an end not on record'}"
    return (f"across time: the baseline was played {when(t['baseline'])}, this series "
            f"{when(t['this'])}; the machine's load may have differed between them "
            "(series.sh --compare plays two builds in one run, interleaved)")


def lines(b, names=("this series", "the baseline")):
    """The comparison in lines of text, for the table and the page; names: what the two series
    are called (an interleaved run's B and A)."""
    s = b["sufficient"]
    count = f"{b['pairs']} pairs" if b["pairs"] else \
        f"{b['played_here']} matches here, {b['played']} in the baseline" \
        if names[1] == "the baseline" else \
        f"{b['played_here']} matches of {names[0]}, {b['played']} of {names[1]}"
    out = [f"comparison: {b['why']}", verdictline(b, count)]
    if b["smallest_shown"] is not None:
        out.append(f"the smallest difference these series could show: {smallest(b)}")
    what = "pairs" if b["pairs"] else "matches in each series"
    if s["cannot_tell"]:
        out.append(f"large enough for a difference of {s['delta']:g} goal per match: cannot "
                   f"tell ({s['cannot_tell']})")
    else:
        out.append(f"large enough for a difference of {s['delta']:g} goal per match: "
                   f"{'yes' if s['enough'] else 'no'}: at this spread (sd {s['sd']:.2f}) "
                   f"{s['needed']} {what} show it (95%, power 80%); these have {s['have']}")
    out.append(f"{names[0]}: {builds(b['builds']['this'])}")
    same = sameteam(b["builds"]["this"], b["builds"]["baseline"])
    team = "vorn build" if b.get("under_test") == "opponent" else "team build"
    if same == "sha256":
        out.append(f"{names[1]}: the same {team} (the same sha256)")
    elif same == "build-id":
        out.append(f"{names[1]}: the same {team} (the same build-id; the sha256 differ, as "
                   "a stripped copy's such as the installed one does)")
    else:
        out.append(f"{names[1]}: {builds(b['builds']['baseline'])}")
    out += [x for x in (differsline(b), timeline(b)) if x]
    out += [f"warning: {w}" for w in b["warnings"]]
    return out


# --- Two builds in one run (series.sh --compare A B): the pairs of matches of the same seed
# and side, one of each build, interleaved, build A's match started first in odd pairs and
# build B's in even ones.

def firstof(pair):
    """Which build's match a pair started first: A in odd pairs, B in even ones."""
    return "a" if pair % 2 else "b"


def interleaved(a, b, started=None, first=None):
    """The pairs of an interleaved run of the series a and b (their summaries) and what the
    order within a pair did: the difference in goal difference per match between the match
    started first and the one started second, net of the builds' difference. With d the
    pairs' differences B - A, a pair started A first has d = (B - A) - order and one started B
    first d = (B - A) + order, so the order's effect is half the difference of the two groups'
    means, with half of Welch's interval of it (none unless each group has two pairs).
    started maps (build, pair) to the time its match started, when known; first maps a pair to
    the build whose match the plan started first (else as firstof() says)."""
    started, first = started or {}, first or {}
    bymatch = {x: {int(m["dir"][-3:]): m for m in s["matches"]} for x, s in (("a", a), ("b", b))}
    pairs = []
    for n in sorted(set(bymatch["a"]) | set(bymatch["b"])):
        row = {"pair": n, "first": first.get(n, firstof(n)).upper()}
        for x in ("a", "b"):
            m = bymatch[x].get(n)
            row[x] = None if m is None else {
                "dir": m["dir"], "side": m["side"], "seed": m.get("seed"), "status": m["status"],
                "for": m["for"], "against": m["against"],
                "goal_difference": m["goal_difference"], "started": started.get((x, n))}
        pairs.append(row)
    full = [p for p in pairs if p["a"] and p["b"] and p["a"]["status"] == "played" and
            p["b"]["status"] == "played"]
    groups = {x: [p["b"]["goal_difference"] - p["a"]["goal_difference"] for p in full
                  if p["first"] == x] for x in ("A", "B")}
    mean = None
    if groups["A"] and groups["B"]:
        mean = (sum(groups["B"]) / len(groups["B"]) - sum(groups["A"]) / len(groups["A"])) / 2
    diff = series_stats.difference(groups["B"], groups["A"])
    order = None
    if diff is not None:
        few = min(len(groups["A"]), len(groups["B"])) < series_stats.MIN_SAMPLE
        why = (f"fewer than {series_stats.MIN_SAMPLE} pairs of each order: {len(groups['A'])} "
               f"with A first, {len(groups['B'])} with B first") if few else \
            series_stats.why_not(diff)
        order = {"mean": diff["mean"] / 2, "ci95": [x / 2 for x in diff["ci95"]],
                 "df": diff["df"], "excludes_zero": diff["excludes_zero"], "cannot_tell": why}
    return {"pairs": pairs, "order": {
        "a_first": len(groups["A"]), "b_first": len(groups["B"]), "mean": mean,
        "difference": order, "verdict": series_stats.verdict(order)}}


def orderlines(o):
    """The order's effect in lines: its estimate with the interval, and what it says."""
    text = ("order: the match started first in its pair minus the one started second, in goal "
            "difference per match, net of the builds' difference: ")
    if o["mean"] is None:
        return [text + "- (no pair played to the end with each build first)"]
    if o["difference"] is None:
        return [text + f"{signed(o['mean'])} (too few pairs for an interval: "
                f"{o['a_first']} played to the end with A first, {o['b_first']} with B first; "
                "two of each give one)"]
    words = {"better": "the matches started first did better",
             "worse": "the matches started first did worse",
             series_stats.CANNOT_TELL: f"{series_stats.CANNOT_TELL} "
             f"({(o['difference'] or {}).get('cannot_tell')})"}.get(
        o["verdict"], "no effect of the order shown")
    return [text + f"{interval(o['difference'])} ({o['a_first']} pairs with A first, "
            f"{o['b_first']} with B first): {words}"]
