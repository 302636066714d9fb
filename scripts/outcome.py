#!/usr/bin/env python3
"""The result of a match, from the server's game log (pitch's or the real server's): the
teams, the score, vorn's goals for and against, the cycle it ended at, the goalie's catches,
and whether the opponent stayed on the field to the end.

  scripts/outcome.py GAMELOG --side left|right [--opponent-stays]

  --side S           vorn's side: the other is the opponent's
  --opponent-stays   the match is invalid when the opponent never had a player on the field,
                     or had fewer at time over than it once had (its players left early)

Prints one line and ends with status 0, such as

  result: vorn 2 : 1 scripted (vorn on the left), cycle 600 (time_over)

or, for a match that is invalid, "invalid: REASON" with status 3. A file that holds no match
that can be read: one line on standard error and status 1.
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))  # vornkit beside
from vornkit import helptext  # noqa: E402
from vornkit import ending  # noqa: E402
from vornkit import matchlog  # noqa: E402
from vornkit import outcome  # noqa: E402


def main(argv):
    p = helptext.ArgumentParser(prog="outcome.py", description=__doc__,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("gamelog")
    p.add_argument("--side", choices=("left", "right"), required=True)
    p.add_argument("--opponent-stays", action="store_true")
    a = p.parse_args(argv)
    try:
        r = outcome.outcome(matchlog.read(a.gamelog), a.side, a.opponent_stays)
    except matchlog.MatchError as e:
        print(f"outcome.py: {a.gamelog}: {e}", file=sys.stderr)
        return 1
    print(outcome.line(r, a.side))
    return ending.INVALID if r["invalid"] else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
