#!/usr/bin/env python3
"""bench/conformance.py compares what two servers sent the same scripted clients: here two
small recorded captures of its scenario fault_kick (tests/data/conformance: the clients l2
and r2 from the kick-off to step 5, on pitch and on the real server). Pitch's capture equals
the real server's; each difference planted in it is found, shown with both messages, and
keeps the scenario from conforming.

  conformance_compare_test.py
"""

import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
DATA = os.path.join(REPO, "tests", "data", "conformance")
TOOL = os.path.join(REPO, "bench", "conformance.py")
PITCH, REAL = (os.path.join(DATA, f"fault_kick.{kind}.jsonl") for kind in ("pitch", "real"))


def compare(mine, theirs=REAL):
    r = subprocess.run([sys.executable, TOOL, "--compare", mine, theirs], capture_output=True,
                       text=True, timeout=60)
    return r.returncode, r.stdout, r.stderr


def tail(report):
    """The report from its first differences on (everything when it has none)."""
    at = report.find("  first differences")
    return report[at:] if at >= 0 else report.splitlines(keepends=True)[-1]


class Comparison(unittest.TestCase):
    def test_captures_equal_and_planted_differences(self):
        with open(PITCH, encoding="utf-8") as f:
            capture = f.read()
        # (what is planted: the text replaced and its replacement, once; the report's end)
        cases = [
            ("nothing", None, "  conforms\n"),
            ("the fault called on the other side",
             ('"(hear 3 referee free_kick_fault_l)"}\n{"client": "l2"',
              '"(hear 3 referee free_kick_fault_r)"}\n{"client": "l2"'),
             "  first differences (1 in all; pitch first, then the real server):\n"
             "  - l2 step 3: referee calls\n"
             "      pitch: (hear 3 referee free_kick_fault_r)\n"
             "      real:  (hear 3 referee free_kick_fault_l)\n"
             "  differs: referee calls 5/6\n"),
            ("a dash that cost five more", ("(stamina 7890 1)", "(stamina 7885 1)"),
             "  first differences (1 in all; pitch first, then the real server):\n"
             "  - l2 step 3: sense_body stamina 7885 against 7890\n"
             "      pitch: (sense_body 3 (view_mode high normal) (stamina 7885 1) (speed 0.34 0)"
             " (head_angle 0) (kick 1) (dash 2) (turn 0) (say 0) (turn_neck 0))\n"
             "      real:  (sense_body 3 (view_mode high normal) (stamina 7890 1) (speed 0.34 0)"
             " (head_angle 0) (kick 1) (dash 2) (turn 0) (say 0) (turn_neck 0))\n"
             "  differs: sense_body stamina 11/12\n"),
            ("a flag seen a step nearer", ("((f p r c) 35.9 0 -0 0)", "((f p r c) 35.8 0 -0 0)"),
             "  first differences (1 in all; pitch first, then the real server):\n"
             "  - l2 step 2: see f p r c dist: 35.8 0 -0 0 against 35.9 0\n"
             "      pitch: (see 2 ((F) 0.2 180) ((f r t) 62.2 -33) ((f r b) 62.2 33) ((f g r b)"
             " 53 7) ((g r) 52.5 0) ((f g r t) 53 -7) ((f p r b) 41.3 29) ((f p r c) 35.8 0 -0 0)"
             " ((f p...\n"
             "      real:  (see 2 ((F) 0.2 180) ((f r t) 62.2 -33) ((f r b) 62.2 33) ((f g r b)"
             " 53 7) ((g r) 52.5 0) ((f g r t) 53 -7) ((f p r b) 41.3 29) ((f p r c) 35.9 0)"
             " ((f p r t)...\n"
             "  differs: sees 7/8\n"),
        ]
        with tempfile.TemporaryDirectory() as tmp:
            for what, plant, want in cases:
                with self.subTest(what):
                    path = os.path.join(tmp, "planted.jsonl")
                    text = capture
                    if plant:
                        self.assertEqual(capture.count(plant[0]), 1, plant[0])
                        text = capture.replace(*plant)
                    with open(path, "w", encoding="utf-8") as f:
                        f.write(text)
                    status, out, err = compare(path)
                    self.assertEqual((status, tail(out), err), (0 if plant is None else 1, want,
                                                                ""))

    def test_not_a_capture_is_refused(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "x.jsonl")
            with open(path, "w") as f:
                f.write('{"client": "l2"}\n')
            status, out, err = compare(path)
        self.assertEqual((status, out, err.strip()),
                         (1, "", f"conformance.py: {path}: not a capture (its first line names "
                                 "no server)"))


if __name__ == "__main__":
    unittest.main()
