#!/usr/bin/env python3
"""Bad options as a newcomer types them: every script, pitch and the idle benchmark must
refuse them before starting anything, with one line naming the problem and a non-zero
status, and their --help must be the help alone. Each case runs in an empty working folder
with a TMPDIR of its own and in a session of its own; afterwards no process of the session
may be left and no file or folder may have appeared. Then start-team.sh with a relative
--dir against a port where nobody answers: its player starts in that folder, and the script
says that no player got an answer, and against one that refuses it: the server's words. Last,
how matches and teams end early (concurrently, each in its session): the runner stopped by
Ctrl-C or left by a killed pitch reports the cycle it got to and exits with the signal's
status; a series stopped by Ctrl-C in its first match sums that match up as stopped, starts
no other, exits with 130 and leaves no process in its folder; and a team started by hand
tells the kick-off while its match still runs, and ends as the table of team endings says
(its server killed, stopped by SIGTERM, stopped after a crash, no server at all); a team
ended under a running match ends the match; a pitch slow to start is waited for, one that
fails to start is said with its last line.

usage: tests/process/scripts_test.py BIN_DIR [options | endings]
  options: only the refusals and the help texts; endings: only the rest (default both)
"""
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BIN = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(REPO, "build", "bin")
FILE, FOLDER = "afile", "afolder"  # made in every working folder
# Also in every working folder: what an earlier match and an earlier series left.
HELD = {"amatch": "pitch.txt", "aseries": "series.json"}

MATCH, TEAM, IDLE = "scripts/match.sh", "scripts/start-team.sh", "bench/idle_cpu.py"
FUZZ, SOAK = "scripts/fuzz.sh", "scripts/soak.sh"
PACKAGE, SERIES = "scripts/package.sh", "scripts/series.sh"
LIVE = "scripts/live.py"
# program (in the repository, or pitch in BIN), arguments, exit status, what the one line says
REFUSALS = [
    (MATCH, "--players 0", 2, "--players must be a whole number from 1 to 11, not '0'"),
    (MATCH, "--players 12", 2, "--players must be a whole number from 1 to 11, not '12'"),
    (MATCH, "--cycles", 2, "--cycles needs a value"),
    (MATCH, "--cycles -5", 2, "--cycles must be a whole number from 1 to 1000000, not '-5'"),
    (MATCH, "--opponent robots", 2, "--opponent: the command must be given the server's port"),
    (MATCH, "--dir afile", 2, "--dir 'afile' is not a folder"),
    (MATCH, "--dir afile/m", 2, "--dir 'afile/m' cannot be created: 'afile' is not a folder"),
    (MATCH, "--record afolder", 2, "--record 'afolder' is a folder, not a file"),
    (MATCH, "--record afile/r.jsonl", 2, "'afile/r.jsonl' cannot be created: 'afile' is not"),
    (MATCH, "--no-noise --bogus", 2, "unknown option '--bogus'"),
    (MATCH, "--side up", 2, "--side must be left or right, not 'up'"),
    (MATCH, "--side right --opponent none", 2, "--side right needs an opponent"),
    (MATCH, "--dir amatch", 2, "match.sh: --dir 'amatch' holds a match already; give another"),
    (SERIES, "--jobs 0", 2, "--jobs must be a whole number from 1 to 64, or auto, not '0'"),
    (SERIES, "--dir aseries", 2, "series.sh: --dir 'aseries' holds a series already"),
    (SERIES, "--hosts afolder", 2, "--hosts 'afolder' is not a file that can be read"),
    (SERIES, "--baseline afolder", 2, "--baseline 'afolder' holds no series (no summary.json)"),
    ("run.sh", "--players 0", 2, "--players must be a whole number from 1 to 11, not '0'"),
    ("run.sh", "--dir afile", 2, "--dir 'afile' is not a folder"),  # from the caller's folder
    ("run.sh", "--bogus", 2, "run.sh: unknown option '--bogus' (see --help)"),
    ("run.sh", "--dir amatch", 2, "run.sh: --dir 'amatch' holds a match already"),
    (TEAM, "--port abc", 2, "--port must be a whole number from 1 to 65535, not 'abc'"),
    (TEAM, "--port 0", 2, "--port must be a whole number from 1 to 65535, not '0'"),
    (TEAM, "--port 65536", 2, "--port must be a whole number from 1 to 65535, not '65536'"),
    (TEAM, "--host nosuchhost.invalid", 2, "the host 'nosuchhost.invalid' is unknown"),
    (TEAM, "--host 127.0.0.1:6600", 2,
     "--host: '127.0.0.1:6600' holds a port; give the port with --port: --host 127.0.0.1 --port 6600"),
    (TEAM, "--players 0", 2, "--players must be a whole number from 1 to 11, not '0'"),
    (TEAM, "--bin afolder", 2, "afolder/Vorn is missing"),
    (TEAM, "--dir afile", 2, "--dir 'afile' is not a folder"),
    (TEAM, "--players", 2, "--players needs a value"),
    ("test.sh", "--quick --bogus", 2, "unknown option '--bogus'"),
    ("pitch", "--bogus", 2, 'unknown option "--bogus"'),
    ("pitch", "--port", 2, "option --port needs a value"),
    ("pitch", "--seed -1", 2, 'bad value "-1" for --seed: expected a whole number 0..2147483647'),
    ("pitch", "--bind 10.0.0", 2, "expected a dotted IPv4 address"),
    (FUZZ, "--time 0", 2, "--time must be a whole number from 1 to 86400, not '0'"),
    (FUZZ, "--build afile", 2, "--build 'afile' is not a folder"),
    (FUZZ, "parse", 2, "unknown target or option 'parse'"),
    (SOAK, "--cycles 100", 2, "--cycles must be a whole number from 200 to 1000000, not '100'"),
    (SOAK, "--cycles 600 --first 150", 2, "--first and --last must be multiples of 100"),
    (SOAK, "--growth", 2, "--growth needs a value"),
    (SOAK, "--bin afolder", 2, "afolder/pitch is missing"),
    (SOAK, "--dir afile", 2, "--dir 'afile' is not a folder"),
    (PACKAGE, "--out afile", 2, "--out 'afile' is not a folder"),
    (LIVE, "--port 0", 2, "live.py: argument --port: a port 1..65535, not 0 (see --help)"),
    (LIVE, "--listen 127.0.0.1:x", 2, "argument --listen: not [ADDRESS:]PORT: 127.0.0.1:x"),
    (LIVE, "--listen 70000", 2, "argument --listen: a port 0..65535, not 70000"),
    (LIVE, "--host", 2, "argument --host: expected one argument"),
    (LIVE, "--bogus", 2, "unrecognized arguments: --bogus"),
    (LIVE, "--host nosuchhost.invalid", 2,
     "live.py: --host: the host 'nosuchhost.invalid' is unknown (no IPv4 address for it)"),
    (LIVE, "--host 127.0.0.1:6000", 2,
     "--host: '127.0.0.1:6000' holds a port; give the port with --port: --host 127.0.0.1 --port 6000"),
    (IDLE, "--seconds -5", 2, "--seconds: must be above 0"),
    (IDLE, "--seconds 0", 2, "--seconds: must be above 0"),
    (IDLE, "--program afolder", 2, "'afolder' is not a program that can be run"),
]
# Who is sent which signal during a match, the runner's status, and its report's last line.
ENDINGS = [
    (MATCH, signal.SIGINT, 130, r"match\.sh: the match was stopped \(SIGINT\) at cycle \d+ of"),
    (MATCH, signal.SIGHUP, 129, r"match\.sh: the match was stopped \(SIGHUP\) at cycle \d+ of"),
    ("pitch", signal.SIGKILL, 137, r"match\.sh: pitch failed \(killed by SIGKILL\) at cycle \d+"),
    ("start-team.sh", signal.SIGTERM, 1,
     r"match\.sh: the team ended at cycle \d+ before time over \(quit \(1\)\)"),
    # the real server (here its stand-in) ends with 0 however it is stopped; its game log
    # may not yet hold the cycle
    ("rcss_standin.py", signal.SIGINT, 1, r"match\.sh: the real server ended at cycle (\?|\d+) "
     r"of 1000( \(score \d+ : \d+\))? before time over \(exit status 0\)"),
]
# pitch started through a stand-in (a script in the place of --pitch DIR/pitch, the real
# pitch in "$PITCH"): one slower to start than a loaded machine ever was, which must still
# be waited for and play; one that ends before it listens, which must be said with its
# status and its last line; one whose first line comes in two pieces; one that hangs once
# stopped (the runner gets SIGTERM in play), which must be killed. The runner's status and a line of its output.
STARTS = [
    ('sleep 12; exec "$PITCH" "$@"', 0, r"result: vorn \d+ : \d+ chasers .*\(time_over\)"),
    ("echo 'pitch: warming up'; exit 7", 1, r"match\.sh: pitch did not start: pitch ended with "
     r"status 7 after \d+ s, before its line 'pitch: listening on port N'; its last line: "
     r"pitch: warming up"),
    # its first line in two pieces two seconds apart, as a busy machine may give it
    ('"$PITCH" "$@" | { IFS= read -r l; printf %s "${l%%port*}"; sleep 2; '
     'printf "%s\\n" "port${l#*port}"; exec cat; }', 0,
     r"result: vorn \d+ : \d+ chasers .*\(time_over\)"),
    ('trap \'kill -TERM $p\' TERM; "$PITCH" "$@" & p=$!; wait $p; wait $p; exec sleep 300',
     143, r"match\.sh: pitch did not end within 10 s of its stop: killed"),
]
# A team of as many players as it has endings, started by hand against pitch or against a port
# where nobody listens; what is done once the team's own output has told the kick-off (while
# pitch still runs); the team starter's status, its players' endings and its last line.
TEAM_ENDINGS = [
    ("pitch", "kill pitch", 1, ["server silent"] * 2,
     r"start-team\.sh: the server went silent at cycle \d+, before time over"),
    ("pitch", "SIGTERM", 143, ["quit"] * 2, r"team ended: players: quit \(2\)"),
    ("pitch", "crash, Ctrl-C", 1, ["killed (SIGSEGV)", "quit", "quit"],
     r"start-team\.sh: players killed or failed: 1 \(see the table\)"),
    ("none", "", 1, ["no answer"] * 2,
     r"start-team\.sh: no player got an answer from 127\.0\.0\.1:\d+: is a server running there\?"),
    # Started with a thousand files open: each player's own fatal line, and no guess at a server.
    ("none, 1100 files open", "", 1, [re.compile(r"fatal: cannot watch the UDP socket: its "
     r"descriptor \d+ is not below select's limit of 1024 \(too many files open\)")] * 2,
     r"start-team\.sh: player 2 \(Vorn\) ended on a fatal error: cannot watch the UDP socket: "
     r"its descriptor \d+ is not below select's limit of 1024 \(too many files open\)"),
]
# A runner or a series whose output goes away: read up to its first line, then closed (as
# "| head -1" does), or a "| tee" in the same session as the runner, both sent Ctrl-C once
# play has begun. Its status, and the last line of the match's report.txt (a series: its
# summary must be written, its stage removed).
STOP = r"match\.sh: the match was stopped \({}\) at cycle \d+ of 1000 \(score \d+ : \d+\)"
CLOSED = [
    (MATCH, "closed", 141, STOP.format("its output was closed")),
    (MATCH, "tee, Ctrl-C", 130, STOP.format("SIGINT")),
    (SERIES, "closed", 141, None),
    (SERIES, "tee, Ctrl-C", 130, None),
]
# Two started at once with one folder: one plays (status 0), the other is refused (status 2)
# with this line.
TWICE = [
    (MATCH, "--opponent none --players 1 --cycles 20 --dir m",
     "match.sh: --dir '{}' holds a match already; give another folder"),
    (SERIES, "--opponent none --matches 1 --cycles 20 --dir m",
     "series.sh: --dir '{}' holds a series already"),
]
# The scripts installed (outside the repository) and their programs missing: what the hint
# says. Arguments, exit status, the one line.
INSTALLED_HINT = "is missing; reinstall vorn, or give the folder that holds them with "
INSTALLED = [
    (TEAM, "--bin afolder", 2,
     f"start-team.sh: --bin: afolder/Vorn {INSTALLED_HINT}--bin or VORN_BIN"),
    (SERIES, f"--bin afolder --pitch {BIN}", 2,
     f"series.sh: --bin: afolder/Vorn {INSTALLED_HINT}--bin or VORN_BIN"),
    (SERIES, f"--bin {BIN}", 2, f"series.sh: afolder/pitch {INSTALLED_HINT}--pitch or VORN_BIN"),
    (MATCH, "--opponent none --cycles 5", 1, f"match.sh: afolder/Vorng {INSTALLED_HINT}VORN_BIN"),
]
HELPS = ["run.sh", "test.sh", MATCH, TEAM, "scripts/install-deps.sh", IDLE, ".ci/run", "pitch",
         FUZZ, SOAK, PACKAGE, SERIES, "scripts/series-match.sh", "tests/failed_tests.py",
         "bench/calls_delay.py", LIVE, "scripts/outcome.py", "bench/gamelog_results.py",
         "tests/support/scripted_team.py", "tests/support/rcss_standin.py"]

failures = []


def command(program, args):
    if program.startswith("files:"):
        # A thousand files open beside the standard three (3 to 1100): a player started with
        # them gets a socket above select's limit of 1024, a fatal error of its own.
        return ["bash", "-c", 'ulimit -n 4096 && for ((i = 3; i <= 1100; i++)); do '
                'eval "exec $i</dev/null"; done && exec "$0" "$@"'] + command(program[6:], args)
    path = os.path.join(BIN, program) if program == "pitch" else os.path.join(REPO, program)
    return [path] + args.split()


def survivors(session):
    """Processes still alive in the session (zombies awaiting their reaper excepted)."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if int(fields[3]) == session and fields[0] != "Z":
            found.append(pid)
    return found


def commands(pids):
    names = []
    for pid in pids:
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                names.append(f.read().replace(b"\0", b" ").decode("latin-1").strip())
        except OSError:
            names.append("?")
    return names


def run(root, program, args, env=None, timeout=30, during=None):
    """Runs one case in a fresh working folder; returns status, output, and the folder.
    during(process, folder), when given, acts on the running case."""
    work = tempfile.mkdtemp(dir=root)
    os.mkdir(os.path.join(work, "tmp"))
    os.mkdir(os.path.join(work, FOLDER))
    open(os.path.join(work, FILE), "w").close()
    for folder, file in HELD.items():
        os.mkdir(os.path.join(work, folder))
        open(os.path.join(work, folder, file), "w").close()
    env = dict(os.environ, VORN_BIN=BIN, TMPDIR=os.path.join(work, "tmp")) | (env or {})
    proc = subprocess.Popen(command(program, args), cwd=work, env=env,
                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, start_new_session=True)
    if during:
        during(proc, work)
    try:
        out, _ = proc.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, 9)
        out, _ = proc.communicate()
        failures.append(f"{program} {args}: still running after {timeout} s")
    left = survivors(proc.pid)
    deadline = time.monotonic() + 2  # a process on its way out may take a moment
    while left and time.monotonic() < deadline:
        time.sleep(0.05)
        left = survivors(proc.pid)
    if left:
        failures.append(f"{program} {args}: left processes {left} running: {commands(left)}")
        for pid in left:
            os.kill(int(pid), 9)
    return proc.returncode, out.decode("latin-1"), work


def waitfile(path, text, seconds=30):
    """Waits until the file holds the text (a match's or a team's start)."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if os.path.exists(path) and text in open(path, encoding="latin-1").read():
            return True
        time.sleep(0.1)
    failures.append(f"{path} never showed {text!r}")
    return False


def pidof(name, session):
    """The process of the session whose program (or script, run by its interpreter) is name."""
    return next(int(p) for p in survivors(session)
                if any(w.endswith(name) for w in commands([p])[0].split()[:2]))


def stopmatch(root, who, sig, status, last):
    """A match stopped early: the signal to the runner or to pitch once play has begun."""
    def act(proc, work):
        if waitfile(os.path.join(work, "m", "player1", "console.txt"), "referee kick_off"):
            os.kill(proc.pid if who == MATCH else pidof(who, proc.pid), sig)
    server = "" if who != "rcss_standin.py" else \
        f"--server {os.path.join(REPO, 'tests', 'support', who)} --opponent none "
    got, out, _ = run(root, MATCH, server + "--cycles 1000 --players 1 --dir m", during=act)
    if got != status or not re.match(last, out.splitlines()[-1]):
        failures.append(f"{who} sent {sig.name}: status {got}, output ends {out[-300:]!r}")


def slowstart(root, script, status, line):
    """A match whose pitch starts through a stand-in script."""
    stand = tempfile.mkdtemp(dir=root)
    with open(os.path.join(stand, "pitch"), "w") as f:
        f.write(f"#!/bin/sh\n{script}\n")
    os.chmod(os.path.join(stand, "pitch"), 0o755)
    def act(proc, work):
        if "sleep 300" in script and waitfile(os.path.join(work, "m", "player1", "console.txt"),
                                              "referee kick_off", 60):
            os.kill(proc.pid, signal.SIGTERM)
    cycles = 1000 if "sleep 300" in script else 20
    got, out, _ = run(root, MATCH, f"--cycles {cycles} --players 1 --dir m --pitch {stand}",
                      env={"PITCH": os.path.join(BIN, "pitch")}, timeout=90, during=act)
    if got != status or not any(re.fullmatch(line, o) for o in out.splitlines()):
        failures.append(f"pitch by {script!r}: status {got} (expected {status}), no line "
                        f"{line!r} in {out[-600:]!r}")


def teamending(root, server, action, status, endings, last):
    """A team started by hand: once its first player has heard the kick-off, the team's
    output must tell it within 10 s while pitch runs; then the action. Its status, the
    players' endings (each player's own status 0 unless it was killed) and its last line."""
    def act(proc, work):
        if not waitfile(os.path.join(work, "team", "player1", "console.txt"), "referee kick_off"):
            return
        told, deadline = b"", time.monotonic() + 10
        while b"referee: kick-off" not in told and time.monotonic() < deadline:
            if select.select([proc.stdout], [], [], deadline - time.monotonic())[0]:
                chunk = os.read(proc.stdout.fileno(), 4096)
                told += chunk
                if not chunk:
                    break
        lines.append(told)
        live.append(b"referee: kick-off" in told and pitch.poll() is None)
        if action == "kill pitch":
            pitch.kill()
            killed.append(time.monotonic())
        elif action == "SIGTERM":
            os.kill(proc.pid, signal.SIGTERM)
        elif action == "crash, Ctrl-C":
            os.kill(pidof("Vorn", proc.pid), signal.SIGSEGV)
            time.sleep(0.5)
            os.killpg(proc.pid, signal.SIGINT)
    pitch, lines, live, killed = None, [], [], []
    program = "files:" + TEAM if "files open" in server else TEAM
    if server == "pitch":
        pitch = subprocess.Popen([os.path.join(BIN, "pitch"), "--port", "0", "--bind",
                                  "127.0.0.1", "--wait-players", str(len(endings)), "--cycles",
                                  "1000", "--quiet"], stdout=subprocess.PIPE,
                                 start_new_session=True)
        port = pitch.stdout.readline().split()[-1].decode()
    else:
        nobody = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        nobody.bind(("127.0.0.1", 0))
        port = nobody.getsockname()[1]
        nobody.close()
    got, rest, _ = run(root, program, f"--host 127.0.0.1 --port {port} --players {len(endings)}"
                       " --dir team", during=act if pitch else None)
    if pitch:
        pitch.kill()
        pitch.wait()
    out = b"".join(lines).decode("latin-1") + rest
    rows = re.findall(r"^\d+ +Vorng? +\d+ +\d+ +(-?\d+)  (.*)$", out, re.M)
    wrong = [r for r in rows if (r[0] != "0") != r[1].startswith("killed")]
    if pitch and live != [True]:
        failures.append(f"team against pitch, {action}: no kick-off on its output within "
                        f"10 s while pitch ran: {out!r}")
    if (got != status or not sameendings([r[1] for r in rows], endings) or wrong
            or not re.fullmatch(last, out.splitlines()[-1] if out else "")):
        failures.append(f"team against {server}, {action or 'nothing done'}: status {got}, "
                        f"output {out!r}")
    if killed and time.monotonic() - killed[0] > 15:
        failures.append(f"team against pitch, {action}: still running 15 s after the kill")


def sameendings(got, expected):
    """Whether the endings are those expected, in any order; an expected one is a string or a
    pattern the whole ending must match."""
    left = list(got)
    for e in expected:
        hit = next((g for g in left if (e.fullmatch(g) if isinstance(e, re.Pattern) else g == e)),
                   None)
        if hit is None:
            return False
        left.remove(hit)
    return not left


def inside(folder, seconds=0):
    """Processes that run in the folder, once none is left or after the seconds (a series'
    matches run in GNU parallel's session, so they are looked for by working folder)."""
    deadline = time.monotonic() + seconds
    while True:
        left = []
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                if os.readlink(f"/proc/{pid}/cwd").startswith(folder):
                    left.append(pid)
            except OSError:
                pass
        if not left or time.monotonic() >= deadline:
            return left
        time.sleep(0.1)


def start(script, args, work, wrap=()):
    """The script in the folder, in a session of its own, with this build's programs and the
    folder for its temporary files; wrap comes before it on the command line."""
    return subprocess.Popen(list(wrap) + command(script, args), cwd=work,
                            env=dict(os.environ, VORN_BIN=BIN, TMPDIR=work),
                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, start_new_session=True)


def closedoutput(root, script, how, status, last):
    """The runner or a series, its output closed after the first line or its tee stopped with
    it by Ctrl-C."""
    work = tempfile.mkdtemp(dir=root)
    args = ("--cycles 1000 --players 1 --dir m" if script == MATCH
            else "--matches 2 --jobs 1 --cycles 300 --dir m")
    what = f"{script} | {how}"
    # A shell as a terminal has it: the pipeline in one process group, which Ctrl-C reaches
    # whole; the shell itself outlives it to tell the runner's status.
    tee = ["bash", "-c", 'trap : INT; "$0" "$@" | tee log >/dev/null; '
           'echo "${PIPESTATUS[0]}" >status']
    proc = start(script, args, work, () if how == "closed" else tee)
    if how == "closed":
        proc.stdout.readline()
    else:
        player = "m/player1" if script == MATCH else "m/match-001/player1"
        if waitfile(os.path.join(work, player, "console.txt"), "referee kick_off"):
            os.killpg(proc.pid, signal.SIGINT)
    proc.stdout.close()
    try:
        got = proc.wait(timeout=90)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, 9)
        got = proc.wait()
        failures.append(f"{what}: still running after 90 s")
    if how != "closed":
        got = int(open(os.path.join(work, "status")).read() or -1)
    left = inside(work, 5)
    folder = os.path.join(work, "m")
    if script == MATCH:
        report = os.path.join(folder, "report.txt")
        lines = open(report, encoding="latin-1").read().splitlines() if os.path.exists(report) \
            else []
        wrong = not lines or not re.fullmatch(last, lines[-1]) or \
            not any(line.startswith("record: ") for line in lines)
    else:
        lines = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
        wrong = "summary.json" not in lines or any(n.startswith("vorn-series-") for n in lines)
    if got != status or wrong or left:
        failures.append(f"{what}: status {got} (expected {status}), left {commands(left)}, "
                        f"report or folder {lines[-12:]}")


def twice(root, script, args, refusal):
    """Two of the script at once with one folder: exactly one plays."""
    work = tempfile.mkdtemp(dir=root)
    procs = [start(script, args, work) for _ in range(2)]
    ran = []
    for proc in procs:
        try:
            out, _ = proc.communicate(timeout=90)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, 9)
            out, _ = proc.communicate()
        ran.append((proc.returncode, out.decode("latin-1").splitlines()))
    ran.sort()
    # The refusal names the folder as given, whether the check before the start or the
    # claim of the folder found the other.
    if [r[0] for r in ran] != [0, 2] or ran[1][1] != [refusal.format("m")]:
        failures.append(f"two {script} {args} at once: {ran}")


def stopseries(root):
    """A series of three matches, one at once, stopped by Ctrl-C once its first has begun."""
    def act(proc, work):
        if waitfile(os.path.join(work, "s", "match-001", "player1", "console.txt"),
                    "referee kick_off"):
            os.kill(proc.pid, signal.SIGINT)
    got, out, work = run(root, SERIES, "--matches 3 --jobs 1 --cycles 1000 --dir s", during=act,
                         timeout=90)
    left = inside(work)
    expected = "1 match, 0 played to the end, 1 stopped early, 0 failed"
    if got != 130 or expected not in out or left:
        failures.append(f"series stopped: status {got}, left {commands(left)}, output {out!r}")


def contents(work):
    return sorted(os.path.relpath(os.path.join(d, n), work)
                  for d, dirs, files in os.walk(work) for n in dirs + files)


def options(root):
    """The refusals of bad options and the help texts; returns the number of cases."""
    untouched = sorted(["tmp", FOLDER, FILE] + list(HELD) +
                       [os.path.join(d, f) for d, f in HELD.items()])
    for program, args, status, text in REFUSALS:
        got, out, work = run(root, program, args)
        lines = out.splitlines()
        if got != status or len(lines) != 1 or text not in out:
            failures.append(f"{program} {args}: status {got} (expected {status}), "
                            f"output {out!r} (expected one line with {text!r})")
        if contents(work) != untouched:
            failures.append(f"{program} {args}: left {contents(work)}")
    # The scripts as installed: a copy of scripts/ in PREFIX/share/vorn, no repository above.
    installed = os.path.join(root, "prefix", "share", "vorn")
    shutil.copytree(os.path.join(REPO, "scripts"), os.path.join(installed, "scripts"))
    for program, args, status, text in INSTALLED:
        got, out, work = run(root, os.path.join(installed, program), args,
                             env={"VORN_BIN": FOLDER})
        if got != status or out.splitlines() != [text]:
            failures.append(f"installed {program} {args}: status {got} (expected {status}), "
                            f"output {out!r} (expected {text!r})")
        if contents(work) != untouched:
            failures.append(f"installed {program} {args}: left {contents(work)}")
    for program in HELPS:
        for flag in ("--help", "-h"):
            got, out, work = run(root, program, flag)
            stray = [line for line in out.splitlines() if "pipefail" in line or "set -" in line]
            if got != 0 or len(out.splitlines()) < 2 or stray:
                failures.append(f"{program} {flag}: status {got}, stray lines {stray}, "
                                f"output {out!r}")
            if contents(work) != untouched:
                failures.append(f"{program} {flag}: left {contents(work)}")
    return len(REFUSALS) + len(INSTALLED) + 2 * len(HELPS)


def guarded(case, *args):
    """Runs a case in its thread: an exception there is a failure, not a lost trace."""
    try:
        case(*args)
    except Exception as e:  # noqa: BLE001 - any fault of the case is the test's failure
        failures.append(f"{case.__name__}: {e!r}")


def endings(root):
    """start-team.sh unanswered and refused, and the early endings; returns the number of
    cases."""
    try:
        # A port that holds the init and never answers.
        sink = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        sink.bind(("127.0.0.1", 0))
        port = sink.getsockname()[1]
        got, out, work = run(root, TEAM, f"--host 127.0.0.1 --port {port} --players 1 --dir team")
        sink.settimeout(0)
        try:
            init = sink.recv(4096)
        except BlockingIOError:
            init = b""
        sink.close()
        expected = f"no player got an answer from 127.0.0.1:{port}: is a server running there?"
        console = os.path.join(work, "team", "player1", "console.txt")
        trace = open(console, encoding="latin-1").read() if os.path.exists(console) else ""
        if (got != 1 or out.splitlines()[-1:] != [f"start-team.sh: {expected}"]
                or not init.startswith(b"(init vorn")
                or "(init vorn(version 6.02)(goalie))" not in trace):
            failures.append(f"start-team.sh --dir team: status {got}, init {init!r}, "
                            f"output {out!r}, console {trace[:200]!r}")
        # A server that refuses the player: its words, status 1.
        sink = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        sink.bind(("127.0.0.1", 0))
        sink.settimeout(10)
        refusal = "(error no_more_team_or_player_or_goalie)"
        refuse = lambda proc, work: sink.sendto(refusal.encode() + b"\0", sink.recvfrom(4096)[1])
        got, out, work = run(root, TEAM, f"--host 127.0.0.1 --port {sink.getsockname()[1]} "
                             "--players 1", during=refuse)
        sink.close()
        if got != 1 or not out.endswith(f"refused the players: {refusal}\n"):
            failures.append(f"start-team.sh refused: status {got}, output {out!r}")

        calls = [(stopmatch, e) for e in ENDINGS] + [(teamending, e) for e in TEAM_ENDINGS] + \
            [(stopseries, ())] + [(closedoutput, c) for c in CLOSED] + [(twice, t) for t in TWICE] + \
            [(slowstart, c) for c in STARTS]
        cases = [threading.Thread(target=guarded, args=(f, root) + a) for f, a in calls]
        for case in cases:
            case.start()
        for case in cases:
            case.join()
    except (BlockingIOError, socket.timeout):
        failures.append("start-team.sh --dir team: no init reached the port")
    return len(ENDINGS) + len(TEAM_ENDINGS) + len(CLOSED) + len(TWICE) + len(STARTS) + 3


def main():
    parts = sys.argv[2:] or ["options", "endings"]
    root = tempfile.mkdtemp(prefix="vorn-scriptstest.")
    cases = 0
    try:
        if "options" in parts:
            cases += options(root)
        if "endings" in parts:
            cases += endings(root)
    finally:
        shutil.rmtree(root, ignore_errors=True)

    for failure in failures:
        print("FAIL:", failure)
    print(f"{cases} cases, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
