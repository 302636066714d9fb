#!/usr/bin/env python3
"""A one-player team for pitch that brings the ball to the other side's goalie.

  tests/process/feeder.py PORT

  PORT  pitch's port on 127.0.0.1

It joins as team "feeder", stands at the ball for the kick-off, and then, once per see,
runs at the ball and kicks it toward the goal it attacks: long kicks (about 16 m of roll)
while the goal is 30 m away or more, soft ones (about 5 m) nearer. Within 14 m of the goal
it leaves the ball where it lies, for the goalie to come and take. It prints "joined l"
or "joined r" once pitch has taken it in, and ends with pitch (or after 10 s without a
message).
"""
import re
import socket
import sys

NUMBER = r"(-?[0-9.]+(?:e[-+]?[0-9]+)?)"
BALL = re.compile(r"\(\([bB]\) " + NUMBER + " " + NUMBER)
KICKABLE = 1.0  # metres; pitch's kickable area is 1.085
LONG, SOFT = 40, 15  # kick powers: about 16 m and 5 m of roll
FAR, NEAR = 30, 14  # metres from the goal: long kicks beyond FAR, none within NEAR


def decide(text, goal):
    """The command for one see, or None."""
    ball, target = BALL.search(text), goal.search(text)
    if ball is None:
        return "(turn 60)"
    distance, direction = float(ball.group(1)), ball.group(2)
    if target is not None and float(target.group(1)) < NEAR:
        return None  # the goalie's ball now
    if distance <= KICKABLE:
        if target is None:
            return "(turn 60)"
        power = LONG if float(target.group(1)) >= FAR else SOFT
        return f"(kick {power} {target.group(2)})"
    if abs(float(direction)) > 10:
        return f"(turn {direction})"
    return "(dash 100)"


def play(port):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", 0))
    s.settimeout(10)
    s.sendto(b"(init feeder (version 6.02))", ("127.0.0.1", port))
    reply, server = s.recvfrom(8192)
    m = re.match(rb"\(init ([lr]) ", reply)
    if not m:
        print("feeder: refused:", reply.decode(errors="replace"), flush=True)
        return 1
    side = m.group(1).decode()
    print("joined", side, flush=True)
    goal = re.compile(r"\(\(g " + ("r" if side == "l" else "l") + r"\) " + NUMBER + " " + NUMBER)
    s.sendto(b"(move -0.5 0)", server)  # the ball lies half a metre ahead at kick-off
    while True:
        try:
            data, _ = s.recvfrom(8192)
        except socket.timeout:
            return 0
        text = data.decode(errors="replace").rstrip("\0")
        command = decide(text, goal) if text.startswith("(see ") else None
        if command:
            s.sendto(command.encode(), server)


def main(argv):
    if argv and argv[0] in ("--help", "-h"):
        print(__doc__.strip())
        return 0
    if len(argv) != 1 or not argv[0].isdigit():
        print("feeder.py: PORT (see --help)", file=sys.stderr)
        return 2
    return play(int(argv[0]))


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
