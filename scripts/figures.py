#!/usr/bin/env python3
"""The figures of a match per side: goals with scorer and cycle, ball possession, kicks,
shots, passes tried and completed, set plays of each kind, the goalie's catches and failed
catches. Read from a game log (.rcg or .rcg.gz) of pitch or of any other server, or from
pitch's record (JSON lines).

  scripts/figures.py MATCH [--json FILE]

Prints the figures as a table (left team, right team), then the goals; --json writes them
to FILE as well. How each is counted (docs/report.md says more):

  touch         a kick that reached the ball (a game log: the kicker's count of kicks rose;
                a record: a kick command carried out with the ball in reach) or a catch
                of a goalie that held the ball
  possession    per step of play_on, the side that touched the ball last; the share of
                the steps of play_on whose last touch is known
  kick          every kick that reached the ball
  shot          a kick after which the ball, rolling on straight and slowing by 0.94 a
                step, would cross the opponent's goal line between the posts
  pass tried    any other kick, except one after which the kicker himself is the next to
                touch the ball while it stays in play (a dribble)
  pass completed  a pass whose next touch is a team-mate's, the ball in play until then
  goal          a step at which the side's score rose; the scorer is the player who
                touched the ball last (an own goal when he plays for the other side)
  set play      a change of the play mode to a kick-off, kick-in, free kick, indirect
                free kick, corner kick, goal kick or penalty kick for the side
  catch         a catch command of the goalie in play_on that gave its side the free kick
  failed catch  a catch command of the goalie in play_on that did not hold the ball

Kicks of team-mates in one step count as one for the shots and passes; a step in which
players of both sides touched the ball leaves it to neither side, and its kicks are neither
shots nor passes. A file that holds no match is refused with one line and status 1.
"""

import argparse
import json
import math
import os
import re
import sys
import textwrap

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))  # vornkit beside
from vornkit import helptext  # noqa: E402
from vornkit import matchlog  # noqa: E402
from vornkit import outputs  # noqa: E402

SIDES = ("l", "r")
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
            c.get("unum") in matchlog.UNUMS and type(c.get("unum")) is int and
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


def table(f):
    """The figures as lines of text: the rows in columns, the notes, the goals."""
    cells = rows(f)
    width = [max(len(row[c]) for row in cells) for c in range(3)]
    width[1:] = [max(6, w) for w in width[1:]]
    lines = [f"{a:{width[0]}}  {b:>{width[1]}}  {c:>{width[2]}}".rstrip() for a, b, c in cells]
    lines += [line for note in notes(f) for line in textwrap.wrap(note, 100)]
    scored = [f"cycle {g['cycle']}: {g['text']}" for g in goals(f)]
    lines += textwrap.wrap("Goals: " + ("; ".join(scored) or "none") + ".", 100,
                           subsequent_indent="  ")
    return lines


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


def main(argv):
    p = helptext.ArgumentParser(
        formatter_class=argparse.RawDescriptionHelpFormatter,
        description=__doc__.split("\n\n")[0],
        epilog="\n\n".join(__doc__.split("\n\n")[2:]))
    p.add_argument("match", help="a game log (.rcg or .rcg.gz, version 6) of pitch or any "
                   "other server, or pitch's record (JSON lines)")
    p.add_argument("--json", metavar="FILE", help="also write the figures to FILE as JSON")
    a = p.parse_args(argv)
    if a.json and outputs.same_file(a.json, a.match):
        print(f"figures.py: {a.json}: is the match file itself; write the figures elsewhere",
              file=sys.stderr)
        return 2
    try:
        f = figures(matchlog.read(a.match))
    except matchlog.MatchError as e:
        print(f"figures.py: {a.match}: {e}", file=sys.stderr)
        return 1
    try:
        if a.json:
            outputs.write(a.json, json.dumps(f, indent=1) + "\n")
    except OSError as e:
        print(f"figures.py: {a.json}: {e.strerror or e}", file=sys.stderr)
        return 1
    cut = ", cut off" if f["cut"] else ""
    print(f"figures of the match ({'pitch record' if f['source'] == 'record' else 'game log'}, "
          f"{f['steps']} steps{cut}):")
    print("\n".join(table(f)))
    return 0


if __name__ == "__main__":
    sys.exit(outputs.run(main))
