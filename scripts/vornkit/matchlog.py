"""Reads one match for the scripts: pitch's JSON-lines record (pitch --record) or a standard
game log (version 6 text, .rcg or .rcg.gz) from pitch or from any other server.

  from vornkit import matchlog
  match = matchlog.read(path)      # raises matchlog.MatchError with a one-line reason

  scripts/matchlog.py MATCH        # what the file holds: kind, steps, teams, final score

A match has one step per step line of the record or per show line of the game log, in
order, steps where the clock stands (before the kick-off, pauses) included. A step is a
dict as pitch's record writes them:

  {"step": 1, "cycle": 0, "mode": "before_kick_off", "score": [0, 0], "teams": ["vorn", ""],
   "ball": {"x", "y", "vx", "vy"},
   "players": [{"side": "l", "unum": 1, "x", "y", "body", "neck", "goalie": True}, ...]}

A game log's players also carry "vx", "vy", "type", "state", "stamina", "effort",
"recovery", "capacity" and "counts" (the commands carried out so far, kick, dash, turn,
catch, move, turn_neck, change_view, say, ..., as the log's words: count(player, name)
gives one as a number); only players in the match are listed. The
step numbers of a game log count its show lines from 1, as pitch counts its steps, so the
record and the game log of one pitch match number their steps alike.

Unknown lines and items are skipped, and so are players other than l or r 1 to 11; a file
cut off (a server stopped mid-match, a gzip stream that ends early) gives the steps before
the cut, and match.cut says so. A record's step line that is JSON but not a step as above
(a field missing or of the wrong kind) refuses the file, naming the line. The file is read
once, front to back, so a pipe (<(zcat match.rcg.gz)) reads as well as a file. A game
log's show, playmode and team lines are read by vornkit.showline.
"""

import gzip
import io
import itertools
import json
import re
import zlib

from vornkit import showline

GZIP_MAGIC = b"\x1f\x8b"
COUNT_NAMES = ("kick", "dash", "turn", "catch", "move", "turn_neck", "change_view", "say")

HEADER = re.compile(r"ULG(\d+)$")
OLDEST_VERSION = 6
SIDES, UNUMS = showline.SIDES, showline.UNUMS


class MatchError(Exception):
    """A file that holds no match that can be read; the text says why."""


class Match:
    def __init__(self, kind):
        self.kind = kind  # "record" or "gamelog"
        self.steps = []
        self.commands = []  # the command lines of a record, as pitch wrote them
        self.broken = 0  # lines that could not be read
        self.cut = False  # the file ends within a line or within its compressed stream

    @property
    def teams(self):
        names = ["", ""]
        for step in self.steps:
            for i, name in enumerate(step.get("teams", [])[:2]):
                names[i] = name or names[i]
        return names


class _Rejoined(io.RawIOBase):
    """The bytes already read from a file, then the rest of it: looking at the first bytes
    of a pipe must not lose them, and a pipe cannot be opened a second time."""

    def __init__(self, head, rest):
        self.head, self.rest = head, rest

    def readable(self):
        return True

    def readinto(self, b):
        if not self.head:
            return self.rest.readinto(b)
        n = min(len(b), len(self.head))
        b[:n], self.head = self.head[:n], self.head[n:]
        return n


def _lines(path):
    """The file's lines as text, gzip-compressed or not; a compressed stream that ends early
    or turns bad ends the lines, marked by a last None."""
    with open(path, "rb") as raw:
        magic = raw.read(len(GZIP_MAGIC))
        whole = io.BufferedReader(_Rejoined(magic, raw))
        packed = gzip.GzipFile(fileobj=whole) if magic == GZIP_MAGIC else whole
        try:
            yield from io.TextIOWrapper(packed, encoding="utf-8", errors="replace")
        except (EOFError, zlib.error, gzip.BadGzipFile):
            yield None


def is_gamelog(path):
    """Whether the file is a game log (compressed or not) rather than a pitch record; raises
    OSError when it cannot be read."""
    lines = _lines(path)
    first = next(lines, "")
    lines.close()
    return bool(first) and first.startswith("ULG")


def read(path):
    """The match in the file at path: a pitch record or a game log, compressed or not."""
    try:
        lines = _lines(path)
        first = next(lines, "")
        if first is None:
            raise MatchError("a gzip file that holds nothing readable")
        if first.startswith("ULG"):
            match = _gamelog(first, lines)
        else:
            match = _record(first, lines)
    except OSError as e:
        raise MatchError(e.strerror or str(e)) from None
    if match.steps:
        return match
    broken = f"; {match.broken} of its lines could not be read" if match.broken else ""
    if match.kind == "record":
        raise MatchError(f"holds no step lines (neither a pitch record nor a game log?){broken}")
    if match.cut and not match.broken:
        raise MatchError("is a game log that holds no steps yet: it ends before its first show "
                         "line")
    raise MatchError(f"is a game log without show lines{broken}")


def _record(first, lines):
    match = Match("record")
    for number, line in enumerate(itertools.chain((first,), lines), 1):
        if line is None:
            match.cut = True
            break
        try:
            d = json.loads(line)
        except (ValueError, RecursionError):  # nesting too deep for the parser
            match.broken += 1
            match.cut = match.cut or not line.endswith("\n")
            continue
        if not isinstance(d, dict):
            match.broken += 1
        elif d.get("type") == "cycle":
            problem = _step_problem(d)
            if problem:
                raise MatchError(f"line {number}: the step line's {problem}")
            match.steps.append(d)
        elif d.get("type") == "command":
            if not _whole(d.get("step")):
                raise MatchError(f"line {number}: the command line's 'step' is missing or not "
                                 "a whole number")
            match.commands.append(d)
    return match


def _whole(v):
    return isinstance(v, int) and not isinstance(v, bool)


def _number(v):
    return isinstance(v, (int, float)) and not isinstance(v, bool)


def _strings(v):
    return isinstance(v, list) and all(isinstance(n, str) for n in v)


def _missing(d, checks):
    """The first of checks ((key, test, what it must be)) that d fails, as words."""
    for key, test, what in checks:
        if not test(d.get(key)):
            return f"'{key}' is {what}"
    return None


STEP_CHECKS = (
    ("step", _whole, "missing or not a whole number"),
    ("cycle", _whole, "missing or not a whole number"),
    ("mode", lambda v: isinstance(v, str), "missing or not text"),
    ("score", lambda v: isinstance(v, list) and len(v) == 2 and all(map(_whole, v)),
     "missing or not two whole numbers"),
    ("teams", lambda v: v is None or _strings(v), "not a list of names"),
    ("ball", lambda v: isinstance(v, dict) and _number(v.get("x")) and _number(v.get("y")),
     "missing or has no x and y"),
    ("players", lambda v: isinstance(v, list) and all(isinstance(p, dict) for p in v),
     "missing or not a list of players"),
)
PLAYER_CHECKS = tuple((key, _number, "missing or not a number") for key in ("x", "y", "body")) + (
    ("stamina", lambda v: v is None or _number(v), "not a number"),)


def _step_problem(d):
    """What is wrong with a record's step line, as words; None when nothing is. Players
    other than l or r 1 to 11 are left out as unknown."""
    problem = _missing(d, STEP_CHECKS)
    if problem:
        return problem
    d["players"] = [p for p in d["players"]
                    if p.get("side") in SIDES and _whole(p.get("unum")) and p["unum"] in UNUMS]
    for p in d["players"]:
        problem = _missing(p, PLAYER_CHECKS)
        if problem:
            return f"player {p['side']} {p['unum']}: {problem}"
    return None


def _gamelog(first, lines):
    m = HEADER.match(first.strip())
    if not m:
        raise MatchError(f"starts with '{first.strip()[:20]}', not a game log header such as ULG6")
    if int(m.group(1)) < OLDEST_VERSION:
        raise MatchError(f"is a game log of version {m.group(1)}; only version "
                         f"{OLDEST_VERSION} and later are read")
    match = Match("gamelog")
    mode, score, teams = "", [0, 0], ["", ""]
    for line in lines:
        if line is None or not line.endswith("\n"):
            match.cut = True
            if line is None or not line.rstrip().endswith(")"):
                break
        if line.startswith("(show "):
            try:
                show = showline.read(line)
            except ValueError:
                match.broken += 1
                continue
            match.steps.append({"step": len(match.steps) + 1, "cycle": show["cycle"],
                                "mode": mode, "score": score, "teams": teams,
                                "ball": show["ball"], "players": show["players"]})
        elif line.startswith("(playmode "):
            mode = showline.playmode(line) or mode
        elif line.startswith("(team "):
            teams, score = showline.team(line) or (teams, score)
    return match


def count(player, kind):
    """How many commands of kind (e.g. "catch") the server carried out for a player of a
    game log so far; None when the log does not say."""
    i = COUNT_NAMES.index(kind)
    counts = player.get("counts", ())
    known = len(counts) > i and counts[i].isascii() and counts[i].isdigit()
    return int(counts[i]) if known else None


def executed_steps(match, side, unum, kind):
    """The steps k after which a command of kind (e.g. "catch") from the player was carried
    out (its effect shows at step k + 1): from a record's command lines, or where a game
    log's count of such commands rose from step k to step k + 1. A real server counts only
    the catches that reach the ball; the others show as the catch bit of the player's state
    at step k + 1, which is read too."""
    if match.kind == "record":
        return [c["step"] for c in match.commands
                if c.get("side") == side and c.get("unum") == unum and c.get("kind") == kind
                and c.get("outcome") == "executed"]
    out, last, seen = [], None, False
    for step in match.steps:
        p = next((p for p in step["players"] if p["side"] == side and p["unum"] == unum), None)
        n = count(p, kind) if p else None
        rose = n is not None and last is not None and n > last
        if seen and (rose or kind == "catch" and p and p["state"] & showline.CATCH_BIT):
            out.append(step["step"] - 1)
        last = n if n is not None else last
        seen = True
    return out


def goalie(match, side):
    """The uniform number of the side's goalie (the first player of the side marked as one),
    or None."""
    return next((p["unum"] for step in match.steps for p in step["players"]
                 if p["side"] == side and p.get("goalie")), None)


# The play modes that follow at once when a goalie's catch in play_on held the ball, each
# with the goalie's side: the free kick of a catch inside the penalty area, and the
# offences a catch can be (outside the area, a team-mate's kick, a set-play taker who
# dashed).
HELD_MODES = ("free_kick_", "catch_fault_", "back_pass_", "free_kick_fault_")


def catches(match, side, unum):
    """What the goalie's catches came to: "catches", those in play_on that gave its side
    the free kick; "catch_faults", the times the play mode became catch_fault for its side;
    "failed", its catch commands in play_on that did not hold the ball (out of reach, or
    during its catch ban); "held", the steps at which a catch held the ball (the catch's
    step + 1). Only a catch in play_on can catch; a command of step k shows at step k + 1."""
    modes = {s["step"]: s["mode"] for s in match.steps}
    tries = [k for k in executed_steps(match, side, unum, "catch") if modes.get(k) == "play_on"]
    held = [k + 1 for k in tries if modes.get(k + 1) in {m + side for m in HELD_MODES}]
    fault = "catch_fault_" + side
    return {"catches": sum(modes.get(k) == "free_kick_" + side for k in held),
            "catch_faults": sum(m == fault and modes.get(k - 1) != m for k, m in modes.items()),
            "failed": len(tries) - len(held), "held": held}


# A referee call in a text log: "T,S<TAB>(referee WORD)", S the steps the clock has stood.
REFEREE = re.compile(r"(\d+),(\d+)\t\(referee (\w+)\)$", re.ASCII)


def referee_calls(path):
    """The referee's calls in a text log (.rcl or .rcl.gz) of pitch or of the real server, in
    their order, each as (cycle, word): drop_ball, goal_l_1, free_kick_fault_r ... A call
    between two steps is there too (the game log's show lines may not show its mode: a drop
    ball passes to play_on at once). Lines that are not calls are passed over; a file cut
    off gives the calls before the cut. Raises MatchError when the file cannot be read."""
    out = []
    try:
        for line in _lines(path):
            if line is None:
                break
            m = REFEREE.match(line.rstrip("\r\n"))
            if m:
                out.append((int(m.group(1)), m.group(3)))
    except OSError as e:
        raise MatchError(e.strerror or str(e)) from None
    return out
