#!/usr/bin/env python3
"""How the Python commands end when their output cannot go where it should: a file that
cannot be written whole (a full device, a file grown past the size limit) is named in one
line, status 1, and no part of it is left; a reader of standard output that has gone (as
head does) ends the command quietly with status 141, the files it wrote kept.

  tests/process/outputs_test.py

The match's report in one process (scripts/report.py) keeps each command's ways: a file that
cannot be made leaves the others made, and a stop ends it at once with the stop's status.
"""
import os
import resource
import signal
import subprocess
import sys
import tempfile
import unittest

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
RECORD = os.path.join(REPO, "tests", "replay", "short-match.jsonl")
LIMIT = 200  # bytes a file may grow to in the cases of the size limit

# The command, its arguments (OUT the file it writes), and what it writes at most.
WRITERS = [
    ("replay.py", [RECORD, "-o", "OUT"]),
    ("figures.py", [RECORD, "--json", "OUT"]),
    ("slots.py", [RECORD, "--json", "OUT"]),
]
READERS = WRITERS + [("goalie-report.py", [RECORD])]


def command(script, args, out):
    return [sys.executable, os.path.join(REPO, "scripts", script)] + [
        out if a == "OUT" else a for a in args]


def limited():
    """In the child: files may grow to LIMIT bytes, and a write past it fails (EFBIG)
    instead of ending the process."""
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (LIMIT, LIMIT))


ENV = dict(os.environ, PYTHONDONTWRITEBYTECODE="1")  # no cache files under the limit


class Outputs(unittest.TestCase):
    def test_a_file_that_cannot_be_written_whole(self):
        for script, args in WRITERS:
            for out, why in (("/dev/full", "No space left on device"), ("page", "File too large")):
                with self.subTest(script=script, out=out), tempfile.TemporaryDirectory() as tmp:
                    path = out if out.startswith("/") else os.path.join(tmp, out)
                    r = subprocess.run(command(script, args, path), capture_output=True, text=True,
                                       env=ENV, preexec_fn=limited, timeout=60)
                    self.assertEqual((r.returncode, r.stderr, os.path.exists(path)),
                                     (1, f"{script}: {path}: {why}\n", out.startswith("/")))

    def test_a_reader_that_has_gone(self):
        for script, args in READERS:
            with self.subTest(script=script), tempfile.TemporaryDirectory() as tmp:
                path = os.path.join(tmp, "out")
                read, write = os.pipe()
                p = subprocess.Popen(command(script, args, path), stdout=write,
                                     stderr=subprocess.PIPE, text=True)
                os.close(write)
                os.close(read)  # before the command has said anything: its first word fails
                _, err = p.communicate(timeout=60)
                wrote = "OUT" not in args or os.path.getsize(path) > LIMIT / 2
                self.assertEqual((p.returncode, err, wrote), (141, "", True))


class Report(unittest.TestCase):
    def report(self, tmp, *replay):
        return subprocess.Popen(
            [sys.executable, os.path.join(REPO, "scripts", "report.py"), tmp, "--record",
             RECORD, "--side", "l", "--gamelog", RECORD, "--replay", *replay],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, env=ENV)

    def made(self, tmp):
        return sorted(f for f in os.listdir(tmp) if os.path.isfile(os.path.join(tmp, f)))

    def test_a_file_not_made_leaves_the_others_made(self):
        with tempfile.TemporaryDirectory() as tmp:
            os.mkdir(os.path.join(tmp, "figures.json"))  # figures.py cannot write there
            p = self.report(tmp, RECORD)
            _, err = p.communicate(timeout=60)
            self.assertEqual((p.returncode, err, self.made(tmp)),
                             (1, f"figures.py: {tmp}/figures.json: Is a directory\n",
                              ["replay.html", "slots.json"]))

    def test_a_stop_ends_it_at_once(self):
        with tempfile.TemporaryDirectory() as tmp:
            match = os.path.join(tmp, "match.jsonl")
            os.mkfifo(match)
            p = self.report(tmp, match)
            # Open for writing: it returns once the replay's reading of the match has begun,
            # which then waits for ever.
            with open(match, "w"):
                p.send_signal(signal.SIGTERM)
                _, err = p.communicate(timeout=60)
            self.assertEqual((p.returncode, err, self.made(tmp)),
                             (128 + signal.SIGTERM, "", ["figures.json", "slots.json"]))


if __name__ == "__main__":
    unittest.main()
