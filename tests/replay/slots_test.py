#!/usr/bin/env python3
"""scripts/slots.py: which commands count, which slot each one is given, and the figures
that reach the JSON file. Each case is one player's commands as pitch recorded them."""

import io
import json
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import slots  # noqa: E402


def cmd(step, ms, kind="dash", side="l", unum=2):
    return (side, unum, step, ms, kind, f"({kind} 1)", step)


PLACEMENT = [cmd(0, -1, "move"), cmd(1, 28.7, "turn")]

# (what, commands, expected [(slot, offset ms)], expected left out (placement, before sense))
CASES = [
    ("the init placement is left out, a queued move counts",
     PLACEMENT + [cmd(61, 1.3, "move")], [(1, 1.3)], (2, 0)),
    ("on the right side the placement has a second turn",
     [cmd(0, -1, "move", "r"), cmd(1, 5, "turn", "r"), cmd(2, 5, "turn", "r"),
      cmd(9, 1.2, "turn", "r")], [(1, 1.2)], (3, 0)),
    ("nothing before the first sense_body counts",
     PLACEMENT + [cmd(2, -1)], [], (2, 1)),
    ("each slot by its window, the rounded record at the boundary included",
     [cmd(10, 1.1), cmd(10, 33.3), cmd(10, 67.8)], [(1, 1.1), (2, -0.033), (3, 1.133)], (0, 0)),
    ("two commands in one window: the earlier belongs to the slot before",
     [cmd(10, 40.0), cmd(10, 41.0)], [(1, 40.0), (2, 7.667)], (0, 0)),
    ("two right after a sense_body: the earlier one is the cycle before's third",
     [cmd(10, 34.4), cmd(11, 0.1), cmd(11, 0.2)], [(2, 1.067), (3, 33.433), (1, 0.2)], (0, 0)),
    ("a stalled server reads three at once: they go back one slot each",
     [cmd(12, 0.5), cmd(12, 0.5), cmd(12, 0.5)], [(2, 67.167), (3, 33.833), (1, 0.5)], (0, 0)),
]


class Attribution(unittest.TestCase):
    def test_cases(self):
        for what, commands, want, left_out in CASES:
            with self.subTest(what):
                r = slots.analyse(commands)
                got = []
                for s in r["slots"]:
                    if s["commands"]:
                        self.assertEqual(s["commands"], 1, "one command per slot in these cases")
                        got.append((s["slot"], round(s["median_ms"], 3)))
                # order by the commands' arrival, as listed in the case
                order = {k: i for i, (k, _) in enumerate(want)}
                got.sort(key=lambda g: order.get(g[0], 9))
                self.assertEqual(got, want)
                lo = r["left_out"]
                self.assertEqual((lo["init_placement"], lo["before_first_sense_body"]), left_out)

    def test_command_line_writes_the_figures_and_the_late_commands(self):
        lines = [{"type": "cycle", "step": 1}] + [
            {"type": "command", "step": s, "cycle": s, "side": "l", "unum": 3, "text": t,
             "ms": ms, "kind": k, "outcome": "executed"}
            for s, ms, k, t in [(0, -1, "move", "(move -3 -20)"), (1, 40.2, "turn", "(turn 80)"),
                                (5, 1.4, "move", "(move -3 -20)"), (5, 67.9, "dash", "(dash 9)"),
                                (6, 0.1, "dash", "(dash 8)"), (6, 0.3, "turn", "(turn 80)")]]
        # a built-in player's command, which has no send slot
        lines.append({"type": "command", "step": 6, "cycle": 6, "side": "r", "unum": 2,
                      "text": "(dash 100 0)", "ms": -1, "kind": "dash", "outcome": "executed",
                      "robot": True})
        with tempfile.TemporaryDirectory() as tmp:
            record = os.path.join(tmp, "match.jsonl")
            with open(record, "w") as f:
                f.write("".join(json.dumps(d, separators=(",", ":")) + "\n" for d in lines) + '{"type":"command","st')
            out = io.StringIO()
            sys.stdout, saved = out, sys.stdout
            try:
                self.assertEqual(slots.main([record, "--min-reply-ms", "0.15"]), 0)
            finally:
                sys.stdout = saved
            with open(os.path.join(tmp, "slots.json")) as f:
                r = json.load(f)
        self.assertEqual([s["commands"] for s in r["slots"]], [2, 1, 1])
        self.assertEqual((r["counted"], r["players"], r["broken_lines"],
                          r["left_out"]["before_first_sense_body"]), (4, 1, 1, 0))
        self.assertIn("\n  (1 command line of the record could not be read)\n", out.getvalue())
        late = r["after_cycle_end"]
        self.assertEqual((late["count"], late["commands"][0]["text"], late["commands"][0]["slot"]),
                         (1, "(dash 8)", 3))
        self.assertIn("arrived after their cycle had ended: 1", out.getvalue())


if __name__ == "__main__":
    unittest.main()
