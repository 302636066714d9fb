#!/usr/bin/env python3
"""real_server.py -- where the bench tools find the real soccer server.

One rule for every tool of bench/ that plays on the real server: the binary named with
--real-server PATH (or its short form --server PATH), else the one in the environment
variable REAL_SERVER. No place is assumed: without either, the tool says so and exits
with status 3 (a check that cannot be made). docs/pitch.md says how to build one.

  bench/real_server.py [--real-server PATH]   the real server this rule finds, or why none

Exit status: 0 when a real server is found and is a program, 2 when the one named is not a
program, 3 when none is named.
"""

import os
import sys

ENV = "REAL_SERVER"
NOT_NAMED = 3  # the exit status of a tool that has no real server to play on
HELP = (f"--real-server PATH  the real server's binary (also --server PATH; default: ${ENV};\n"
        f"                    no place is assumed)")


def add_option(parser):
    """Adds --real-server PATH (and --server PATH) to an argparse parser, as "real_server"."""
    parser.add_argument("--real-server", "--server", dest="real_server", metavar="PATH")


def find(given):
    """(path, error): the real server named on the command line (given) or in REAL_SERVER;
    error says why there is none to use (path None), else is None."""
    path = given or os.environ.get(ENV)
    if not path:
        return None, (f"no real server to compare with: name its binary with --real-server "
                      f"PATH or {ENV} (docs/pitch.md says how to build one)")
    if not (os.path.isfile(path) and os.access(path, os.X_OK)):
        return None, f"the real server {path} is not a program"
    return os.path.abspath(path), None


def main(argv):
    if argv[:1] in (["-h"], ["--help"]):
        print(__doc__.strip())
        return 0
    given = None
    if argv[:1] in (["--real-server"], ["--server"]) and len(argv) == 2:
        given = argv[1]
    elif argv:
        print("real_server.py: usage: real_server.py [--real-server PATH]", file=sys.stderr)
        return 2
    path, error = find(given)
    if error:
        print(f"real_server.py: {error}", file=sys.stderr)
        return 2 if (given or os.environ.get(ENV)) else NOT_NAMED
    print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
