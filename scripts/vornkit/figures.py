"""The match figures per side, counted from one match (vornkit.matchlog): goals with scorer
and cycle, ball possession, kicks, shots, passes tried and completed, set plays of each kind,
the goalie's catches and failed catches; and how they are shown (rows, notes, goals, the
replay page's panel), kept (load: what scripts/figures.py --json wrote) and summed (numbers).
scripts/figures.py says how each is counted and prints them; scripts/replay.py puts them in
its page's panel, scripts/series_summary.py sums them over a series, bench/servers_compare.py
compares two servers' matches by them (with callcounts and thirds).

  from vornkit import figures
  f = figures.figures(matchlog.read(path))
"""

import json
import math
import re

from vornkit import matchlog
from vornkit import showline

SIDES = showline.SIDES
BALL_DECAY = 0.94  # of the ball's speed per step
GOAL_LINE_X = 52.5
GOAL_HALF_WIDTH = 7.01  # from the centre line to either post
# A record knows the kick commands but not which reached the ball: those within the default
# player type's reach (player 0.3 + ball 0.085 + kickable margin 0.7) at the command's step.
KICKABLE = 1.085
OFFSIDE_AREA = 2.5  # a player marked offside who kicks within this of the ball is called
# The modes in which a kick does not reach the ball (the mode words without their side).
NO_KICK_MODES = {"before_kick_off", "time_over", "goal_l", "goal_r"}
NO_KICK_PREFIXES = ("offside_", "foul_", "back_pass_", "free_kick_fault_", "catch_fault_",
                    "illegal_defense_")
# ORDER SET PLAYS: the mode words and the rows of the table.
SET_PLAYS = ("kick_off", "kick_in", "free_kick", "indirect_free_kick", "corner_kick",
             "goal_kick", "penalty_kick")
SET_PLAY_ROWS = ("kick-offs", "kick-ins", "free kicks", "indirect free kicks", "corner kicks",
                 "goal kicks", "penalty kicks")
# The figures of a side that are numbers, in the table's order; the series sums these up.
NUMBERS = ("goals", "possession", "kicks", "shots", "passes_tried", "passes_completed",
           "catches", "failed_catches")
ROWS = ("goals", "possession %", "kicks", "shots", "passes tried", "passes completed",
        "catches", "failed catches")


def _logkicks(match):
    """{step index: [(side, unum)]}: where a player's count of kicks in a game log rose."""
    found, last = {}, {}
    for i, step in enumerate(match.steps):
        for p in step["players"]:
            key, n = (p["side"], p["unum"]), matchlog.count(p, "kick")
            if n is None:
                continue
            if key in last and n > last[key]:
                found.setdefault(i, []).append(key)
            last[key] = n
    return found


def _reach(step, side, unum):
    """How far the player stands from the ball at the step; None when not on the field."""
    p = next((p for p in step["players"] if p["side"] == side and p["unum"] == unum), None)
    return None if p is None else math.hypot(p["x"] - step["ball"]["x"], p["y"] - step["ball"]["y"])


def _refused(mode):
    return mode in NO_KICK_MODES or mode.startswith(NO_KICK_PREFIXES)


def _call(commands, step, after):
    """Of one step's kick and catch commands (in the order they came), the index of the one
    that stopped play with the mode after the step, and whether that one still counts; (len,
    True) when none did. An offside is called on the last kick of the offending side within
    2.5 m of the ball, a free-kick fault on the last kick of its side within reach, a catch
    fault or back pass on the goalie's catch; commands after the call come in a stopped game."""
    kind, _, side = after.rpartition("_")
    if after == step["mode"] or kind not in ("offside", "free_kick_fault", "catch_fault",
                                             "back_pass"):
        return len(commands), True
    reach = OFFSIDE_AREA if kind == "offside" else KICKABLE
    want = "kick" if kind in ("offside", "free_kick_fault") else "catch"
    for n in range(len(commands) - 1, -1, -1):
        c = commands[n]
        d = _reach(step, c.get("side"), c.get("unum"))
        if c["kind"] == want and c.get("side") == side and d is not None and d <= reach:
            return n, kind != "offside"
    return len(commands), True


def _commands(match):
    """A record's command lines that name a player of the match (l or r, 1 to 11) and a
    kind of command."""
    return [c for c in match.commands if c.get("side") in SIDES and
            c.get("unum") in showline.UNUMS and type(c.get("unum")) is int and
            isinstance(c.get("kind"), str)]


def _recordkicks(match, held):
    """{step index: [(side, unum)]}: the kick commands of a record that reached the ball:
    carried out in a mode that lets the ball be kicked, within reach, while no other
    player's goalie held the ball (held: {step index of the catch: its goalie}), and not
    after (or as) a call that stopped play in the same step. A kick command of step k shows
    at step k + 1."""
    index, steps = {s["step"]: i for i, s in enumerate(match.steps)}, match.steps
    bystep = {}
    for c in _commands(match):
        i = index.get(c["step"])
        if c.get("outcome") == "executed" and c["kind"] in ("kick", "catch") and \
                i is not None and i + 1 < len(steps):
            bystep.setdefault(i, []).append(c)
    found, holder = {}, None  # holder: (step index of the catch, its goalie)
    for i in sorted(bystep):
        step, commands = steps[i], bystep[i]
        if holder and i > holder[0] and step["mode"] != "free_kick_" + holder[1][0]:
            holder = None  # the held ball is free again once its free kick is over
        call, counts = _call(commands, step, steps[i + 1]["mode"])
        for n, c in enumerate(commands[:call + 1]):
            key = (c.get("side"), c.get("unum"))
            if c["kind"] == "catch":
                holder = (i + 1, held[i + 1]) if held.get(i + 1) == key else holder
                continue
            if n == call and not counts or _refused(step["mode"]):
                continue
            d = _reach(step, *key)
            if d is None or d > KICKABLE or holder and holder[1] != key:
                continue
            holder = None
            found.setdefault(i + 1, []).append(key)
    return found


def touches(match, held):
    """{step index: [(side, unum, "kick" or "catch")]}: who touched the ball, at the first
    step that shows it; held is {step index: (side, unum)} of the goalies' catches."""
    if match.kind == "record":
        kicks = _recordkicks(match, held)
    else:
        kicks = _logkicks(match)
    out = {i: [(s, u, "kick") for s, u in keys] for i, keys in kicks.items()}
    for i, key in held.items():
        out.setdefault(i, []).append(key + ("catch",))
    return out


def _velocity(ball):
    """The ball's (vx, vy); 0 for what a record leaves out or gives as no number."""
    return tuple(float(v) if isinstance(v, (int, float)) and not isinstance(v, bool) else 0.0
                 for v in (ball.get("vx"), ball.get("vy")))


def _shot(steps, i, side):
    """Whether the ball, as the kick that counts at step index i sent it, would cross the
    goal line the side attacks between the posts: straight on, each step 0.94 times as
    long as the one before."""
    if i == 0:
        return False
    ball, before = steps[i]["ball"], steps[i - 1]["ball"]
    toward = 1 if side == "l" else -1
    vx, vy = _velocity(ball)
    if toward * vx <= 0 or toward * before["x"] >= GOAL_LINE_X:
        return False
    if toward * (ball["x"] + vx / (1 - BALL_DECAY)) < GOAL_LINE_X:
        return False  # it stops short of the line
    y = ball["y"] + (toward * GOAL_LINE_X - ball["x"]) * vy / vx
    return abs(y) <= GOAL_HALF_WIDTH


def _inplay(steps, i, j):
    """Whether the ball stayed in play from the kick that shows at step index i until the
    step before index j: play_on, or the goal kick that the kick was taken in."""
    kept = {"play_on", steps[i]["mode"] if steps[i]["mode"].startswith("goal_kick_") else ""}
    return all(steps[k]["mode"] in kept for k in range(i, j))


def _side():
    """A side's figures before counting: its team, goals and their scorers (cycle, step,
    player, own_goal), possession (% of the steps of play_on with a known last touch) and
    those steps, kicks, shots, passes, set plays by mode word, its goalie and his catches
    (None without a goalie)."""
    return {"team": "", "goals": 0, "scorers": [], "possession": None, "possession_steps": 0,
            "kicks": 0, "shots": 0, "passes_tried": 0, "passes_completed": 0,
            "set_plays": dict.fromkeys(SET_PLAYS, 0), "goalie": None, "catches": None,
            "failed_catches": None}


def _passes(steps, groups, out):
    """The kicks, shots and passes of each side from the touches (groups). Kicks of
    team-mates in one step count as one for the shots and passes."""
    order = sorted(groups)
    for n, i in enumerate(order):
        group = groups[i]
        for side, _, kind in group:
            out[side]["kicks"] += kind == "kick"
        sides = {s for s, _, _ in group}
        if len(sides) != 1 or any(kind != "kick" for _, _, kind in group):
            continue
        side = sides.pop()
        if _shot(steps, i, side):
            out[side]["shots"] += 1
            continue
        j = order[n + 1] if n + 1 < len(order) else None
        kickers = {(s, u) for s, u, _ in group}
        nexts = {(s, u) for s, u, _ in groups[j]} if j is not None else set()
        kept = j is not None and _inplay(steps, i, j)
        if kept and nexts <= kickers:
            continue  # a dribble
        out[side]["passes_tried"] += 1
        out[side]["passes_completed"] += (kept and all(s == side for s, _ in nexts)
                                          and steps[j]["mode"] != "offside_" + side)


def _unknown(match):
    """The players on the field whose kicks the file does not show: in a record those who
    sent no command (pitch's built-in team sends none), in a game log those without
    counts."""
    seen = {(p["side"], p["unum"]) for s in match.steps for p in s["players"]}
    if match.kind == "record":
        known = {(c["side"], c["unum"]) for c in _commands(match)}
    else:
        known = {(p["side"], p["unum"]) for s in match.steps for p in s["players"]
                 if matchlog.count(p, "kick") is not None}
    return sorted(seen - known, key=lambda k: (k[0] != "l", k[1]))


def _goalies(match, out):
    """Each side's goalie with its catches and failed catches into out; the catches that
    held the ball as {step index: (side, unum)}."""
    index, held = {s["step"]: i for i, s in enumerate(match.steps)}, {}
    for side in SIDES:
        unum = out[side]["goalie"] = matchlog.goalie(match, side)
        if unum is not None:
            c = matchlog.catches(match, side, unum)
            out[side]["catches"], out[side]["failed_catches"] = c["catches"], c["failed"]
            held.update({index[n]: (side, unum) for n in c["held"] if n in index})
    return held


def _steps(steps, groups, out):
    """Step by step, the possession, the set plays and the goals into out; returns the
    steps of play_on and those of them without a known last touch."""
    last, scorer, unknown, playon = None, None, 0, 0
    for i, step in enumerate(steps):
        if i in groups:
            sides, players = {s for s, _, _ in groups[i]}, {(s, u) for s, u, _ in groups[i]}
            last = sides.pop() if len(sides) == 1 else None
            scorer = (last, players.pop()[1] if len(players) == 1 else None)
        if step["mode"] == "play_on":
            playon += 1
            if last:
                out[last]["possession_steps"] += 1
            else:
                unknown += 1
        before = steps[i - 1] if i else None
        if before is None or step["mode"] != before["mode"]:
            kind, _, side = step["mode"].rpartition("_")
            if side in out and kind in SET_PLAYS:
                out[side]["set_plays"][kind] += 1
        for k, side in enumerate(SIDES):
            for _ in range(step["score"][k] - before["score"][k] if before else 0):
                known = scorer is not None and scorer[0] is not None
                out[side]["goals"] += 1
                out[side]["scorers"].append(
                    {"cycle": step["cycle"], "step": step["step"],
                     "player": scorer[1] if known else None,
                     "own_goal": scorer[0] != side if known else None})
    return playon, unknown


def _unknowable(out, missing):
    """What the players whose kicks the file does not show (missing: (side, unum)) leave
    unknown, set to None in out: who touched the ball last, and so the possession, the
    passes and the scorers of both sides; the kicks and shots of their side; the catches of
    a goalie among them."""
    for side in SIDES:
        o = out[side]
        o["possession"] = o["possession_steps"] = None
        o["passes_tried"] = o["passes_completed"] = None
        for g in o["scorers"]:
            g["player"] = g["own_goal"] = None
        if any(s == side for s, _ in missing):
            o["kicks"] = o["shots"] = None
        if (side, o["goalie"]) in missing:
            o["catches"] = o["failed_catches"] = None


def figures(match):
    """The figures of the match: "l" and "r", each side's as _side() lists them; and the
    source ("gamelog" or "record"), its steps, the steps of play_on and those of them
    without a known last touch, whether the file is cut off, and the players whose kicks it
    does not show ("r1", ...); what is not known for want of them is None."""
    out = {side: _side() for side in SIDES}
    for k, side in enumerate(SIDES):
        out[side]["team"] = match.teams[k]
    groups = touches(match, _goalies(match, out))
    _passes(match.steps, groups, out)
    playon, unknown = _steps(match.steps, groups, out)
    for side in SIDES:
        if playon > unknown:
            share = 100 * out[side]["possession_steps"] / (playon - unknown)
            out[side]["possession"] = round(share, 1)
    missing = _unknown(match)
    if missing:
        _unknowable(out, missing)
        unknown = None
    return {"source": match.kind, "steps": len(match.steps), "play_on_steps": playon,
            "possession_unknown_steps": unknown, "cut": match.cut,
            "unknown_players": [f"{s}{u}" for s, u in missing], "l": out["l"],
            "r": out["r"]}


def numbers(side):
    """A side's figures as one level of numbers (None where not known), the set plays by
    their mode words: what a series sums up."""
    side = side if isinstance(side, dict) else {}
    plays = side.get("set_plays") if isinstance(side.get("set_plays"), dict) else {}
    flat = {name: side.get(name) for name in NUMBERS}
    flat.update({kind: plays.get(kind) for kind in SET_PLAYS})
    return {k: v if isinstance(v, (int, float)) and not isinstance(v, bool) else None
            for k, v in flat.items()}


def _cell(v, key=""):
    """A figure as the table shows it: "-" when not known, a share with one decimal."""
    if v is None:
        return "-"
    return f"{v:.1f}" if key == "possession" else str(v)


def _scorer(g, side, other, name):
    """The goal g of side in words: the team it counts for, then its scorer: the player's
    number, "two at once" when team-mates touched the ball last in one step, an own goal
    by a player of the other team, or "scorer not known"."""
    team = side["team"] or ("left" if name == "l" else "right")
    if g["own_goal"] is None:
        return f"{team}, scorer not known"
    if g["own_goal"]:
        by = other["team"] or ("right" if name == "l" else "left")
        return f"{team}, own goal by {by}" + (f" {g['player']}" if g["player"] is not None
                                                 else " (two at once)")
    return f"{team} {g['player']}" if g["player"] is not None else f"{team}, two at once"


def rows(f):
    """The figures as rows of text (figure, left, right): the teams first, then a row per
    figure, the set plays that came about among them."""
    l, r = f["l"], f["r"]
    out = [["", l["team"] or "left", r["team"] or "right"]]
    out += [[row, _cell(l[key], key), _cell(r[key], key)] for row, key in zip(ROWS, NUMBERS)]
    out[7:7] = [[row, str(l["set_plays"][k]), str(r["set_plays"][k])]
                for row, k in zip(SET_PLAY_ROWS, SET_PLAYS)
                if l["set_plays"][k] or r["set_plays"][k]]
    return out


def notes(f):
    """What the rows leave out, in sentences: the steps the possession is of, or the
    players whose kicks the file does not show and what is not known for want of them."""
    if f["unknown_players"]:
        why = ("the record has no commands of theirs" if f["source"] == "record"
               else "the log has no counts")
        return [f"Not known: the kicks of {' '.join(f['unknown_players'])} ({why}), and so "
                "who touched the ball last: the possession, the passes and the scorers."]
    known = f["play_on_steps"] - f["possession_unknown_steps"]
    return [f"Possession: of the {known} steps of play_on whose last touch is known "
            f"({f['possession_unknown_steps']} not)."]


def goals(f, match=None):
    """Every goal as {"side", "cycle", "step", "text"}, in the order of the match; the
    step is the match's own (the first at which that side's score shows the goal) when
    match is given, which may be another file of the same match."""
    rises = {side: [] for side in SIDES}
    for before, step in zip(match.steps, match.steps[1:]) if match else ():
        for k, side in enumerate(SIDES):
            rises[side] += [step["step"]] * max(0, step["score"][k] - before["score"][k])
    out = []
    for side, other in ((f["l"], f["r"]), (f["r"], f["l"])):
        name = "l" if side is f["l"] else "r"
        for n, g in enumerate(side["scorers"]):
            step = g["step"] if match is None else (rises[name][n] if n < len(rises[name])
                                                    else None)
            out.append({"side": name, "cycle": g["cycle"], "step": step,
                        "text": _scorer(g, side, other, name)})
    return sorted(out, key=lambda g: (g["cycle"], g["step"] or 0))


def panel(f, match):
    """What the replay page's panel shows of the figures f: the rows, the notes and the
    goals, each goal at its step of match (the match the page shows)."""
    return {"rows": rows(f), "notes": notes(f), "goals": goals(f, match)}


def load(path):
    """The figures that figures.py --json wrote to path; ValueError naming the file when it
    holds none."""
    try:
        with open(path, encoding="utf-8") as fp:
            f = json.load(fp)
        rows(f), notes(f), goals(f)  # every field the panel reads is there
        return f
    except OSError as e:
        raise ValueError(f"{path}: {e.strerror or e}") from None
    except (ValueError, KeyError, TypeError, AttributeError, IndexError):
        raise ValueError(f"{path}: holds no figures of a match (figures.py --json writes "
                         "them)") from None


# The referee's calls that end in a side's letter, by kind. The letter names the side given
# the restart (kick_off_l ... goal_kick_l), the side that committed the offence (offside_l,
# back_pass_l, catch_fault_l, free_kick_fault_l), the side that scored (goal_l_1) or whose
# goalie caught the ball (goalie_catch_ball_l).
SIDED_CALL = re.compile(r"(\w+?)_([lr])(?:_\d+)?$", re.ASCII)
THIRD = GOAL_LINE_X / 3  # the field's thirds end at x = -17.5 and 17.5


def callcounts(calls):
    """How often each kind of referee call came, from a text log's calls ([(cycle, word)],
    matchlog.referee_calls): {"l": {kind: n}, "r": {kind: n}, "other": {word: n}} with
    the kinds as the words without their side (goal, kick_in, offside, ...) and every other
    word (drop_ball, play_on, half_time, ...) under "other"."""
    out = {"l": {}, "r": {}, "other": {}}
    for _, word in calls:
        m = SIDED_CALL.match(word)
        where, kind = (out[m.group(2)], m.group(1)) if m else (out["other"], word)
        where[kind] = where.get(kind, 0) + 1
    return out


def thirds(match):
    """The steps of play_on with the ball in each third of the field, from the left goal to
    the right one: [left third, middle third, right third] (a ball on a border counts to
    the middle)."""
    out = [0, 0, 0]
    for step in match.steps:
        if step["mode"] == "play_on":
            x = step["ball"]["x"]
            out[0 if x < -THIRD else 2 if x > THIRD else 1] += 1
    return out
