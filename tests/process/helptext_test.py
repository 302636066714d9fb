#!/usr/bin/env python3
"""The installed help texts: what scripts/vornkit/helptext.py makes of the repository's names, how
it wraps what grew, the synopsis it gives help2man, and the commands it finds in a bin
folder.

  tests/process/helptext_test.py
"""
import os
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../scripts"))
from vornkit import helptext  # noqa: E402

NAMES = {"scripts/match.sh": "vorn-match", "scripts/start-team.sh": "vorn-start-team"}
# The repository's text, and what an installation in /usr shows.
REWRITES = [
    ("(scripts/start-team.sh), shows", "(vorn-start-team), shows"),
    ("timing (scripts/slots.py, also", "timing (/usr/share/vorn/scripts/slots.py, also"),
    ("see docs/series.md).", "see /usr/share/doc/vorn/docs/series.md)."),
    ("`build/bin/pitch --port 0` or build/bin", "`/usr/bin/pitch --port 0` or /usr/bin"),
    ("a copy of scripts/ and build/bin/", "a copy of /usr/share/vorn/scripts/ and /usr/bin/"),
    ("the README.md", "the /usr/share/doc/vorn/README.md"),
    ("$here/scripts/match.sh, tests/scripts/x.sh", "$here/scripts/match.sh, tests/scripts/x.sh"),
    ("the scripts and docs, BUILD/bin/TARGET", "the scripts and docs, BUILD/bin/TARGET"),
    ("  --bin B   where (default build/bin of the repository, or\n"
     "            the bin folder of the installation)", "  --bin B   where (default /usr/bin)"),
    ("GNU parallel (installed by scripts/install-deps.sh when missing), and",
     "GNU parallel, and"),
    ("  --pitch DIR     where pitch is (default the series' own: build/bin, or the installed\n"
     "                  one, whatever --bin says), so that two builds",
     "  --pitch DIR     where pitch is (default the series' own: /usr/bin, or where --bin\n"
     "                  says), so that two builds"),
    # a usage keeps its lines under the first option
    ("  scripts/match.sh [--a N]\n                   [--b]",
     "  vorn-match [--a N]\n             [--b]"),
    # a paragraph at the margin is filled anew; an option's text carries on under itself
    ("Runs scripts/match.sh\nand more.", "Runs vorn-match and more."),
    ("  --jobs J        matches at once, 1 to 64 (see docs/series.md), on each\n"
     "                  machine\n  --dir D         the folder",
     "  --jobs J        matches at once, 1 to 64 (see\n"
     "                  /usr/share/doc/vorn/docs/series.md), on each machine\n"
     "  --dir D         the folder"),
]
# A help text, the command, and the synopsis help2man is given.
MANUALS = [
    ("usage: vorn-replay [-h] [-o FILE]\n                   record\n\nTurn",
     "Usage: vorn-replay [-h] [-o FILE] record\n\nTurn"),
    ("Runs.\n\n  vorn-match [--a]\n              [--b]\n\n  --a  x",
     "Runs.\n\nUsage: vorn-match [--a] [--b]\n\n  --a  x"),
    ("Usage: Vorn [host [port]]\nThe field player", "Usage: Vorn [host [port]]\nThe field player"),
    ("Names vorn-match\nin a sentence.", "Names vorn-match\nin a sentence."),
]

failures = []
for before, after in REWRITES:
    got = helptext.rewrite(before, "/usr", NAMES)
    if got != after:
        failures.append(f"rewrite {before!r}: {got!r}, expected {after!r}")
for before, after in MANUALS:
    name = before.split()[1] if before.lower().startswith("usage:") else "vorn-match"
    got = helptext.manual(before, "Vorn" if "Vorn " in before else name)
    if got != after:
        failures.append(f"manual {before!r}: {got!r}, expected {after!r}")

# The commands are the links into share/vorn/scripts; other files and links are not.
with tempfile.TemporaryDirectory() as root:
    os.mkdir(os.path.join(root, "bin"))
    for name, target in (("vorn-match", "../share/vorn/scripts/match.sh"),
                         ("vorn-other", "../lib/other.sh"),
                         ("replay", "../share/vorn/scripts/replay.py")):
        os.symlink(target, os.path.join(root, "bin", name))
    open(os.path.join(root, "bin", "vorn-file"), "w").close()
    got = helptext.commands(root)
    if got != {"scripts/match.sh": "vorn-match"}:
        failures.append(f"commands: {got}")

for f in failures:
    print("FAIL:", f)
print(f"{len(REWRITES) + len(MANUALS) + 1 - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
