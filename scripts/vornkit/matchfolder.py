#!/usr/bin/env python3
"""The files a match leaves in its folder (scripts/match.sh --dir), each read here once.

  pitch.txt     pitch's output: its seed ("pitch: random seed N"), its summary ("pitch:
                match over at cycle N" or "... stopped at cycle N of M", then "score: LEFT
                L : R RIGHT"), and what it could not write ("pitch: cannot write ...")
  server.txt    the real server's output: the seed it drew from its clock
  report.txt    the runner's and the team's lines (match.sh: ..., start-team.sh: ...)
  team.txt      the team's table, a row per player: the send slots it missed
  slots.json    the send-slot figures (scripts/slots.py): each slot's p99
  invalid.txt   why the match is invalid, when match.sh found it so
  match.rcg     the game log (or match.rcg.gz); pitch's record match.jsonl (match.sh --record)
  result.json   what the series keeps of the match (vornkit/matchresult.py writes it)

Used by vornkit/matchresult.py, vornkit/ending.py and the series' modules, and by the bash
scripts through this file as a command (nothing printed when the folder does not tell, but
for pitchend's two lines):

  python3 scripts/vornkit/matchfolder.py pitchend DIR  pitch's summary as "N L R LEFT RIGHT",
                                                       and on a second line why its game log
                                                       ends early ("cannot write the game
                                                       log ..."): each line empty when pitch
                                                       did not say
  python3 scripts/vornkit/matchfolder.py last --record FILE | --gamelog FILE
                                                       the last step logged, as "N L R"
  python3 scripts/vornkit/matchfolder.py ended DIR     result.json as "STATUS SIDE FOR AGAINST
                                                       WHY"; status 1 when it cannot be read
  python3 scripts/vornkit/matchfolder.py busy DIR      why result.json's send slots show a
                                                       machine too busy for the match
"""

import json
import os
import re
import sys

if __name__ == "__main__":
    sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.realpath(__file__))))
from vornkit import matchlog  # noqa: E402

# The seed the server says it drew (pitch's line, the real server's from its clock).
SERVER_SEED = (("pitch.txt", re.compile(r"^pitch: random seed (\d+)$")),
               ("server.txt", re.compile(r"^(?:Using given )?Simulator Random Seed: (-?\d+)$")))
# pitch's summary: its first line, then the score of the left and the right team
PITCH_END = re.compile(r"^pitch: match (?:over|stopped) at cycle (\d+)")
PITCH_SCORE = re.compile(r"^score: (\S+) (\d+) : (\d+) (\S+)$")
# what pitch says when it cannot write a file, and the runner's and the team's own lines
PITCH_CANNOT = re.compile(r"^pitch: (cannot write .*)$")
SAID = re.compile(r"^(?:match\.sh|start-team\.sh): (.*)$")
TEAM_ROW = re.compile(r"^\s*\d+\s+Vorng?\s+\d+\s+(\d+)(\s|$)")  # player, program, sent, missed
# A step line of pitch's record, as far as its cycle and score go.
RECORD_STEP = re.compile(r'.*"cycle":(\d*).*"score":\[(\d*),(\d*)\]')
# A match's send-slot p99 above this says that the machine was too busy for the match to
# mean what it would mean alone.
P99_LIMIT_MS = 20.0
# Without pitch's record (the real server), the share of vorn's send slots missed (its
# players' logs) above this says the same.
MISSED_LIMIT = 0.001


def readlines(path):
    """The lines of a file of the folder (latin-1: a server's output may hold any byte); []
    when it cannot be read."""
    try:
        with open(path, encoding="latin-1") as f:
            return f.read().splitlines()
    except OSError:
        return []


def serverseed(folder):
    """The seed the match's server said it played with, else None."""
    for name, pattern in SERVER_SEED:
        for line in readlines(os.path.join(folder, name)):
            m = pattern.match(line)
            if m:
                return int(m.group(1))
    return None


def gamelog(folder):
    """The match's game log: match.rcg, or compressed."""
    plain = os.path.join(folder, "match.rcg")
    return plain if os.path.isfile(plain) or not os.path.isfile(plain + ".gz") else plain + ".gz"


def pitchsummary(folder):
    """pitch's own last word on the match, from its summary in pitch.txt: (cycle, left
    goals, right goals, left team, right team); None when it printed none (it was killed, or
    the server was another)."""
    cycle = None
    for line in readlines(os.path.join(folder, "pitch.txt")):
        end, score = PITCH_END.match(line), PITCH_SCORE.match(line)
        if end:
            cycle = int(end.group(1))
        elif score and cycle is not None:
            return cycle, int(score.group(2)), int(score.group(3)), score.group(1), score.group(4)
    return None


def cannotwrite(folder, what=""):
    """pitch's first "cannot write WHAT..." line, without its "pitch: ", else None."""
    for line in readlines(os.path.join(folder, "pitch.txt")):
        m = PITCH_CANNOT.match(line)
        if m and m.group(1).startswith("cannot write " + what):
            return m.group(1)
    return None


def failure(folder):
    """Why a match failed, in a line: what pitch could not write, else the runner's or the
    team's last line of complaint in its report; None when neither said anything."""
    cannot = cannotwrite(folder)
    if cannot:
        return "pitch " + cannot
    said = [m.group(1) for m in map(SAID.match, readlines(os.path.join(folder, "report.txt")))
            if m]
    return said[-1] if said else None


def invalidwhy(folder):
    """Why match.sh found the match invalid (invalid.txt), in a line; "" when it did not."""
    return " ".join(readlines(os.path.join(folder, "invalid.txt"))).strip()


def missedslots(folder):
    """The send slots each of vorn's players missed, from the team's table (team.txt)."""
    rows = [TEAM_ROW.match(line) for line in readlines(os.path.join(folder, "team.txt"))]
    return [int(m.group(1)) for m in rows if m]


def slotsp99(folder):
    """The largest of the send slots' p99 in slots.json (pitch's record), else None."""
    try:
        with open(os.path.join(folder, "slots.json"), encoding="utf-8") as f:
            p99 = [s["p99_ms"] for s in json.load(f)["slots"] if "p99_ms" in s]
        return max(p99) if p99 else None
    except (OSError, ValueError, KeyError, TypeError):
        return None


def recordend(path, block=1 << 16):
    """(cycle, left, right) of the last step line of pitch's record, read from its end;
    None when it has none."""
    with open(path, "rb") as f:
        end = f.seek(0, os.SEEK_END)
        tail = b""
        while end > 0:
            start = max(0, end - block)
            f.seek(start)
            tail = f.read(end - start) + tail
            end = start
            lines = tail.split(b"\n")
            for line in reversed(lines[1:] if end else lines):
                text = line.decode("latin-1")
                if '"type":"cycle"' in text:
                    m = RECORD_STEP.match(text)
                    return tuple(int(x) for x in m.groups()) if m and all(m.groups()) else None
            tail = lines[0] if end else b""
    return None


def gamelogend(path):
    """(cycle, left, right) of the last step of a game log (or record) read whole."""
    last = matchlog.read(path).steps[-1]
    return (last["cycle"], *last["score"])


def readresult(folder):
    """The folder's result.json as a dict; OSError or ValueError when it cannot be read."""
    with open(os.path.join(folder, "result.json"), encoding="utf-8") as f:
        r = json.load(f)
    if not isinstance(r, dict):
        raise ValueError("not an object")
    return r


# What a match without a readable result.json counts as: failed, with the reason.
BROKEN = {"side": None, "seed": None, "status": "failed", "cycles": 0, "for": 0, "against": 0,
          "goal_difference": 0, "opponent": None, "catches": None, "players": 0,
          "missed_slots": 0, "slots": 0, "p99_ms": None, "figures": None}
# What a summary needs of a result.json, and of what types.
NEEDED = {"side": (str, type(None)), "status": str, "cycles": int, "for": int, "against": int,
          "goal_difference": int, "missed_slots": int, "slots": int}


def matchresult(folder):
    """A match folder's result.json, or, when it is missing or broken (a full disk cut it
    short, say), a failed match whose "why" names the file and what is wrong with it."""
    path = os.path.join(folder, "result.json")
    name = os.path.basename(folder)
    try:
        r = readresult(folder)
        wrong = [k for k, kinds in NEEDED.items() if not isinstance(r.get(k), kinds)]
        if wrong:
            raise ValueError(f"no {', '.join(wrong)}")
        return dict(r, dir=name)
    except FileNotFoundError:
        why = f"{path} is missing"
    except OSError as e:
        why = f"{path}: {e.strerror}"
    except ValueError as e:
        why = f"{path} is empty" if not os.path.getsize(path) else f"{path} is broken: {e}"
    return dict(BROKEN, dir=name, why=why, broken=True)


def busy(r):
    """Why a match's result shows a machine too busy for it (its send-slot p99 above
    P99_LIMIT_MS, or more than MISSED_LIMIT of vorn's slots missed), else None."""
    p99, missed, slots = r.get("p99_ms"), r.get("missed_slots") or 0, r.get("slots") or 0
    if p99 is not None and p99 > P99_LIMIT_MS:
        return f"its send-slot p99 was {p99:.1f} ms, above {P99_LIMIT_MS:g} ms"
    if slots and missed / slots > MISSED_LIMIT:
        return (f"it missed {missed} of {slots} send slots ({100 * missed / slots:.2f}%), "
                f"above {100 * MISSED_LIMIT:g}%")
    return None


def ended(r):
    """How a match's result.json says it ended: "STATUS SIDE FOR AGAINST WHY"."""
    return " ".join(map(str, (r["status"], r["side"], int(r["for"]), int(r["against"]),
                              r.get("why") or "")))


def main(argv):
    what, args = (argv[0], argv[1:]) if argv else (None, [])
    try:
        if what == "pitchend" and len(args) == 1:
            summary = pitchsummary(args[0])
            said = "\n".join((" ".join(map(str, summary or ())),
                              cannotwrite(args[0], "the game log ") or ""))
        elif what == "last" and len(args) == 2 and args[0] in ("--record", "--gamelog"):
            said = (recordend if args[0] == "--record" else gamelogend)(args[1])
        elif what == "ended" and len(args) == 1:
            said = ended(readresult(args[0]))
        elif what == "busy" and len(args) == 1:
            said = busy(readresult(args[0]))
        elif what in (None, "-h", "--help"):
            print(__doc__.strip())
            return 0 if what else 2
        else:
            print(f"matchfolder.py: {' '.join(argv)}: not a command of this file (see --help)",
                  file=sys.stderr)
            return 2
    except (OSError, ValueError, KeyError, TypeError, matchlog.MatchError) as e:
        print(f"matchfolder.py: {e}", file=sys.stderr)
        return 1
    if said:
        print(" ".join(map(str, said)) if isinstance(said, tuple) else said)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
