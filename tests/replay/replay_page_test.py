#!/usr/bin/env python3
"""The replay page in a real browser: headless Chromium loads the pages made from a short
recorded match of pitch and from a real server's game log, and the test checks from each
page that every player of the match and the ball are drawn where the match has them (the
canvas's own pixels under each one are its colour) with the stamina the log has, that the
slider, the arrow keys and space move the drawing, and that the speed keys take effect. On
the game log, to which one goal is added, it also checks that the page opens at the step its
address names and that the goal's mark sits under the slider where that step is. Exit status
0 when all holds, 1 on a failure, 77 when no Chromium is installed (./test.sh installs it).

  replay_page_test.py [MATCH]                      the test (default: both matches above)
  replay_page_test.py RECORD --screenshot PNG [--frame N]
                                                   a picture of the page at step N instead
"""

import argparse
import gzip
import json
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
from browser import (Browser, BrowserError, Failure, check, find_chromium,  # noqa: E402
                     field_state as state, wait_for)

sys.path.insert(0, os.path.join(REPO, "scripts"))
from vornkit import matchlog  # noqa: E402

SAMPLE = os.path.join(REPO, "tests", "data", "gamelogs", "real-server-300.rcg.gz")
GOAL_LINE = "(team 250 vorn opp 1 0)\n"  # added before the show line of step 250

SKIP = 77
POSITION_TOLERANCE = 0.006  # metres: the page keeps centimetres
COLOUR_TOLERANCE = 40  # per channel, for anti-aliasing near the samples


def record_frames(path):
    return matchlog.read(path).steps


def pixels(b, points):
    return b.evaluate(
        "(() => { const c = document.getElementById('field').getContext('2d');"
        f" return {json.dumps(points)}.map(([x, y]) =>"
        " Array.from(c.getImageData(Math.round(x), Math.round(y), 1, 1).data)); })()")


def rgb(hexcolour):
    return [int(hexcolour[i:i + 2], 16) for i in (1, 3, 5)]


def check_drawing(b, frames):
    """What the page drew is the record's frame: the same players and ball in the same
    places, and the canvas shows each one's colour around its centre."""
    s = state(b)
    f = int(s["frame"])
    want = frames[f]
    drawn = {(d["side"], d["unum"]): d for d in s["drawn"] if d["kind"] == "player"}
    check(set(drawn) == {(p["side"], p["unum"]) for p in want["players"]},
          f"frame {f}: drawn players {sorted(drawn)} differ from the record's")
    for p in want["players"]:
        d = drawn[(p["side"], p["unum"])]
        check(abs(d["x"] - p["x"]) <= POSITION_TOLERANCE and abs(d["y"] - p["y"]) <= POSITION_TOLERANCE,
              f"frame {f}: {p['side']}{p['unum']} drawn at ({d['x']}, {d['y']}), "
              f"recorded at ({p['x']}, {p['y']})")
        check(d["goalie"] == bool(p.get("goalie")), f"frame {f}: {p['side']}{p['unum']} goalie flag")
        check(d.get("stamina") == (round(p["stamina"]) if "stamina" in p else None),
              f"frame {f}: {p['side']}{p['unum']} stamina {d.get('stamina')}, "
              f"not {p.get('stamina')}")
    balls = [d for d in s["drawn"] if d["kind"] == "ball"]
    check(len(balls) == 1, f"frame {f}: {len(balls)} balls drawn")
    ball = balls[0]
    check(abs(ball["x"] - want["ball"]["x"]) <= POSITION_TOLERANCE and
          abs(ball["y"] - want["ball"]["y"]) <= POSITION_TOLERANCE,
          f"frame {f}: ball drawn at ({ball['x']}, {ball['y']}), recorded at {want['ball']}")
    check(s["cycle"] == str(want["cycle"]) and s["mode"] == want["mode"],
          f"frame {f}: shows cycle {s['cycle']} {s['mode']}, record {want['cycle']} {want['mode']}")
    # Pixels: eight points on a ring inside each circle (the number sits at the centre, the
    # facing mark covers one side); most must carry the object's fill colour. The ball is
    # drawn last, so nothing covers it; a player may be partly covered by another.
    for d in s["drawn"]:
        ring = (0.5 if d["kind"] == "ball" else 0.7) * d["r"]
        offsets = [(1, 0), (0.7, 0.7), (0, 1), (-0.7, 0.7), (-1, 0), (-0.7, -0.7), (0, -1), (0.7, -0.7)]
        got = pixels(b, [[d["px"] + ring * dx, d["py"] + ring * dy] for dx, dy in offsets])
        hits = sum(all(abs(c - w) <= COLOUR_TOLERANCE for c, w in zip(px[:3], rgb(d["fill"])))
                   for px in got)
        check(hits >= (8 if d["kind"] == "ball" else 3),
              f"frame {f}: {d['kind']} {d.get('side', '')}{d.get('unum', '')} at canvas "
              f"({d['px']}, {d['py']}): only {hits} of 8 pixels in {d['fill']}: {got}")
    return s


def positions(s):
    return {(d["kind"], d.get("side"), d.get("unum")): (d["x"], d["y"]) for d in s["drawn"]}


def run_test(b, page, frames):
    b.open(page)
    first = check_drawing(b, frames)
    check(first["frame"] == "0", f"the page opens at frame {first['frame']}, not 0")
    # A click at three quarters of the slider's length jumps there, as a user's would.
    rect = b.evaluate("(() => { const r = document.getElementById('slider')"
                      ".getBoundingClientRect(); return [r.x, r.y, r.width, r.height]; })()")
    b.click(rect[0] + 0.75 * rect[2], rect[1] + rect[3] / 2)
    moved = check_drawing(b, frames)
    f = int(moved["frame"])
    check(abs(f - 0.75 * (len(frames) - 1)) <= 0.1 * len(frames),
          f"a click at 3/4 of the slider went to frame {f} of {len(frames)}")
    before, after = positions(first), positions(moved)
    shifted = [k for k in before if k in after and before[k] != after[k]]
    check(len(shifted) >= 5 and ("ball", None, None) in shifted,
          f"moving the slider from frame 0 to {f} moved only {shifted}")
    b.key("ArrowRight", "ArrowRight", 39)
    check(check_drawing(b, frames)["frame"] == str(f + 1), "the right arrow did not step forward")
    b.key("ArrowLeft", "ArrowLeft", 37)
    b.key("ArrowLeft", "ArrowLeft", 37)
    check(check_drawing(b, frames)["frame"] == str(f - 1), "the left arrow did not step back")
    b.key("8", "Digit8", 56)
    check(state(b)["speed"] == "8", "the key 8 did not set the speed to 8x")
    b.key("1", "Digit1", 49)
    # Playing: from the first step at 1x the page moves on by itself (it may reach the end
    # before the test looks again: the test only asks that it moved). At the end it stops.
    b.key("Home", "Home", 36)
    b.key(" ", "Space", 32)
    played = int(wait_for(b, lambda s: int(s["frame"]) >= 2, "playing after space")["frame"])
    b.key("End", "End", 35)
    wait_for(b, lambda s: s["playing"] == "false", "the playing stopped at the end")
    # Space again plays from the start, and once more pauses: nothing moves after that.
    b.key(" ", "Space", 32)
    b.key(" ", "Space", 32)
    paused = state(b)
    check(paused["playing"] == "false", "the second space did not pause")
    time.sleep(0.3)
    check(state(b)["frame"] == paused["frame"], "the page went on playing after the pause")
    check_drawing(b, frames)
    return played


def with_goal(tmp):
    """The sample game log with a goal for the left side at step 250."""
    with gzip.open(SAMPLE, "rt") as f:
        text = f.read()
    path = os.path.join(tmp, "goal.rcg")
    with open(path, "w") as f:
        f.write(text.replace("(show 250 ", GOAL_LINE + "(show 250 ", 1))
    return path


def check_address_and_goals(b, page, frames):
    """The page opened as page#step=N shows the first frame of step N; the goals' marks sit
    where the slider's thumb centre is at their frames, and a click on one goes there."""
    step = frames[len(frames) // 3]["step"]
    b.open(f"{page}?again#step={step}")  # a new address: only a fragment would not reload
    s = check_drawing(b, frames)
    check(int(s["step"]) == step, f"#step={step} opened the page at step {s['step']}")
    goals = [f for f in range(1, len(frames)) if frames[f]["score"] != frames[f - 1]["score"]]
    check(json.loads(s["goals"]) == goals, f"goal frames {s['goals']}, not {goals}")
    marks = b.evaluate("[...document.querySelectorAll('.goal')].map(e => {"
                       " const r = e.getBoundingClientRect();"
                       " return [r.x + r.width / 2, r.y + r.height / 2]; })")
    rect = b.evaluate("(() => { const r = document.getElementById('slider')"
                      ".getBoundingClientRect(); return [r.x, r.y, r.width, r.height]; })()")
    check(len(marks) == len(goals), f"{len(marks)} goal marks for {len(goals)} goals")
    for (x, y), f in zip(marks, goals):
        want = rect[0] + 8 + (rect[2] - 16) * f / (len(frames) - 1)
        check(abs(x - want) <= 3, f"the mark of the goal at frame {f} is at x {x}, not {want}")
        b.click(x, y)
        check(state(b)["frame"] == str(f), f"a click on the goal's mark did not go to frame {f}")


def main(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("record", nargs="?", help="a match: pitch's record or a game log")
    p.add_argument("--screenshot", metavar="PNG", help="write a picture of the page instead")
    p.add_argument("--frame", type=int, default=0, help="the step shown in the picture")
    a = p.parse_args(argv)
    chromium = find_chromium()
    if not chromium:
        print("SKIPPED: no chromium installed (./test.sh installs it)")
        return SKIP
    with tempfile.TemporaryDirectory(prefix="vorn-replaytest.") as tmp:
        matches = [a.record] if a.record else [os.path.join(HERE, "short-match.jsonl"),
                                                with_goal(tmp)]
        pages = []
        for i, match in enumerate(matches):
            pages.append(os.path.join(tmp, f"replay{i}.html"))
            subprocess.run([sys.executable, os.path.join(REPO, "scripts", "replay.py"), match,
                            "-o", pages[-1]], check=True, stdout=subprocess.DEVNULL)
        started = time.monotonic()
        try:
            b = Browser(chromium)
        except (BrowserError, OSError, KeyError) as e:
            print(f"FAIL: the browser did not start: {e}")
            return 1
        try:
            if a.screenshot:
                b.open(pages[0])
                b.evaluate(f"(() => {{ const s = document.getElementById('slider');"
                           f" s.value = {a.frame}; s.dispatchEvent(new Event('input')); }})()")
                b.screenshot(a.screenshot)
                print(f"screenshot: {a.screenshot} (frame {state(b)['frame']})")
                return 0
            done = []
            for match, page in zip(matches, pages):
                frames = record_frames(match)
                played = run_test(b, page, frames)
                if match.endswith((".rcg", ".gz")):
                    check_address_and_goals(b, page, frames)
                done.append(f"{os.path.basename(match)}: {len(frames)} frames drawn as recorded,"
                            f" play reached frame {played}")
        except (Failure, BrowserError) as e:
            print(f"FAIL: {match}: {e}")
            return 1
        finally:
            b.close()
    print(f"replay page: {'; '.join(done)}; slider, arrows, speed and play work; "
          f"{time.monotonic() - started:.1f} s in Chromium")
    print("1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
