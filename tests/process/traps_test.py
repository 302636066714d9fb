#!/usr/bin/env python3
"""No command of our bash scripts expands two command substitutions of its own: bash 5.2
runs a trap pending when it parses a substitution inside that parse, where the trap fails
and the command is dropped, so a signal that comes during a command's first substitution is
lost (docs/reliability.md, "A trap that bash drops").

  tests/process/traps_test.py [FILE...]   (default every bash file of the repository)

Prints each command found, as FILE:LINE; status 0 when there is none, 1 otherwise.
"""

import os
import re
import sys

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def crowded(text):
    """The first lines of the commands with two or more substitutions ($(...), <(...),
    >(...)) of their own: expanded by the shell that runs the command, not by a child."""
    found, count, first, quoted, arith, subs, i = [], 0, 0, False, 0, [], 0
    while i < len(text):
        c, at = text[i], text.startswith
        if c == "\\":
            i += 2
        elif not quoted and (c == "'" or c == "#" and text[i - 1:i] in ("", " ", "\t", "\n", ";")):
            end = text.find("'" if c == "'" else "\n", i + 1)  # a string or a comment
            i = len(text) if end < 0 else end + (c == "'")
        elif not subs and at("${", i):
            i = (text.find("}", i) + 1) or len(text)
        elif not subs and at("$((", i):
            arith, i = arith + 1, i + 3
        elif not subs and arith and at("))", i):
            arith, i = arith - 1, i + 2
        elif at("$(", i) or not quoted and text[i:i + 2] in ("<(", ">("):
            if not subs:
                count, first = count + 1, first or text.count("\n", 0, i) + 1
            subs.append([quoted, 1])  # the quoting around it, its open parentheses
            quoted, i = False, i + 2
        else:
            if c == '"':
                quoted = not quoted
            elif subs and not quoted and c in "()":
                subs[-1][1] += 1 if c == "(" else -1
                if subs[-1][1] == 0:
                    quoted = subs.pop()[0]
            elif not subs and not quoted and not arith and c in ";|&\n(){}":
                found += [first] if count >= 2 else []
                count, first = 0, 0
            i += 1
    return found + ([first] if count >= 2 else [])


def bash_files():
    """The repository's bash files (by name or first line), its build folders left out."""
    for top, folders, files in os.walk(REPO):
        folders[:] = sorted(f for f in folders if f != ".git" and not f.startswith("build"))
        for name in sorted(files):
            path = os.path.join(top, name)
            with open(path, "rb") as f:
                head = f.readline(200)
            if name.endswith(".sh") or re.match(rb"#!.*\bbash\b", head):
                yield os.path.relpath(path, REPO)


# The scanner's own cases: each command, and whether it must be found.
CASES = [
    ('echo "$(a) $(b)"', True),
    ("x=$(a) y=$(b)", True),
    ('echo "$1 $(a)" \\\n  "$(b)" >>file', True),
    ("diff <(a) <(b)", True),
    ('n=$((1 + $(a))) m=$(b)', True),
    ('here=$(cd "$(dirname "$0")/.." && pwd)', False),
    ("x=$(a); y=$(b) && z=$(c)\nw=$(d) | v $(e)", False),
    ("awk '{print $(NF - 1)}' $(a)", False),
    ("echo '$(a)' $(b)  # $(c)", False),
    ('run "${x:+y}" $(a) \\\n  -- $(b) || die', True),
    ("x=(${y[@]}) $(a); z=$(b)", False),
]


def main(argv):
    if argv[:1] in (["-h"], ["--help"]):
        print(__doc__.strip())
        return 0
    wrong = [(text, expected) for text, expected in CASES if bool(crowded(text)) != expected]
    for text, expected in wrong:
        print(f"the scanner {'missed' if expected else 'found'}: {text!r}")
    bad = 0
    for name in argv or list(bash_files()):
        with open(os.path.join(REPO, name), encoding="latin-1") as f:
            for line in crowded(f.read()):
                print(f"{name}:{line}: two command substitutions in one command")
                bad += 1
    print(f"{bad} commands with two command substitutions")
    return 1 if bad or wrong else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
