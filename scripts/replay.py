#!/usr/bin/env python3
"""Turns a match into one self-contained replay page: pitch's record (JSON lines, pitch
--record) or a standard game log (.rcg, .rcg.gz) from pitch or from any other server.

Every step of the match becomes a frame (steps where the clock stands too): the ball's
position, and every player's position and facing, and its stamina where the match has it
(game logs do). Positions are kept in centimetres, facings in whole degrees and stamina in
whole units, as little-endian 16-bit integers in base64, one column per player that was
ever on the field; the cycle, step, play mode and score change rarely and go in as runs.
With 22 players that is about 0.18 MB per 1000 steps (0.24 MB with stamina). Under the
field a panel shows the match's figures (vornkit.figures: of the match file, or of the
file --figures names), each goal a link to its step. The page is made of page.html, which
the live page shares, and replay-page.html beside this script (vornkit.pages), with the
data put in place of its placeholder.
"""

import base64
import json
import math
import os
import struct
import sys

HERE = os.path.dirname(os.path.realpath(__file__))  # the script, not a link to it
TEMPLATE = "replay-page.html"  # beside this script
PLACEHOLDER = "/*REPLAY-DATA*/null"
UNIT = 100  # stored units per metre
ABSENT = -32768  # a player not on the field in that frame
LIMIT = 32767
STAMINA_MAX = 8000  # a full stamina bar

sys.path.insert(0, HERE)
from vornkit import figures  # noqa: E402
from vornkit import helptext  # noqa: E402
from vornkit import matchlog  # noqa: E402
from vornkit import outputs  # noqa: E402
from vornkit import pages  # noqa: E402


def quantise(value, unit=1, otherwise=ABSENT):
    """value * unit as a 16-bit integer, held within range; otherwise for NaN and infinity
    (JSON readers take those words)."""
    if not math.isfinite(value):
        return otherwise
    return max(-LIMIT, min(LIMIT, round(value * unit)))


def wrap_degrees(a):
    return (a + 180) % 360 - 180


def runs(values):
    """[frame, value, delta] wherever the value stops going up by the same step."""
    out = []
    for i, v in enumerate(values):
        if out and i - out[-1][0] == 1:
            out[-1][2] = v - out[-1][1]
        elif out and v == out[-1][1] + out[-1][2] * (i - out[-1][0]):
            continue
        else:
            out.append([i, v, 0])
    return out


def encode(match, source):
    """The page's data object for the match's steps."""
    steps, players, goalies = match.steps, {}, set()
    for d in steps:
        for p in d.get("players", []):
            key = (p["side"], int(p["unum"]))
            players.setdefault(key, None)
            if p.get("goalie"):
                goalies.add(key)
    columns = sorted(players, key=lambda k: (k[0] != "l", k[1]))
    index = {k: i for i, k in enumerate(columns)}
    stamina = any("stamina" in p for d in steps[:50] for p in d.get("players", []))
    width = 4 if stamina else 3
    per_frame = 2 + width * len(columns)
    values = []
    cycles, stepno, modes, score_l, score_r, mode_names = [], [], [], [], [], {}
    for d in steps:
        frame = [ABSENT] * per_frame
        ball = d.get("ball")
        if ball:
            frame[0], frame[1] = quantise(ball["x"], UNIT), quantise(ball["y"], UNIT)
        for p in d.get("players", []):
            o = 2 + width * index[(p["side"], int(p["unum"]))]
            frame[o] = quantise(p["x"], UNIT)
            frame[o + 1] = quantise(p["y"], UNIT)
            frame[o + 2] = quantise(wrap_degrees(p.get("body", 0)), otherwise=0)
            if stamina:
                frame[o + 3] = quantise(p.get("stamina", 0), otherwise=0)
        values.extend(frame)
        cycles.append(int(d.get("cycle", 0)))
        stepno.append(int(d.get("step", len(stepno))))
        modes.append(mode_names.setdefault(str(d.get("mode", "")), len(mode_names)))
        score = d.get("score", [0, 0])
        score_l.append(int(score[0]))
        score_r.append(int(score[1]))
    frames = struct.pack(f"<{len(values)}h", *values)
    return {
        "format": 2, "source": source, "count": len(steps), "unit": UNIT, "teams": match.teams,
        "stamina": stamina, "staminaMax": STAMINA_MAX,
        "players": [{"side": s, "unum": u, "goalie": (s, u) in goalies} for s, u in columns],
        "frames": base64.b64encode(frames).decode("ascii"),
        "cycles": runs(cycles), "steps": runs(stepno), "modeNames": list(mode_names),
        "modes": runs(modes), "scoreL": runs(score_l), "scoreR": runs(score_r),
    }


def page(data, title):
    text = pages.page(TEMPLATE, title)
    if PLACEHOLDER not in text:
        raise ValueError(f"{os.path.join(HERE, TEMPLATE)} has no {PLACEHOLDER}")
    # Inside a script element "</script" would end it early and "<!--" would change how it
    # is read; no "<" at all can do neither ("\u003c" means the same in a JSON string).
    blob = json.dumps(data, separators=(",", ":")).replace("<", "\\u003c")
    return text.replace(PLACEHOLDER, blob, 1)


def main(argv):
    p = helptext.ArgumentParser(
        description="Turn a match into one self-contained replay page (HTML, no network): "
        "the field, both teams, the ball, score, cycle and play mode, each player's stamina "
        "where the match has it, with play/pause (space), a slider that marks the goals, "
        "single steps (arrow keys) and speeds 1x to 8x, and under it the match's figures "
        "(scripts/figures.py). The page opens at the step its address names "
        "(replay.html#step=1200).")
    p.add_argument("record", help="the match: pitch's record (JSON lines, pitch --record) or a "
                   "game log (.rcg or .rcg.gz, version 6) from pitch or any other server")
    p.add_argument("-o", "--output", metavar="FILE",
                   help="the page to write (default replay.html next to the match file; "
                   "give one when the match comes through a pipe)")
    p.add_argument("--title", help="the page's title (default: vorn replay, and the file's name)")
    p.add_argument("--figures", metavar="FILE",
                   help="the figures for the page's panel as scripts/figures.py --json wrote "
                   "them, say from the game log of a match whose record is shown (default: "
                   "the figures of the match file itself)")
    a = p.parse_args(argv)
    out = a.output or os.path.join(os.path.dirname(os.path.abspath(a.record)), "replay.html")
    if outputs.same_file(out, a.record):
        print(f"replay.py: {out}: is the match file itself; write the page elsewhere (-o)",
              file=sys.stderr)
        return 2
    try:
        match = matchlog.read(a.record)
    except matchlog.MatchError as e:
        print(f"replay.py: {a.record}: {e}", file=sys.stderr)
        return 1
    source = os.path.basename(a.record)
    data = encode(match, source)
    try:  # figures.load and page name the file at fault
        found = figures.load(a.figures) if a.figures else figures.figures(match)
        data["figures"] = figures.panel(found, match)
        text = page(data, a.title or f"vorn replay: {source}")
    except (OSError, ValueError) as e:
        print(f"replay.py: {e}", file=sys.stderr)
        return 1
    try:
        outputs.write(out, text)
    except OSError as e:
        print(f"replay.py: {out}: {e.strerror or e}", file=sys.stderr)
        return 1
    notes = [f"{match.broken} unreadable lines left out"] if match.broken else []
    notes += ["the file is cut off: the page shows what is there"] if match.cut else []
    note = "".join(", " + n for n in notes)
    print(f"replay: {out} ({len(match.steps)} steps, {os.path.getsize(out) / 1e6:.2f} MB{note})")
    return 0


if __name__ == "__main__":
    sys.exit(outputs.run(main))
