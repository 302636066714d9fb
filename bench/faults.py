#!/usr/bin/env python3
"""A fault campaign against the match runner and the series: random trials, each one match
(scripts/match.sh) or one series (scripts/series.sh) started in a session of its own, into
which one signal (INT, TERM, HUP or KILL) is sent to one of its processes (TARGET) at one
moment of the match (MOMENT). The moment is read from the match folder's files as they are
written (team.txt, pitch.txt, report.txt), never guessed from the clock. Each trial checks
the promise: every process of the match (or series) ends within the bound (15 s) after the
signal, the runner's exit status is the one its help text names for the case (the table
EXPECTED below), no process of the trial is left, no file of it grows past the size limit
(50 MB), and the match folder's files can be read (every result.json parses, the game log
and the record read with scripts/matchlog.py).

usage: bench/faults.py [--trials N] [--first I] [--seed S] [--jobs K] [--only T/S/M]
                       [--server PATH] [--opponent X] [--out DIR] [--keep] [--list]
                       [--table FILE] [--bin DIR]

Targets (TARGET):
  runner        scripts/match.sh itself
  team          scripts/start-team.sh of vorn
  player        one of vorn's players (Vorn or Vorng), drawn at random
  server        pitch, or the real server with --server
  opponent      the opponent's first process (the scripted team, tests/support/
                scripted_team.py, unless --opponent says otherwise)
  group         the match's whole process group (as timeout or a terminal's Ctrl-C sends)
  series        scripts/series.sh (a series of two matches, one at a time)
  parallel      GNU parallel under series.sh
  series-group  series.sh's whole process group
Moments (MOMENT): startup (the match folder has just been claimed: report.txt or team.txt
there, or for the opponent opponent.txt), kickoff (the team has started, no kick-off yet),
play (the kick-off has been heard), goal (a goal has been heard: the pause after it; these
trials play one player of vorn on the right against pitch's chasers, who mostly score within
300 cycles; none for the opponent and the series' targets), halftime (half time heard: the pause), timeover (pitch said time over, or on the
real server the players heard it), report (the team's table is in report.txt: the runner
makes the figures and the replay page).

The bound is measured from the signal for the targets whose signal ends the match; for a
player and the opponent, whose end the match outlives, and for SIGHUP to GNU parallel (which
finishes its running matches and starts no more), from the later of the signal and the
time over. A trial that never reached its moment (the match ended first, a goal that did
not come) or whose target was not there is counted as missed, not as a failure. Matches are
short (100 to 300 cycles, or 300 for a goal), so that a trial takes half a minute or less.

The trials are drawn from the seed: the same --seed and --only give the same trials (target,
signal, moment, length, pitch's seed, the player picked), not the same timing. Each trial
prints a line as it ends; at the end a table by target, signal and moment (trials, ended
within the bound, the slowest end, trials with processes left, statuses as expected) and
the reproducer of every failure. The folders of failed trials are kept under --out (all of
them with --keep). Exit status 0 when every trial that reached its moment held, 1 when one
failed, 2 for a bad option.
"""

import argparse
import concurrent.futures
import gzip
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.realpath(__file__))
REPO = os.path.dirname(HERE)
SCRIPTS = os.path.join(REPO, "scripts")
SCRIPTED = os.path.join(REPO, "tests", "support", "scripted_team.py")
PROG = "faults.py"

BOUND_S = 15.0  # every process ends this long after the signal
SIZE_LIMIT = 50 * 2**20  # no file of a trial grows past this
GRACE_S = 45.0  # past the bound, a trial's processes are ended by force
MARKER = "VORN_FAULT_TRIAL"  # set in the environment of every trial's processes

SIGNALS = ["INT", "TERM", "HUP", "KILL"]
MATCH_TARGETS = ["runner", "team", "player", "server", "opponent", "group"]
SERIES_TARGETS = ["series", "parallel", "series-group"]
TARGETS = MATCH_TARGETS + SERIES_TARGETS
MOMENTS = ["startup", "kickoff", "play", "goal", "halftime", "timeover", "report"]
# Targets that have ended by the report (the team's table is written once every player has
# ended; pitch has ended before it): no trial of theirs at that moment.
GONE_AT_REPORT = {"team", "player", "server", "opponent"}
# Targets whose end the match outlives: their trials measure from the time over. SIGHUP is
# GNU parallel's own "finish the running jobs, start no new one": the running match plays
# to its end, the ones not started never start.
OUTLIVED = {"player", "opponent"}


def outlived(trial):
    return trial.target in OUTLIVED or (trial.target, trial.signal) == ("parallel", "HUP")

# The runner's exit status (match.sh's, series.sh's for the series' targets) that each case
# gives by the help texts, by (target, signal, phase): phase "on" before the time over,
# "over" at the time over or in the report. A process killed by signal N counts as status
# 128 + N, as the shell gives it. The cases and where their statuses come from:
#   runner, group: Ctrl-C 130, SIGTERM 143 (match.sh's help); SIGHUP 129, which match.sh's
#     help does not name (start-team.sh's and series.sh's do); SIGKILL 137, the kill itself:
#     the runner cannot act, and its children must end without it.
#   server: "the status is the server's": pitch ends with 128 plus the signal (pitch --help),
#     and a killed server is one that failed with its signal. A server stopped before it
#     said that it listens is one that did not start: status 1 (phase "start"). One stopped
#     after the time over ends as it would have: 0 (killed: its signal's). The real server
#     ends with 0 however it is stopped: one that ends before time over gives 1.
#   team (start-team.sh) before the time over: its players are stopped or orphaned, so the
#     match cannot go on: the runner ends it, status 1 (the team failed). After the time
#     over it was being stopped anyway: 0, the match was played; but killed, its table of
#     the players is lost, a team that failed: 1.
#   player: Ctrl-C is ignored by the players (start-team.sh types "quit" instead): 0. Killed
#     by any other signal: "a player killed or failed ... gives status 1", and the match is
#     played on to its end without it.
#   opponent: one whose players leave before the time over makes the match invalid: 3;
#     after the time over it is being stopped anyway: 0. Another build of vorn whose
#     start-team.sh is killed keeps its players on the field: 0 (expected() says so).
#   series, series-group: 130, 143, 129 (series.sh's help), SIGKILL 137 (the kill itself).
#   parallel: the matches it ran end with it, and series.sh sums up: "1 when a match failed".
STOPS = {"INT": 130, "TERM": 143, "HUP": 129, "KILL": 137}
EXPECTED = {}
for _s, _status in STOPS.items():
    for _phase in ("on", "over"):
        EXPECTED["runner", _s, _phase] = _status
        EXPECTED["group", _s, _phase] = _status
        EXPECTED["server", _s, _phase] = _status
        EXPECTED["series", _s, _phase] = _status
        EXPECTED["series-group", _s, _phase] = _status
        EXPECTED["parallel", _s, _phase] = 1
    EXPECTED["server", _s, "start"] = 1
    if _s != "KILL":  # pitch ends its summary as it would; the match was played
        EXPECTED["server", _s, "over"] = 0
    EXPECTED["team", _s, "on"] = 1
    EXPECTED["team", _s, "over"] = 1 if _s == "KILL" else 0
    EXPECTED["player", _s, "on"] = 0 if _s == "INT" else 1
    EXPECTED["player", _s, "over"] = 0 if _s == "INT" else 1
    EXPECTED["opponent", _s, "on"] = 3
    EXPECTED["opponent", _s, "over"] = 0


class Trial:
    """One trial, as drawn: what is signalled when, and the match it is played in."""

    FIELDS = ("index", "target", "signal", "moment", "cycles", "seed", "server", "opponent",
              "players", "side", "pick")

    def __init__(self, **kw):
        for f in self.FIELDS:
            setattr(self, f, kw.get(f))

    @property
    def name(self):
        return f"{self.target}/{self.signal}/{self.moment}"

    @property
    def series(self):
        return self.target in SERIES_TARGETS

    def asdict(self):
        return {f: getattr(self, f) for f in self.FIELDS}


def parse_only(text):
    """TARGET/SIGNAL/MOMENT, each part a name or '*'; ValueError for anything else."""
    parts = text.split("/")
    if len(parts) != 3:
        raise ValueError(f"--only needs TARGET/SIGNAL/MOMENT, not '{text}'")
    for part, names, what in zip(parts, (TARGETS, SIGNALS, MOMENTS),
                                 ("target", "signal", "moment")):
        if part != "*" and part not in names:
            raise ValueError(f"--only: unknown {what} '{part}' (one of {', '.join(names)})")
    return [None if p == "*" else p for p in parts]


def draw(seed, index, only=(None, None, None), server=None, opponent=None):
    """Trial number index of the campaign of the given seed. Its length, pitch's seed and
    the player picked are the same for the same seed and index whatever --only says, so
    that a failed trial is played again with --only and --first."""
    rng = random.Random(f"{seed}/{index}")

    def choice(names):
        return names[int(rng.random() * len(names))]

    target = choice(TARGETS)
    target = only[0] or target
    sig = only[1] or choice(SIGNALS)
    # A series plays eleven against the chasers, who seldom score in a short match.
    # The scripted team seldom scores against a lone goalie either.
    moments = [m for m in MOMENTS if not (m == "report" and target in GONE_AT_REPORT) and
               not (m == "goal" and target in SERIES_TARGETS + ["opponent"])]
    moment = choice(moments)
    moment = only[2] or moment
    real = server if rng.random() < 1 / 3 and server and target not in SERIES_TARGETS else None
    players, side = 11, "left"
    cycles = 100 + 20 * int(rng.random() * 11)
    trial_seed = 1 + int(rng.random() * 999999)
    pick = rng.random()
    opp = "chasers"
    if target == "opponent" or real:
        opp = opponent or f"python3 {SCRIPTED} --port {{port}}"
    if moment == "goal":  # pitch's chasers score within 300 cycles against a lone goalie
        players, side, cycles, real, opp = 1, "right", 300, None, "chasers"
    return Trial(index=index, target=target, signal=sig, moment=moment, cycles=cycles,
                seed=trial_seed, server=real, opponent=opp, players=players, side=side,
                pick=pick)


# --- The trial's processes, read from /proc.

class Proc:
    def __init__(self, pid, ppid, pgid, sid, comm, cmd, cwd):
        self.pid, self.ppid, self.pgid, self.sid = pid, ppid, pgid, sid
        self.comm, self.cmd, self.cwd = comm, cmd, cwd

    def __repr__(self):
        return f"{self.pid} {' '.join(self.cmd)[:120]}"


_ours = {}  # (pid, start time) -> whether that process is a trial's, by trial
_ours_lock = threading.Lock()


def processes(tag, folder):
    """Every live process (zombies left out) whose environment carries the trial's marker
    or whose command line names its folder. A process's environment and command line are
    read once: what a process is, by its pid and start time, is kept."""
    mark = f"{MARKER}={tag}".encode() + b"\0"
    where = (folder + "/").encode()
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat", "rb") as f:
                stat = f.read().decode("latin-1")
        except OSError:
            continue
        comm = stat[stat.index("(") + 1:stat.rindex(")")]
        rest = stat[stat.rindex(")") + 2:].split()
        if rest[0] == "Z":
            continue
        key = (int(entry), rest[19], tag)
        with _ours_lock:
            known = _ours.get(key)
        if known is False:
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                cmd = f.read()
            if known is None:
                with open(f"/proc/{entry}/environ", "rb") as f:
                    env = f.read()
                # A process caught between fork and exec shows its parent's environment and
                # command line: one of this program's own children is judged anew each time.
                known = mark in env or where in cmd
                if known or int(rest[1]) != os.getpid():
                    with _ours_lock:
                        _ours[key] = known
        except OSError:
            continue
        if not known:
            continue
        try:
            cwd = os.readlink(f"/proc/{entry}/cwd")
        except OSError:
            cwd = ""
        found.append(Proc(int(entry), int(rest[1]), int(rest[2]), int(rest[3]), comm,
                          [a.decode("latin-1") for a in cmd.split(b"\0") if a], cwd))
    return found


def pick_target(trial, procs, runner_pid, match):
    """The pid the trial's signal goes to (for the groups: the group's id), or None when the
    target is not (or no longer) there."""
    def has(p, word):
        return any(word in a for a in p.cmd)

    if trial.target in ("runner", "series"):
        return runner_pid if trial.target == "runner" or trial.series else None
    if trial.target in ("group", "series-group"):
        return runner_pid
    if trial.target == "team":
        # The starter itself, not one of its subshells (a player's, the follower's), which
        # carry its command line too.
        starters = {p.pid: p for p in procs if has(p, "start-team.sh") and "--dir" in p.cmd and
                    p.cmd[p.cmd.index("--dir") + 1].rstrip("/") == match}
        for p in starters.values():
            if p.ppid not in starters:
                return p.pid
    elif trial.target == "player":
        players = sorted((p for p in procs if p.comm in ("Vorn", "Vorng") and
                          p.cwd.startswith(match + "/player")), key=lambda p: p.cwd)
        if players:
            return players[int(trial.pick * len(players))].pid
    elif trial.target == "server":
        for p in procs:
            if p.comm in ("pitch", "rcssserver") or p.cmd and \
                    os.path.basename(p.cmd[0]) in ("pitch", "rcssserver"):
                return p.pid
    elif trial.target == "opponent":
        # The opponent leads a session of its own (match.sh starts it so): the scripted
        # team's process in it, else (another build of vorn) its start-team.sh, the first.
        leaders = {p.pid for p in procs if p.pid == p.sid and p.pid != runner_pid}
        team = [p for p in procs if p.sid in leaders]
        for p in team:
            if has(p, "scripted_team.py") and p.comm.startswith("python"):
                return p.pid
        # The scripted team not yet there: its shell, which it outlives, is not the opponent.
        for p in team:
            if p.pid == p.sid and "scripted_team.py" not in trial.opponent:
                return p.pid
    elif trial.target == "parallel":
        for p in sorted(procs, key=lambda p: p.pid):
            if p.comm == "parallel" or any(os.path.basename(a) == "parallel" for a in p.cmd[:2]):
                return p.pid
    return None


# --- The moments, from the match folder's files.

def head(path, limit=1 << 20):
    """The start of a file as text ('' when it is not there): a file grown past all bounds
    is not read whole."""
    try:
        with open(path, "rb") as f:
            return f.read(limit).decode("latin-1")
    except OSError:
        return ""


def reached(trial, match):
    """Whether the trial's moment has come in the match folder."""
    team = head(os.path.join(match, "team.txt"))
    report = head(os.path.join(match, "report.txt"))
    server = head(os.path.join(match, "pitch.txt"))
    m = trial.moment
    if m == "startup":
        if trial.target == "opponent":
            return os.path.exists(os.path.join(match, "opponent.txt"))
        if trial.pick < 0.5 and trial.target not in ("team", "player"):
            return os.path.exists(os.path.join(match, "report.txt"))
        return os.path.exists(os.path.join(match, "team.txt"))
    if m == "kickoff":
        return "team started" in team and "referee: kick-off" not in team
    if m == "play":
        return "referee: kick-off at cycle" in team
    if m == "goal":
        return "referee: goal for " in team
    if m == "halftime":
        return "referee: half time" in team
    if m == "timeover":
        return "pitch: time over" in server or "referee: time over" in team
    if m == "report":
        return "vorn's players:" in report
    raise ValueError(m)


def server_started(match):
    """Whether the server has said that it listens (match.sh goes on from there)."""
    return ("pitch: listening on port" in head(os.path.join(match, "pitch.txt")) or
            "Hit CTRL-C to exit" in head(os.path.join(match, "server.txt")))


def timeover(match):
    # The real server says it too: its players may not have heard it (the goalie killed, say).
    return ("pitch: time over" in head(os.path.join(match, "pitch.txt")) or
            "referee: time over" in head(os.path.join(match, "team.txt")) or
            "Waiting after end of match" in head(os.path.join(match, "server.txt")))


def too_large(folder):
    """The files of the folder past the size limit, as (path, bytes)."""
    big = []
    for top, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(top, name)
            try:
                size = os.lstat(path).st_size
            except OSError:
                continue
            if size > SIZE_LIMIT:
                big.append((path, size))
    return big


def empty(path):
    """Whether a file holds nothing, once decompressed when it is gzip's."""
    try:
        if path.endswith(".gz"):
            with gzip.open(path, "rb") as f:
                return not f.read(1)
        return os.path.getsize(path) == 0
    except (OSError, EOFError):
        return False  # a broken gzip file is for matchlog.py to judge


def json_lines(path):
    """Whether every line of the file (gzip's, when it ends so) is a JSON object."""
    try:
        with (gzip.open(path, "rt") if path.endswith(".gz") else open(path)) as f:
            return all(isinstance(json.loads(line), dict) for line in f if line.strip())
    except (OSError, EOFError, ValueError):
        return False


def unreadable(folder, series):
    """The files of the folder that cannot be read: every result.json must parse, every game
    log and record must read with scripts/matchlog.py."""
    bad = []
    for top, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(top, name)
            if name == "result.json":
                try:
                    with open(path, encoding="utf-8") as f:
                        json.load(f)
                except (OSError, ValueError) as e:
                    bad.append(f"{path}: {e}")
            elif name in ("match.rcg", "match.rcg.gz", "match.jsonl", "match.jsonl.gz"):
                if empty(path):
                    continue  # stopped before its first step
                r = subprocess.run([sys.executable, os.path.join(SCRIPTS, "matchlog.py"), path],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                   text=True, timeout=120)
                why = r.stderr.strip()
                # A match stopped before its kick-off has a game log of no steps, and a record
                # of no steps when pitch stopped before its first (its lines JSON all the same).
                if r.returncode != 0 and not why.endswith(("is a game log without show lines",
                                                           "before its first show line")) and \
                        not (why.endswith("holds no step lines (neither a pitch record nor a "
                                          "game log?)") and json_lines(path)):
                    bad.append(f"{path}: {r.stderr.strip()[:200]}")
    return bad


def command(trial, folder, bin_dir):
    """The runner's command line for the trial."""
    if trial.series:
        return [os.path.join(SCRIPTS, "series.sh"), "--matches", "2", "--jobs", "1",
                "--cycles", str(trial.cycles), "--seed", str(trial.seed), "--dir",
                os.path.join(folder, "series"), "--bin", bin_dir, "--pitch", bin_dir]
    args = [os.path.join(SCRIPTS, "match.sh"), "--cycles", str(trial.cycles), "--dir",
            os.path.join(folder, "match"), "--opponent", trial.opponent, "--players",
            str(trial.players), "--side", trial.side]
    if trial.server:
        args += ["--server", trial.server]
    else:
        args += ["--seed", str(trial.seed), "--pitch", bin_dir]
    return args


def expected(trial, phase):
    if trial.target == "opponent" and trial.opponent.startswith("vorn:") and trial.signal == "KILL":
        return 0  # its start-team.sh killed, its players play on: the match stays valid
    if trial.target == "server" and trial.server and trial.signal != "KILL" and phase == "on":
        return 1  # the real server ends with 0 however it is stopped: it ended early
    return EXPECTED[trial.target, trial.signal, phase]


def unignore():
    """Ctrl-C and SIGHUP as the trials' processes must get them: a signal ignored here (this
    program started in the background by a shell, or by nohup) would stay ignored in every
    process started, and the runners could not trap it. Called in the main thread."""
    signal.signal(signal.SIGINT, signal.default_int_handler)
    signal.signal(signal.SIGHUP, signal.SIG_DFL)


def run_trial(trial, out, bin_dir, bound=BOUND_S, say=None):
    """Plays the trial in the folder out/trial-NNN and returns what it found, a dict:
    reached (the moment came and the target was there), status and expected, ended (every
    process ended within the bound), end_s (the slowest end, from the reference: the signal,
    or the time over for the outlived targets), target_s (the target's own end), left (the
    processes still there at the bound), big (files past the limit), unreadable, failures
    (one line each) and folder."""
    if signal.getsignal(signal.SIGINT) == signal.SIG_IGN:
        raise RuntimeError("SIGINT is ignored: call unignore() first")
    folder = os.path.join(out, f"trial-{trial.index:03d}")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    match = os.path.join(folder, "series", "match-001") if trial.series else \
        os.path.join(folder, "match")
    env = dict(os.environ, **{MARKER: folder}, VORN_BIN=bin_dir, TMPDIR=folder)
    with open(os.path.join(folder, "trial.json"), "w") as f:
        json.dump(trial.asdict(), f)
    runner_out = open(os.path.join(folder, "runner.txt"), "wb")
    started = time.monotonic()
    runner = subprocess.Popen(command(trial, folder, bin_dir), cwd=folder, env=env,
                              stdin=subprocess.DEVNULL, stdout=runner_out,
                              stderr=subprocess.STDOUT, start_new_session=True)
    runner_out.close()
    r = {"trial": trial.asdict(), "name": trial.name, "folder": folder, "reached": False,
         "status": None, "expected": None, "ended": None, "end_s": None, "target_s": None,
         "left": [], "big": [], "unreadable": [], "failures": [], "bound": bound}
    target = None
    deadline = started + trial.cycles * 0.1 + 120  # the whole match with its pauses, and more
    try:
        # The moment, and the target there at it.
        while time.monotonic() < deadline and runner.poll() is None:
            if too_large(folder):
                break
            if reached(trial, match):
                target = pick_target(trial, processes(folder, folder), runner.pid, match)
                if target is not None:
                    break
            time.sleep(0.05)
        if target is None:
            r["failures"] += [f"{f}: {n} bytes" for f, n in too_large(folder)]
            return finish(r, runner, folder, trial)
        phase = "over" if timeover(match) or trial.moment in ("timeover", "report") else "on"
        if trial.target == "server" and not server_started(match):
            phase = "start"
        number = getattr(signal, "SIG" + trial.signal)
        t0 = time.monotonic()
        try:
            if trial.target in ("group", "series-group"):
                os.killpg(target, number)
            else:
                os.kill(target, number)
        except ProcessLookupError:
            return finish(r, runner, folder, trial)  # it ended just then: missed
        r["reached"] = True
        r["expected"] = expected(trial, phase)
        r["phase"] = phase
        if say:
            say(f"trial {trial.index}: {trial.name}: sent at {t0 - started:.1f} s")
        over_at = t0 if phase == "over" else None
        target_gone = None
        alive_target = trial.target not in ("group", "series-group")
        end = None
        hard = t0 + bound + GRACE_S
        if outlived(trial):
            hard += trial.cycles * 0.1 + 40  # the rest of the match, its pauses
        checked_bound = False
        last_alive = t0  # the last scan that saw a process of the trial (or the runner)
        while True:
            now = time.monotonic()
            procs = processes(folder, folder)
            if procs or runner.poll() is None:
                last_alive = now
            if over_at is None and timeover(match):
                over_at = now
            if target_gone is None and (not alive_target or
                                        all(p.pid != target for p in procs)):
                target_gone = now
            ref = t0
            if outlived(trial):
                ref = max(t0, over_at) if over_at is not None else None
            if not checked_bound and ref is not None and now >= ref + bound:
                checked_bound = True
                r["left"] = [repr(p) for p in procs if p.pid != runner.pid or
                             runner.poll() is None]
            if runner.poll() is not None and not procs:
                end = now
                break
            big = too_large(folder)
            if big:
                r["big"] = [f"{f}: {n} bytes" for f, n in big]
                break
            if now >= hard:
                if not checked_bound:
                    r["left"] = [repr(p) for p in procs]
                break
            time.sleep(0.2)
        ref = t0
        if outlived(trial) and over_at is not None:
            ref = max(t0, over_at)
        if end is not None:
            # Between the last scan that saw a process and the first that saw none: the
            # former, a scan lasting long on a busy machine.
            r["end_s"] = round(max(last_alive - ref, 0), 2)
            r["seen_gone_s"] = round(end - ref, 2)
        if target_gone is not None:
            r["target_s"] = round(target_gone - t0, 2)
        r["ended"] = end is not None and last_alive - ref <= bound and not r["left"]
        return finish(r, runner, folder, trial)
    finally:
        stop_all(runner, folder)


def stop_all(runner, folder):
    """Whatever of the trial is left is ended by force, and the runner reaped; what the
    scan kept of the trial's processes is let go."""
    with _ours_lock:
        for key in [k for k in _ours if k[2] == folder]:
            del _ours[key]
    for p in processes(folder, folder):
        try:
            os.kill(p.pid, signal.SIGKILL)
        except OSError:
            pass
    if runner.poll() is None:
        try:
            os.killpg(runner.pid, signal.SIGKILL)
        except OSError:
            pass
    runner.wait()


def finish(r, runner, folder, trial):
    """The runner's status, the folder's files, and the verdict."""
    forced = runner.poll() is None
    if forced:
        stop_all(runner, folder)
    status = runner.returncode
    # A runner ended by force here has no status of its own to judge.
    r["status"] = None if forced else 128 - status if status < 0 else status
    if not r["reached"]:
        return r
    r["unreadable"] = unreadable(folder, trial.series)
    f = r["failures"]
    if r["big"]:
        f.append("ended by force once a file had grown past the limit")
    elif not r["ended"]:
        end = "never" if r["end_s"] is None else f"after {r['end_s']} s"
        f.append(f"not ended within {r.get('bound', BOUND_S):g} s (ended {end}); left at the bound: "
                 f"{r['left'][:6]}")
    if r["status"] is None:
        f.append("no status: the runner was ended by force")
    elif r["status"] != r["expected"]:
        f.append(f"status {r['status']}, expected {r['expected']}")
    f += [f"past {SIZE_LIMIT >> 20} MB: {b}" for b in r["big"]]
    f += [f"unreadable: {u}" for u in r["unreadable"]]
    return r


# --- The campaign.

def reproducer(r, seed):
    s = r["trial"]
    return f"bench/faults.py --seed {seed} --only {r['name']} --first {s['index']} --trials 1"


def table(results, parts=3):
    """The Markdown table by target, signal and moment (parts 3), or by target and signal
    (parts 2). "never": a trial whose processes were ended by force."""
    rows = {}
    for r in results:
        rows.setdefault("/".join(r["name"].split("/")[:parts]), []).append(r)
    heads = ["target", "signal", "moment"][:parts]
    lines = ["| " + " | ".join(heads) + " | trials | reached | ended | slowest end | "
             "leftovers | status as expected |",
             "| " + " | ".join(["---"] * parts) + " | ---: | ---: | ---: | ---: | ---: | ---: |"]
    order = {n: i for i, n in enumerate(TARGETS + SIGNALS + MOMENTS)}
    for name in sorted(rows, key=lambda n: [order[p] for p in n.split("/")]):
        rs = rows[name]
        hit = [r for r in rs if r["reached"]]
        for r in hit:  # by the table as it stands now
            r["expected"] = expected(Trial(**r["trial"]), r.get("phase", "on"))
        ends = [r["end_s"] for r in hit if r["end_s"] is not None]
        never = any(r["end_s"] is None for r in hit)
        slowest = ("never" if never else f"{max(ends):.1f} s") if hit else "-"
        lines.append(f"| {' | '.join(name.split('/'))} | {len(rs)} | {len(hit)} | "
                     f"{sum(bool(r['ended']) for r in hit)} | {slowest} | "
                     f"{sum(bool(r['left']) for r in hit)} | "
                     f"{sum(r['status'] == r['expected'] for r in hit)} |")
    return "\n".join(lines)


def main(argv):
    p = argparse.ArgumentParser(prog="bench/faults.py", description=__doc__.split("\n\n")[0],
                                formatter_class=argparse.RawDescriptionHelpFormatter,
                                epilog="\n\n".join(__doc__.split("\n\n")[2:]))
    p.add_argument("--trials", type=int, default=20, metavar="N",
                   help="trials to run (default 20)")
    p.add_argument("--seed", type=int, metavar="S",
                   help="the campaign's seed (default a fresh one, printed)")
    p.add_argument("--first", type=int, default=0, metavar="I",
                   help="the number of the first trial (default 0): with --only and "
                   "--trials 1, one trial of a campaign played again")
    p.add_argument("--jobs", type=int, default=2, metavar="K",
                   help="trials at once (default 2)")
    p.add_argument("--only", default="*/*/*", metavar="T/S/M",
                   help="only trials of target T, signal S and moment M; each part may be '*'")
    p.add_argument("--server", default=os.environ.get("REAL_SERVER") or None, metavar="PATH",
                   help="the real server's program: a third of the match trials play on it "
                   "(default $REAL_SERVER when set; else pitch only)")
    p.add_argument("--opponent", metavar="X",
                   help="match.sh's --opponent for the opponent's trials (default the "
                   "scripted team); 'vorn:DIR' plays another build of vorn")
    p.add_argument("--out", metavar="DIR",
                   help="where the trials' folders and results.jsonl go (default a new "
                   "/tmp/vorn-faults.*)")
    p.add_argument("--keep", action="store_true",
                   help="keep every trial's folder, not only the failed ones")
    p.add_argument("--list", action="store_true", help="print the trials drawn and exit")
    p.add_argument("--table", metavar="FILE", help="write the table (Markdown) to FILE too")
    p.add_argument("--bin", default=os.path.join(REPO, "build", "bin"), metavar="DIR",
                   help="vorn's programs and pitch (default build/bin)")
    p.add_argument("--summarize", metavar="RESULTS",
                   help="print the table of a results.jsonl (of a campaign that was "
                   "stopped, say) and exit")
    a = p.parse_args(argv)
    if a.summarize:
        try:
            with open(a.summarize, encoding="utf-8") as f:
                results = [json.loads(line) for line in f if line.strip()]
        except (OSError, ValueError) as e:
            p.error(f"--summarize: {e}")
        print(table(results, 2) + "\n\n" + table(results))
        print(f"\n{len(results)} trials, {sum(r['reached'] for r in results)} reached their "
              f"moment, {sum(bool(r['failures']) for r in results)} failed")
        return 0
    unignore()
    try:
        only = parse_only(a.only)
    except ValueError as e:
        p.error(str(e))
    if not 1 <= a.trials <= 100000:
        p.error(f"--trials must be from 1 to 100000, not {a.trials}")
    if not 1 <= a.jobs <= 16:
        p.error(f"--jobs must be from 1 to 16, not {a.jobs}")
    if a.server and not (os.path.isfile(a.server) and os.access(a.server, os.X_OK)):
        p.error(f"--server: '{a.server}' is not a program that can be run")
    bin_dir = os.path.abspath(a.bin)
    for prog in ("pitch", "Vorn", "Vorng"):
        if not os.access(os.path.join(bin_dir, prog), os.X_OK):
            p.error(f"--bin: {bin_dir}/{prog} is missing; build first (./run.sh)")
    seed = a.seed if a.seed is not None else random.SystemRandom().randrange(1, 10**6)
    trials = [draw(seed, i, only, a.server, a.opponent)
             for i in range(a.first, a.first + a.trials)]
    if a.list:
        for s in trials:
            print(f"{s.index:3d} {s.name:32s} cycles {s.cycles} seed {s.seed} "
                  f"players {s.players} {s.side} {'real server' if s.server else 'pitch'} "
                  f"opponent {s.opponent.split()[0] if s.opponent else '-'}")
        return 0
    out = os.path.abspath(a.out) if a.out else tempfile.mkdtemp(prefix="vorn-faults.")
    os.makedirs(out, exist_ok=True)
    lock = threading.Lock()

    def say(text):
        with lock:
            print(f"{time.strftime('%H:%M:%S')} {text}", flush=True)

    say(f"{a.trials} trials, seed {seed}, {a.jobs} at once, in {out}")
    results, done = [], 0
    log = open(os.path.join(out, "results.jsonl"), "a", encoding="utf-8")

    def one(trial):
        return run_trial(trial, out, bin_dir)

    failed = 0
    pool = concurrent.futures.ThreadPoolExecutor(a.jobs)
    try:
        for r in pool.map(one, trials):
            done += 1
            results.append(r)
            log.write(json.dumps(r) + "\n")
            log.flush()
            if not r["reached"]:
                verdict = "missed (moment not reached or target gone)"
            elif r["failures"]:
                verdict = "FAILED: " + "; ".join(r["failures"])
                failed += 1
            else:
                verdict = "held"
            end = "-" if r["end_s"] is None else f"{r['end_s']} s"
            say(f"[{done}/{a.trials}] trial {r['trial']['index']} {r['name']}: end {end}, "
                f"status {r['status']} (expected {r['expected']}): {verdict}")
            if not r["failures"] and not a.keep:
                shutil.rmtree(r["folder"], ignore_errors=True)
    except KeyboardInterrupt:
        say("stopped; the trials running are ended")
        pool.shutdown(wait=False, cancel_futures=True)
        raise
    text = table(results)
    print("\n" + text)
    if a.table:
        with open(a.table, "w", encoding="utf-8") as f:
            f.write(text + "\n")
    bad = [r for r in results if r["failures"]]
    if bad:
        print(f"\n{len(bad)} of {len(results)} trials failed; to play one again:")
        for r in bad:
            print(f"  {reproducer(r, seed)}   # {'; '.join(r['failures'])[:160]}")
    print(f"\nresults: {out}/results.jsonl")
    return 1 if bad else 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except KeyboardInterrupt:
        sys.exit(130)
    except BrokenPipeError:  # its reader has gone (| head): quietly, as the scripts do
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        sys.exit(141)
