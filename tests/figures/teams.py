#!/usr/bin/env python3
"""Two small scripted teams for pitch in one process, so that pitch's record holds the
commands of both sides: "west" joins first (pitch puts it on the left), then "east"; each
has a goalie and PLAYERS - 1 field players.

  tests/figures/teams.py PORT [PLAYERS]

  PORT     pitch's port on 127.0.0.1
  PLAYERS  players per team, 2 to 11 (default 3)

Of a team's field players only the one that saw the ball nearest last chases it (the others
turn to it and wait), so that team-mates seldom kick in the same step. Once per see the
chaser with the ball in reach shoots at the goal it attacks when that
is nearer than 30 m, else passes to the first team-mate it sees or kicks the ball on toward
the goal; away from the ball it turns to it and runs at it. A goalie catches a ball that
comes within 1.5 m in play, kicks out a ball it holds toward the far goal, runs at a ball
within 12 m and otherwise turns to it. So the matches have kicks, shots, passes that arrive
and passes that do not, catches that hold and catches that miss, and set plays of many
kinds. The teams end with pitch (or after 5 s without a message).
"""
import re
import selectors
import socket
import sys

NUMBER = r"(-?[0-9.]+(?:e[-+]?[0-9]+)?)"
BALL = re.compile(r"\(\([bB]\) " + NUMBER + " " + NUMBER)
MODE = re.compile(r"\(hear \d+ referee (\w+)\)")
KICKABLE = 0.9  # metres by the see; pitch's reach is 1.085
SHOOT_FROM = 30
GOALIE_CATCH = 1.5
GOALIE_RUN = 12
TEAMS = ("west", "east")


class Player:
    def __init__(self, team, unum, goalie, near):
        self.team, self.unum, self.goalie = team, unum, goalie
        self.near = near  # {unum: the ball's distance at its last see} of the team's field players
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(("127.0.0.1", 0))
        self.server, self.side, self.mode = None, None, "before_kick_off"

    def join(self, port):
        init = f"(init {self.team} (version 6.02){' (goalie)' if self.goalie else ''})"
        self.sock.sendto(init.encode(), ("127.0.0.1", port))
        self.sock.settimeout(10)
        reply, self.server = self.sock.recvfrom(8192)
        m = re.match(rb"\(init ([lr]) ", reply)
        if not m:
            raise SystemExit(f"teams.py: {self.team} {self.unum} refused: {reply!r}")
        self.side = m.group(1).decode()
        other = "r" if self.side == "l" else "l"
        self.attack = re.compile(r"\(\(g " + other + r"\) " + NUMBER + " " + NUMBER)
        self.mate = re.compile(r'\(\(p "' + self.team + r'" \d+(?: goalie)?\) ' + NUMBER + " " +
                               NUMBER)
        # Goalie in its goal, the first field player of the left at the ball for the kick-off.
        place = ((-50, 0) if self.goalie else (-0.5, 0) if self.unum == 2 else
                 (-8, 8 * self.unum - 24))
        self.send(f"(move {place[0]} {place[1]})")

    def send(self, text):
        self.sock.sendto(text.encode(), self.server)

    def decide(self, see):
        """The command for one see, or None."""
        ball, goal = BALL.search(see), self.attack.search(see)
        if ball is None:
            return "(turn 60)"
        dist, dirn = float(ball.group(1)), float(ball.group(2))
        if self.goalie:
            if dist <= KICKABLE and self.mode == "free_kick_" + self.side:
                return f"(kick 100 {goal.group(2)})" if goal else "(turn 90)"
            if dist <= GOALIE_CATCH and self.mode == "play_on":
                return f"(catch {dirn})"
            if dist > GOALIE_RUN or abs(dirn) > 20:
                return f"(turn {dirn})"
            return "(dash 60)"
        self.near[self.unum] = dist
        if min(self.near, key=lambda u: (self.near[u], u)) != self.unum:
            return f"(turn {dirn})" if abs(dirn) > 30 else None
        if dist <= KICKABLE:
            if goal and float(goal.group(1)) < SHOOT_FROM:
                return f"(kick 100 {goal.group(2)})"
            mate = self.mate.search(see)
            if mate and 4 < float(mate.group(1)) < 30:
                return f"(kick 60 {mate.group(2)})"
            return f"(kick 40 {goal.group(2) if goal else 0})"
        if abs(dirn) > 15:
            return f"(turn {dirn})"
        return "(dash 80)"

    def take(self, data):
        text = data.decode(errors="replace").rstrip("\0")
        heard = MODE.match(text)
        if heard:
            self.mode = heard.group(1)
        elif text.startswith("(see "):
            command = self.decide(text)
            if command:
                self.send(command)


def main(argv):
    if argv and argv[0] in ("--help", "-h"):
        print(__doc__.strip())
        return 0
    if not 1 <= len(argv) <= 2 or not all(a.isdigit() for a in argv) or \
            len(argv) == 2 and not 2 <= int(argv[1]) <= 11:
        print("teams.py: PORT [PLAYERS] (see --help)", file=sys.stderr)
        return 2
    port, count = int(argv[0]), int(argv[1]) if len(argv) == 2 else 3
    near = {team: {} for team in TEAMS}
    players = [Player(team, unum, unum == 1, near[team]) for team in TEAMS
               for unum in range(1, count + 1)]
    for p in players:
        p.join(port)
    sel = selectors.DefaultSelector()
    for p in players:
        p.sock.setblocking(False)
        sel.register(p.sock, selectors.EVENT_READ, p)
    while True:
        ready = sel.select(timeout=5)
        if not ready:
            return 0
        for key, _ in ready:
            try:
                data = key.fileobj.recv(8192)
            except OSError:  # pitch has gone
                return 0
            key.data.take(data)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
