#!/usr/bin/env python3
"""The game log both ways: scripts/matchlog.py reads a real server's log (tests/data/gamelogs)
as its show lines have it, skips what it does not know and keeps what a cut-off file holds;
the scripts refuse what they cannot read with one line; a short pitch match's game log
reads back as pitch's own record of it, and shows a missed kick as the real server does; a
log or record that cannot be written is said in one line and ends pitch with status 1.

  gamelog_test.py [BIN_DIR]    (default build/bin; the pitch match needs BIN_DIR/pitch)
"""

import contextlib
import gzip
import json
import os
import re
import socket
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO, "scripts"))
from vornkit import matchlog  # noqa: E402

SAMPLE = os.path.join(REPO, "tests", "data", "gamelogs", "real-server-300.rcg.gz")
BIN = os.path.join(REPO, "build", "bin")

# (step, cycle, play mode, {object: (x, y)}) as the sample's show lines have them.
SAMPLE_STEPS = [
    (1, 1, "kick_off_l", {"b": (0, 0), "l1": (-50, 0), "r11": (9.447, 0.2382)}),
    (73, 73, "play_on", {"b": (51.3573, 15.6036)}),
    (150, 150, "corner_kick_l", {"r1": (46.7821, 8.4375), "r11": (44.8495, 17.1586)}),
    (300, 300, "goal_kick_r", {"b": (47, 9.16), "l9": (-31.1285, 24.8406)}),
]


def positions(step):
    found = {"b": (step["ball"]["x"], step["ball"]["y"])}
    found.update({p["side"] + str(p["unum"]): (p["x"], p["y"]) for p in step["players"]})
    return found


def write(folder, name, data):
    path = os.path.join(folder, name)
    with open(path, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())
    return path


class Sample(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.match = matchlog.read(SAMPLE)
        with gzip.open(SAMPLE, "rt") as f:
            cls.text = f.read()

    def test_steps_as_the_show_lines_have_them(self):
        m = self.match
        self.assertEqual((m.kind, len(m.steps), m.cut, m.broken, m.teams),
                         ("gamelog", 300, False, 0, ["vorn", "opp"]))
        for number, cycle, mode, objects in SAMPLE_STEPS:
            step = m.steps[number - 1]
            got = positions(step)
            self.assertEqual((step["step"], step["cycle"], step["mode"],
                              {k: got[k] for k in objects}), (number, cycle, mode, objects))
        r11 = next(p for p in m.steps[149]["players"] if (p["side"], p["unum"]) == ("r", 11))
        self.assertEqual(r11, {"side": "r", "unum": 11, "x": 44.8495, "y": 17.1586,
                               "vx": 0.0003, "vy": -0.0002, "body": 10.431, "neck": 0,
                               "type": 10, "state": 1, "stamina": 6916.32, "effort": 0.993167,
                               "recovery": 1, "capacity": 126324,
                               "counts": "0 79 120 0 1 0 0 0 0 0 0 0".split()})

    def test_unknown_items_are_skipped_and_cut_files_kept(self):
        unknown = self.text.replace("(v h 90)", "(v h 90) (zz ((q) 1) 2)").replace(
            "(playmode 76", "(newitem 76 (a 1))\n(playmode 76").replace(
            "(team 1 vorn opp 0 0)", "(team 1 vorn opp 0 0 0 0)").replace(
            "((b) ", "((t) 5 1) ((l 12) 0 0x1 1 1 0 0 0 0) ((x 1) 0 0x1 1 1 0 0 0 0) ((b) ")
        head = self.text[:self.text.index("(show 200 ") + 900]
        packed = gzip.compress(self.text.encode())
        # (what, file contents, steps expected, cut, read through a pipe)
        cases = [("unknown items, objects, players and fields", unknown, self.match.steps,
                  False, False),
                 ("text cut inside show 200", head, self.match.steps[:199], True, False),
                 ("gzip stream cut in half", packed[:len(packed) // 2], None, True, False),
                 ("gzip through a pipe", packed, self.match.steps, False, True)]
        with tempfile.TemporaryDirectory() as tmp:
            for what, data, steps, cut, piped in cases:
                with self.subTest(what):
                    path = write(tmp, "m.rcg", data)
                    with subprocess.Popen(["cat", path], stdout=subprocess.PIPE) as cat:
                        m = matchlog.read(f"/dev/fd/{cat.stdout.fileno()}" if piped else path)
                    self.assertEqual(m.cut, cut)
                    if steps is None:
                        self.assertTrue(50 < len(m.steps) < 300, len(m.steps))
                        steps = self.match.steps[:len(m.steps)]
                    self.assertEqual(m.steps, steps)

    def test_scripts_refuse_with_one_line(self):
        step = json.dumps({"type": "cycle", "step": 1, "cycle": 1, "mode": "play_on",
                           "score": [0, 0], "ball": {"x": 0, "y": 0}, "players": []}) + "\n"
        readers = ("matchlog.py", "replay.py", "goalie-report.py", "figures.py")
        # (file contents, or None for a folder, arguments after it, what the one line says,
        # status, the scripts that say it)
        cases = [("not a match\n", [], "holds no step lines", 1, readers),
                 ("[" * 100000 + "\n", [], "1 of its lines could not be read", 1, readers),
                 ('{"type":"cycle"}\n', [], "line 1: the step line's 'step' is missing", 1,
                  readers),
                 (step + step.replace('"cycle": 1', '"cycle": 1e400'), [],
                  "line 2: the step line's 'cycle' is missing or not a whole number", 1, readers),
                 ("ULG5\n(show 1 ((b) 0 0 0 0))\n", [], "game log of version 5", 1, readers),
                 (gzip.compress(self.text.encode())[:3000], [],
                  "holds no steps yet: it ends before its first show line", 1, readers),
                 (None, [], "Is a directory", 1, readers),
                 (step, ["-o", "{}"], "is the match file itself", 2, ["replay.py"]),
                 (step, ["--unum", "\u00b2"], "--unum must be a whole number", 2,
                  ["goalie-report.py"]),
                 (self.text, [], "is a game log: it has no arrival times", 1, ["slots.py"])]
        with tempfile.TemporaryDirectory() as tmp:
            for i, (data, args, says, status, scripts) in enumerate(cases):
                path = os.path.join(tmp, str(i))
                if data is None:
                    os.mkdir(path)
                else:
                    write(tmp, str(i), data)
                for script in scripts:
                    with self.subTest(script=script, case=i):
                        r = subprocess.run(
                            [sys.executable, os.path.join(REPO, "scripts", script), path,
                             *(a.format(path) for a in args)],
                            capture_output=True, text=True, cwd=tmp)
                        self.assertEqual((r.returncode, r.stdout, len(r.stderr.splitlines())),
                                         (status, "", 1), r.stderr)
                        self.assertIn(says, r.stderr)
                        if status == 1:  # the options' lines name the option
                            self.assertIn(path, r.stderr)


@contextlib.contextmanager
def pitch(*options):
    """pitch against its chasers on a port of its choosing, with the options; yields the
    process and its port, and ends it."""
    p = subprocess.Popen([os.path.join(BIN, "pitch"), "--port", "0", "--opponent", "chasers",
                          "--quiet", *options], stdout=subprocess.PIPE, text=True)
    try:
        yield p, int(p.stdout.readline().split()[-1])
    finally:
        p.kill()
        p.wait()
        p.stdout.close()


def kick_twice(port, init=b"(init kicker (version 6))", sends=(b"(kick 100 0)",) * 2):
    """Joins on the left half a metre behind the ball and sends one datagram of sends at
    each of the first sense_bodies of the kick-off (by default it kicks twice, the second
    time at a ball gone); returns at the sense_body after the last."""
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.settimeout(10)
    s.sendto(init, ("127.0.0.1", int(port)))
    server = s.recvfrom(8192)[1]
    s.sendto(b"(move -0.5 0)", server)
    started, sent, text = False, 0, ""
    while not (sent == len(sends) and text.startswith(f"(sense_body {len(sends) + 1} ")):
        text = s.recvfrom(8192)[0].decode(errors="replace")
        started = started or "referee kick_off_l" in text
        if started and sent < len(sends) and text.startswith("(sense_body "):
            s.sendto(sends[sent], server)
            sent += 1
    return s  # open until pitch is done: a player who leaves is taken off the field


def kept(steps):
    """Of a pitch record's steps, those its game log holds: from the step after the first
    kick-off's on, not those before the second half's kick-off, and of the time over only
    the first."""
    out, before, over = [], True, False
    for s in steps:
        began, before = before, s["mode"] == "before_kick_off"
        if began or before or (over and s["mode"] == "time_over"):
            continue
        over = s["mode"] == "time_over"
        out.append(s)
    return out


class PitchMatch(unittest.TestCase):
    def test_game_log_reads_back_as_the_record(self):
        """tests/process/feeder.py on the left (it kicks) against the chasers, 200 cycles of
        10 ms: the log's steps, modes, scores, positions and kicks are the record's."""
        with tempfile.TemporaryDirectory() as tmp:
            record, log = os.path.join(tmp, "match.jsonl"), os.path.join(tmp, "match.rcg.gz")
            with pitch("--step-ms", "10", "--cycles", "200", "--wait-players", "1",
                       "--record", record, "--game-log", log) as (server, port):
                feeder = subprocess.Popen([sys.executable, os.path.join(
                    REPO, "tests", "process", "feeder.py"), str(port)], stdout=subprocess.DEVNULL)
                try:
                    self.assertEqual(server.wait(timeout=60), 0)
                finally:
                    feeder.kill()
                    feeder.wait()
            ours, theirs = matchlog.read(log), matchlog.read(record)
            with gzip.open(log, "rt") as f:
                lines = f.read().splitlines()
        self.assertIn("(simulator_step 10)", lines[1])
        self.assertIn("(half_time 1)", lines[1])
        left, right = theirs.steps[-1]["score"]
        result = rf'^\(msg 200 1 "\(result \d+ feeder_{left}-vs-chasers_{right}\)"\)$'
        self.assertRegex(lines[-2], result)
        self.assertEqual(lines[-1], f"(team 200 feeder chasers {left} {right})")

        def summary(steps):
            return [(s["cycle"], s["mode"], s["score"], sorted(positions(s))) for s in steps]

        # The log holds the steps from the one after the kick-off's to the first of the time
        # over, and numbers them from 1; the record has every step.
        played = kept(theirs.steps)
        self.assertEqual([s["step"] for s in ours.steps], list(range(1, len(played) + 1)))
        self.assertEqual(summary(ours.steps), summary(played))
        self.assertEqual((ours.cut, ours.teams, theirs.steps[-1]["mode"]),
                         (False, ["feeder", "chasers"], "time_over"))
        # Both round to 0.0001 m, each its own way.
        worst = max(abs(a - b) for o, t in zip(ours.steps, played)
                    for k, xy in positions(o).items() for a, b in zip(xy, positions(t)[k]))
        self.assertLessEqual(worst, 0.00015)
        # The kicks by the record's step numbers, the step after which each was carried out:
        # after the log's step n that is the record's played[n - 1], and the kick in the
        # kick-off's own cycle shows in the state of the log's first line.
        first = played[0]["step"] - 1

        def record_step(n):
            return first if n == 0 else played[n - 1]["step"]

        held = {s["step"] for s in played}  # kicks whose effect the log can show
        kicks = [k for k in matchlog.executed_steps(theirs, "l", 1, "kick") if k + 1 in held]
        self.assertTrue(kicks)
        missed = [record_step(s["step"] - 1) for s in ours.steps for p in s["players"]
                  if (p["side"], p["unum"], p["state"] & 0x4) == ("l", 1, 0x4)]
        logged = [record_step(k) for k in matchlog.executed_steps(ours, "l", 1, "kick")]
        opening = [first for p in ours.steps[0]["players"]
                   if (p["side"], p["unum"], p["state"] & 0x6) == ("l", 1, 0x2)]
        self.assertEqual(sorted(logged + missed + opening), kicks)

    def test_missed_kick_the_header_and_the_opponents_moves(self):
        """A kick that moves the ball counts and sets 0x2, one that misses sets 0x2|0x4 and
        does not count (the first, in the kick-off's cycle, shows on the log's first line);
        the header has the port bound and, with --no-noise, no kick_rand."""
        with tempfile.TemporaryDirectory() as tmp:
            log = os.path.join(tmp, "m.rcg")
            with pitch("--step-ms", "50", "--no-noise", "--kickoff-after", "1", "--game-log",
                       log) as (server, port), kick_twice(port):
                server.terminate()
                self.assertEqual(server.wait(timeout=30), 143)
            match = matchlog.read(log)
            with open(log) as f:
                header = f.read()  # only the header has kick_rand and port
        l1 = [(p["state"], p["counts"][0]) for s in match.steps for p in s["players"]
              if (p["side"], p["unum"]) == ("l", 1)]
        moves = [int(p["counts"][4]) for p in match.steps[-1]["players"] if p["side"] == "r"]
        self.assertEqual(([now for before, now in zip([None] + l1, l1) if now != before],
                          set(re.findall(r"\(kick_rand (\S+?)\)", header)),
                          re.findall(r"\(port (\d+)\)", header), min(moves) > 0),
                         ([(3, "1"), (7, "1"), (1, "1")], {"0"}, [str(port)], True))

    def test_edges_of_the_game_log_and_the_text_log(self):
        """A goalie kicks off, tries a catch with the ball gone, turns and turns his neck in
        one datagram, against the chasers, 30 cycles of 20 ms: the game log starts at the
        kick-off and has one show line at time over, the catch out of reach is not counted
        and has the catch-fault bit, the coach ports follow the port; the text log has the
        datagrams and the referee calls in the real server's form."""
        with tempfile.TemporaryDirectory() as tmp:
            log, text = os.path.join(tmp, "m.rcg"), os.path.join(tmp, "m.rcl")
            with pitch("--step-ms", "20", "--no-noise", "--cycles", "30", "--wait-players",
                       "1", "--game-log", log, "--text-log", text) as (server, port), \
                    kick_twice(port, b"(init edges (version 6)(goalie))",
                               [b"(kick 100 0)", b"(catch 0)", b"(turn 10)(turn_neck 5)"]):
                self.assertEqual(server.wait(timeout=60), 0)
            with open(log) as f:
                lines = f.read().splitlines()
            with open(text) as f:
                textlog = f.read().splitlines()
            match = matchlog.read(log)
        body = [line for line in lines if not line.startswith(("ULG", "(server_param",
                                                               "(player_param", "(player_type"))]
        goalie = [(p["state"], p["counts"][3]) for s in match.steps[:3] for p in s["players"]
                  if (p["side"], p["unum"]) == ("l", 1)]
        over = [s["mode"] for s in match.steps].count("time_over")
        ports = re.findall(r"\((port|coach_port|olcoach_port) (\d+)\)", lines[1])
        # (what, found, wanted)
        cases = [
            ("the log's first lines", body[:2], ["(playmode 1 play_on)",
                                                 "(team 1 edges chasers 0 0)"]),
            ("its first show line", body[2][:8], "(show 1 "),
            ("show lines at time over", over, 1),
            ("its last lines", [body[-4], body[-3][:9]] + [re.sub(r"\d{12}", "DATE", line)
                                                          for line in body[-2:]],
             ["(playmode 30 time_over)", "(show 30 ",
              '(msg 30 1 "(result DATE edges_0-vs-chasers_0)")', "(team 30 edges chasers 0 0)"]),
            ("the goalie's kick, catch out of reach, turns", goalie,
             [(0xb, "0"), (0x39, "0"), (0x9, "0")]),
            ("the ports", sorted(ports), sorted([("port", str(port)),
                                                 ("coach_port", str(port + 1)),
                                                 ("olcoach_port", str(port + 2))])),
            ("the init, with the steps before it", bool(re.match(
                r"0,\d+\tRecv edges_1: \(init edges \(version 6\)\(goalie\)\)$",
                textlog[0])), True),
        ]
        wanted = [r"0,(\d+)\t\(referee kick_off_l\)", r"0,(\d+)\tRecv edges_1: \(kick 100 0\)",
                  r"0,(\d+)\t\(referee play_on\)", r"1,0\tRecv edges_1: \(catch 0\)",
                  r"2,0\tRecv edges_1: \(turn 10\)\(turn_neck 5\)",
                  r"30,0\t\(referee time_up\)", r"30,0\t\(referee time_over\)"]
        for pattern in wanted:  # each a whole line, in this order
            found = [n for n, line in enumerate(textlog) if re.fullmatch(pattern, line)]
            cases.append((pattern, len(found), 1))
        order = [next(n for n, line in enumerate(textlog) if re.fullmatch(p, line))
                 for p in wanted if any(re.fullmatch(p, line) for line in textlog)]
        cases.append(("the text log's order", order, sorted(order)))
        robots = [line for line in textlog if "Recv chasers_" in line]
        cases.append(("the chasers' commands", bool(robots) and all(
            re.fullmatch(r"\d+,\d+\tRecv chasers_\d+: \((dash|turn|kick|move|catch)"
                         r"( -?[0-9.e+-]+){1,2}\)", line) for line in robots), True))
        for what, found, want in cases:
            with self.subTest(what):
                self.assertEqual(found, want)

    def test_a_file_that_cannot_be_written(self):
        """One line naming the file and why, status 1: at once when the game log's header
        cannot be written, after the match when the record's steps or the text log's lines
        cannot."""
        for option, what, played in [("--game-log", "game log", False),
                                     ("--record", "record file", True),
                                     ("--text-log", "text log", True)]:
            r = subprocess.run([os.path.join(BIN, "pitch"), "--port", "0", "--step-ms", "10",
                                "--cycles", "50", "--kickoff-after", "0.05", option,
                                "/dev/full"], capture_output=True, text=True, timeout=60)
            said = f"pitch: cannot write the {what} /dev/full: No space left on device\n"
            self.assertEqual((r.returncode, r.stderr, "match over" in r.stdout),
                             (1, said, played))


if __name__ == "__main__":
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        BIN = os.path.abspath(sys.argv.pop(1))
    unittest.main()
