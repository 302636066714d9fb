#!/usr/bin/env python3
"""The help texts of the commands, in the names their reader has.

In the repository a help text names the repository's paths: scripts/match.sh, build/bin,
docs/series.md. Installed (the scripts in PREFIX/share/vorn/scripts), the same text names
what an installation has instead:

  scripts/NAME        the command PREFIX/bin/vorn-... that links to it (vorn-match), or
                      PREFIX/share/vorn/scripts/NAME for a script that is no command
  build/bin           PREFIX/bin
  docs/NAME           PREFIX/share/doc/vorn/docs/NAME, and README.md beside docs/

The commands are found from their links in PREFIX/bin, so the list of commands in
packaging/install.cmake is the only one. A few phrases that only make sense in the
repository are put in other words first (PHRASES). Used by usage() in common.sh and by the
Python commands:

  ... | python3 scripts/vornkit/helptext.py  the text on standard input, for this installation
  helptext.text(s)                       the same for a string
  helptext.ArgumentParser(...)           argparse's parser, its help and usage so rewritten
  ... | python3 scripts/vornkit/helptext.py --manual NAME
                                         the usage lines of NAME as one "Usage: NAME ..."
                                         line, the synopsis of its manual page (help2man)

VORN_HELP_PREFIX names another PREFIX for the texts than the one the scripts lie in: the
manual pages are made before installing, from a stage in the build folder.
"""

import argparse
import os
import re
import sys
import textwrap

HERE = os.path.dirname(os.path.realpath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))  # the repository, or PREFIX/share/vorn

# Phrases of the repository and what they say installed, PREFIX standing for the prefix.
# A space stands for any run of white space, line ends and indentation included.
PHRASES = (
    ("build/bin of the repository, or the bin folder of the installation", "PREFIX/bin"),
    ("build/bin, or the installed ones", "PREFIX/bin"),
    ("build/bin, or the installed one, whatever --bin says", "PREFIX/bin, or where --bin says"),
    (" (installed by scripts/install-deps.sh when missing)", ""),
)
# A repository path, not part of a longer path or word: README.md, build/bin, or a path in
# scripts/ or docs/ (ending in a letter or digit, not in the punctuation after it).
PATH = re.compile(r"(?<![\w./-])(README\.md|build/bin(?:/[\w.-]*\w)?/?"
                  r"|(?:scripts|docs)/(?:[\w.-]*\w)?)")
# Where the repository's folders and files are installed, below the prefix.
INSTALLED = (
    ("build/bin", "bin"),
    ("scripts", "share/vorn/scripts"),
    ("docs", "share/doc/vorn/docs"),
    ("README.md", "share/doc/vorn/README.md"),
)
# An option's line in a help text: the option, two spaces or more, its text.
OPTION_LINE = re.compile(r"(\s*-\S.*?\s{2,})\S")
# A usage line of a script's help text: indentation, then the script and a space.
USAGE_LINE = re.compile(r"(\s+(\S+) )")
# Paragraphs, and the blank lines between them (kept).
PARAGRAPHS = re.compile(r"(\n(?:[ \t]*\n)+)")


def installed_root():
    """The folder the installation's bin/ and share/ lie in; None in the repository."""
    if os.path.isfile(os.path.join(TOP, "CMakeLists.txt")):
        return None
    return os.path.dirname(os.path.dirname(TOP))


def commands(root):
    """{"scripts/match.sh": "vorn-match", ...}: the commands' links in root/bin."""
    found, bindir = {}, os.path.join(root, "bin")
    try:
        names = os.listdir(bindir)
    except OSError:
        return found
    for name in names:
        if name.startswith("vorn-"):
            try:
                target = os.readlink(os.path.join(bindir, name))
            except OSError:  # no link
                continue
            if target.startswith("../share/vorn/scripts/"):
                found["scripts/" + os.path.basename(target)] = name
    return found


def indent(line):
    return len(line) - len(line.lstrip())


def hanging(line):
    """Where the lines that carry on line start: under the text of an option's line
    ("  --dir D   the match folder"), else under line itself."""
    m = OPTION_LINE.match(line)
    return len(m.group(1)) if m else indent(line)


def reflow(lines, width):
    """The lines, none longer than width where a space allows: the words past it go to the
    start of the next line when that line carries on the same text, else onto a line of
    their own below."""
    lines, out = list(lines), []
    while lines:
        line = lines.pop(0)
        cut = line.rfind(" ", hanging(line) + 1, width + 1) if len(line) > width else -1
        if cut > indent(line):
            rest = line[cut:].strip()
            line, below = line[:cut].rstrip(), hanging(line)
            if lines and lines[0].strip() and indent(lines[0]) == below and \
                    not lines[0].lstrip().startswith("-"):
                lines[0] = " " * below + rest + " " + lines[0].lstrip()
            else:
                lines.insert(0, " " * below + rest)
        out.append(line)
    return out


def realign(before, lines):
    """A usage whose first line named scripts/NAME and now names a command: the lines after
    it that start with "[" are moved back under the first option again."""
    old, new = USAGE_LINE.match(before), USAGE_LINE.match(lines[0])
    if not (old and new and old.group(2).startswith("scripts/")):
        return lines
    shift = len(new.group(1)) - len(old.group(1))
    return [lines[0]] + [" " * max(0, indent(line) + shift) + line.lstrip()
                         if line.lstrip().startswith("[") else line for line in lines[1:]]


def rewrite(s, prefix, names):
    """s with the repository's names replaced: prefix is the installation's (/usr), names
    maps scripts/NAME to the command. A paragraph that changed is wrapped again within the
    text's widest line (80 at least): an unindented one filled anew, an indented one (the
    options, a usage) only where a line grew too long."""
    width = max([80] + [len(line) for line in s.split("\n")])

    def one(m):
        path = m.group(1)
        if path in names:
            return names[path]
        for repo, installed in INSTALLED:
            if path == repo or path.startswith(repo + "/"):
                return prefix + "/" + installed + path[len(repo):]
        return path

    out = []
    for part in PARAGRAPHS.split(s):
        new = part
        for phrase, shown in PHRASES:
            pattern = r"\s+".join(re.escape(w) for w in phrase.split(" "))
            new = re.sub(pattern, lambda m: shown.replace("PREFIX", prefix), new)
        new = PATH.sub(one, new)
        if new != part:
            end = "\n" if new.endswith("\n") else ""
            lines = new[:len(new) - len(end)].split("\n")
            if any(indent(line) for line in lines if line.strip()):
                lines = reflow(realign(part, lines), width)
            else:
                lines = textwrap.wrap(" ".join(lines), width, break_long_words=False,
                                      break_on_hyphens=False)
            new = "\n".join(lines) + end
        out.append(new)
    return "".join(out)


def text(s):
    """s as this installation names things; unchanged in the repository."""
    root = installed_root()
    if root is None:
        return s
    return rewrite(s, os.environ.get("VORN_HELP_PREFIX") or root, commands(root))


class ArgumentParser(argparse.ArgumentParser):
    """argparse's parser whose help and usage name the installed commands."""

    def format_help(self):
        return text(super().format_help())

    def format_usage(self):
        return text(super().format_usage())


def manual(s, name):
    """s with its usage joined into one line "Usage: NAME ...", as help2man takes a synopsis:
    the first line that starts with "usage:" and the indented lines after it (argparse), or
    else the first indented line that starts with NAME and the lines after it that are
    indented further and start with "[" (the scripts' help texts)."""
    lines = s.split("\n")
    for i, line in enumerate(lines):
        words = line.split()
        if line.lower().startswith("usage:"):
            words, depth, bracket = words[1:], 0, False
        elif indent(line) and words[:1] == [name]:
            depth, bracket = indent(line), True
        else:
            continue
        end = i + 1
        while end < len(lines) and lines[end].strip() and indent(lines[end]) > depth and (
                not bracket or lines[end].lstrip().startswith("[")):
            words += lines[end].split()
            end += 1
        return "\n".join(lines[:i] + ["Usage: " + " ".join(words)] + lines[end:])
    return s


def main(argv):
    if argv[:1] == ["--manual"] and len(argv) == 2:
        sys.stdout.write(manual(sys.stdin.read(), argv[1]))
        return 0
    if argv:
        print(__doc__.strip())
        return 0 if argv[0] in ("--help", "-h") else 2
    sys.stdout.write(text(sys.stdin.read()))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
