#!/usr/bin/env python3
"""Reports how the goalie of one side played, from pitch's match record (JSON lines) or a
game log (.rcg or .rcg.gz) of pitch or of any other server.

  scripts/goalie-report.py MATCH [--side l|r] [--unum N]

  --side S   the goalie's side (default l, where scripts/match.sh puts vorn)
  --unum N   the goalie's uniform number (default 1)

Prints the score (left : right), the goalie's catches (a catch command in play_on after
which the play mode becomes a free kick for its side), its catch faults (the mode becomes
catch_fault for its side), its catch commands in play_on that caught nothing, the share of
play_on cycles in which it stood inside its own penalty area, and the play_on cycles in
which it stood off the field (behind a goal line or beyond a touch line). A game log has
no commands, only how many of each the server carried out: a catch there is a step after
which the goalie's count of catches rose or its state shows the catch bit (a real server
counts only the catches that reach the ball). A file that holds no match is refused with one
line and status 1.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))  # vornkit beside
from vornkit import helptext  # noqa: E402
from vornkit import matchlog  # noqa: E402
from vornkit import outputs  # noqa: E402
from vornkit import showline  # noqa: E402

# The penalty area: 16.5 m deep from the goal line at |x| = 52.5, 40.32 m wide.
AREA_DEPTH_X = 36.0
GOAL_LINE_X = 52.5
AREA_HALF_WIDTH = 20.16
TOUCH_LINE_Y = 34.0


def inarea(side, x, y):
    ownx = -x if side == "r" else x
    return -GOAL_LINE_X <= ownx <= -AREA_DEPTH_X and abs(y) <= AREA_HALF_WIDTH


def report(match, side, unum):
    playon = inside = off = 0
    score = [0, 0]
    for r in match.steps:
        score = r["score"]
        if r["mode"] == "play_on":
            for p in r["players"]:
                if p["side"] == side and p["unum"] == unum:
                    playon += 1
                    inside += inarea(side, p["x"], p["y"])
                    off += abs(p["x"]) > GOAL_LINE_X or abs(p["y"]) > TOUCH_LINE_Y
    c = matchlog.catches(match, side, unum)
    share = 100.0 * inside / playon if playon else 0.0
    print(f"score: {score[0]} : {score[1]} (left : right)")
    print(f"catches: {c['catches']}")
    print(f"catch faults: {c['catch_faults']}")
    print(f"catch commands in play_on without a catch: {c['failed']}")
    print(f"play_on cycles: {playon}; goalie inside its own penalty area: {inside} ({share:.1f}%)")
    print(f"play_on cycles with the goalie off the field: {off}")


def main(argv):
    side, unum, path = "l", 1, None
    args = list(argv)
    while args:
        a = args.pop(0)
        if a in ("--help", "-h"):
            print(helptext.text(__doc__.strip()))
            return 0
        value = args.pop(0) if a in ("--side", "--unum") and args else None
        if a == "--side" and value in ("l", "r"):
            side = value
        elif a == "--unum" and value in showline.UNUM_WORDS:
            unum = showline.UNUM_WORDS[value]
        elif a in ("--side", "--unum"):
            what = "l or r" if a == "--side" else "a whole number from 1 to 11"
            problem = "needs a value" if value is None else f"must be {what}, not '{value}'"
            print(f"goalie-report.py: {a} {problem}", file=sys.stderr)
            return 2
        elif path is None and not a.startswith("-"):
            path = a
        else:
            print(f"goalie-report.py: unexpected argument '{a}' (see --help)", file=sys.stderr)
            return 2
    if path is None:
        print("goalie-report.py: a record is needed (see --help)", file=sys.stderr)
        return 2
    try:
        match = matchlog.read(path)
    except matchlog.MatchError as e:
        print(f"goalie-report.py: {path}: {e}", file=sys.stderr)
        return 1
    report(match, side, unum)
    return 0


if __name__ == "__main__":
    sys.exit(outputs.run(main))
