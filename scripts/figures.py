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
import os
import sys
import textwrap

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))  # vornkit beside
from vornkit import helptext  # noqa: E402
from vornkit import matchlog  # noqa: E402
from vornkit import outputs  # noqa: E402
from vornkit import figures  # noqa: E402  (the counting; this is the command)


def table(f):
    """The figures as lines of text: the rows in columns, the notes, the goals."""
    cells = figures.rows(f)
    width = [max(len(row[c]) for row in cells) for c in range(3)]
    width[1:] = [max(6, w) for w in width[1:]]
    lines = [f"{a:{width[0]}}  {b:>{width[1]}}  {c:>{width[2]}}".rstrip() for a, b, c in cells]
    lines += [line for note in figures.notes(f) for line in textwrap.wrap(note, 100)]
    scored = [f"cycle {g['cycle']}: {g['text']}" for g in figures.goals(f)]
    lines += textwrap.wrap("Goals: " + ("; ".join(scored) or "none") + ".", 100,
                           subsequent_indent="  ")
    return lines


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
        f = figures.figures(matchlog.read(a.match))
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
