#!/usr/bin/env python3
"""conformance.py -- pitch measured against the real soccer server, message by message.

The same scripted protocol-6 clients play each scenario of bench/conformance.json on pitch
and on a real server binary at once, with the noise off on both (the real server's
player_rand, ball_rand and kick_rand at 0, every player of the default type). Every
datagram each client receives is kept, numbered by the step it came in (the sense_body
after the kick-off call is step 0), and the two servers' messages are compared client by
client and step by step: per message kind and field the share that is equal, then the
first differences.

  bench/conformance.py [--real-server PATH] [SCENARIO ...]   play and compare
  bench/conformance.py --compare PITCH REAL                  compare two saved captures
  bench/conformance.py --list                                the scenarios

Options:
  --real-server PATH  the real server's binary (also --server PATH; default: $REAL_SERVER;
                      no place is assumed, bench/real_server.py)
  --pitch PATH        pitch (default: build/bin/pitch of this checkout)
  --save DIR          keep each scenario's captures (NAME.pitch.jsonl, NAME.real.jsonl), the
                      servers' output and their logs in DIR
  --show N            the first N differences per scenario (default 8)
  --scenarios FILE    the scenarios (default bench/conformance.json)

Every message but the sees is compared text for text: at each step the client must get as
many of each kind (referee calls, players' says heard, errors, sense_body, any other) with
the same text, the sense_body field by field. A see is compared in what does not depend on
chance: the objects seen, their distances and directions, and the change values, names,
body and head directions where the real server's rules make them certain (within 20 m) or
where both servers printed them (beyond 20 m each server drops them at random); in the
low-quality view only the direction. Each see is paired with one of the other server's for
the same client: of the same step, else of a step before or after (the timing of a loaded
machine: the real server's ticks slip by a step under load), else the nearest left over;
paired sees are compared wherever they came, and the steps between them are counted.

A scenario conforms when every message but the sees is equal, no see came more than one
step away from its partner, at most 1% of its sees came one step away, and at least 99.5%
of its sees (a see without a partner counting as different) are equal.

Exit status: 0 when every scenario conforms, 1 when one does not (or could not be played),
2 for a usage error, 3 when no real server is named (a check that cannot be made).
"""

import argparse
import json
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

import real_server

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(REPO, "scripts"))
from vornkit import servers  # noqa: E402  the servers' command lines and free ports
SCENARIOS = os.path.join(HERE, "conformance.json")
NO_REAL_SERVER = real_server.NOT_NAMED
SEE_SHARE = 0.995  # sees that must be equal for a scenario to conform
WAIT_STEPS = 50  # steps from a server's start to its kick-off: time to connect and settle
CERTAIN = 20.0  # within this distance a see's change values and names are certain
HOST = servers.LOOPBACK
MOVED_SHARE = 0.01  # sees that may come a step earlier or later on one server
# The kinds of message compared text for text, step by step (the sees are paired apart).
KINDS = ("init", "referee", "sense_body", "hear", "error", "other")

# The rules each server can switch off: the real server's parameter, pitch's option.
RULES = {"back_passes": "--no-back-pass", "use_offside": "--no-offside",
         "free_kick_faults": "--no-free-kick-fault"}

SENSE_FIELDS = ("time", "view_mode", "stamina", "effort", "speed", "speed_dir", "head_angle",
                "kick", "dash", "turn", "say", "turn_neck")
SENSE = re.compile(r"\(sense_body (\S+) \(view_mode (\S+ \S+)\) \(stamina (\S+) (\S+)\) "
                   r"\(speed (\S+) (\S+)\) \(head_angle (\S+)\) \(kick (\S+)\) \(dash (\S+)\) "
                   r"\(turn (\S+)\) \(say (\S+)\) \(turn_neck (\S+)\)\)$")
OBJECT_KINDS = {"f": "flag", "F": "flag", "g": "goal", "G": "goal", "b": "ball", "B": "ball",
                "p": "player", "P": "player", "l": "line"}


class Failure(Exception):
    """A scenario that could not be played; the text says why."""


# ---------------------------------------------------------------------------------------
# The scenarios

def load_scenarios(path):
    with open(path) as f:
        data = json.load(f)
    scenarios = data["scenarios"]
    for s in scenarios:
        for entry in s["script"]:
            client, when, _ = entry
            if client not in {c["id"] for c in s["clients"]}:
                raise SystemExit(f"conformance.py: {path}: scenario {s['name']}: no client "
                                 f"'{client}'")
            steps(when)  # refuses a malformed step range
    return scenarios


def steps(when):
    """The steps a script entry names: "pre" (before the kick-off, once settled), N, or
    "A-B" (every step from A to B). The commands before the kick-off go one a step."""
    if when == "pre":
        return ["pre"]
    if isinstance(when, int):
        return [when]
    a, _, b = str(when).partition("-")
    return list(range(int(a), int(b or a) + 1))


def scripts(scenario):
    """{client: {step or "pre": [commands]}} in the order the entries are written."""
    out = {c["id"]: {} for c in scenario["clients"]}
    for client, when, command in scenario["script"]:
        for k in steps(when):
            out[client].setdefault(k, []).append(command)
    return out


# ---------------------------------------------------------------------------------------
# Playing a scenario

def free_ports(count):
    """A first port P with P .. P+count-1 free (servers.free_ports)."""
    port = servers.free_ports(count)
    if port is None:
        raise Failure("found no free ports")
    return port


class Server:
    """One server process, started in its own folder and session."""

    def __init__(self, kind, argv, folder, env=None):
        self.kind, self.folder = kind, folder
        self.out = open(os.path.join(folder, "output.txt"), "wb")
        self.proc = subprocess.Popen(argv, cwd=folder, env=env, stdin=subprocess.DEVNULL,
                                     stdout=self.out, stderr=subprocess.STDOUT,
                                     start_new_session=True)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGINT)
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(self.proc.pid, signal.SIGKILL)
                self.proc.wait()
        self.out.close()


def start_pitch(path, scenario, folder):
    port = free_ports(1)
    argv = servers.pitch_argv(path, {
        "no-noise": True, "quiet": True, "wait-players": 22, "cycles": 6000,
        "kickoff-after": (WAIT_STEPS - 0.5) / 10, "game-log": "pitch.rcg",
        "text-log": "pitch.rcl"}, port=port,
        more=[RULES[rule] for rule, on in scenario.get("rules", {}).items() if not on])
    return Server("pitch", argv, folder), port


def start_real(path, scenario, folder):
    port = free_ports(3)
    home = os.path.join(folder, "home")
    os.makedirs(os.path.join(home, "conf"), exist_ok=True)  # its configuration folder
    params = {"connect_wait": WAIT_STEPS, "kick_off_wait": WAIT_STEPS, "player_rand": 0,
              "ball_rand": 0, "kick_rand": 0, **scenario.get("rules", {})}
    argv = servers.rcss_argv(path, port, folder, "real", params)
    return Server("real", argv, folder, servers.rcss_env(home)), port


def await_server(port, server, seconds=10):
    """Waits until the server answers on its port: a datagram that is no init gets an
    error and changes nothing."""
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind((HOST, 0))
    s.settimeout(0.05)
    try:
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            if server.proc.poll() is not None:
                raise Failure(f"the {server.kind} server ended at start (status "
                              f"{server.proc.returncode}); see its output.txt")
            s.sendto(b"(hello)", (HOST, port))
            try:
                s.recvfrom(8192)
                return
            except (socket.timeout, ConnectionRefusedError):
                continue
        raise Failure(f"the {server.kind} server did not answer on port {port}")
    finally:
        s.close()


class Client:
    """One scripted client on one server.

    After its init it settles its see rhythm: with the narrow low-quality view a see comes at
    every visual tick (three in two steps of every three, two in the third), which shows
    where the server's three-step rhythm stands; at the first see after the next step it
    goes back to the normal view, so that from then on its sees come in the middle of one
    step and right after the next, every three steps, on any server alike. Then it sends
    its commands before the kick-off ("pre") and, after the kick-off call, those of each
    step right after that step's sense_body."""

    def __init__(self, entry, server, port, script, last):
        self.id, self.server, self.script, self.last = entry["id"], server, script, last
        goalie = "(goalie)" if entry.get("goalie") else ""
        self.init = f"(init {entry['team']} (version 6.02){goalie})"
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind((HOST, 0))
        self.sock.setblocking(False)
        self.sock.sendto(self.init.encode(), (HOST, port))
        self.reply = None  # the server's port for this client
        self.state = "init"
        self.counts, self.sees = [], 0  # sees per step since the init, in this step
        self.switch = False
        self.pre = []  # commands still to send before the kick-off, one a step
        self.step = None  # steps since the kick-off; None before it
        self.messages = []  # (step, text) from the kick-off call on, and the init reply
        self.done = False

    def send(self, text):
        self.sock.sendto(text.encode(), self.reply)

    def receive(self):
        while True:
            try:
                data, addr = self.sock.recvfrom(65536)
            except (BlockingIOError, InterruptedError):
                return
            except ConnectionRefusedError:
                raise Failure(f"the {self.server} server went away")
            text = data.split(b"\0", 1)[0].decode("latin-1")
            if self.reply is None:
                self.reply = addr
            self.handle(text)

    def handle(self, text):
        if self.state == "init":
            if not text.startswith("(init "):
                raise Failure(f"{self.server}: {self.id}: {self.init} was answered {text}")
            self.messages.append((None, text))
            self.state = "narrow"
            self.send("(change_view narrow low)")
            return
        if self.step is None and text.startswith("(hear ") and " referee kick_off_" in text:
            if self.state != "ready" or self.pre:
                raise Failure(f"{self.server}: {self.id} was not settled by the kick-off")
            self.step = -1
        if text.startswith("(sense_body "):
            self.counts.append(self.sees)
            self.sees = 0
            if self.step is not None:
                self.step += 1
            self.settle()
        elif text.startswith("(see "):
            self.sees += 1
            if self.switch:
                self.send("(change_view normal high)")
                self.switch = False
                self.state, self.counts = "checking", []
        if self.step is not None and self.step < self.last:
            self.messages.append((self.step, text))
        if text.startswith("(sense_body ") and self.step is None and self.pre:
            self.send(self.pre.pop(0))  # one a step: most are body commands
        if text.startswith("(sense_body ") and self.step is not None:
            for command in self.script.get(self.step, []):
                self.send(command)
            self.done = self.step >= self.last

    def settle(self):
        c = self.counts
        if self.state == "narrow" and len(c) >= 3 and c[-2:] == [3, 2]:
            self.switch = True  # this step is the first of the three
        elif self.state == "checking" and len(c) == 4:
            # the step of the switch, then one see, none, one
            if c[1:] == [1, 0, 1]:
                self.state, self.pre = "ready", list(self.script.get("pre", []))
            else:
                self.state, self.counts = "narrow", []
                self.send("(change_view narrow low)")


def play(scenario, pitch_path, real_path, folder):
    """Plays the scenario on both servers at once; returns their captures."""
    script = scripts(scenario)
    last = scenario["steps"]
    servers, clients = [], []
    try:
        for kind, start, path in (("pitch", start_pitch, pitch_path),
                                  ("real", start_real, real_path)):
            sub = os.path.join(folder, kind)
            os.makedirs(sub, exist_ok=True)
            server, port = start(path, scenario, sub)
            servers.append(server)
            await_server(port, server)
            for entry in scenario["clients"]:
                clients.append(Client(entry, kind, port, script[entry["id"]], last))
                # each init answered before the next: the order gives sides and numbers
                end = time.monotonic() + 5
                while clients[-1].reply is None and time.monotonic() < end:
                    select.select([clients[-1].sock], [], [], 0.1)
                    clients[-1].receive()
                if clients[-1].reply is None:
                    raise Failure(f"{kind}: {entry['id']} got no answer to its init")
        end = time.monotonic() + WAIT_STEPS / 10 + last / 10 + 30
        while not all(c.done for c in clients):
            if time.monotonic() > end:
                late = sorted({c.server for c in clients if not c.done})
                raise Failure(f"the scenario did not reach step {last} on {', '.join(late)}")
            for s in servers:
                if s.proc.poll() is not None:
                    raise Failure(f"the {s.kind} server ended early (status "
                                  f"{s.proc.returncode})")
            ready, _, _ = select.select([c.sock for c in clients], [], [], 0.5)
            for c in clients:
                if c.sock in ready:
                    c.receive()
    finally:
        for s in servers:
            s.stop()
        for c in clients:
            c.sock.close()
    return {kind: capture(scenario, kind, [c for c in clients if c.server == kind])
            for kind in ("pitch", "real")}


def capture(scenario, kind, clients):
    lines = [{"scenario": scenario["name"], "server": kind,
              "clients": [c.id for c in clients]}]
    for c in clients:
        for step, text in c.messages:
            lines.append({"client": c.id, "step": step, "msg": text})
    return lines


def save(lines, path):
    with open(path, "w", encoding="utf-8") as f:
        for line in lines:
            f.write(json.dumps(line, ensure_ascii=True) + "\n")


def load(path):
    """A capture's lines; a file that is none is refused with a line that says why."""
    lines = []
    try:
        with open(path, encoding="utf-8") as f:
            for n, line in enumerate(f, 1):
                if line.strip():
                    lines.append((n, json.loads(line)))
    except (OSError, UnicodeDecodeError) as e:
        raise SystemExit(f"conformance.py: {path}: {e}") from None
    except ValueError:
        raise SystemExit(f"conformance.py: {path}: line {n} is not JSON") from None
    if not lines or not isinstance(lines[0][1], dict) or "server" not in lines[0][1]:
        raise SystemExit(f"conformance.py: {path}: not a capture (its first line names no "
                         f"server)")
    for n, x in lines[1:]:
        if not (isinstance(x, dict) and isinstance(x.get("client"), str) and
                isinstance(x.get("msg"), str) and
                (isinstance(x.get("step"), int) or x.get("step") is None and
                 not x["msg"].startswith("(see "))):
            raise SystemExit(f"conformance.py: {path}: line {n} is not a message of a capture "
                             f"(a client, a whole step, the message)")
    return [x for _, x in lines]


# ---------------------------------------------------------------------------------------
# Comparing two captures

def kind_of(text):
    """A message's kind: sense_body, see, referee (a referee's call), hear (a player's say),
    init, error, or other."""
    if text.startswith("(sense_body "):
        return "sense_body"
    if text.startswith("(see "):
        return "see"
    if text.startswith("(hear ") and " referee " in text:
        return "referee"
    if text.startswith("(hear "):
        return "hear"
    if text.startswith("(init "):
        return "init"
    if text.startswith("(error "):
        return "error"
    return "other"


def groups(text):
    """The top-level parenthesised groups inside a message, as strings."""
    out, depth, start, quoted = [], 0, 0, False
    for i, ch in enumerate(text):
        if ch == '"':
            quoted = not quoted
        elif quoted:
            continue
        elif ch == "(":
            depth += 1
            if depth == 2:
                start = i
        elif ch == ")":
            if depth == 2:
                out.append(text[start:i + 1])
            depth -= 1
    return out


def see_objects(text):
    """A see's objects as (kind, key, name words, values); players keyed by their place in
    the players' list, felt objects by their place among the felt of their kind."""
    objects, seen = [], {}
    for g in groups(text):
        close = g.find(")")
        name = g[2:close].split() if g.startswith("((") else []
        if not name:  # no object as a server prints one: compared as a whole
            objects.append(("other", ("other", g), [g], []))
            continue
        values = g[close + 1:-1].split()
        kind = OBJECT_KINDS.get(name[0][:1], "other")
        if kind == "player" or name[0].isupper():
            n = seen.get((kind, name[0].isupper()), 0)
            seen[(kind, name[0].isupper())] = n + 1
            key = (kind, "felt" if name[0].isupper() else "seen", n)
        else:
            key = (kind, " ".join(name))
        objects.append((kind, key, name, values))
    return objects


class Tally:
    """Equal and compared counts per (kind, field), and the differences in order."""

    def __init__(self):
        self.counts = {}
        self.diffs = []
        self.moves = []  # of each pair of sees, the steps between them

    def add(self, kind, field, equal, where=None, mine=None, theirs=None, what=None):
        e, n = self.counts.get((kind, field), (0, 0))
        self.counts[(kind, field)] = (e + bool(equal), n + 1)
        if not equal and where is not None:
            self.diffs.append((where, kind, field, what, mine, theirs))


def compare_sense(t, where, a, b):
    ma, mb = SENSE.match(a), SENSE.match(b)
    if not ma or not mb:
        t.add("sense_body", "form", a == b, where, a, b)
        return
    for field, x, y in zip(SENSE_FIELDS, ma.groups(), mb.groups()):
        t.add("sense_body", field, x == y, where, a, b, f"{field} {x} against {y}")


def number(word):
    try:
        return float(word)
    except ValueError:
        return None


def player_parts(name):
    """A player's team and uniform number as the see names them, None where left out."""
    return (name[1] if len(name) > 1 else None), (name[2] if len(name) > 2 else None)


def compare_object(kind, x, y):
    """The fields of one object seen by both in which the two differ: what chance
    decides is left out."""
    _, _, na, va = x
    _, _, nb, vb = y
    low = len(va) < 2 or len(vb) < 2  # low quality: a direction only
    fields = []
    if low:
        return ["dir"] if va != vb else []
    if va[0] != vb[0]:
        fields.append("dist")
    if va[1] != vb[1]:
        fields.append("dir")
    d = number(vb[0]) or 0.0
    certain = d <= CERTAIN
    if kind == "player":
        ta, ua = player_parts(na)
        tb, ub = player_parts(nb)
        if certain and na != nb or (ta and tb and ta != tb) or (ua and ub and ua != ub):
            fields.append("name")
        if certain and len(va) != len(vb) or len(va) == len(vb) and va[2:4] != vb[2:4]:
            fields.append("chg")
        if len(va) == len(vb) and va[4:] != vb[4:]:
            fields.append("body_head")
    elif kind != "line":
        if na != nb:
            fields.append("name")
        if certain and len(va) != len(vb) or len(va) == len(vb) and va[2:] != vb[2:]:
            fields.append("chg")
    return fields


def compare_see(t, where, a, b):
    oa = {o[1]: o for o in see_objects(a)}
    ob = {o[1]: o for o in see_objects(b)}
    whole = True
    for key in list(ob) + [k for k in oa if k not in ob]:
        kind = key[0]
        if key not in oa or key not in ob:
            t.add("see", f"{kind} seen", False, where, a, b,
                  f"{' '.join((oa.get(key) or ob.get(key))[2])} seen only on "
                  f"{'the real server' if key in ob else 'pitch'}")
            whole = False
            continue
        t.add("see", f"{kind} seen", True)
        wrong = compare_object(kind, oa[key], ob[key])
        fields = ("dist", "dir") if kind == "line" else ("dist", "dir", "name", "chg") + (
            ("body_head",) if kind == "player" else ())
        for field in fields:
            ok = field not in wrong
            what = f"{' '.join(ob[key][2])} {field}: {' '.join(oa[key][3])} against " \
                   f"{' '.join(ob[key][3])}"
            t.add("see", f"{kind} {field}", ok, where, a, b, what)
        whole = whole and not wrong
    if a.split(" ", 2)[1] != b.split(" ", 2)[1]:
        whole = False
        t.add("see", "time", False, where, a, b, "its T")
    else:
        t.add("see", "time", True)
    t.add("see", "whole", whole)


def by_step(lines):
    """{(client, step): {kind: [texts]}} of a capture's messages but its sees."""
    out = {}
    for line in lines[1:]:
        kind = kind_of(line["msg"])
        if kind != "see":
            key = (line["client"], line["step"])
            out.setdefault(key, {}).setdefault(kind, []).append(line["msg"])
    return out


def sees(lines):
    """{client: [(step, text)]} of a capture's sees, in the order they came."""
    out = {}
    for line in lines[1:]:
        if kind_of(line["msg"]) == "see":
            out.setdefault(line["client"], []).append((line["step"], line["msg"]))
    return out


def see_time(text):
    """A see's time, the T of (see T ...)."""
    return text.split(" ", 2)[1] if " " in text else ""


# The rounds in which sees are paired: the steps apart (None: any, the nearest) and whether
# the two must show the same time.
ROUNDS = ((0, True), (1, True), (0, False), (1, False), (None, True), (None, False))


def pair_sees(mine, theirs):
    """Pairs one client's sees on the two servers ([(step, text)] each), in rounds (ROUNDS):
    of the same step and the same time (its T), of the same time a step apart, of the same
    step, a step apart, then whatever is left with the nearest left on the other server (of
    the same time first); in each round the earliest first. Returns the pairs as (index in
    mine, index in theirs) and the indices left without a partner on each side."""
    left_a, left_b = list(range(len(mine))), list(range(len(theirs)))
    pairs = []
    for near, same in ROUNDS:
        for i in list(left_a):
            step, when = mine[i][0], see_time(mine[i][1])
            fits = [j for j in left_b
                    if (near is None or abs(theirs[j][0] - step) == near)
                    and (not same or see_time(theirs[j][1]) == when)]
            if fits:
                j = min(fits, key=lambda j: (abs(theirs[j][0] - step), j))
                pairs.append((i, j))
                left_a.remove(i)
                left_b.remove(j)
    return pairs, left_a, left_b


def compare(mine, theirs):
    """Compares pitch's capture (mine) with the real server's (theirs): every message but
    the sees text for text, step by step in the order they came; the sees paired (see
    pair_sees) and compared in content wherever they came."""
    t = Tally()
    a, b = by_step(mine), by_step(theirs)

    def order(key):
        return (-1e9 if key[1] is None else key[1], key[0])

    for key in sorted(set(a) | set(b), key=order):
        ka, kb = a.get(key, {}), b.get(key, {})
        for kind in KINDS:
            xa, xb = ka.get(kind, []), kb.get(kind, [])
            for i in range(max(len(xa), len(xb))):
                x = xa[i] if i < len(xa) else None
                y = xb[i] if i < len(xb) else None
                if x is None or y is None:
                    t.add(kind, "calls" if kind == "referee" else "count", False, key, x, y,
                          f"only on {'pitch' if y is None else 'the real server'}")
                elif kind == "sense_body":
                    compare_sense(t, key, x, y)
                else:
                    t.add(kind, "calls" if kind == "referee" else "text", x == y, key, x, y)
    sa, sb = sees(mine), sees(theirs)
    for client in sorted(set(sa) | set(sb)):
        xs, ys = sa.get(client, []), sb.get(client, [])
        pairs, only_a, only_b = pair_sees(xs, ys)
        for i, j in pairs:
            (sx, x), (sy, y) = xs[i], ys[j]
            apart = abs(sx - sy)
            t.add("see", "paired", True)
            t.moves.append(apart)
            t.add("see", "step", not apart, (client, sx) if apart > 1 else None, x, y,
                  f"moved {apart} steps (step {sx} on pitch, {sy} on the real server)")
            compare_see(t, (client, sx), x, y)
        for i in only_a:
            t.add("see", "paired", False, (client, xs[i][0]), xs[i][1], None, "only on pitch")
        for j in only_b:
            t.add("see", "paired", False, (client, ys[j][0]), None, ys[j][1],
                  "only on the real server")
    return t


def verdict(t):
    """What keeps the comparison from conforming, as words; empty when nothing does."""
    short = []
    for (kind, field), (e, n) in sorted(t.counts.items()):
        if kind != "see" and e < n:
            short.append(f"{kind} {field} {e}/{n}")
    total = t.counts.get(("see", "paired"), (0, 0))[1]  # paired or not
    far = sum(1 for m in t.moves if m > 1)
    near = sum(1 for m in t.moves if m == 1)
    if far:
        short.append(f"{far} {'see' if far == 1 else 'sees'} moved more than one step")
    if near > MOVED_SHARE * total:
        short.append(f"{near} of {total} sees moved a step (at most {MOVED_SHARE:.0%} may)")
    e = t.counts.get(("see", "whole"), (0, 0))[0]
    if e < SEE_SHARE * total:
        short.append(f"sees {e}/{total}")
    return short


def clip(text, width=160):
    return text if text is None or len(text) <= width else text[:width - 3] + "..."


def report(name, t, show, out):
    print(f"== {name}", file=out)
    print(f"  {'kind':<11} {'field':<20} {'equal':>7} {'of':>7} {'share':>8}", file=out)
    for (kind, field), (e, n) in sorted(t.counts.items()):
        print(f"  {kind:<11} {field:<20} {e:>7} {n:>7} {100.0 * e / n:>7.2f}%", file=out)
    near = sum(1 for m in t.moves if m == 1)
    far = sum(1 for m in t.moves if m > 1)
    if near or far:
        print(f"  sees that came on another step than on the other server (each compared "
              f"with its partner): {near} one step apart, {far} further", file=out)
    diffs = sorted(t.diffs, key=lambda d: (-1e9 if d[0][1] is None else d[0][1], d[0][0]))
    if diffs:
        print(f"  first differences ({len(diffs)} in all; pitch first, then the real "
              f"server):", file=out)
    for where, kind, field, what, x, y in diffs[:show]:
        client, step = where
        print(f"  - {client} step {step}: {kind} {what or field}", file=out)
        print(f"      pitch: {clip(x)}", file=out)
        print(f"      real:  {clip(y)}", file=out)
    short = verdict(t)
    print(f"  {'conforms' if not short else 'does not conform: ' + ', '.join(short)}", file=out)
    return not short


# ---------------------------------------------------------------------------------------

def main(argv):
    ap = argparse.ArgumentParser(add_help=False)
    ap.add_argument("names", nargs="*")
    real_server.add_option(ap)
    ap.add_argument("--pitch", default=os.path.join(REPO, "build", "bin", "pitch"))
    ap.add_argument("--save")
    ap.add_argument("--show", type=int, default=8)
    ap.add_argument("--scenarios", default=SCENARIOS)
    ap.add_argument("--compare", nargs=2, metavar=("PITCH", "REAL"))
    ap.add_argument("--list", action="store_true")
    ap.add_argument("-h", "--help", action="store_true")
    try:
        args = ap.parse_args(argv)
    except SystemExit:
        return 2
    if args.help:
        print(__doc__.strip())
        return 0
    if args.show < 0:
        print("conformance.py: --show must be 0 or more", file=sys.stderr)
        return 2
    if args.compare:
        mine, theirs = (load(p) for p in args.compare)
        name = mine[0].get("scenario") or os.path.basename(args.compare[0])
        return 0 if report(name, compare(mine, theirs), args.show, sys.stdout) else 1
    scenarios = load_scenarios(args.scenarios)
    if args.list:
        for s in scenarios:
            print(f"{s['name']:<22} {s['about']}")
        return 0
    unknown = [n for n in args.names if n not in {s["name"] for s in scenarios}]
    if unknown:
        print(f"conformance.py: no scenario {', '.join(unknown)} (see --list)", file=sys.stderr)
        return 2
    real, error = real_server.find(args.real_server)
    if error:
        print(f"conformance.py: {error}", file=sys.stderr)
        return 2 if args.real_server or os.environ.get(real_server.ENV) else NO_REAL_SERVER
    if not (os.path.isfile(args.pitch) and os.access(args.pitch, os.X_OK)):
        print(f"conformance.py: pitch {args.pitch} is not a program", file=sys.stderr)
        return 2
    chosen = [s for s in scenarios if not args.names or s["name"] in args.names]
    failed = []
    for s in chosen:
        folder = tempfile.mkdtemp(prefix=f"conformance-{s['name']}-")
        print(f"-- {s['name']}: {s['about']} ({s['steps']} steps)", flush=True)
        try:
            captures = play(s, os.path.abspath(args.pitch), os.path.abspath(real), folder)
        except Failure as e:
            print(f"  could not be played: {e}", flush=True)
            failed.append(s["name"])
            captures = None
        if captures and not report(s["name"], compare(captures["pitch"], captures["real"]),
                                   args.show, sys.stdout):
            failed.append(s["name"])
        sys.stdout.flush()
        if args.save:
            os.makedirs(args.save, exist_ok=True)
            if captures:
                for kind, lines in captures.items():
                    save(lines, os.path.join(args.save, f"{s['name']}.{kind}.jsonl"))
            for kind in ("pitch", "real"):
                src = os.path.join(folder, kind)
                dst = os.path.join(args.save, f"{s['name']}.{kind}")
                if os.path.isdir(src):
                    shutil.rmtree(dst, ignore_errors=True)
                    shutil.copytree(src, dst, ignore=shutil.ignore_patterns("home"))
        shutil.rmtree(folder, ignore_errors=True)
    print(f"{len(chosen) - len(failed)} of {len(chosen)} scenarios conform"
          + (f"; not: {', '.join(failed)}" if failed else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
