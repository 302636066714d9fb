#!/usr/bin/env python3
"""A whole team of eleven, a goalie and ten field players, in one process: a plain
protocol-6 opponent for vorn on any server (pitch or the real one), standard library only.

  tests/support/scripted_team.py [--host H] [--port P] [--name NAME] [--players N]
                                 [--leave-at CYCLE]

  --host H          the server's host (default 127.0.0.1)
  --port P          the server's port (default 6000)
  --name NAME       the team's name (default scripted)
  --players N       how many players, 1 to 11 (default 11; the first is the goalie)
  --leave-at CYCLE  every player says (bye) and the team ends at this cycle: a team that
                    leaves before time over
  --version V       the protocol version its players ask for (default 6.02): a team the
                    server refuses

The players join one after another, the goalie first, and each moves to its place in a
formation in its own half. In play, and in the set plays of its own side, the field player
that saw the ball nearest runs to it and, with the ball in reach, shoots at the goal it
attacks when that goal is within 35 m, else kicks it on toward that goal (turning until it
sees the goal); the others turn to follow the ball. The goalie catches a ball within reach
in play, kicks a ball it holds toward the other goal and runs at a ball within 12 m. After a
goal and at half time every player goes back to its place.

It ends when the server has been silent for 5 s (it ended), on Ctrl-C or SIGTERM (also
while its players are still asking to join), or at --leave-at, with status 0; when the
server refuses a player or answers none within 30 s, with one line saying so and status 1.
"""
import argparse
import re
import selectors
import signal
import socket
import sys
import time

NUMBER = r"(-?[0-9.]+(?:e[-+]?[0-9]+)?)"
BALL = re.compile(r"\(\([bB]\) " + NUMBER + " " + NUMBER)
HEARD = re.compile(r"\(hear (\d+) referee (\w+)\)")
TIME = re.compile(r"\((?:see|sense_body) (\d+) ")
# Places in the own half (x < 0), the goalie's first; number 10 takes the kick-off.
PLACES = [(-50, 0), (-36, -20), (-36, -7), (-36, 7), (-36, 20), (-20, -15), (-20, 0),
          (-20, 15), (-8, -20), (-0.5, 0), (-8, 20)]
REACH, CATCH_REACH, SHOOT_FROM = 0.9, 1.5, 35
SILENCE = 5  # seconds without a message: the server has ended
ANSWER_WAIT = 30  # seconds for the server's first answer


class Player:
    def __init__(self, team, unum, host, port):
        self.team, self.unum, self.goalie = team, unum, unum == 1
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.settimeout(1)
        init = f"(init {team.name} (version {team.version}){' (goalie)' if self.goalie else ''})"
        end = time.monotonic() + ANSWER_WAIT
        while True:  # the server may still be starting: ask again every second
            self.sock.sendto(init.encode(), (host, port))
            try:
                reply, self.server = self.sock.recvfrom(8192)
                break
            except socket.timeout:
                if team.stop:  # a server that does not answer must not hold a stop up
                    raise Stopped()
                if time.monotonic() > end:
                    raise SystemExit(f"scripted_team.py: no answer from {host}:{port} in "
                                     f"{ANSWER_WAIT} s")
        text = reply.decode(errors="replace").rstrip("\0")
        if not text.startswith("(init "):
            raise SystemExit(f"scripted_team.py: {team.name} {unum} refused: {text}")
        self.side = text[6]  # "(init l 2 before_kick_off)"
        team.side = self.side
        self.goal = re.compile(r"\(\(g " + ("r" if self.side == "l" else "l") + r"\) " +
                               NUMBER + " " + NUMBER)
        self.place()

    def send(self, text):
        self.sock.sendto(text.encode(), self.server)

    def place(self):
        x, y = PLACES[(self.unum - 1) % len(PLACES)]
        self.send(f"(move {x} {y})")

    def ours(self, mode):
        """Whether the ball is ours to play in this mode: play on, or a set play of ours."""
        return mode == "play_on" or mode.endswith("_" + self.side) and \
            not mode.startswith(("goal_", "foul_", "offside_"))

    def decide(self, see):
        ball, goal, mode = BALL.search(see), self.goal.search(see), self.team.mode
        if ball is None:
            return "(turn 60)"
        dist, dirn = float(ball[1]), float(ball[2])
        self.team.near[self.unum] = (dist, self.team.cycle)
        if not self.ours(mode):
            return f"(turn {dirn})" if abs(dirn) > 30 else None
        if self.goalie:
            if dist <= REACH and mode == "free_kick_" + self.side:
                return f"(kick 100 {goal[2]})" if goal else "(kick 100 0)"
            if dist <= CATCH_REACH and mode == "play_on":
                return f"(catch {dirn})"
            if abs(dirn) > 20:
                return f"(turn {dirn})"
            return "(dash 60)" if dist <= 12 else None
        if self.team.chaser() != self.unum:
            return f"(turn {dirn})" if abs(dirn) > 30 else None
        if dist > REACH:
            return f"(turn {dirn})" if abs(dirn) > 15 else "(dash 80)"
        if goal is None:
            return "(turn 45)"
        return f"(kick {100 if float(goal[1]) < SHOOT_FROM else 45} {goal[2]})"

    def take(self, text):
        when = TIME.match(text)
        if when:
            self.team.cycle = max(self.team.cycle, int(when[1]))
        heard = HEARD.match(text)
        if heard:
            self.team.mode = heard[2]
            if heard[2].startswith(("goal_", "half_time")):
                self.place()
        elif text.startswith("(see ") and (command := self.decide(text)):
            self.send(command)


class Stopped(Exception):
    """Ctrl-C or SIGTERM came while the players were still joining."""


class Team:
    def __init__(self, name):
        self.name, self.side, self.mode, self.cycle = name, "?", "before_kick_off", 0
        self.version = "6.02"
        self.stop = []  # the signals that asked the team to end
        self.near = {}  # field player: (distance to the ball, cycle it saw it)

    def chaser(self):
        """The field player that saw the ball nearest in the last three cycles."""
        recent = {u: d for u, (d, c) in self.near.items() if u != 1 and c >= self.cycle - 3}
        return min(recent, key=lambda u: (recent[u], u)) if recent else None


def main(argv):
    p = argparse.ArgumentParser(prog="scripted_team.py", description=__doc__.split("\n\n")[0],
                                formatter_class=argparse.RawDescriptionHelpFormatter,
                                epilog="\n\n".join(__doc__.split("\n\n")[2:]))
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--port", type=int, default=6000)
    p.add_argument("--name", default="scripted")
    p.add_argument("--players", type=int, default=11, choices=range(1, 12), metavar="N")
    p.add_argument("--leave-at", type=int, metavar="CYCLE")
    p.add_argument("--version", default="6.02", metavar="V")
    a = p.parse_args(argv)
    team = Team(a.name)
    team.version = a.version
    stop = team.stop
    for s in (signal.SIGINT, signal.SIGTERM):
        signal.signal(s, lambda number, frame: stop.append(number))
    players = []
    try:
        for unum in range(1, a.players + 1):
            players.append(Player(team, unum, a.host, a.port))
    except Stopped:
        print(f"scripted_team.py: stopped with {len(players)} of {a.players} players joined",
              flush=True)
        return 0
    print(f"scripted_team.py: {a.players} players of {a.name} joined on the "
          f"{'left' if team.side == 'l' else 'right'}", flush=True)
    sel = selectors.DefaultSelector()
    for player in players:
        player.sock.setblocking(False)
        sel.register(player.sock, selectors.EVENT_READ, player)
    heard = time.monotonic()
    while not stop and time.monotonic() - heard < SILENCE:
        for key, _ in sel.select(timeout=0.5):
            try:
                key.data.take(key.fileobj.recv(8192).decode(errors="replace"))
                heard = time.monotonic()
            except OSError:  # the server has gone
                pass
        if a.leave_at is not None and team.cycle >= a.leave_at:
            for player in players:
                player.send("(bye)")
            print(f"scripted_team.py: left at cycle {team.cycle}", flush=True)
            return 0
    why = "stopped" if stop else f"the server was silent for {SILENCE} s"
    print(f"scripted_team.py: ended at cycle {team.cycle}: {why}", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
