#!/usr/bin/env python3
"""Reads one match for the scripts: pitch's JSON-lines record (pitch --record) or a standard
game log (version 6 text, .rcg or .rcg.gz) from pitch or from any other server.

  import matchlog
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

Unknown lines and items are skipped; a file cut off (a server stopped mid-match, a gzip
stream that ends early) gives the steps before the cut, and match.cut says so.
"""

import gzip
import json
import re
import sys
import zlib

GZIP_MAGIC = b"\x1f\x8b"
COUNT_NAMES = ("kick", "dash", "turn", "catch", "move", "turn_neck", "change_view", "say")

PLAYMODE = re.compile(r"\(playmode (\d+) (\w+)\)")
TEAM = re.compile(r"\(team (\d+) (\S+) (\S+) (\d+) (\d+)\)")
HEADER = re.compile(r"ULG(\d+)$")
OLDEST_VERSION = 6


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


def _lines(path):
    """The file's lines as text, gzip-compressed or not; a compressed stream that ends early
    or turns bad ends the lines, marked by a last None."""
    with open(path, "rb") as raw:
        packed = raw.read(2) == GZIP_MAGIC
    opener = gzip.open if packed else open
    try:
        with opener(path, "rt", encoding="utf-8", errors="replace") as f:
            yield from f
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
    if not match.steps:
        what = "show" if match.kind == "gamelog" else "step"
        raise MatchError(f"holds no {what} lines (neither a pitch record nor a game log?)")
    return match


def _record(first, lines):
    match = Match("record")
    for line in _chain(first, lines):
        if line is None:
            match.cut = True
            break
        try:
            d = json.loads(line)
        except ValueError:
            match.broken += 1
            match.cut = match.cut or not line.endswith("\n")
            continue
        if not isinstance(d, dict):
            match.broken += 1
        elif d.get("type") == "cycle":
            match.steps.append(d)
        elif d.get("type") == "command":
            match.commands.append(d)
    return match


def _chain(first, lines):
    yield first
    yield from lines


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
            step = _show(line, len(match.steps) + 1)
            if step is None:
                match.broken += 1
                continue
            step.update(mode=mode, score=score, teams=teams)
            match.steps.append(step)
        elif line.startswith("(playmode "):
            p = PLAYMODE.match(line)
            mode = p.group(2) if p else mode
        elif line.startswith("(team "):
            t = TEAM.match(line)
            if t:
                teams = ["" if n == "null" else n for n in (t.group(2), t.group(3))]
                score = [int(t.group(4)), int(t.group(5))]
    return match


def _show(line, number):
    """One show line as a step, or None when it is not one. The objects are split at
    " ((": the ball first, then the players; a player's head holds its numbers up to the
    neck angle, and its items are found by name, so unknown ones are passed over."""
    parts = line.rstrip().split(" ((")
    try:
        head = parts[0].split()
        if head[0] != "(show" or not parts[1].startswith("b) ") or not line.rstrip().endswith(")"):
            return None
        ball = [float(v) for v in parts[1][3:].rstrip(")").split()[:4]]
        players = [p for p in map(_player, parts[2:]) if p]
        return {"step": number, "cycle": int(head[1]),
                "ball": {"x": ball[0], "y": ball[1], "vx": ball[2], "vy": ball[3]},
                "players": players}
    except (ValueError, IndexError):
        return None


def _player(text):
    """One player of a show line ("l 1) TYPE STATE X Y VX VY BODY NECK (v h 90) ..."), or None
    for a player not in the match."""
    items = text.find(" (")
    head = text[:items if items > 0 else len(text)].split()
    state = int(head[3], 16)
    if state == 0:
        return None
    p = {"side": head[0], "unum": int(head[1].rstrip(")")), "x": float(head[4]),
         "y": float(head[5]), "body": float(head[8]), "neck": float(head[9]),
         "vx": float(head[6]), "vy": float(head[7]), "type": int(head[2]), "state": state}
    if state & 0x8:
        p["goalie"] = True
    values = _item(text, items, "(s ")
    if len(values) >= 3:
        p["stamina"], p["effort"], p["recovery"] = map(float, values[:3])
        p["capacity"] = float(values[3]) if len(values) > 3 else None
    counts = _item(text, items, "(c ")
    if counts:
        p["counts"] = counts  # as words: most readers never look at them
    return p


def _item(text, start, name):
    """The values of the item that starts with name, as words; none when it is missing."""
    at = text.find(name, start) if start > 0 else -1
    if at < 0:
        return []
    end = text.find(")", at)
    return text[at + len(name):end if end > 0 else len(text)].split()


def count(player, kind):
    """How many commands of kind (e.g. "catch") the server carried out for a player of a
    game log so far; None when the log does not say."""
    i = COUNT_NAMES.index(kind)
    counts = player.get("counts", ())
    return int(counts[i]) if len(counts) > i and counts[i].isdigit() else None


def executed_steps(match, side, unum, kind):
    """The steps k after which a command of kind (e.g. "catch") from the player was carried
    out (its effect shows at step k + 1): from a record's command lines, or where a game
    log's count of such commands rose from step k to step k + 1."""
    if match.kind == "record":
        return [c["step"] for c in match.commands
                if c.get("side") == side and c.get("unum") == unum and c.get("kind") == kind
                and c.get("outcome") == "executed"]
    out, last = [], None
    for step in match.steps:
        n = next((count(p, kind) for p in step["players"]
                  if p["side"] == side and p["unum"] == unum), None)
        if n is not None and last is not None and n > last:
            out.append(step["step"] - 1)
        last = n if n is not None else last
    return out


def main(argv):
    if len(argv) != 1 or argv[0] in ("--help", "-h"):
        print(__doc__.strip())
        return 0 if argv and argv[0] in ("--help", "-h") else 2
    try:
        m = read(argv[0])
    except MatchError as e:
        print(f"matchlog.py: {argv[0]}: {e}", file=sys.stderr)
        return 1
    last = m.steps[-1]
    left, right = m.teams
    cut = ", cut off" if m.cut else ""
    print(f"{m.kind}: {len(m.steps)} steps, {left or '-'} {last['score'][0]} : "
          f"{last['score'][1]} {right or '-'}, last cycle {last['cycle']} ({last['mode']}){cut}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
