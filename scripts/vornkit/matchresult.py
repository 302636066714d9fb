"""What result.json keeps of one match folder (scripts/series_summary.py match): the score
as vorn's goals for and against and the cycle it ended at, from pitch's own summary when it
printed one (it holds when its game log could not be written to the end), else from the game
log (vornkit/outcome.py), which also gives the opponent's name and both goalies' catches; the send slots missed by all players (team.txt) and the send-slot
p99 (the largest of the three slots' p99, from pitch's record; none on the real server); the
seed, given or the one the server said it drew; how the match ended (vornkit/ending.py); and
the match figures of both sides (vornkit/figures.py).
"""

import os

from vornkit import ending
from vornkit import figures
from vornkit import matchfolder
from vornkit import matchlog
from vornkit import outcome

SLOTS_PER_CYCLE = 3


def result(folder, side, status, cycles, seed=None, readlog=True):
    """The result of the match in folder, vorn on side, that match.sh ended with status, of
    cycles planned, as result.json holds it; readlog False leaves the game log unread (the
    score from pitch's summary, no figures): seconds less for a long match."""
    r = {"dir": os.path.basename(os.path.abspath(folder)), "side": side, "seed": seed,
         "exit_status": status, "planned_cycles": cycles, "cycles": 0, "for": 0, "against": 0,
         "opponent": None, "catches": 0, "opponent_catches": 0, "players": 0,
         "missed_slots": 0, "slots": 0, "p99_ms": None, "why": None}
    if seed is None:
        r["seed"] = matchfolder.serverseed(folder)
    if readlog:
        r.update(logged(folder, side))
    ended = matchfolder.pitchsummary(folder)
    if ended:
        cycle, left, right, lname, rname = ended
        ours, theirs = (left, right) if side == "left" else (right, left)
        r.update({"cycles": cycle, "for": ours, "against": theirs,
                  "opponent": r["opponent"] or (rname if side == "left" else lname)})
    missed = matchfolder.missedslots(folder)
    r["players"], r["missed_slots"] = len(missed), sum(missed)
    r["slots"] = SLOTS_PER_CYCLE * r["cycles"] * r["players"]
    r["p99_ms"] = matchfolder.slotsp99(folder)
    r["status"], r["why"] = ending.ending(folder, status, r["cycles"], cycles)
    r["goal_difference"] = r["for"] - r["against"]
    r["figures"] = gamefigures(folder, side) if readlog else None
    return r


def logged(folder, side):
    """The score, opponent, last cycle and both goalies' catches that the game log tells;
    nothing when it cannot be read."""
    try:
        match = matchlog.read(matchfolder.gamelog(folder))
        o = outcome.outcome(match, side)
        theirs = "r" if side == "left" else "l"
        goalie = matchlog.goalie(match, theirs)
        return {**{k: o[k] for k in ("for", "against", "opponent", "catches")},
                "cycles": o["cycle"],
                "opponent_catches": matchlog.catches(match, theirs, goalie)["catches"]
                if goalie else 0}
    except matchlog.MatchError:
        return {}


def gamefigures(folder, side):
    """vorn's and the opponent's figures of the match (vornkit/figures.py): from the
    folder's figures.json, which scripts/match.sh writes, else from its game log; None when
    it has neither."""
    try:
        found = figures.load(os.path.join(folder, "figures.json"))
    except ValueError:
        try:
            found = figures.figures(matchlog.read(matchfolder.gamelog(folder)))
        except matchlog.MatchError:
            return None
    ours, theirs = ("l", "r") if side == "left" else ("r", "l")
    return {"vorn": found[ours], "opponent": found[theirs]}

