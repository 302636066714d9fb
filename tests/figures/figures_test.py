#!/usr/bin/env python3
"""The match figures (scripts/figures.py): on the real server's sample game log, counted by
hand, and on changes to it, one per rule; their means in a series summary; on two short
pitch matches, one of two scripted teams and one of pitch's built-in players alone, where
the game log's figures must be those of pitch's record (which knows every kick command, the
built-in players' too), whether the log starts before the kick-off and holds every step of
time over or starts at the kick-off and ends with one show line at time over; and on the
scripted teams' record without one side's commands, which leaves unknown what cannot be
known without them.

  figures_test.py [BIN_DIR] [Sample|PitchMatch]
                  (BIN_DIR default build/bin: the pitch match needs BIN_DIR/pitch)
"""

import gzip
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO, "scripts"))
from vornkit import figures  # noqa: E402
from vornkit import matchlog  # noqa: E402

SAMPLE = os.path.join(REPO, "tests", "data", "gamelogs", "real-server-300.rcg.gz")
BIN = os.path.join(REPO, "build", "bin")

# The sample's 300 steps, counted by hand from its lines (zcat the file; the first number of
# each player's "(c ...)" is its count of kicks, the state after the position is a bit set):
# - Kicks, where a count rises: l2 at steps 9 (the kick-off), 121, 194, 230 and 290 (corner
#   kicks) and 291; r9 at 55, r5 at 145 (goal kick) and 245, r1 at 198 (goal kick).
# - Shots: none. Each kick's ball, (x, y) and (vx, vy) on its step, followed to the goal line
#   it attacks (x + vx / 0.06 is as far as it rolls): l2's at 9 stops near x = 40; those at
#   121, 194 and 291 cross x = 52.5 at y = 17.6, 30.5 and 24.1, outside the posts at 7.01;
#   at 230 (vx < 0) and all of the right's (vx > 0, away from x = -52.5) it heads away.
# - Passes: l2's kick at 290 is followed by his own at 291 with play on: a dribble. The
#   other five of the left and the four of the right are passes tried; the next touch of
#   each is an opponent's (or none, after 291): none completed.
# - Possession: play_on at steps 9-75, 121-133, 194, 230-246 and 290-292 (101 steps). The
#   left touched last in 9-54, 121-133, 194, 230-244 and 290-292 (78), the right in 55-75
#   and 245-246 (23): 77.2% and 22.8%.
# - Set plays, from the playmode lines: kick_off_l at 1; corner_kick_l at 76, 148, 206 and
#   247; goal_kick_r at 134, 195 and 293.
# - Goals, catches: none; no team line after the first, no rise of either goalie's count of
#   catches (the fourth number of "(c ...)") and no catch bit 0x10 in its state.
HAND = """figures of the match (game log, 300 steps):
                    vorn     opp
goals                  0       0
possession %        77.2    22.8
kicks                  6       4
shots                  0       0
passes tried           5       4
passes completed       0       0
kick-offs              1       0
corner kicks           4       0
goal kicks             0       3
catches                0       0
failed catches         0       0
Possession: of the 101 steps of play_on whose last touch is known (0 not).
Goals: none.
"""


def show(text, step, change):
    """The log text with the show line of step changed by change(line)."""
    start = text.index(f"\n(show {step} ") + 1
    end = text.index("\n", start)
    return text[:start] + change(text[start:end]) + text[end:]


def ball_velocity(vx=None, vy=None):
    def change(line):
        b = re.search(r"\(\(b\) (\S+) (\S+) (\S+) (\S+)\)", line)
        new = f"((b) {b[1]} {b[2]} {vx or b[3]} {vy or b[4]})"
        return line[:b.start()] + new + line[b.end():]
    return change


def more_kicks(text, side, unum, since):
    """The log text with the player's count of kicks one higher from step since on: a kick
    that reached the ball in the step before."""
    def change(line):
        if not line.startswith("(show ") or int(line.split()[1]) < since:
            return line
        return re.sub(rf"(\(\({side} {unum}\) .*?\(c )(\d+)",
                      lambda m: m[1] + str(int(m[2]) + 1), line, count=1)
    return "".join(map(change, text.splitlines(keepends=True)))


# (what, the sample changed, the figures that change then, as (side, figure): value)
CHANGES = [
    ("a kick at the goal mouth is a shot, not a pass",
     lambda t: show(t, 291, ball_velocity(vx="0.05")),
     {("l", "shots"): 1, ("l", "passes_tried"): 4}),
    ("a kick at the kicker's own goal mouth is no shot",
     lambda t: show(t, 55, ball_velocity(vy="-0.2")), {}),
    ("a goal is scored by the last to touch the ball: here an opponent",
     lambda t: t.replace("(show 250 ", "(team 250 vorn opp 1 0)\n(show 250 ", 1),
     {("l", "goals"): 1,
      ("l", "scorers"): [{"cycle": 250, "player": 5, "own_goal": True}]}),
    ("a catch out of reach on a real server: the catch bit, the count unchanged",
     lambda t: show(t, 60, lambda line: line.replace("((r 1) 0 0x9 ", "((r 1) 0 0x39 ")),
     {("r", "failed_catches"): 1}),
    ("both sides kick in one step: the ball is neither side's, the kick no pass",
     lambda t: more_kicks(t, "r", 9, 9),
     {("r", "kicks"): 5, ("l", "passes_tried"): 4, ("l", "possession"): 58.2,
      ("r", "possession"): 41.8, ("", "possession_unknown_steps"): 46}),
]


def summary(f):
    """What the test compares of the figures: each side's numbers and goals (without their
    steps, which the two forms of a log number differently), and the steps of play_on
    without a known last touch."""
    out = {side: dict(figures.numbers(f[side]), scorers=[
        {k: v for k, v in g.items() if k != "step"} for g in f[side]["scorers"]]) for side in "lr"}
    out[""] = {"possession_unknown_steps": f["possession_unknown_steps"]}
    return out


class Sample(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with gzip.open(SAMPLE, "rt") as f:
            cls.text = f.read()

    def figures_of(self, text):
        with tempfile.NamedTemporaryFile("w", suffix=".rcg") as f:
            f.write(text)
            f.flush()
            return figures.figures(matchlog.read(f.name))

    def test_counted_by_hand(self):
        r = subprocess.run([sys.executable, os.path.join(REPO, "scripts", "figures.py"), SAMPLE],
                           capture_output=True, text=True)
        self.assertEqual((r.returncode, r.stderr, r.stdout), (0, "", HAND))

    def test_each_rule_on_a_changed_sample(self):
        base = summary(self.figures_of(self.text))
        for what, change, changed in CHANGES:
            with self.subTest(what):
                want = json.loads(json.dumps(base))
                for (side, name), value in changed.items():
                    want[side][name] = value
                self.assertEqual(summary(self.figures_of(change(self.text))), want)

    def test_series_means(self):
        """Three matches with figures, one without (an older result.json): the means of the
        three with their 95% intervals. Kicks 10, 12, 14: mean 12, s = 2, half width t(2) *
        2 / sqrt(3) = 4.97; the opponent's 4 each time."""
        f = figures.figures(matchlog.read(SAMPLE))
        with tempfile.TemporaryDirectory() as d:
            for n, kicks in enumerate((10, 12, 14, None), 1):
                r = {"dir": f"match-{n}", "side": "left", "status": "played", "for": 0,
                     "against": 0, "goal_difference": 0, "catches": 0, "cycles": 300,
                     "missed_slots": 0, "slots": 1, "p99_ms": None}
                if kicks:
                    r["figures"] = {"vorn": dict(f["l"], kicks=kicks), "opponent": f["r"]}
                os.makedirs(os.path.join(d, r["dir"]))
                with open(os.path.join(d, r["dir"], "result.json"), "w") as out:
                    json.dump(r, out)
            run = subprocess.run([sys.executable, os.path.join(REPO, "scripts",
                                                               "series_summary.py"), "series", d],
                                 capture_output=True, text=True)
            with open(os.path.join(d, "summary.json")) as out:
                n = json.load(out)["figures"]["vorn"]["kicks"]["n"]
        self.assertEqual(n, 3)
        self.assertRegex(run.stdout, r"\nkicks +12\.00 \[7\.03, 16\.97\] +4\.00 \[4\.00, 4\.00\]\n")


def kickoff_form(text):
    """A pitch game log as a real server writes one: from the kick-off on (no show line
    before it), and one show line at time over."""
    out, mode, started, over = [], "", False, False
    for line in text.splitlines(keepends=True):
        m = re.match(r"\(playmode \d+ (\w+)\)", line)
        mode = m[1] if m else mode
        started = started or mode not in ("", "before_kick_off")
        if line.startswith("(show ") and (not started or mode == "time_over" and over):
            continue
        over = over or line.startswith("(show ") and mode == "time_over"
        out.append(line)
    return "".join(out)


def from_kickoff(record):
    """The record counted as pitch's game log is: from the step after the kick-off's own
    (a real server's log starts there too), without the wait before the second half and
    that kick-off's own step (a kick-off still not taken at half time is one in the log)."""
    rec = matchlog.read(record)
    first = next(s["step"] for s in rec.steps if s["mode"] != "before_kick_off")
    kept, before = [], "before_kick_off"
    for s in rec.steps:
        if s["step"] > first and "before_kick_off" not in (s["mode"], before):
            kept.append(s)
        before = s["mode"]
    rec.steps = kept
    rec.commands = [c for c in rec.commands if c["step"] > first]
    return rec


def unknowable(want):
    """A summary with what a record that lacks the right side's commands cannot know set
    to None: who touched the ball last (possession, passes, scorers) on both sides, the
    right side's kicks and shots, its goalie's catches."""
    for side in "lr":
        want[side].update(possession=None, passes_tried=None, passes_completed=None)
        want[side]["scorers"] = [dict(g, player=None, own_goal=None) for g in want[side]["scorers"]]
    want["r"].update(kicks=None, shots=None, catches=None, failed_catches=None)
    return want


class PitchMatch(unittest.TestCase):
    """Two short matches at once, 600 cycles of 10 ms: tests/figures/teams.py, three players
    a side; and pitch's built-in team alone on the field."""
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.files = {name: (os.path.join(cls.tmp.name, name + ".jsonl"),
                            os.path.join(cls.tmp.name, name + ".rcg"))
                     for name in ("teams", "chasers")}
        options = {"teams": ["--wait-players", "6", "--kickoff-after", "0"],
                   "chasers": ["--opponent", "chasers", "--kickoff-after", "0.1"]}
        pitches, teams = [], []
        try:
            for name, (record, log) in cls.files.items():
                pitches.append(subprocess.Popen(
                    [os.path.join(BIN, "pitch"), "--port", "0", "--step-ms", "10", "--cycles",
                     "600", "--quiet", "--record", record, "--game-log", log] + options[name],
                    stdout=subprocess.PIPE, text=True))
            port = pitches[0].stdout.readline().split()[-1]
            teams.append(subprocess.Popen([sys.executable, os.path.join(HERE, "teams.py"), port],
                                          stdout=subprocess.DEVNULL))
            cls.status = [p.wait(timeout=90) for p in pitches]
        finally:
            for p in pitches + teams:
                p.kill()
                p.wait()
                if p.stdout:
                    p.stdout.close()

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_game_log_figures_are_the_records(self):
        record, log = self.files["teams"]
        ours, theirs = figures.figures(matchlog.read(log)), figures.figures(from_kickoff(record))
        with open(log) as f:
            text = kickoff_form(f.read())
        with open(log, "w") as f:
            f.write(text)
        later = matchlog.read(log)
        modes = [s["mode"] for s in later.steps]
        # the log's first step is the one after the kick-off's: still the kick-off, or play
        # when it was taken at once
        self.assertEqual((self.status, summary(theirs), summary(figures.figures(later)),
                          modes[0] in ("kick_off_l", "play_on"), modes.count("time_over"),
                          theirs["unknown_players"]),
                         ([0, 0], summary(ours), summary(ours), True, 1, []))
        played = [ours[side]["kicks"] for side in "lr"] + [ours["play_on_steps"]]
        self.assertTrue(min(played) > 0, f"kicks left and right, steps of play_on: {played}")

    def test_the_built_in_players_kicks_are_in_the_record(self):
        record, log = self.files["chasers"]
        ours, theirs = figures.figures(matchlog.read(log)), figures.figures(from_kickoff(record))
        cells = {row[0]: row[1:] for row in figures.rows(theirs)}
        self.assertEqual((summary(theirs), theirs["unknown_players"], cells["possession %"]),
                         (summary(ours), [], ["0.0", "100.0"]))  # one format for all shares
        self.assertTrue(ours["r"]["kicks"] > 0 and ours["r"]["goals"] > 0,
                        f"the chasers' kicks and goals: {ours['r']}")

    def test_a_side_without_commands_is_not_known(self):
        """As a record of an older pitch has the chasers: the right side's commands left
        out of the teams' record."""
        rec = from_kickoff(self.files["teams"][0])
        full = figures.figures(rec)
        rec.commands = [c for c in rec.commands if c["side"] == "l"]
        f = figures.figures(rec)
        cells = {row[0]: row[1:] for row in figures.rows(f)}
        want = unknowable(summary(full))
        want[""]["possession_unknown_steps"] = None
        self.assertEqual((summary(f), f["unknown_players"], cells["possession %"],
                          cells["kicks"][1], [g["text"] for g in figures.goals(f)]),
                         (want, ["r1", "r2", "r3"], ["-", "-"], "-",
                          [full[g["side"]]["team"] + ", scorer not known"
                           for g in figures.goals(full)]))


if __name__ == "__main__":
    if len(sys.argv) > 1 and os.path.isdir(sys.argv[1]):
        BIN = os.path.abspath(sys.argv.pop(1))
    unittest.main()
