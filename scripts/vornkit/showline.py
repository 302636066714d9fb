"""The show line, the play-mode and team lines of a soccer simulation server, read: what a
monitor is sent (dispinit version 3 and later) and what a game log (version 4 and later)
holds, from pitch or from the real server. vornkit.matchlog reads a game log's lines with
it, scripts/live.py a server's monitor stream; nothing else reads these lines.

  from vornkit import showline
  show = showline.read(line)        # ValueError when the line is not a show line
  showline.playmode(line)           # "(playmode T NAME)": NAME, else None
  showline.team(line)               # "(team T L R SL SR ...)": (["L", "R"], [SL, SR]), else None

A show line is "(show T (pm N) (tm L R SL SR) ((b) X Y VX VY) ((l 1) TYPE STATE X Y VX VY
BODY NECK [POINTX POINTY] (v h 90) (s STAMINA EFFORT RECOVERY [CAPACITY]) (c COUNTS...))
...)": the play mode by its number and the teams with their score are in a monitor's show
lines only (a game log gives them on playmode and team lines of their own). STATE is a
hexadecimal bit set, written with std::hex and std::showbase ("0x9"; 0 as "0", pitch
writes "0x0"): its digits are read as hexadecimal whether the 0x is there or not. Of the
objects only the ball, the players and (pm) and (tm) are read; others, and items of a
player other than (s) and (c), are passed over whole. Players other than l or r 1 to 11,
and those not in the match (state 0), are left out; a player whose name is a side without
a number is not a player that can be read, and refuses the line.
"""

import re

# The play modes by the number a monitor's show line gives them, as the server numbers them
# (0 is none).
PLAYMODES = (
    "", "before_kick_off", "time_over", "play_on", "kick_off_l", "kick_off_r", "kick_in_l",
    "kick_in_r", "free_kick_l", "free_kick_r", "corner_kick_l", "corner_kick_r",
    "goal_kick_l", "goal_kick_r", "goal_l", "goal_r", "drop_ball", "offside_l", "offside_r",
    "penalty_kick_l", "penalty_kick_r", "first_half_over", "pause", "human_judge",
    "foul_charge_l", "foul_charge_r", "foul_push_l", "foul_push_r", "foul_multiple_attack_l",
    "foul_multiple_attack_r", "foul_ballout_l", "foul_ballout_r", "back_pass_l",
    "back_pass_r", "free_kick_fault_l", "free_kick_fault_r", "catch_fault_l",
    "catch_fault_r", "indirect_free_kick_l", "indirect_free_kick_r", "penalty_setup_l",
    "penalty_setup_r", "penalty_ready_l", "penalty_ready_r", "penalty_taken_l",
    "penalty_taken_r", "penalty_miss_l", "penalty_miss_r", "penalty_score_l",
    "penalty_score_r", "illegal_defense_l", "illegal_defense_r")

SIDES = ("l", "r")
UNUMS = range(1, 12)
UNUM_WORDS = {str(n): n for n in UNUMS}
GOALIE_BIT = 0x8  # of a player's state
CATCH_BIT = 0x10  # of a player's state: a catch command was carried out in the step

PLAYMODE = re.compile(r"\(playmode (\d+) (\w+)\)")
# Newer servers may add fields after the score (the penalties): the first five are read.
TEAM = re.compile(r"\(team (\d+) (\S+) (\S+) (\d{1,9}) (\d{1,9})[ )]", re.ASCII)
PAREN = re.compile(r"[()]")
END = "\0\r\n\t "  # what may follow a line's last parenthesis: a datagram's NUL, a line end


def playmode(line):
    """The play mode a playmode line names; None for any other line."""
    m = PLAYMODE.match(line)
    return m.group(2) if m else None


def teams(left, right):
    """The team names of a team or (tm) item, "null" (no team on that side) as ""."""
    return ["" if n == "null" else n for n in (left, right)]


def team(line):
    """The teams and score of a team line, (["L", "R"], [SL, SR]); None for any other line."""
    m = TEAM.match(line)
    return (teams(m.group(2), m.group(3)), [int(m.group(4)), int(m.group(5))]) if m else None


def _objects(text):
    """The objects of a show line, each as (start, end, groups): where it begins and ends,
    and where the groups directly inside it do (its name, (b) or (l 1), and its items);
    groups nested deeper are within those. None when the parentheses do not pair."""
    objects, depth = [], 0
    for m in PAREN.finditer(text):
        at = m.start()
        if text[at] == "(":
            depth += 1
            if depth == 2:
                begin, groups = at, []
            elif depth == 3:
                inner = at
        else:
            if depth == 3:
                groups.append((inner, at + 1))
            elif depth == 2:
                objects.append((begin, at + 1, groups))
            elif depth < 1 or depth == 1 and at != len(text) - 1:
                return None  # closes more than it opened, or the show line ends early
            depth -= 1
    return objects if depth == 0 else None


def read(line):
    """A show line as {"cycle", "mode", "teams", "score", "ball", "players"}: the ball as
    {"x", "y", "vx", "vy"}, the players in the match as vornkit.matchlog's steps have them;
    mode, teams and score None when the line does not give them. ValueError when the line
    is not a show line that can be read."""
    text = line.rstrip(END)
    objects = _objects(text) if text.startswith("(show ") else None
    if not objects:
        raise ValueError("not a show line")
    show = {"cycle": None, "mode": None, "teams": None, "score": None, "ball": None,
            "players": []}
    try:
        show["cycle"] = int(text[len("(show "):objects[0][0]])
        for start, end, groups in objects:
            if not groups:
                _item(show, text[start + 1:end - 1].split())
                continue
            if groups[0][0] != start + 1:
                continue
            name = text[start + 2:groups[0][1] - 1].split()
            if name == ["b"]:
                numbers = text[groups[0][1]:end - 1].split()
                show["ball"] = dict(zip(("x", "y", "vx", "vy"), map(float, numbers[:4])))
            elif name and name[0] in SIDES:
                if len(name) != 2 or not name[1].isdigit():
                    raise ValueError(f"a player named ({' '.join(name)})")
                if name[1] in UNUM_WORDS:
                    show["players"].append(_player(text, name, groups, end))
    except IndexError:
        raise ValueError("a show line cut short") from None
    if show["ball"] is None or len(show["ball"]) < 4:
        raise ValueError("a show line without the ball")
    show["players"] = [p for p in show["players"] if p]
    return show


def _item(show, words):
    """An object of a show line without groups inside: the play mode (pm N) and the teams
    (tm L R SL SR ...) of a monitor's show line are read, any other is passed over."""
    if words[:1] == ["pm"]:
        n = int(words[1])
        show["mode"] = PLAYMODES[n] if 0 <= n < len(PLAYMODES) else f"mode {n}"
    elif words[:1] == ["tm"]:
        show["teams"], show["score"] = teams(words[1], words[2]), [int(words[3]), int(words[4])]


def _player(text, name, groups, end):
    """One player of a show line, whose groups are its name ((l 1)) and its items ((v h 90),
    (s ...), ...), or None for a player not in the match. Its numbers are the words between
    the name and the first item: TYPE STATE X Y VX VY BODY NECK."""
    head = text[groups[0][1]:groups[1][0] if len(groups) > 1 else end - 1].split()
    state = int(head[1], 16)
    if state == 0:
        return None
    p = {"side": name[0], "unum": UNUM_WORDS[name[1]], "x": float(head[2]), "y": float(head[3]),
         "body": float(head[6]), "neck": float(head[7]), "vx": float(head[4]),
         "vy": float(head[5]), "type": int(head[0]), "state": state}
    if state & GOALIE_BIT:
        p["goalie"] = True
    for start, stop in groups[1:]:
        item = text[start + 1:start + 3]  # the items read, (s ...) and (c ...), once each
        if item == "s " and "stamina" not in p:
            values = text[start + 3:stop - 1].split()
            if len(values) >= 3:
                p["stamina"], p["effort"], p["recovery"] = map(float, values[:3])
                p["capacity"] = float(values[3]) if len(values) > 3 else None
        elif item == "c " and "counts" not in p:
            p["counts"] = text[start + 3:stop - 1].split()  # words: few readers need them
    return p
