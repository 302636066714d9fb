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

import series_stats

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


def compare(this, base, basedir):
    """The comparison of the summary this with the baseline's summary base (read from
    basedir), as summary.json keeps it under "baseline"."""
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
            "warnings": warnings(this, base)}


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
            "verdict_why": series_stats.why_not(diff), "smallest_shown": half}


def headtoheadlines(h):
    out = [f"head to head: {h['why']}",
           f"verdict: {said(h)}: this build's goal difference per match against the "
           f"other {interval(h['difference'])}"]
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


def warnings(this, base):
    """What makes the two series more than two builds of the team: other servers, other
    server options, other lengths of match."""
    out = []
    a, b = program(this, "server"), program(base, "server")
    if a is None or b is None:
        out.append("the servers cannot be compared: "
                   f"{'the baseline' if b is None else 'this series'} has no programs on record")
    elif a.get("sha256") != b.get("sha256"):
        out.append(f"the servers differ ({describe(b)} in the baseline, {describe(a)} here): "
                   "the difference is also one of servers")
    if "server_options" in this and "server_options" in base and \
            this["server_options"] != base["server_options"]:
        out.append(f"the server options differ ({' '.join(base['server_options'])} in the "
                   f"baseline, {' '.join(this['server_options'])} here)")
    return out


def describe(p):
    """A program in a few words: name, git describe when known, and the start of its sha256."""
    git = f" {p['git']}" if p.get("git") else ""
    return f"{p['name']}{git} (sha256 {p['sha256'][:12]})" if p.get("sha256") else \
        f"{p['name']}{git}"


def builds(programs):
    """A series' programs in a line: the team's as describe() gives them with their folder,
    then the server."""
    if not programs:
        return "not on record"
    players = [p for p in programs if p.get("role") != "server"]
    folders = sorted({p["path"].rsplit("/", 1)[0] for p in players if p.get("path")})
    text = ", ".join(describe(p) for p in players) + (f" from {', '.join(folders)}"
                                                      if folders else "")
    server = [describe(p) for p in programs if p.get("role") == "server"]
    return text + (f"; server {server[0]}" if server else "")


def sameteam(a, b):
    """Whether two series' programs on record hold the same team: the same sha256 in every
    role but the server's."""
    def team(programs):
        return sorted((p["role"], p.get("sha256")) for p in programs or []
                      if p.get("role") != "server")
    return bool(team(a)) and team(a) == team(b)


def signed(x):
    return "-" if x is None else f"{x:+.2f}"


def interval(d):
    if d is None:
        return "- (too few matches for an interval)"
    return f"{signed(d['mean'])} [{signed(d['ci95'][0])}, {signed(d['ci95'][1])}]"


def lines(b):
    """The comparison in lines of text, for the table and the page."""
    d, s = b["difference"], b["sufficient"]
    count = f"{b['pairs']} pairs" if b["pairs"] else \
        f"{b['played_here']} matches here, {b['played']} in the baseline"
    out = [f"comparison: {b['why']}",
           f"verdict: {said(b)}: difference in goal difference per match "
           f"{interval(d)} ({count})"]
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
    out.append(f"this series: {builds(b['builds']['this'])}")
    if sameteam(b["builds"]["this"], b["builds"]["baseline"]):
        out.append("the baseline: the same team build (the same sha256)")
    else:
        out.append(f"the baseline: {builds(b['builds']['baseline'])}")
    out += [f"warning: {w}" for w in b["warnings"]]
    return out
