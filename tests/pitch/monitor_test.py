#!/usr/bin/env python3
"""Monitors watching a short match on pitch, over UDP on 127.0.0.1: requests that are
refused, the first three kinds of line, a show line per step that agrees with the game log
of the same match, a late monitor that learns the play mode and score at once, (dispbye), a
monitor that has gone, the limit of sessions, and the kick-off by (dispstart).

  monitor_test.py [BIN_DIR]    (default build/bin; needs BIN_DIR/pitch)
"""

import json
import os
import re
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
BIN = os.path.join(REPO, "build", "bin")
LIMIT = 16  # monitors at once
WAIT = 30.0  # seconds any one expected datagram or line may take on a busy machine

# A request, and what pitch answers and prints ({where} the asker's address).
REFUSED = [
    ("(dispinit)", "(error illegal_client_version)",
     "monitor at {where} refused: version 1 (pitch serves versions 4 and 5)"),
    ("(dispinit version 2)", "(error illegal_client_version)",
     "monitor at {where} refused: version 2 (pitch serves versions 4 and 5)"),
    ("(dispinit version 3)", "(error illegal_client_version)",
     "monitor at {where} refused: version 3 (pitch serves versions 4 and 5)"),
    ("(dispinit version -1)", "(error illegal_client_version)",
     "monitor at {where} refused: JSON (version -1; pitch serves versions 4 and 5, text)"),
    ("(dispinit version five)", "(error illegal_client_version)",
     'monitor at {where} refused: "(dispinit version five)" names no version (pitch serves '
     '"(dispinit version 4)" and 5)'),
]


class Monitor:
    """A scripted monitor: its socket, and every line it has received, in a thread."""

    def __init__(self, port, version="5", start=True):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1 << 22)
        self.sock.bind(("127.0.0.1", 0))
        self.where = "127.0.0.1:%d" % self.sock.getsockname()[1]
        self.lines, self.sources, self.cond = [], set(), threading.Condition()
        self.server = None
        self.sock.sendto(f"(dispinit version {version})\0".encode(), ("127.0.0.1", port))
        self.thread = threading.Thread(target=self._read, daemon=True)
        if start:
            self.thread.start()

    def _read(self):
        while True:
            try:
                data, source = self.sock.recvfrom(1 << 16)
            except OSError:
                return
            with self.cond:
                self.server = source
                self.sources.add(source)
                self.lines.append(data.decode("latin-1"))
                self.cond.notify_all()

    def wait(self, test, what):
        """Waits until test(lines) holds; fails naming what was awaited."""
        deadline = time.monotonic() + WAIT
        with self.cond:
            while not test(self.lines):
                if not self.cond.wait(deadline - time.monotonic()):
                    raise AssertionError(f"{self.where}: no {what} in {WAIT} s")

    def send(self, text):
        self.sock.sendto(text.encode() + b"\0", self.server)

    def shows(self):
        with self.cond:
            return [line for line in self.lines if line.startswith("(show ")]


class Output:
    """pitch's standard output, read in a thread."""

    def __init__(self, stream):
        self.lines, self.cond = [], threading.Condition()
        threading.Thread(target=self._read, args=(stream,), daemon=True).start()

    def _read(self, stream):
        for line in stream:
            with self.cond:
                self.lines.append(line.rstrip("\n"))
                self.cond.notify_all()

    def wait(self, text):
        deadline = time.monotonic() + WAIT
        with self.cond:
            while text not in self.lines:
                if not self.cond.wait(deadline - time.monotonic()):
                    raise AssertionError(f"pitch did not print {text!r}: {self.lines}")


def monitor_form(line):
    """The game log's show line as a version 5 monitor receives it, without (pm) and (tm)."""
    return re.sub(r"^\(show (\d+) \(pm \d+\) \(tm [^)]*\)", r"(show \1", line)


def version4(line):
    """A version 5 show line in the version 4 form: no focus point, eleven counts."""
    return re.sub(r" (\d+)\)\)", "))", line.replace(" (fp 0 0)", ""))


def shown_time(line):
    return int(line.split()[1])


class Watching(unittest.TestCase):
    maxDiff = None

    def test_a_short_match_watched(self):
        with tempfile.TemporaryDirectory(prefix="vorn-monitor.") as d:
            log, record = os.path.join(d, "m.rcg"), os.path.join(d, "m.jsonl")
            pitch = subprocess.Popen(
                [os.path.join(BIN, "pitch"), "--port", "0", "--opponent", "chasers",
                 "--wait-players", "22", "--kickoff-after", "0", "--cycles", "40",
                 "--step-ms", "20", "--game-log", log, "--record", record, "--quiet"],
                stdout=subprocess.PIPE, text=True, encoding="latin-1")
            try:
                port = int(pitch.stdout.readline().split()[-1])
                out = Output(pitch.stdout)
                self.watch(port, out, log)
                self.assertEqual(pitch.wait(timeout=60), 0)
                out.wait("pitch: match over at cycle 40")
            finally:
                if pitch.poll() is None:
                    pitch.kill()
                    pitch.wait()
                pitch.stdout.close()
            with open(log, encoding="latin-1") as f:
                logged = f.read().splitlines()
            with open(record) as f:
                steps = [json.loads(s) for s in f if '"type":"cycle"' in s]
            self.compare(logged, steps)

    def watch(self, port, out, log):
        expected = []  # pitch's lines about monitors, in order
        asker = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        asker.settimeout(WAIT)
        asker.bind(("127.0.0.1", 0))
        where = "127.0.0.1:%d" % asker.getsockname()[1]
        for request, reply, said in REFUSED:
            with self.subTest(request=request):
                asker.sendto(request.encode() + b"\0", ("127.0.0.1", port))
                data, source = asker.recvfrom(1 << 16)
                self.assertEqual((data, source[1]), (reply.encode() + b"\0", port))
                expected.append("pitch: " + said.format(where=where))
        asker.close()

        # The first monitor comes while pitch waits for players that never come.
        self.first = first = Monitor(port)
        expected.append(f"pitch: monitor 1 (version 5) watching from {first.where}")
        first.wait(lambda ls: len(ls) >= 23, "header, playmode, team and show line")
        with open(log, encoding="latin-1") as f:
            header = f.read().splitlines()[1:21]
        self.assertEqual(first.lines[:20], [line + "\0" for line in header])
        self.assertEqual([s[1] != port for s in first.sources], [True])  # a port of its own
        self.assertEqual(first.lines[20:22], ["(playmode 0 before_kick_off)\0",
                                              "(team 0 null chasers 0 0)\0"])
        self.assertTrue(first.lines[22].startswith("(show 0 (pm 1) (tm null chasers 0 0) ((b) "))
        first.send("(dispstart)")
        first.wait(lambda ls: any(re.match(r"\(playmode [01] kick_off_l\)\0", s) for s in ls),
                   "kick-off after dispstart")
        first.wait(lambda ls: any(re.match(r"\(show ([4-9]|1[0-5]) ", s) for s in ls), "cycle 4")

        # A late monitor of version 4: the play mode and the teams at once, then its show
        # line as the first monitor has it in the version 4 form; it leaves by (dispbye).
        late = Monitor(port, version="4")
        expected.append(f"pitch: monitor 2 (version 4) watching from {late.where}")
        late.wait(lambda ls: len(ls) >= 23, "first lines")
        t = shown_time(late.lines[22])
        first.wait(lambda ls: any(s.startswith(f"(show {t} ") for s in ls), f"show {t}")
        with first.cond:
            at = max(i for i, s in enumerate(first.lines) if s.startswith(f"(show {t} "))
            mode = [s for s in first.lines[:at] if s.startswith("(playmode ")][-1].split()[2][:-2]
            same = first.lines[at]
        self.assertEqual(late.lines[20:23], [f"(playmode {t} {mode})\0",
                                             f"(team {t} null chasers 0 0)\0", version4(same)])
        late.send("(dispbye)")
        expected.append("pitch: monitor 2 left (dispbye)")
        out.wait(expected[-1])
        after_bye = len(late.lines)
        seen = len(first.shows())
        first.wait(lambda ls: len([s for s in ls if s.startswith("(show")]) >= seen + 3,
                   "three more steps")
        self.assertEqual(len(late.lines), after_bye)
        late.sock.close()

        # A monitor that has gone is forgotten.
        gone = Monitor(port, start=False)
        gone.sock.close()
        expected += [f"pitch: monitor 3 (version 5) watching from {gone.where}",
                     "pitch: monitor 3 left (gone)"]
        out.wait(expected[-1])

        # Sixteen at once, the seventeenth refused.
        many = [Monitor(port) for _ in range(LIMIT - 1)]
        for i, m in enumerate(many):
            expected.append(f"pitch: monitor {4 + i} (version 5) watching from {m.where}")
            m.wait(lambda ls: len(ls) >= 20, "header")
        extra = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        extra.settimeout(WAIT)
        extra.sendto(b"(dispinit version 5)\0", ("127.0.0.1", port))
        self.assertEqual(extra.recv(1 << 16), b"(error no_more_monitor)\0")
        expected.append("pitch: monitor at 127.0.0.1:%d refused: 16 monitors are watching "
                        "already" % extra.getsockname()[1])
        extra.close()
        for i, m in enumerate(many):
            m.send("(dispbye)")
            expected.append(f"pitch: monitor {4 + i} left (dispbye)")
            out.wait(expected[-1])
        for m in many:
            m.sock.close()
        expected.append("pitch: monitor 1 left (the match is over)")
        out.wait(expected[-1])
        with out.cond:
            said = [s for s in out.lines if s.startswith("pitch: monitor")]
        self.assertEqual(said, expected)

    def compare(self, logged, steps):
        first = self.first
        first.wait(lambda ls: ls[-1].startswith("(msg "), "result message")
        # the game log then ends with a team line, which a monitor does not get
        self.assertEqual(first.lines[-1], logged[-2] + "\0")
        shows = [s.rstrip("\0") for s in first.shows()]
        # The game log has no step that began before a kick-off (pm 1): neither those nor the
        # kick-off's own step, the clock not moved on (a monitor's kick-off between steps
        # begins the next step); a monitor has every step.
        played = [monitor_form(s) for s, before in zip(shows, [""] + shows)
                  if shown_time(s) > 0 and " (pm 1) " not in s and not (
                      " (pm 1) " in before and shown_time(before) == shown_time(s))]
        in_log = [s for s in logged if s.startswith("(show ") and shown_time(s) > 0]
        # From the kick-off on the game log's show lines, step by step ...
        self.assertEqual(played[:len(in_log)], in_log)
        # ... and one for every step pitch made, to the last after time over.
        self.assertEqual([shown_time(s) for s in shows if shown_time(s) > 0],
                         [s["cycle"] for s in steps if s["cycle"] > 0])
        self.assertIn(" (pm 2) ", shows[-1])


if __name__ == "__main__":
    if len(sys.argv) > 1:
        BIN = sys.argv.pop(1)
    unittest.main()
