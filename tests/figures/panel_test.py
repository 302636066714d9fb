#!/usr/bin/env python3
"""The figures' panel of the replay page in a real browser: headless Chromium opens the page
of the real server's sample game log, with a goal added and ten steps before the kick-off
put in front, its figures taken (--figures) from the same log without those ten steps, as
scripts/match.sh takes a game log's figures for the page of a record. The panel must show
the figures' rows as scripts/figures.py makes them, and its goal must link to the goal's
step of the page's own match: a click shows that step. Exit status 0 when all holds, 1 on a
failure, 77 when no Chromium is installed (./test.sh installs it).
"""

import gzip
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO, "tests", "replay"))
sys.path.insert(0, os.path.join(REPO, "scripts"))
from browser import Browser, BrowserError, find_chromium  # noqa: E402
import figures  # noqa: E402
import matchlog  # noqa: E402

SAMPLE = os.path.join(REPO, "tests", "data", "gamelogs", "real-server-300.rcg.gz")
EARLY = 10  # steps put before the kick-off
SKIP = 77


def logs(tmp):
    """The sample with a goal at step 250, and the same with EARLY steps before the
    kick-off, as files."""
    with gzip.open(SAMPLE, "rt") as f:
        text = f.read().replace("(show 250 ", "(team 250 vorn opp 1 0)\n(show 250 ", 1)
    first = text[text.index("(show 1 "):text.index("\n", text.index("(show 1 ")) + 1]
    early = "(playmode 0 before_kick_off)\n" + first.replace("(show 1 ", "(show 0 ") * EARLY
    paths = [os.path.join(tmp, name) for name in ("goal.rcg", "early.rcg")]
    shifted = text.replace("(playmode 1 ", early + "(playmode 1 ", 1)
    for path, content in zip(paths, (text, shifted)):
        with open(path, "w") as f:
            f.write(content)
    return paths


def main():
    chromium = find_chromium()
    if not chromium:
        print("SKIPPED: no chromium installed (./test.sh installs it)")
        return SKIP
    with tempfile.TemporaryDirectory(prefix="vorn-paneltest.") as tmp:
        goal, early = logs(tmp)
        json_file, page = os.path.join(tmp, "figures.json"), os.path.join(tmp, "replay.html")
        script = os.path.join(REPO, "scripts")
        subprocess.run([sys.executable, os.path.join(script, "figures.py"), goal, "--json",
                        json_file], check=True, stdout=subprocess.DEVNULL)
        subprocess.run([sys.executable, os.path.join(script, "replay.py"), early, "-o", page,
                        "--figures", json_file], check=True, stdout=subprocess.DEVNULL)
        want = figures.rows(figures.figures(matchlog.read(goal)))
        try:
            b = Browser(chromium)
        except (BrowserError, OSError, KeyError) as e:
            print(f"FAIL: the browser did not start: {e}")
            return 1
        try:
            b.open(page)
            shown = b.evaluate("[...document.querySelectorAll('#figures tr')].map(r =>"
                               " [...r.cells].map(c => c.textContent))")
            link = b.evaluate("(() => { const a = document.querySelector('#figures-goals a');"
                              " a.scrollIntoView({block: 'center'});"
                              " const r = a.getBoundingClientRect();"
                              " return [a.textContent, a.getAttribute('href'),"
                              " r.x + r.width / 2, r.y + r.height / 2]; })()")
            b.click(link[2], link[3])
            deadline, step = time.monotonic() + 10, None
            while time.monotonic() < deadline and step != str(250 + EARLY):
                step = b.evaluate("document.getElementById('field').dataset.step")
                time.sleep(0.05)
        except BrowserError as e:
            print(f"FAIL: {e}")
            return 1
        finally:
            b.close()
    got = (shown, link[:2], step)
    expected = ([["figures"] + want[0][1:]] + want[1:],
                ["cycle 250 vorn, own goal by opp 5", f"#step={250 + EARLY}"], str(250 + EARLY))
    if got != expected:
        print(f"FAIL: the panel shows {got}\n  expected {expected}")
        return 1
    print(f"figures' panel: {len(shown) - 1} rows as figures.py makes them; the goal links to "
          f"step {step} of the page's match")
    print("1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    if len(sys.argv) > 1 and sys.argv[1] in ("--help", "-h"):
        print(__doc__.strip())
        sys.exit(0)
    sys.exit(main())
