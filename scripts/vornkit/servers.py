"""The servers' dialects: how each server a match can be played on is started, its command
line and environment, and the free ports it gets. pitch takes options of its own (--NAME
VALUE) and, given port 0, chooses a free one itself; the real simulation server takes
server::NAME=VALUE and player::NAME=VALUE, three ports in a row that must be free before it
starts, and finds its home through USER and the password file, not HOME.

Used by scripts/servers.sh for the match runner (through the entry points below), by
scripts/soak.sh and bench/pitch_timing.sh (through servers.sh), and by bench/conformance.py
(imported). It is Python because the bench's Python tools start the servers as the bash
runners do. What a server prints while it runs is read by bash, line by line as it comes, in
scripts/servers.sh (pitch_port, and each kind's K_joined, K_seed ...); soak.sh and
pitch_timing.sh read pitch's port through it too.

  python3 scripts/vornkit/servers.py pitch PROGRAM [NAME=VALUE | NAME]... [-- WORD...]
      pitch on a port of its choice on 127.0.0.1: each NAME=VALUE as --NAME VALUE, a NAME
      alone as --NAME, then the WORDs as they are
  python3 scripts/vornkit/servers.py rcss PROGRAM LOGS NAME HOME [NAME=VALUE]...
      the real server on three free ports, its game log and text log LOGS/NAME.rcg and
      LOGS/NAME.rcl, its home HOME (and HOME/conf its configuration), with server::NAME=VALUE
      beside those: first the port, then the words of the command (env and the program)

Each prints its words ending in a NUL byte each; rcss ends with status 1 and a line when it
finds no free ports.
"""

import os
import random
import socket
import sys

LOOPBACK = "127.0.0.1"

# What the real server is told at every start, beside its ports and logs: it plays by itself
# (auto_mode), with no extra halves nor penalties, and every player keeps the default type
# (player::allow_mult_default_type). At the first kick-off it would otherwise hand out its
# heterogeneous types to the players (the default type to at most pt_max of a team, others to
# the rest), and a client of protocol 6, as vorn's players are, is never told its type nor
# the types' parameters. This holds for the opponent's players too: the server hands out no
# types to either team; an opponent with an online coach may still change its own players'
# types itself (change_player_type), within subs_max and pt_max, as ever.
RCSS_SERVER = {"auto_mode": True, "nr_extra_halfs": 0, "penalty_shoot_outs": False}
RCSS_PLAYER = {"allow_mult_default_type": True}
# What its environment leaves out: it finds "~" through these and the password file, not HOME.
RCSS_UNSET = ("USER", "USERNAME")


def word(value):
    """A setting's value as the servers write it: true and false for truth values."""
    if isinstance(value, bool):
        return "true" if value else "false"
    return str(value)


def pitch_argv(program, settings=None, port=0, more=()):
    """pitch's command line: on 127.0.0.1 at port (0: a free one of its choice, which it says
    in its line "pitch: listening on port N"), each setting NAME: VALUE as --NAME VALUE (True:
    --NAME alone; None and False: left out), then the words more."""
    argv = [program, "--port", str(port), "--bind", LOOPBACK]
    for name, value in (settings or {}).items():
        if value is True:
            argv.append(f"--{name}")
        elif value is not None and value is not False:
            argv += [f"--{name}", word(value)]
    return argv + list(more)


def rcss_argv(program, port, logs, name, settings=None):
    """The real server's command line: players and monitors on port, its trainer on port + 1,
    the online coach on port + 2; its game log and text log, uncompressed, logs/name.rcg and
    logs/name.rcl; RCSS_SERVER and RCSS_PLAYER, and the settings (server::NAME=VALUE), which
    may change any of them."""
    server = {"port": port, "coach_port": port + 1, "olcoach_port": port + 2, **RCSS_SERVER,
              "game_logging": True, "text_logging": True, "game_log_dir": logs,
              "text_log_dir": logs, "game_log_fixed": True, "text_log_fixed": True,
              "game_log_fixed_name": name, "text_log_fixed_name": name,
              "game_log_compression": 0, "text_log_compression": 0, **(settings or {})}
    return ([program] + [f"server::{k}={word(v)}" for k, v in server.items()]
            + [f"player::{k}={word(v)}" for k, v in RCSS_PLAYER.items()])


def rcss_env(home, environ=None):
    """The real server's environment: its home home, its configuration folder home/conf
    (RCSS_CONF_DIR), and USER and USERNAME left out, for it finds "~" through them."""
    env = {k: v for k, v in (os.environ if environ is None else environ).items()
           if k not in RCSS_UNSET}
    env.update(HOME=home, RCSS_CONF_DIR=os.path.join(home, "conf"))
    return env


def free_ports(count):
    """A port P such that P to P + count - 1 are free for UDP on every address, below the
    ephemeral ports (which clients' sockets take), from 10000 up; None when 200 tries found
    none. A port taken between this and the server's start makes the start fail."""
    with open("/proc/sys/net/ipv4/ip_local_port_range") as f:
        low = int(f.read().split()[0])
    for _ in range(200):
        port = random.randrange(10000, max(10000 + count, low - count))
        socks = [socket.socket(socket.AF_INET, socket.SOCK_DGRAM) for _ in range(count)]
        try:
            for i, s in enumerate(socks):
                s.bind(("0.0.0.0", port + i))
        except OSError:
            continue
        finally:
            for s in socks:
                s.close()
        return port
    return None


def settings(words):
    """NAME=VALUE words (a NAME alone: True) as a dict, in their order."""
    out = {}
    for w in words:
        name, equals, value = w.partition("=")
        out[name] = value if equals else True
    return out


def main(argv):
    if argv[:1] in (["-h"], ["--help"]) or not argv:
        print(__doc__.strip())
        return 0 if argv else 2
    if argv[0] == "pitch" and len(argv) >= 2:
        rest = argv[2:]
        cut = rest.index("--") if "--" in rest else len(rest)
        words = pitch_argv(argv[1], settings(rest[:cut]), more=rest[cut + 1:])
    elif argv[0] == "rcss" and len(argv) >= 5:
        program, logs, name, home = argv[1:5]
        port = free_ports(3)
        if port is None:
            print("servers.py: no three free ports in a row", file=sys.stderr)
            return 1
        env = rcss_env(home, {})
        words = ([str(port), "env"] + [w for k in RCSS_UNSET for w in ("-u", k)]
                 + [f"{k}={v}" for k, v in env.items()]
                 + rcss_argv(program, port, logs, name, settings(argv[5:])))
    else:
        print("servers.py: usage: servers.py pitch PROGRAM ... | rcss PROGRAM LOGS NAME HOME ..."
              " (see --help)", file=sys.stderr)
        return 2
    sys.stdout.write("".join(w + "\0" for w in words))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
