#!/usr/bin/env python3
"""The figures' panel of the replay page in headless Chromium: the page of the real server's
sample with a goal added and ten steps put before the kick-off, its figures (--figures) taken
from the same log without those steps, as scripts/match.sh gives a record's page a game log's
figures. The panel must show figures.py's rows, and its goal must link to the goal's step of
the page's own match. Exit status 0 when all holds, 1 on a failure, 77 without Chromium.
"""
import gzip
import os
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path[:0] = [os.path.join(REPO, "tests", "replay"), os.path.join(REPO, "scripts")]
from browser import Browser, BrowserError, find_chromium  # noqa: E402
from vornkit import figures  # noqa: E402
from vornkit import matchlog  # noqa: E402

SAMPLE = os.path.join(REPO, "tests", "data", "gamelogs", "real-server-300.rcg.gz")
EARLY = 10  # steps put before the kick-off
PANEL = ("[...document.querySelectorAll('#figures tr')].map(r => [...r.cells].map(c =>"
         " c.textContent))")
LINK = ("(() => { const a = document.querySelector('#figures-goals a');"
        " a.scrollIntoView({block: 'center'}); const r = a.getBoundingClientRect();"
        " return [a.textContent, a.getAttribute('href'), r.x + r.width / 2, r.y + r.height / 2];"
        " })()")


def run(tmp, chromium):
    with gzip.open(SAMPLE, "rt") as f:
        text = f.read().replace("(show 250 ", "(team 250 vorn opp 1 0)\n(show 250 ", 1)
    first = text[text.index("(show 1 "):text.index("\n", text.index("(show 1 ")) + 1]
    early = "(playmode 0 before_kick_off)\n" + first.replace("(show 1 ", "(show 0 ") * EARLY
    goal, shifted, data, page = (os.path.join(tmp, n) for n in ("g", "e", "f.json", "p.html"))
    for path, content in ((goal, text), (shifted, text.replace("(playmode 1 ", early +
                                                                "(playmode 1 "))):
        with open(path, "w") as f:
            f.write(content)
    for script, args in (("figures.py", [goal, "--json", data]),
                         ("replay.py", [shifted, "-o", page, "--figures", data])):
        subprocess.run([sys.executable, os.path.join(REPO, "scripts", script), *args], check=True,
                       stdout=subprocess.DEVNULL)
    b = Browser(chromium)
    try:
        b.open(page)
        shown, link = b.evaluate(PANEL), b.evaluate(LINK)
        b.click(link[2], link[3])
        deadline, step = time.monotonic() + 10, None
        while time.monotonic() < deadline and step != str(250 + EARLY):
            step = b.evaluate("document.getElementById('field').dataset.step")
            time.sleep(0.05)
    finally:
        b.close()
    rows = figures.rows(figures.figures(matchlog.read(goal)))
    return (shown, link[:2], step), ([["figures"] + rows[0][1:]] + rows[1:],
                                     ["cycle 250 vorn, own goal by opp 5", "#step=260"], "260")


def main():
    chromium = find_chromium()
    if not chromium:
        print("SKIPPED: no chromium installed (./test.sh installs it)")
        return 77
    with tempfile.TemporaryDirectory(prefix="vorn-paneltest.") as tmp:
        try:
            got, want = run(tmp, chromium)
        except (BrowserError, OSError, KeyError) as e:
            print(f"FAIL: the browser: {e}")
            return 1
    if got != want:
        print(f"FAIL: the panel shows {got}\n  expected {want}")
        return 1
    print(f"figures' panel: {len(got[0]) - 1} rows as figures.py makes them; the goal links to "
          f"step {got[2]} of the page's match\n1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main() if sys.argv[1:] not in (["--help"], ["-h"]) else print(__doc__.strip()))
