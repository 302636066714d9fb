"""The match pages, replay and live, made of what they share and their own parts: page.html
beside the commands holds the head with the pages' look, the header, the canvas with its
legend and the field's drawing; a page's template (replay-page.html for scripts/replay.py,
live-page.html for scripts/live.py) holds the page's own parts, each after a line
<!--PART NAME-->, which go where page.html has <!--NAME-->: HEAD, HEADER, CONTROLS, HELP,
SCRIPT (a part left out is empty). Nothing is loaded from elsewhere.

  from vornkit import pages
  text = pages.page("replay-page.html", "vorn replay: match.rcg")  # OSError, ValueError
"""

import html
import os
import re

SCRIPTS = os.path.dirname(os.path.dirname(os.path.realpath(__file__)))
SHARED = os.path.join(SCRIPTS, "page.html")
PARTS = ("HEAD", "HEADER", "CONTROLS", "HELP", "SCRIPT")
MARK = re.compile(r"^<!--PART (\w+)-->\n", re.MULTILINE)
PLACE = re.compile(r"<!--(TITLE|" + "|".join(PARTS) + r")-->(\n?)")


def _read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def parts(path):
    """A page template's parts by name; the text before the first is the template's own
    comment and left out. ValueError naming the file for a part it has twice or that
    page.html has no place for."""
    pieces = MARK.split(_read(path))
    found = {}
    for name, text in zip(pieces[1::2], pieces[2::2]):
        if name not in PARTS or name in found:
            raise ValueError(f"{path}: a part {name} " + ("twice" if name in found else
                             f"that page.html has no place for (it has {', '.join(PARTS)})"))
        found[name] = text
    return found


def page(template, title):
    """The page of the template (a file name beside the commands) with the title: page.html
    with the template's parts in place. OSError when a file cannot be read, ValueError
    naming the file when one is not as said above."""
    path = os.path.join(SCRIPTS, template)
    own = parts(path)
    own["TITLE"] = html.escape(title)
    text = _read(SHARED)
    for name in own.keys() | set(PARTS):
        if text.count(f"<!--{name}-->") != 1:
            raise ValueError(f"{SHARED}: has no single place <!--{name}-->")

    def part(m):  # a part left out takes its placeholder's line with it
        text = own.get(m.group(1), "").rstrip("\n")
        return text + m.group(2) if text else ""

    return PLACE.sub(part, text)
