"""The result of a match from the server's game log (pitch's or the real server's): the
teams, the score, vorn's goals for and against, the cycle it ended at, the goalie's catches,
and whether the opponent stayed on the field to the end. Used by scripts/outcome.py (the
line match.sh prints) and vornkit/matchresult.py (result.json).
"""

from vornkit import matchlog


def present(step, side):
    """The players of the side on the field in the step (a player who has left is not)."""
    return sum(p["side"] == side for p in step["players"])


def outcome(match, side, opponent_stays=False):
    """The result of the match for vorn on side ("left" or "right") as a dict; "invalid" holds
    the reason when the opponent did not stay, else None."""
    ours = side[0]
    theirs = "r" if ours == "l" else "l"
    over = next((s for s in match.steps if s["mode"] == "time_over"), None)
    end = over or match.steps[-1]
    left, right = end["score"]
    most = max(present(s, theirs) for s in match.steps)
    invalid = None
    if opponent_stays and most == 0:
        invalid = "the opponent never connected: none of its players was on the field"
    elif opponent_stays and over and present(over, theirs) < most:
        gone = most - present(over, theirs)
        invalid = (f"the opponent's players left before time over: {gone} of its {most} "
                   f"were gone at cycle {over['cycle']}")
    goalie = matchlog.goalie(match, ours)
    names = match.teams
    return {"teams": names, "score": [left, right], "vorn": names[0 if ours == "l" else 1],
            "opponent": names[1 if ours == "l" else 0] or None,
            "for": left if ours == "l" else right, "against": right if ours == "l" else left,
            "cycle": end["cycle"], "mode": end["mode"], "time_over": over is not None,
            "catches": matchlog.catches(match, ours, goalie)["catches"] if goalie else 0,
            "invalid": invalid}


def line(r, side):
    """The result in the line match.sh prints: "result: ..." or "invalid: REASON"."""
    if r["invalid"]:
        return f"invalid: {r['invalid']}"
    left, right = (name or "-" for name in r["teams"])
    ours = f"vorn on the {side}" if r["vorn"] in ("vorn", "") else \
        f"this build on the {side}, as {r['vorn']}"
    return (f"result: {left} {r['score'][0]} : {r['score'][1]} {right} ({ours}), "
            f"cycle {r['cycle']} ({r['mode']})")
