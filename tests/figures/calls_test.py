#!/usr/bin/env python3
"""The referee's calls from a text log (scripts/matchlog.py), counted by kind and side, the
ball's steps in each third (scripts/figures.py), and the whole-match comparison of the two
servers (bench/servers_compare.py) on small fixed tables.

  calls_test.py
"""

import gzip
import os
import shutil
import sys
import tempfile
import types
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO, "scripts"))
sys.path.insert(0, os.path.join(REPO, "bench"))
from vornkit import figures  # noqa: E402
from vornkit import matchlog  # noqa: E402
import servers_compare  # noqa: E402

SAMPLE = os.path.join(REPO, "tests", "data", "gamelogs", "real-server-300.rcg.gz")

TEXT_LOG = ("0,0\tRecv vorn_1: (init vorn(version 6.02)(goalie))\n"
            "0,43\t(referee kick_off_l)\n"
            "12,0\tRecv vorn_2: (say (referee goal_r_1))\n"
            "13,0\t(referee offside_l)\r\n"
            "(referee drop_ball)\n"
            "40,2\t(referee goal_r_1)\n"
            "41,0\t(referee kick_in_r)\n")
CALLS = [(0, "kick_off_l"), (13, "offside_l"), (40, "goal_r_1"), (41, "kick_in_r")]


class Calls(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="calls-test.")

    def tearDown(self):
        shutil.rmtree(self.dir)

    def write(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def test_referee_calls(self):
        packed = gzip.compress(TEXT_LOG.encode())
        cases = [  # (file, its bytes, the calls read)
            ("plain.rcl", TEXT_LOG.encode(), CALLS),
            ("packed.rcl.gz", packed, CALLS),
            ("cut.rcl.gz", packed[:len(packed) - 12], None),  # some calls, no error
            ("empty.rcl", b"", []),
        ]
        for name, data, want in cases:
            with self.subTest(name):
                got = matchlog.referee_calls(self.write(name, data))
                self.assertEqual(got, want if want is not None else CALLS[:len(got)])
        with self.assertRaises(matchlog.MatchError):
            matchlog.referee_calls(os.path.join(self.dir, "missing.rcl"))

    def test_callcounts(self):
        words = ["kick_off_l", "goal_l_1", "goal_l_2", "goal_r_1", "offside_r", "back_pass_l",
                 "goalie_catch_ball_r", "free_kick_fault_l", "drop_ball", "play_on",
                 "time_over"]
        self.assertEqual(figures.callcounts([(i, w) for i, w in enumerate(words)]), {
            "l": {"kick_off": 1, "goal": 2, "back_pass": 1, "free_kick_fault": 1},
            "r": {"goal": 1, "offside": 1, "goalie_catch_ball": 1},
            "other": {"drop_ball": 1, "play_on": 1, "time_over": 1}})

    def test_thirds(self):
        cases = [  # (mode, ball x, [left, middle, right])
            ("play_on", -17.6, [1, 0, 0]), ("play_on", -17.5, [0, 1, 0]),
            ("play_on", 0.0, [0, 1, 0]), ("play_on", 17.5, [0, 1, 0]),
            ("play_on", 17.6, [0, 0, 1]), ("kick_in_l", 40.0, [0, 0, 0]),
        ]
        for mode, x, want in cases:
            with self.subTest(mode=mode, x=x):
                match = types.SimpleNamespace(steps=[{"mode": mode, "ball": {"x": x}}])
                self.assertEqual(figures.thirds(match), want)

    def test_sides(self):
        """vorn on the right takes the right's figures; the other side, the left's."""
        shutil.copy(SAMPLE, os.path.join(self.dir, "match.rcg.gz"))
        self.write("match.rcl", TEXT_LOG.encode())
        left = servers_compare.match_figures(self.dir, "left")
        right = servers_compare.match_figures(self.dir, "right")
        names = {"vorn_": "other_", "other_": "vorn_", "third_vorn": "third_other",
                 "third_other": "third_vorn"}
        swapped = {}
        for key, value in left.items():
            head = next((h for h in names if key.startswith(h)), "")
            swapped[names.get(head, "") + key[len(head):] if head else key] = value
        self.assertEqual(right, swapped)
        self.assertEqual((left["vorn_kicks"], left["other_kicks"], left["vorn_offside"],
                          left["other_goals"], left["other_out_of_bounds"]), (6, 4, 1, 0, 1))


class Compare(unittest.TestCase):
    def test_table(self):
        # vorn's goals: 1 2 1 2 1 (mean 1.4) against 0 1 0 1 0 (0.4), s^2 0.3 each, so
        # Welch's df 8 and 1 +- t(8) sqrt(0.12) = 1 +- 0.80 (t(8) = 2.306 from the printed
        # table); each mean +- t(4) sqrt(0.06) = 0.68. Kicks: 2 4 3 3 3 (s^2 0.5) against 3
        # in every match: df 4, 0 +- t(4) sqrt(0.1) = 0.88. The other side's goals: 1 and 0
        # in every match, no spread.
        pitch = [{"vorn_goals": g, "vorn_kicks": k, "other_goals": 1, "drop_ball": 0}
                 for g, k in zip([1, 2, 1, 2, 1], [2, 4, 3, 3, 3])]
        real = [{"vorn_goals": g, "vorn_kicks": 3, "other_goals": 0, "drop_ball": 0}
                for g in [0, 1, 0, 1, 0]]
        rows = servers_compare.compare(pitch, real)
        self.assertEqual(servers_compare.table(rows, 5, 5), [
            "| figure (per match) | pitch (5) | real server (5) | pitch - real, 95% | |",
            "|---|---|---|---|---|",
            "| vorn: goals | 1.40 [0.72, 2.08] | 0.40 [-0.28, 1.08] | +1.00 [+0.20, +1.80] "
            "| differs |",
            "| other: goals | 1.00 [1.00, 1.00] | 0.00 [0.00, 0.00] | +1.00 [+1.00, +1.00] "
            "| cannot tell |",
            "| vorn: kicks | 3.00 [2.12, 3.88] | 3.00 [3.00, 3.00] | +0.00 [-0.88, +0.88] "
            "|  |"])
        self.assertEqual(servers_compare.chance_line(rows), "1 of 2 figures differ; with no "
                         "difference between the servers about 0.1 would, by chance alone. "
                         "1 cannot tell (fewer than 5 matches on a side, or no spread).")
        zero = servers_compare.zero_figures(rows)
        self.assertIn("drop balls", zero)
        self.assertNotIn("vorn: kicks", zero)

    def test_too_few_matches(self):
        """2 and 3 matches: an interval, but no verdict, however far from zero."""
        pitch = [{"vorn_goals": 1, "vorn_kicks": 2}, {"vorn_goals": 1, "vorn_kicks": 4}]
        real = [{"vorn_goals": 0, "vorn_kicks": 3}] * 3
        rows = servers_compare.compare(pitch, real)
        self.assertEqual(servers_compare.table(rows, 2, 3)[2:], [
            "| vorn: goals | 1.00 [1.00, 1.00] | 0.00 [0.00, 0.00] | +1.00 [+1.00, +1.00] "
            "| cannot tell |",
            "| vorn: kicks | 3.00 [-9.71, 15.71] | 3.00 [3.00, 3.00] | +0.00 [-12.71, +12.71] "
            "| cannot tell |"])


if __name__ == "__main__":
    unittest.main()
