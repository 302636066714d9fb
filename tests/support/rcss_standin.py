#!/usr/bin/env python3
"""A stand-in for the real simulation server in tests: it takes the real server's options
(server::NAME=VALUE), checks that they are what an unattended match needs, and plays the
match on pitch with the same settings, saying on standard output what the real server says
at the same moments. It proves how scripts/match.sh talks to the real server (the options,
the ports, the home folder, the names of the logs, the results read from a game log) where
the real server cannot run (CI has none).

  tests/support/rcss_standin.py server::port=P server::coach_port=P+1 ... 

The checks, each refused with one line "rcss_standin.py: ..." and status 2:
  - every option is one of OPTIONS (server::NAME) or PLAYER_OPTIONS (player::NAME) below,
    with a value of its kind, and every one the tables mark as needed is given (the real
    server would run on with its defaults): among them player::allow_mult_default_type on,
    which keeps every player at the default type, as pitch does;
  - auto_mode on, synch_mode off, no extra halves, no penalty shoot-outs, both logs on
    under fixed names, uncompressed, in folders that exist;
  - three different ports; HOME is the working folder and not the user's home, USER is
    unset, RCSS_CONF_DIR lies inside HOME: the real server writes its configuration there.
The players' port and the two coach ports must be free on every address; the two coach
ports are held for the match, as the real server holds them. A port that is taken ends the
stand-in as it ends the real server: "Error initializing sockets: port=N. Address already in
use" on standard error, status 1. STANDIN_TAKEN=FILE: the first stand-in to find FILE
missing creates it and ends so, as if its port had been taken.

pitch (PITCH, default pitch beside this repository's build/bin, or $VORN_BIN/pitch) plays
half_time * 20 cycles, kicks off when 22 players are in or connect_wait / 10 s after its
start, and writes the game log and the text log to DIR/NAME.rcg and DIR/NAME.rcl. Its lines
are said as the real server says them: "Simulator Random Seed: N", "Hit CTRL-C to exit",
"A new (v6) player (TEAM UNUM) connected.", "Waiting after end of match" at time over and
"Game Over. Exiting..." at the end; SIGINT and SIGTERM go to pitch, and the stand-in then
says "Server Killed. Exiting..." and ends with 0, as the real server does however it is
stopped; else it ends with pitch's status. The options are kept in HOME/options.txt, one a line, for a test to read.

The players pitch refuses are said on standard error as the real server says them: with
server::verbose on, "Warning:Too many teams. [teamname = 'NAME']" for a third team,
"Warning:Too many players." for a twelfth player of a team and "Warning:Too many goalies."
for a second goalie; whatever server::verbose says, for a version the real server has no
messages for (below 1 or from 20 on) "No SerializerPlayer::Creator vV" and then "Error:
Could not find serializer or sender for version V" (V as the real server prints a number: 15
for 15.0). A version from 1 to 19 but 6 the real server would take and pitch refuses: the
stand-in says "rcss_standin.py: pitch plays protocol 6 only: it refused a player of version
V, which the real server takes". Refusals of a bad name or form the real server does not
say, nor does the stand-in.
"""
import os
import pwd
import re
import signal
import socket
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
PITCH = os.environ.get("PITCH") or os.path.join(
    os.environ.get("VORN_BIN") or os.path.join(REPO, "build", "bin"), "pitch")
BOOLEANS = {"true": True, "on": True, "1": True, "false": False, "off": False, "0": False}


def integer(v):
    return int(v) if re.fullmatch(r"-?\d+", v) else None


def boolean(v):
    return BOOLEANS.get(v)


def text(v):
    return v[1:-1] if len(v) > 1 and v[0] == v[-1] == "'" else v


# name: (kind, needed, what the match needs of it, or None for anything of the kind)
OPTIONS = {
    "port": (integer, True, None), "coach_port": (integer, True, None),
    "olcoach_port": (integer, True, None), "auto_mode": (boolean, True, True),
    "synch_mode": (boolean, False, False), "connect_wait": (integer, True, None),
    "kick_off_wait": (integer, True, None), "game_over_wait": (integer, True, None),
    "nr_extra_halfs": (integer, True, 0), "penalty_shoot_outs": (boolean, True, False),
    "half_time": (integer, True, None), "game_logging": (boolean, True, True),
    "text_logging": (boolean, True, True), "game_log_dir": (text, True, None),
    "text_log_dir": (text, True, None), "game_log_fixed": (boolean, True, True),
    "text_log_fixed": (boolean, True, True), "game_log_fixed_name": (text, True, None),
    "text_log_fixed_name": (text, True, None), "game_log_compression": (integer, False, 0),
    "text_log_compression": (integer, False, 0), "verbose": (boolean, True, None),
}
PLAYER_OPTIONS = {"allow_mult_default_type": (boolean, True, True)}


def refuse(why):
    print(f"rcss_standin.py: {why}", file=sys.stderr)
    sys.exit(2)


def options(argv):
    got = {}
    tables = {"server": OPTIONS, "player": PLAYER_OPTIONS}
    for arg in argv:
        m = re.fullmatch(r"(server|player)::(\w+)=(.*)", arg, re.S)
        if not m or m[2] not in tables[m[1]]:
            refuse(f"unknown option '{arg}'")
        kind, _, wanted = tables[m[1]][m[2]]
        value = kind(m[3])
        if value is None or wanted is not None and value != wanted:
            refuse(f"{m[1]}::{m[2]}={m[3]}: an unattended match needs "
                   f"{'a value of its kind' if wanted is None else wanted}")
        got[m[2] if m[1] == "server" else f"player::{m[2]}"] = value
    missing = [f"server::{n}" for n, (_, needed, _) in OPTIONS.items()
               if needed and n not in got]
    missing += [f"player::{n}" for n, (_, needed, _) in PLAYER_OPTIONS.items()
                if needed and f"player::{n}" not in got]
    if missing:
        refuse(f"not given: {', '.join(missing)} (the real server would take its defaults)")
    ports = [got["port"], got["coach_port"], got["olcoach_port"]]
    if len(set(ports)) != 3 or not all(0 < p < 65536 for p in ports):
        refuse(f"the three ports must be different ports: {ports}")
    if got["half_time"] < 1:
        refuse(f"server::half_time={got['half_time']}: a half of at least a second")
    for d in ("game_log_dir", "text_log_dir"):
        if not os.path.isdir(got[d]):
            refuse(f"server::{d}={got[d]} is not a folder")
    return got


def checkhome():
    home, cwd = os.environ.get("HOME", ""), os.getcwd()
    conf = os.environ.get("RCSS_CONF_DIR", "")
    if not home or os.path.realpath(home) != os.path.realpath(cwd):
        refuse(f"HOME ({home or 'unset'}) is not the working folder ({cwd})")
    if os.path.realpath(home) == os.path.realpath(pwd.getpwuid(os.getuid()).pw_dir):
        refuse("HOME is the user's own: every match would share its configuration folder")
    if "USER" in os.environ or "USERNAME" in os.environ:
        refuse("USER is set: the real server finds ~ through USER and the password file, "
               "whatever HOME says")
    if not conf or not os.path.realpath(conf).startswith(os.path.realpath(home) + os.sep):
        refuse(f"RCSS_CONF_DIR ({conf or 'unset'}) does not lie inside HOME")
    os.makedirs(conf, exist_ok=True)
    with open(os.path.join(conf, "server.conf"), "w") as f:
        f.write("# the stand-in's configuration file, where the real server writes its own\n")


def taken(port):
    print(f"Error initializing sockets: port={port}. Address already in use", file=sys.stderr)
    sys.exit(1)


def holdports(got):
    """The three ports checked free on every address; the two coach ports held."""
    marker = os.environ.get("STANDIN_TAKEN")
    if marker:
        try:
            os.close(os.open(marker, os.O_CREAT | os.O_EXCL | os.O_WRONLY))
            taken(got["port"])
        except FileExistsError:
            pass
    held = []
    for name in ("port", "coach_port", "olcoach_port"):
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        try:
            s.bind(("0.0.0.0", got[name]))
        except OSError:
            taken(got[name])
        held.append(s)
    held[0].close()  # pitch takes the players' port
    return held[1:]


def say(line):
    print(line, flush=True)


def warn(line):
    print(line, file=sys.stderr, flush=True)


REFUSED = re.compile(r"pitch: player at \S+ refused: (.*)$")
VERSION = re.compile(r"pitch serves protocol 6 only \(it asked for (?:version ([\d.]+)|no "
                     r"version, which means 3)\)$")


def refused(reason, verbose):
    """What the real server says of the player pitch refused for reason."""
    if (m := VERSION.match(reason)):
        version = float(m[1]) if m[1] else 3.0
        shown = f"{version:g}"  # as a C++ stream prints a double
        if 1 <= version < 20:
            warn(f"rcss_standin.py: pitch plays protocol 6 only: it refused a player of version "
                 f"{m[1] or 'none (3)'}, which the real server takes")
        else:
            warn(f"No SerializerPlayer::Creator v{shown}")
            warn(f"Error: Could not find serializer or sender for version {shown}")
    elif not verbose:
        return
    elif (m := re.match(r"a third team, (\S+) \(", reason)):
        warn(f"Warning:Too many teams. [teamname = '{m[1]}']")
    elif reason.endswith(" has eleven players already"):
        warn("Warning:Too many players.")
    elif reason.endswith(" has its goalie already"):
        warn("Warning:Too many goalies.")


def main(argv):
    if argv[:1] in (["--help"], ["-h"]):
        print(__doc__.strip())
        return 0
    got = options(argv)
    checkhome()
    with open(os.path.join(os.environ["HOME"], "options.txt"), "w") as f:
        f.write("".join(a + "\n" for a in argv))
    held = holdports(got)
    seed = int(time.time())
    say("rcssserver (stand-in)")
    say(f"Simulator Random Seed: {seed}")
    pitch = subprocess.Popen(
        [PITCH, "--port", str(got["port"]), "--bind", "127.0.0.1",
         "--cycles", str(20 * got["half_time"]), "--wait-players", "22",
         "--kickoff-after", str(max(1, got["connect_wait"] // 10)), "--seed", str(seed),
         "--game-log", os.path.join(got["game_log_dir"], got["game_log_fixed_name"] + ".rcg"),
         "--text-log", os.path.join(got["text_log_dir"], got["text_log_fixed_name"] + ".rcl"),
         "--quiet"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    stopped = []

    def stop(number, frame):
        stopped.append(number)
        pitch.send_signal(number)
    for s in (signal.SIGINT, signal.SIGTERM):
        signal.signal(s, stop)
    joined = re.compile(r"pitch: (\S+) (\d+)(?: \(goalie\))? joined on the (?:left|right)$")
    for line in pitch.stdout:
        line = line.rstrip("\n")
        if line.startswith("pitch: listening on port"):
            say("\nHit CTRL-C to exit")
        elif line.startswith("pitch: cannot use port"):
            taken(got["port"])
        elif (m := joined.match(line)):
            say(f"A new (v6) player ({m[1]} {m[2]}) connected.")
        elif line.startswith("pitch: time over"):
            say("Waiting after end of match")
        elif (m := REFUSED.match(line)):
            refused(m[1], got["verbose"])
    status = pitch.wait()
    for s in held:
        s.close()
    if stopped:  # the real server, stopped, saves its results and ends with 0
        say("\nServer Killed. Exiting...")
        return 0
    if status == 0:
        say("\nGame Over. Exiting...")
    return status if status >= 0 else 128 - status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
