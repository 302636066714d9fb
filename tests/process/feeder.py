#!/usr/bin/env python3
"""A one-player team for pitch that sends the ball to the other side's goalie.

  tests/process/feeder.py PORT

  PORT  pitch's port on 127.0.0.1

It joins as team "feeder" and stands at the ball for the kick-off. Once per see it works
out where it stands and faces from the two landmarks it sees farthest apart, and so where
the ball lies. A ball within 13 m of the goal it attacks is the goalie's (inside its
penalty area, and near enough to its line to draw it out), and the feeder stands; any
other ball it runs at, and with the ball in reach it kicks it toward a point 9.5 m in front
of that goal, as hard as rolls it to a stop there by the power that reaches a ball at that
distance and direction (full power from the centre spot). A ball that one kick cannot take
there (by a tenth) goes to 30 m from the goal first, where the goalie leaves it alone, and
after a kick the feeder lets the ball go for 7 sees (a second), so that a second kick does not
speed it up. So a ball that the goalie sends away comes back to it, again and again, until
the goalie catches it; and after the kick-off the feeder does not touch the ball again
before the goalie has (a free-kick fault once it has dashed in between). It prints "joined
l" or "joined r" once pitch has taken it in, and ends with pitch (or after 10 s without a
message).
"""
import math
import re
import socket
import sys

NUMBER = r"(-?[0-9.]+(?:e[-+]?[0-9]+)?)"
BALL = re.compile(r"\(\([bB]\) " + NUMBER + " " + NUMBER)
LANDMARK = re.compile(r"\(\(([fg](?: [a-z0-9]+)+)\) " + NUMBER + " " + NUMBER)
SIGN = {"l": -1, "r": 1, "t": -1, "b": 1, "c": 0}  # y grows toward the bottom ("b")
KICKABLE = 1.0  # metres; pitch's kickable area is 1.085
GOAL_X = 52.5
ZONE = 13  # metres from the goal within which the ball is the goalie's
REST = 9.5  # metres in front of the goal line where a kick should leave the ball
FAR = 30  # metres from the goal where a ball waits that one kick cannot take to REST
PAUSE = 7  # sees (of 150 ms) after a kick without another
# Metres the ball rolls per unit of kick power that reaches it: 0.027 is the ball's first
# step, the steps after it are 0.94 times as long each, 1 / 0.06 of the first in all.
ROLL_PER_POWER = 0.027 / 0.06
REACH_GAP = 0.385  # player and ball radius: a ball closer than this overlaps the foot
KICKABLE_MARGIN = 0.7


def place(name):
    """Where the landmark named so lies on the field ("f p r t", "f t l 20", "g r"), or None
    for a name that is none."""
    w = name.split()
    try:
        if w[0] == "g":
            return SIGN[w[1]] * GOAL_X, 0.0
        w = w[1:]
        if w[-1].isdigit():  # 5 m outside the lines: "t l 20", "t 0", "r b 10", "r 0"
            along = SIGN[w[1]] * float(w[-1]) if len(w) == 3 else 0.0
            return (along, SIGN[w[0]] * 39.0) if w[0] in "tb" else (SIGN[w[0]] * 57.5, along)
        if w[0] == "c":
            return 0.0, SIGN[w[1]] * 34.0 if len(w) == 2 else 0.0
        if w[0] == "g":  # a goal post
            return SIGN[w[1]] * GOAL_X, SIGN[w[2]] * 7.01
        if w[0] == "p":  # a penalty area's corner or centre
            return SIGN[w[1]] * 36.0, SIGN[w[2]] * 20.16
        return SIGN[w[0]] * GOAL_X, SIGN[w[1]] * 34.0  # a corner
    except (KeyError, IndexError):
        return None


def relative(d, degrees):
    a = math.radians(degrees)
    return d * math.cos(a), d * math.sin(a)


def locate(text):
    """Where the feeder stands and which way it faces (x, y, radians), from the two
    landmarks of the see that lie farthest apart; None when it sees fewer than two."""
    seen = [(place(m[1]), relative(float(m[2]), float(m[3]))) for m in LANDMARK.finditer(text)]
    seen = [s for s in seen if s[0]]
    if len(seen) < 2:
        return None
    (pa, ra), (pb, rb) = max(((a, b) for a in seen for b in seen),
                             key=lambda ab: math.dist(ab[0][0], ab[1][0]))
    h = (math.atan2(pb[1] - pa[1], pb[0] - pa[0]) - math.atan2(rb[1] - ra[1], rb[0] - ra[0]))
    return (pa[0] - ra[0] * math.cos(h) + ra[1] * math.sin(h),
            pa[1] - ra[0] * math.sin(h) - ra[1] * math.cos(h), h)


def kickpower(distance, direction, roll):
    """The power that rolls a ball seen at distance and direction roll metres: the farther
    it lies from the foot and the more to the side, the less of the power reaches it."""
    share = 1 - 0.25 * abs(direction) / 180 - 0.25 * (distance - REACH_GAP) / KICKABLE_MARGIN
    return roll / (ROLL_PER_POWER * share)


def decide(text, toward, last):
    """The command for one see, or None; toward is +1 when the goal attacked is the right
    one, -1 the left; last["sees"] counts the sees, last["kick"] is the see of the last
    kick."""
    last["sees"] = last.get("sees", 0) + 1
    ball, here = BALL.search(text), locate(text)
    if ball is None or here is None:
        return "(turn 60)"
    x, y, h = here
    bd, bdir = float(ball.group(1)), float(ball.group(2))
    bx, by = x + bd * math.cos(h + math.radians(bdir)), y + bd * math.sin(h + math.radians(bdir))
    gx, rx = toward * GOAL_X, toward * (GOAL_X - REST)
    if math.hypot(gx - bx, by) < ZONE or last["sees"] < last.get("kick", -PAUSE) + PAUSE:
        return None
    if bd <= KICKABLE:
        power = kickpower(bd, bdir, math.hypot(rx - bx, by))
        if power > 110:  # too far for one kick: to FAR first (a kick-off takes one)
            power = kickpower(bd, bdir, max(5.0, math.hypot(gx - bx, by) - FAR))
        last["kick"] = last["sees"]
        aim = math.degrees(math.atan2(-by, rx - bx) - h)
        return f"(kick {min(100, round(power))} {(aim + 180) % 360 - 180:.0f})"
    if abs(bdir) > 10:
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
    s.sendto(b"(move -0.5 0)", server)  # the ball lies half a metre ahead at kick-off
    last = {}
    while True:
        try:
            data, _ = s.recvfrom(8192)
        except socket.timeout:
            return 0
        text = data.decode(errors="replace").rstrip("\0")
        command = decide(text, 1 if side == "l" else -1, last) if text.startswith("(see ") else None
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
