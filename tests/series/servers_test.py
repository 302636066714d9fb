#!/usr/bin/env python3
"""What scripts/servers.sh reads in a server's lines, and the real server's start lock.

- K_refused and K_seed of both kinds over a table of lines: pitch's own, and the real
  server's as its source prints them (each function run in a bash that sourced servers.sh).
- The real server's stand-in (tests/support/rcss_standin.py), with the real server's options
  that servers.sh gives it, refusing inits over UDP: a third team, a twelfth player, a second
  goalie, versions it does not serve; rcss_refused must read each of its lines as the
  refusal it is, in order, and rcss_seed its seed.
- Two real-server starts at once (rcss_startlock, rcss_startunlock after listening): they
  must hold the lock in different seconds, the real server's seed being its clock's second.

usage: tests/series/servers_test.py BIN_DIR
"""
import os
import re
import socket
import subprocess
import tempfile
import time

from harness import BIN, REPO, finish, survivors

SERVERS = os.path.join(REPO, "scripts", "servers.sh")
STANDIN = os.path.join(REPO, "tests", "support", "rcss_standin.py")
failures = []
RS = "the real server refused a player: "

# function, line, what it prints (None: it must print nothing and fail)
TABLE = [
    ("pitch_refused", "pitch: player at 127.0.0.1:40001 refused: pitch serves protocol 6 only "
     "(it asked for version 15.0)", "pitch serves protocol 6 only (it asked for version 15.0)"),
    ("pitch_refused", "pitch: player at 10.0.0.7:9 refused: a third team, c (the sides are a's "
     "and b's)", "a third team, c (the sides are a's and b's)"),
    ("pitch_refused", "pitch: 20 refusals said; further refusals are not said", None),
    ("pitch_refused", "pitch: vorn 1 (goalie) joined on the left", None),
    ("pitch_seed", "pitch: random seed 4711", "4711"),
    ("pitch_seed", "pitch: random seed 12x", None),
    ("pitch_seed", "Simulator Random Seed: 1765000000", None),
    ("rcss_refused", "Warning:Too many teams. [teamname = 'other']",
     RS + "a third team, other, asked to play (both sides have their teams)"),
    ("rcss_refused", "Warning:Too many players.", RS + "its team has eleven players already"),
    ("rcss_refused", "Warning:Too many goalies.", RS + "its team has its goalie already"),
    ("rcss_refused", "No SerializerPlayer::Creator v99",
     RS + "it asked for protocol version 99, which the real server does not serve"),
    ("rcss_refused", "No BodySenderPlayer::Creator v20.5",
     RS + "it asked for protocol version 20.5, which the real server does not serve"),
    ("rcss_refused", "Error: Could not find serializer or sender for version 99", None),
    ("rcss_refused", "A new (v6) player (vorn 1) connected.", None),
    ("rcss_refused", "pitch: player at 127.0.0.1:40001 refused: bad init form", None),
    ("rcss_seed", "Simulator Random Seed: 1765000000", "1765000000"),
    ("rcss_seed", "Using given Simulator Random Seed: 42", "42"),
    ("rcss_seed", "Hetero Player Seed: 1234", None),
    ("rcss_seed", "pitch: random seed 4711", None),
]


def bash(script, *args, input=None, **env):
    """script run by a bash that sourced servers.sh, with args."""
    return subprocess.run(["bash", "-c", f"source {SERVERS}; {script}", "bash"] + list(args),
                          capture_output=True, text=True, timeout=60, input=input,
                          env=dict(os.environ, **env))


def table():
    for function, line, want in TABLE:
        got = bash(f'{function} "$1"', line)
        printed = got.stdout.rstrip("\n") if got.stdout else None
        if (printed, got.returncode == 0) != (want, want is not None) or got.stderr:
            failures.append(f"{function} {line!r}: printed {got.stdout!r} {got.stderr!r}, status "
                            f"{got.returncode}; expected {want!r}")


def standin_options(d):
    """The options rcss_start gives the real server for a match of 2000 cycles that kicks off
    after 60 s, as it gives them: rcss_start run with a program in the real server's place that
    prints them, one a line, and match.sh's functions that follow the output stubbed."""
    printer = os.path.join(d, "printargs")
    with open(printer, "w") as f:
        f.write("#!/bin/sh\nprintf '%s\\n' \"$@\"\n")
    os.chmod(printer, 0o755)
    stubs = ("followserver() { :; }; nextline() { return 1; }; waitfor() { wait \"$1\"; }; "
             "startclock() { :; }; startline() { return 1; }; "
             "startfailure() { wait \"$3\"; startfailed=ended; }; "
             "say() { :; }; dir=$1 cycles=2000 kickoffafter=60 serverpath=$2; "
             "rcss_start; echo \"status $?\"")
    got = bash(stubs, d, printer, TMPDIR=d)
    with open(os.path.join(d, "server.txt")) as f:
        options = f.read().split("\n")[:-1]
    if got.stdout != "status 1\n" or not options[0].startswith("server::port="):
        failures.append(f"rcss_start with a stand-in that prints its options: {got}, {options}")
    return options


def init(port, text):
    """An init to the server from a socket of its own: the reply and the socket (kept open,
    as a player is)."""
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", 0))
    s.settimeout(10)
    s.sendto(text.encode(), ("127.0.0.1", port))
    reply, _ = s.recvfrom(8192)
    return reply.rstrip(b"\0").decode(), s


def waitlines(path, count, pattern, seconds=30):
    """The file's lines once count of them match pattern, or all there are at the end."""
    end = time.monotonic() + seconds
    while True:
        with open(path, errors="replace") as f:
            lines = f.read().splitlines()
        if sum(bool(re.search(pattern, x)) for x in lines) >= count or time.monotonic() > end:
            return lines
        time.sleep(0.05)


def standin(d):
    home = os.path.join(d, "server")
    os.makedirs(os.path.join(home, "conf"))
    options = standin_options(d)
    port = int(options[0].split("=")[1])
    out = os.path.join(d, "server.txt")
    env = {k: v for k, v in os.environ.items() if k not in ("USER", "USERNAME")}
    env.update(HOME=home, RCSS_CONF_DIR=os.path.join(home, "conf"), VORN_BIN=BIN)
    with open(out, "w") as f:
        server = subprocess.Popen([STANDIN] + options, cwd=home, env=env, stdout=f,
                                  stderr=subprocess.STDOUT)
    kept = []
    try:
        lines = waitlines(out, 1, r"^Hit CTRL-C to exit")
        if "Hit CTRL-C to exit" not in lines:
            failures.append(f"the stand-in did not start: {lines}")
            return
        for team, count in (("a", 11), ("b", 1)):
            for i in range(count):
                reply, s = init(port, f"(init {team} (version 6.02){'(goalie)' if i == 0 else ''})")
                kept.append(s)
        nomore = "(error no_more_player_or_goalie_or_illegal_client_version)"
        refusals = [("(init c (version 6.02))", "(error no_more_team)",
                     "a third team, c, asked to play (both sides have their teams)"),
                    ("(init a (version 6.02))", nomore, "its team has eleven players already"),
                    ("(init b (version 6.02)(goalie))", nomore, "its team has its goalie already"),
                    ("(init b (version 99.0))", nomore,
                     "it asked for protocol version 99, which the real server does not serve")]
        replies = [init(port, text) for text, _, _ in refusals]
        kept += [s for _, s in replies]
        if [r for r, _ in replies] != [want for _, want, _ in refusals]:
            failures.append(f"stand-in: replies {[r for r, _ in replies]}")
        lines = waitlines(out, 5, r"^Warning:|^No |^Error:")
        text = "".join(x + "\n" for x in lines)
        said = bash('while IFS= read -r l; do rcss_refused "$l"; done', input=text).stdout
        seeds = bash('while IFS= read -r l; do rcss_seed "$l"; done', input=text).stdout.split()
        if said.splitlines() != [RS + why for _, _, why in refusals]:
            failures.append(f"stand-in: rcss_refused read {said!r} from:\n{text}")
        if len(seeds) != 1 or abs(int(seeds[0]) - time.time()) > 600:
            failures.append(f"stand-in: seeds {seeds} read, not one of its clock's, from {text}")
    finally:
        for s in kept:
            s.close()
        server.terminate()
        server.wait(timeout=30)


def startlock(d):
    """Two starts at once, each noting the second in which it holds the lock."""
    script = ('say() { :; }; rcss_startlock; echo "$EPOCHSECONDS $rcsslocked"; '
              'rcss_startunlock listening')
    runs = [subprocess.Popen(["bash", "-c", f"source {SERVERS}; {script}"], text=True,
                             stdout=subprocess.PIPE, env=dict(os.environ, TMPDIR=d))
            for _ in range(2)]
    got = sorted(r.communicate(timeout=30)[0].split() for r in runs)
    if len(got) != 2 or [x[1:] for x in got] != [["1"], ["1"]] or got[0][0] == got[1][0]:
        failures.append(f"two starts at once held the start lock in the seconds {got} (each "
                        "must have held it, in seconds of its own)")


with tempfile.TemporaryDirectory() as d:
    table()
    standin(d)
    startlock(d)
    left = survivors(d)
    if left:
        failures.append(f"processes are still running: {left}")
finish(failures, cases=3, passed="the lines read as they say, the stand-in's too, starts apart")
