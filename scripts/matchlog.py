#!/usr/bin/env python3
"""What a match file holds, in one line: its kind, steps, teams, final score and last cycle.

  scripts/matchlog.py MATCH

MATCH is pitch's record (JSON lines) or a game log (.rcg or .rcg.gz) of any server; how it
is read is scripts/vornkit/matchlog.py's. Status 1 when it cannot be read, with the reason.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
from vornkit.matchlog import MatchError, read  # noqa: E402


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
