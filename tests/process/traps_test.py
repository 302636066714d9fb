#!/usr/bin/env python3
"""No command of our bash scripts expands two command substitutions of its own.

Bash (5.2, Debian 12's) runs a trap that is pending when it parses a command substitution
for its expansion, and parses the trap's text in the middle of that parse: the trap fails
with "unexpected EOF while looking for matching `)'", does not run, and the top-level
command it interrupted is dropped. A signal that comes while a command's first substitution
runs is pending when the second is parsed, so such a command loses it: soak.sh lost Ctrl-C
that way once in ten stops (its sample line read two /proc files in one echo) and played its
match on to the end. One substitution to a command leaves the trap to run between commands.
A substitution inside another one, or inside arithmetic of the command's own, counts as the
command's own only when it is expanded by the same shell (arithmetic), not in the child.

  tests/process/traps_test.py [FILE...]   (default every bash file of the repository)

Prints each command found, as FILE:LINE; status 0 when there is none, 1 otherwise.
"""

import os
import re
import sys

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def closing(text, i, quote):
    """The index after the quote that closes the one before i (or the end)."""
    j = text.find(quote, i)
    return len(text) if j < 0 else j + 1


def skipped(text, i, quoted):
    """The index past what starts at i and is read whole (an escaped character, a string in
    single quotes, a comment), or None."""
    c = text[i]
    if c == "\\":
        return i + 2
    if c == "'" and not quoted:
        return closing(text, i + 1, "'")
    if c == "#" and not quoted and (i == 0 or text[i - 1] in " \t\n;("):
        return closing(text, i, "\n") - 1
    return None


def substitution_end(text, i):
    """The index after the ')' that closes the substitution whose body starts at i; what is
    inside (quotes, nested substitutions, comments) is skipped whole."""
    depth, quoted = 1, False
    while i < len(text):
        j = skipped(text, i, quoted)
        if j is not None:
            i = j
            continue
        c = text[i]
        if c == '"':
            quoted = not quoted
        elif c == "(" and not quoted:
            depth += 1
        elif c == ")" and not quoted:
            depth -= 1
            if depth == 0:
                return i + 1
        elif text.startswith("$(", i) and quoted:
            i = substitution_end(text, i + 2)
            continue
        i += 1
    return i


def crowded(text):
    """The line numbers of the commands with two or more command (or process) substitutions
    expanded by the shell that runs the command."""
    found, count, first, quoted, arithmetic, i = [], 0, 0, False, 0, 0
    while i < len(text):
        j = skipped(text, i, quoted)
        if j is not None:
            i = j
        elif text.startswith("$((", i):
            arithmetic += 1
            i += 3
        elif arithmetic and text.startswith("))", i):
            arithmetic -= 1
            i += 2
        elif text.startswith("$(", i) or (not quoted and text[i:i + 2] in ("<(", ">(")):
            count += 1
            first = first or text.count("\n", 0, i) + 1
            i = substitution_end(text, i + 2)
        elif text.startswith("${", i):
            i = closing(text, i + 2, "}")
        else:
            if text[i] == '"':
                quoted = not quoted
            elif not quoted and not arithmetic and text[i] in ";|&\n(){}":
                if count >= 2:
                    found.append(first)
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
    ("x=$(a); y=$(b)", False),
    ("x=$(a)\ny=$(b)", False),
    ("x=$(a) && y=$(b)", False),
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
