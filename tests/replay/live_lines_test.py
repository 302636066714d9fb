#!/usr/bin/env python3
"""What scripts/live.py makes of a monitor's lines: a show line of pitch, one of the real
server (empty slots and all), and lines it cannot read, each refused with ValueError or
skipped, never taken half; what carries over from line to line, and what not from one
session to the next."""

import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(HERE)), "scripts"))
import live  # noqa: E402

EMPTY = "((r 2) 0 0 6 -37 0 0 0 0 (v h 90) (fp 0 0) (s 8000 1 1 130600) (c 0 0 0 0 0 0 0 0 0 0 0 0))"
GOALIE = ("((l 1) 0 0x9 -50 0 0 0 12.5 0 (v h 90) (fp 0 0) (s 7935 1 1 130535) "
          "(c 0 3 1 0 1 0 0 0 0 0 0 0))")
POINTING = ("((r 7) 3 0x1 10.25 -3.5 0.1 0 -90 30 11 12 (v l 180) (fp 0 0) (s 4000.5 0.9 1 9000) "
            "(f l 3) (c 1 0 0 0 0 0 0 0 0 1 1 0))")

READ = [
    (f"(show 12 (pm 3) (tm vorn null 1 0) ((b) 1.5 -2 0.3 0) {GOALIE} {EMPTY} {POINTING})\0",
     {"t": 12, "mode": "play_on", "teams": ["vorn", ""], "score": [1, 0], "ball": [1.5, -2.0],
      "players": [["l", 1, -50.0, 0.0, 12, 7935.0, True],
                  ["r", 7, 10.25, -3.5, -90, 4000.5, False]]}),
    (f"(show 0 ((b) 0 0 0 0) {EMPTY})",  # the game log's form: no (pm), no (tm)
     {"t": 0, "mode": None, "teams": None, "score": None, "ball": [0.0, 0.0], "players": []}),
    # The state is hexadecimal also without its 0x: 19 is a goalie (0x8) who caught (0x10).
    ("(show 4 ((b) 0 0 0 0) ((l 1) 0 19 -50 0 0 0 0 0 (v h 90)))",
     {"t": 4, "mode": None, "teams": None, "score": None, "ball": [0.0, 0.0],
      "players": [["l", 1, -50.0, 0.0, 0, None, True]]}),
    ("(show 3 (pm 99) (tm a b 0 0) ((b) 0 0 0 0))",
     {"t": 3, "mode": "mode 99", "teams": ["a", "b"], "score": [0, 0], "ball": [0.0, 0.0],
      "players": []}),
]

REFUSED = [
    "(playmode 0 play_on)",
    "(show 1 (pm 3))",
    "(show x ((b) 0 0 0 0))",
    "(show 1 ((b) nan 0 0 0))",
    "(show 1 ((b) 0 inf 0 0))",
    "(show 1 ((b) 0 0 0 0) ((l 1) 0 0x1 -50))",
    "(show 1 ((b) 0 0 0 0) ((l 1) 0 0xz -50 0 0 0 0 0 (v h 90)))",
    "(show 1 ((b) 0 0 0 0) ((l) 0 0x1 -50 0 0 0 0 0 (v h 90)))",
    "(show 1 (tm a b one 0) ((b) 0 0 0 0))",
]


class Lines(unittest.TestCase):
    def test_read(self):
        for line, frame in READ:
            with self.subTest(line=line[:40]):
                self.assertEqual(live.parse_show(line), frame)

    def test_refused(self):
        for line in REFUSED:
            with self.subTest(line=line):
                with self.assertRaises((ValueError, IndexError)):
                    live.parse_show(line)

    def test_the_teams_and_mode_lines_carry_over(self):
        w = live.Watch("127.0.0.1:6000")
        for line in ["(playmode 40 goal_l)\0", "(team 40 vorn chasers 1 0)\0",
                     f"(show 40 ((b) 0 0 0 0) {GOALIE})\0", '(msg 40 1 "(result 2026 x)")\0']:
            w.line(line)
        f = w.frame
        self.assertEqual((f["t"], f["mode"], f["teams"], f["score"], f["shows"], w.message),
                         (40, "goal_l", ["vorn", "chasers"], [1, 0], 1, "(result 2026 x)"))

    def test_a_new_session_starts_clean(self):
        """A server restarted on the same port: nothing of the old match's lines carries
        over to the new one's, which sends a show line of the game log's form first."""
        w = live.Watch("127.0.0.1:6000")
        w.begin()
        for line in ["(team 6000 vorn chasers 0 3)\0", "(playmode 6000 time_over)\0",
                     f"(show 6000 ((b) 0 0 0 0) {GOALIE})\0", '(msg 6000 1 "(result x)")\0']:
            w.line(line)
        w.begin()
        w.line(f"(show 0 ((b) 0 0 0 0) {GOALIE})\0")
        f = w.frame
        self.assertEqual((f["t"], f["mode"], f["teams"], f["score"], f["shows"], f["session"],
                          w.message), (0, "", ["", ""], [0, 0], 1, 2, ""))


if __name__ == "__main__":
    unittest.main()
