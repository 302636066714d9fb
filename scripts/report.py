#!/usr/bin/env python3
"""The report of a match as scripts/match.sh makes it once the match has ended: the
send-slot figures (scripts/slots.py), the match's figures (scripts/figures.py) and the
replay page (scripts/replay.py), each made as its own command makes it and saying what that
command says, in one Python process. One start for the three, not three: on a machine
loaded by a build or a series beside, a start of Python can take seconds, and the runner
ends within a bound after a signal or a team that ends.

  scripts/report.py DIR --record FILE --side l|r [--gamelog FILE] [--replay MATCH]
  scripts/report.py DIR --logs LOG... [--gamelog FILE] [--replay MATCH]

slots.json from pitch's record (vorn's side) or from the players' Vorne.log (the real
server); figures.json from the game log; replay.html of the match (pitch's record or the
game log), its panel from figures.json when that was made. A file whose maker fails is
removed rather than left half written, and the rest is still made. A stop (SIGINT, SIGTERM,
SIGHUP) ends it at once, the file being made removed. Status 0 when every file was made, 1
when one was not, 128 + the signal when stopped.
"""

import argparse
import os
import signal
import sys

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
import figures  # noqa: E402  (scripts/figures.py: the command, not vornkit's counting)
import replay  # noqa: E402
import slots  # noqa: E402
from vornkit import helptext  # noqa: E402
from vornkit import outputs  # noqa: E402

STOPS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)


class Stopped(Exception):
    def __init__(self, signum):
        super().__init__(signum)
        self.signum = signum


def stop(signum, _frame):
    raise Stopped(signum)


def made(path, main, argv):
    """Whether main(argv) made path; what it said is said (standard output first, as it
    goes). A maker that fails, or raises, leaves no part of path."""
    try:
        status = main(argv)
    except SystemExit as e:  # its arguments refused
        status = e.code if isinstance(e.code, int) else 1
    except Stopped:
        remove(path, said=False)
        raise
    except BrokenPipeError:
        raise
    except Exception as e:  # a fault of the maker: said, and the next one made
        print(f"report.py: {os.path.basename(path)}: {type(e).__name__}: {e}",
              file=sys.stderr)
        status = 1
    finally:
        sys.stdout.flush()
    if status == 0:
        return True
    remove(path, said=True)
    return False


def remove(path, said):
    if not os.path.isfile(path):
        return
    try:
        os.remove(path)
    except OSError:
        return
    if said:
        print(f"report.py: {path} was not made whole and is removed", file=sys.stderr)


def main(argv):
    p = helptext.ArgumentParser(
        formatter_class=argparse.RawDescriptionHelpFormatter,
        description=__doc__.split("\n\n")[0], epilog="\n\n".join(__doc__.split("\n\n")[2:]))
    p.add_argument("dir", metavar="DIR", help="the folder the files go into")
    source = p.add_mutually_exclusive_group()
    source.add_argument("--record", metavar="FILE", help="pitch's record (pitch --record)")
    source.add_argument("--logs", metavar="LOG", nargs="+",
                        help="the players' Vorne.log files (the real server)")
    p.add_argument("--side", choices=("l", "r"), help="vorn's side in the record")
    p.add_argument("--gamelog", metavar="FILE", help="the game log, for figures.json")
    p.add_argument("--replay", metavar="MATCH", help="the match to make replay.html of")
    a = p.parse_args(argv)
    if a.record and not a.side:
        p.error("--record needs --side")
    for signum in STOPS:
        signal.signal(signum, stop)
    out = {name: os.path.join(a.dir, name) for name in ("slots.json", "figures.json",
                                                         "replay.html")}
    try:
        whole = True
        if a.record or a.logs:
            source = [a.record, "--side", a.side] if a.record else ["--logs"] + a.logs
            whole = made(out["slots.json"], slots.main, source + ["--json", out["slots.json"]])
        panel = []
        if a.gamelog:
            if made(out["figures.json"], figures.main,
                    [a.gamelog, "--json", out["figures.json"]]):
                panel = ["--figures", out["figures.json"]]
            else:
                whole = False
        if a.replay:
            whole = made(out["replay.html"], replay.main,
                         [a.replay, "-o", out["replay.html"]] + panel) and whole
    except Stopped as s:
        return 128 + s.signum
    return 0 if whole else 1


if __name__ == "__main__":
    sys.exit(outputs.run(main))
