#!/usr/bin/env python3
"""Two scripted teams for pitch in one process, so that pitch's record holds the commands of
both sides: "west" joins first (the left), then "east", each a goalie and two field players.

  tests/figures/teams.py PORT

Of a team's field players only the one that saw the ball nearest chases it, so team-mates
seldom kick in one step. With the ball in reach it shoots when the goal it attacks is nearer
than 30 m, else passes to a team-mate it sees or kicks the ball on. A goalie catches a ball
within 1.5 m in play, kicks out a ball it holds, runs at one within 12 m. The teams end with
pitch (5 s without a message).
"""
import re
import selectors
import socket
import sys

NUMBER = r"(-?[0-9.]+(?:e[-+]?[0-9]+)?)"
BALL = re.compile(r"\(\([bB]\) " + NUMBER + " " + NUMBER)
MODE = re.compile(r"\(hear \d+ referee (\w+)\)")


class Player:
    def __init__(self, team, unum, near, port):
        self.team, self.unum, self.goalie, self.near = team, unum, unum == 1, near
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.settimeout(10)
        init = f"(init {team} (version 6.02){' (goalie)' if self.goalie else ''})"
        self.sock.sendto(init.encode(), ("127.0.0.1", port))
        reply, self.server = self.sock.recvfrom(8192)
        if not reply.startswith(b"(init "):
            raise SystemExit(f"teams.py: {team} {unum} refused: {reply!r}")
        self.side, self.mode = reply.decode()[6], "before_kick_off"  # "(init l 2 ..."
        other = "r" if self.side == "l" else "l"
        self.goal = re.compile(r"\(\(g " + other + r"\) " + NUMBER + " " + NUMBER)
        self.mate = re.compile(rf'\(\(p "{team}" \d+(?: goalie)?\) {NUMBER} {NUMBER}')
        place = (-50, 0) if self.goalie else (-0.5, 0) if unum == 2 else (-8, 8 * unum - 24)
        self.send(f"(move {place[0]} {place[1]})")

    def send(self, text):
        self.sock.sendto(text.encode(), self.server)

    def decide(self, see):
        ball, goal = BALL.search(see), self.goal.search(see)
        if ball is None:
            return "(turn 60)"
        dist, dirn = float(ball[1]), float(ball[2])
        if self.goalie:
            if dist <= 0.9 and self.mode == "free_kick_" + self.side:
                return f"(kick 100 {goal[2]})" if goal else "(turn 90)"
            if dist <= 1.5 and self.mode == "play_on":
                return f"(catch {dirn})"
            return f"(turn {dirn})" if dist > 12 or abs(dirn) > 20 else "(dash 60)"
        self.near[self.unum] = dist
        if min(self.near, key=lambda u: (self.near[u], u)) != self.unum:
            return f"(turn {dirn})" if abs(dirn) > 30 else None
        if dist > 0.9:
            return f"(turn {dirn})" if abs(dirn) > 15 else "(dash 80)"
        mate = self.mate.search(see)
        if goal and float(goal[1]) < 30:
            return f"(kick 100 {goal[2]})"
        if mate and 4 < float(mate[1]) < 30:
            return f"(kick 60 {mate[2]})"
        return f"(kick 40 {goal[2] if goal else 0})"

    def take(self, text):
        heard = MODE.match(text)
        if heard:
            self.mode = heard[1]
        elif text.startswith("(see ") and (command := self.decide(text)):
            self.send(command)


def main(argv):
    if argv and argv[0] in ("--help", "-h"):
        print(__doc__.strip())
        return 0
    if len(argv) != 1 or not argv[0].isdigit():
        print("teams.py: PORT (see --help)", file=sys.stderr)
        return 2
    near = {"west": {}, "east": {}}
    players = [Player(team, unum, near[team], int(argv[0])) for team in near for unum in (1, 2, 3)]
    sel = selectors.DefaultSelector()
    for p in players:
        sel.register(p.sock, selectors.EVENT_READ, p)
    while ready := sel.select(timeout=5):
        for key, _ in ready:
            try:
                key.data.take(key.fileobj.recv(8192).decode(errors="replace"))
            except OSError:  # pitch has gone
                return 0
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
