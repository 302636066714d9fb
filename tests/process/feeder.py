#!/usr/bin/env python3
"""A one-player team for pitch that sends the ball to the other side's goalie.

  tests/process/feeder.py PORT

  PORT  pitch's port on 127.0.0.1

It joins as team "feeder" and stands at the ball for the kick-off. Once per see: with the
ball in reach and the goal it attacks 30 m away or more, it kicks the ball at that goal
with full power, which rolls it some 43 m, to a stop a few metres in front of a goalie on
its line; away from that goal it runs at the ball; within 30 m of the goal it stands and
leaves the ball to the goalie. So it never touches the ball twice in a row after a kick-off
(a free-kick fault once it has dashed in between). It prints "joined l" or "joined r" once
pitch has taken it in, and ends with pitch (or after 10 s without a message).
"""
import re
import socket
import sys

NUMBER = r"(-?[0-9.]+(?:e[-+]?[0-9]+)?)"
BALL = re.compile(r"\(\([bB]\) " + NUMBER + " " + NUMBER)
KICKABLE = 1.0  # metres; pitch's kickable area is 1.085
ZONE = 30  # metres from the goal within which the ball is the goalie's


def decide(text, goal):
    """The command for one see, or None."""
    ball, target = BALL.search(text), goal.search(text)
    if target is not None and float(target.group(1)) < ZONE:
        return None
    if ball is None or target is None:
        return "(turn 60)"
    if float(ball.group(1)) <= KICKABLE:
        return f"(kick 100 {target.group(2)})"
    if abs(float(ball.group(2))) > 10:
        return f"(turn {ball.group(2)})"
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
