#!/usr/bin/env python3
"""bench/conformance.py compares what two servers sent the same scripted clients: here two
small recorded captures of its scenario fault_kick (tests/data/conformance: the clients l2
and r2 from the kick-off to step 5, on pitch and on the real server). Pitch's capture equals
the real server's; each difference planted in one of them is found, shown with both
messages, and keeps the scenario from conforming: of every kind of message (referee calls,
players' says heard, errors, any other, sense_body fields, sees' contents) and of sees that
came on other steps. And how it finds the real server: one rule, no place assumed.

  conformance_compare_test.py
"""

import json
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


SAY = "(hear 3 163 go)"  # a player's say as a protocol-6 client hears it


class Capture:
    """A capture as its lines of JSON, to plant differences in."""

    def __init__(self, path):
        with open(path, encoding="utf-8") as f:
            self.lines = [json.loads(x) for x in f if x.strip()]

    def write(self, path):
        with open(path, "w", encoding="utf-8") as f:
            f.write("".join(json.dumps(x) + "\n" for x in self.lines))
        return path


def plant(capture, old, new):
    """Replaces old by new in the capture's text, where it stands once."""
    text = "".join(json.dumps(x) + "\n" for x in capture.lines)
    assert text.count(old) == 1, old
    capture.lines = [json.loads(x) for x in text.replace(old, new).splitlines()]


def add(capture, client, step, msg):
    """A message more for the client: the last of its step."""
    at = max(i for i, x in enumerate(capture.lines) if x.get("client") == client and
             x.get("step") == step)
    capture.lines.insert(at + 1, {"client": client, "step": step, "msg": msg})


def drop(capture, client, msg):
    capture.lines = [x for x in capture.lines if (x.get("client"), x.get("msg")) != (client, msg)]


def move_see(capture, client, step, by):
    """The client's see of the step comes by steps later, as it was."""
    for x in capture.lines:
        if x.get("client") == client and x.get("step") == step and x["msg"].startswith("(see "):
            x["step"] += by


def every_see_emptied(capture):
    """Every see 20 steps later, holding nothing but a ball."""
    for x in capture.lines[1:]:
        if x["msg"].startswith("(see "):
            x["step"] += 20
            x["msg"] = f"(see {x['msg'].split()[1]} ((b) 1 0))"


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
             "  does not conform: referee calls 5/6\n"),
            ("a dash that cost five more", ("(stamina 7890 1)", "(stamina 7885 1)"),
             "  first differences (1 in all; pitch first, then the real server):\n"
             "  - l2 step 3: sense_body stamina 7885 against 7890\n"
             "      pitch: (sense_body 3 (view_mode high normal) (stamina 7885 1) (speed 0.34 0)"
             " (head_angle 0) (kick 1) (dash 2) (turn 0) (say 0) (turn_neck 0))\n"
             "      real:  (sense_body 3 (view_mode high normal) (stamina 7890 1) (speed 0.34 0)"
             " (head_angle 0) (kick 1) (dash 2) (turn 0) (say 0) (turn_neck 0))\n"
             "  does not conform: sense_body stamina 11/12\n"),
            ("a flag seen a step nearer", ("((f p r c) 35.9 0 -0 0)", "((f p r c) 35.8 0 -0 0)"),
             "  first differences (1 in all; pitch first, then the real server):\n"
             "  - l2 step 2: see f p r c dist: 35.8 0 -0 0 against 35.9 0\n"
             "      pitch: (see 2 ((F) 0.2 180) ((f r t) 62.2 -33) ((f r b) 62.2 33) ((f g r b)"
             " 53 7) ((g r) 52.5 0) ((f g r t) 53 -7) ((f p r b) 41.3 29) ((f p r c) 35.8 0 -0 0)"
             " ((f p...\n"
             "      real:  (see 2 ((F) 0.2 180) ((f r t) 62.2 -33) ((f r b) 62.2 33) ((f g r b)"
             " 53 7) ((g r) 52.5 0) ((f g r t) 53 -7) ((f p r b) 41.3 29) ((f p r c) 35.9 0)"
             " ((f p r t)...\n"
             "  does not conform: sees 7/8\n"),
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

    def test_every_kind_of_difference_keeps_it_from_conforming(self):
        # (what is planted, and how, in either capture; the first difference's line, None
        # when none is shown, and the verdict). Each verdict is the rule applied by hand: every
        # message but the sees equal in number and text at each step, each see paired
        # within a step and equal, sees a step apart at most 1% (of 8 here: none).
        cases = [
            ("nothing", lambda c: None, None, "  conforms"),
            ("every see 20 steps later, emptied to its ball",
             lambda c: every_see_emptied(c["pitch"]),
             "  - l2 step 21: see moved 20 steps (step 21 on pitch, 1 on the real server)",
             "  does not conform: 8 sees moved more than one step, sees 0/8"),
            ("a see two steps later", lambda c: move_see(c["pitch"], "l2", 1, 2),
             "  - l2 step 3: see moved 2 steps (step 3 on pitch, 1 on the real server)",
             "  does not conform: 1 see moved more than one step"),
            ("a see a step later, alike", lambda c: move_see(c["pitch"], "l2", 1, 1), None,
             "  does not conform: 1 of 8 sees moved a step (at most 1% may)"),
            ("a see a step later, another player in it",
             lambda c: (move_see(c["pitch"], "l2", 1, 1), plant(c["pitch"], '((p \\"R\\" 2) 16.4',
                                                      '((p \\"R\\" 3) 16.4')),
             "  - l2 step 2: see p \"R\" 2 name: 16.4 17 0 0 0 0 against 16.4 17 0 0 0 0",
             "  does not conform: 1 of 8 sees moved a step (at most 1% may), sees 7/8"),
            ("a see's ball moved", lambda c: plant(c["real"], "((b) 0.9 0 0.486 0)",
                                                          "((b) 1.9 0 0.486 0)"),
             "  - l2 step 1: see b dist: 0.9 0 0.486 0 against 1.9 0 0.486 0",
             "  does not conform: sees 7/8"),
            ("a see only on pitch", lambda c: add(c["pitch"], "r2", 3, "(see 3 ((b) 1 0))"),
             "  - r2 step 3: see only on pitch", "  does not conform: sees 8/9"),
            ("an extra error",
             lambda c: add(c["pitch"], "l2", 2, "(error illegal_command_form)"),
             "  - l2 step 2: error only on pitch", "  does not conform: error count 0/1"),
            ("an extra hear of a player's say", lambda c: add(c["pitch"], "r2", 3, SAY),
             "  - r2 step 3: hear only on pitch", "  does not conform: hear count 0/1"),
            ("a missing hear of a player's say", lambda c: add(c["real"], "r2", 3, SAY),
             "  - r2 step 3: hear only on the real server", "  does not conform: hear count 0/1"),
            ("a say heard from another direction",
             lambda c: (add(c["pitch"], "r2", 3, SAY.replace("163", "162")),
                        add(c["real"], "r2", 3, SAY)),
             "  - r2 step 3: hear text", "  does not conform: hear text 0/1"),
            ("any other message", lambda c: add(c["real"], "l2", 4, "(ok look)"),
             "  - l2 step 4: other only on the real server",
             "  does not conform: other count 0/1"),
            ("a missing referee call",
             lambda c: drop(c["pitch"], "l2", "(hear 0 referee play_on)"),
             "  - l2 step 0: referee only on the real server",
             "  does not conform: referee calls 5/6"),
            ("a sense_body's speed direction",
             lambda c: plant(c["real"], "(speed 0.01 -180) (head_angle 0) (kick 2) (dash 2) "
                             "(turn 0) (say 0) (turn_neck 0))\"}\n{\"client\": \"l2\"",
                             "(speed 0.01 180) (head_angle 0) (kick 2) (dash 2) "
                             "(turn 0) (say 0) (turn_neck 0))\"}\n{\"client\": \"l2\""),
             "  - l2 step 4: sense_body speed_dir -180 against 180",
             "  does not conform: sense_body speed_dir 11/12"),
        ]
        with tempfile.TemporaryDirectory() as tmp:
            for what, edit, first, last in cases:
                with self.subTest(what):
                    captures = {"pitch": Capture(PITCH), "real": Capture(REAL)}
                    edit(captures)
                    paths = [captures[k].write(os.path.join(tmp, f"{k}.jsonl"))
                             for k in ("pitch", "real")]
                    status, out, err = compare(*paths)
                    lines = out.splitlines()
                    at = next((i for i, x in enumerate(lines)
                               if x.startswith("  first differences")), None)
                    shown = None if at is None else lines[at + 1]
                    self.assertEqual((status, shown, lines[-1], err),
                                     (0 if first is None and last == "  conforms" else 1, first,
                                      last, ""))

    def test_the_real_server_is_found_by_one_rule(self):
        """--real-server (or --server) PATH, else REAL_SERVER; no place is assumed. None of
        these plays: each stops before the first scenario."""
        tool = "conformance.py"
        cases = [  # (REAL_SERVER, arguments, status, the error line)
            (None, [], 3, f"{tool}: no real server to compare with: name its binary with "
                          "--real-server PATH or REAL_SERVER (docs/pitch.md says how to build "
                          "one)"),
            ("/nonexistent/rcssserver", [], 2,
             f"{tool}: the real server /nonexistent/rcssserver is not a program"),
            (None, ["--server", DATA], 2, f"{tool}: the real server {DATA} is not a program"),
            ("/nonexistent/rcssserver", ["--real-server", sys.executable, "--pitch", DATA], 2,
             f"{tool}: pitch {DATA} is not a program"),
        ]
        for env, args, status, error in cases:
            with self.subTest(env=env, args=args):
                environ = {k: v for k, v in os.environ.items() if k != "REAL_SERVER"}
                if env:
                    environ["REAL_SERVER"] = env
                r = subprocess.run([sys.executable, TOOL, "fault_kick"] + args, env=environ,
                                   capture_output=True, text=True, timeout=60)
                self.assertEqual((r.returncode, r.stdout, r.stderr.strip()), (status, "", error))

    def test_runs_as_the_docs_show_it(self):
        """Run by its path, as docs/pitch.md shows: its run bit and its first line of help."""
        for path, first in ((TOOL, "conformance.py -- pitch measured against the real soccer "
                                   "server, message by message."),
                            (os.path.join(REPO, "bench", "real_server.py"),
                             "real_server.py -- where the bench tools find the real soccer "
                             "server.")):
            with self.subTest(path):
                r = subprocess.run([path, "--help"], capture_output=True, text=True, timeout=60)
                self.assertEqual((r.returncode, r.stdout.splitlines()[:1], r.stderr),
                                 (0, [first], ""))

    def test_not_a_capture_is_refused(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "x.jsonl")
            with open(path, "w") as f:
                f.write('{"client": "l2"}\n')
            status, out, err = compare(path)
        self.assertEqual((status, out, err.strip()),
                         (1, "", f"conformance.py: {path}: not a capture (its first line names "
                                 "no server)"))

    def test_broken_lines_are_refused(self):
        head = '{"scenario": "x", "server": "pitch", "clients": ["l2"]}\n'
        message = "is not a message of a capture (a client, a whole step, the message)"
        cases = [  # (the capture's text, the error after its path)
            (head + "{\"client\": \n", "line 2 is not JSON"),
            (head + '{"client": "l2", "msg": "(see 1)"}\n', f"line 2 {message}"),
            (head + '\n{"client": "l2", "step": "3", "msg": "(hear 3 self go)"}\n',
             f"line 3 {message}"),
            (head + '{"client": "l2", "step": 1.5, "msg": "(see 1)"}\n', f"line 2 {message}"),
            (head + '["l2", 1, "(see 1)"]\n', f"line 2 {message}"),
            ("[1]\n", "not a capture (its first line names no server)"),
        ]
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "x.jsonl")
            for text, error in cases:
                with self.subTest(text=text):
                    with open(path, "w") as f:
                        f.write(text)
                    status, out, err = compare(path)
                    self.assertEqual((status, out, err.strip()),
                                     (1, "", f"conformance.py: {path}: {error}"))


if __name__ == "__main__":
    unittest.main()
