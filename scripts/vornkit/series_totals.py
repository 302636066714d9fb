"""The figures over a series (scripts/series_summary.py series D): every match's result.json
(vornkit/matchfolder.py; one missing or broken counts as failed), each turned to the
opponent's view when it is under test; the wins, draws, losses and the means of the goals with
their intervals, over all and by side; the means of the match figures; the worst send-slot
p99; the seeds matches shared; the matches played again; the record (series.json) carried
over; the head-to-head and the comparison with a baseline (vornkit/series_compare.py). This is
what D/summary.json holds; vornkit/series_tables.py and series_page.py show it.
"""

import datetime
import glob
import os

from vornkit import figures
from vornkit import matchfolder
from vornkit import series_compare
from vornkit import series_record
from vornkit import series_stats
from vornkit import outputs


def outcomes(matches):
    """Wins, draws, losses, the three means with their intervals (those of the goals cut at
    0), and the missed slots."""
    gd = [m["goal_difference"] for m in matches]
    missed, slots = sum(m["missed_slots"] for m in matches), sum(m["slots"] for m in matches)
    return {"played": len(matches), "wins": sum(d > 0 for d in gd),
            "draws": sum(d == 0 for d in gd), "losses": sum(d < 0 for d in gd),
            "goals_for": series_stats.mean_ci([m["for"] for m in matches], low=0),
            "goals_against": series_stats.mean_ci([m["against"] for m in matches], low=0),
            "goal_difference": series_stats.mean_ci(gd),
            "missed_slots": missed, "slots": slots,
            "missed_share": missed / slots if slots else None}


# The figures that are shares, in percent; every other one is a count.
SHARES = ("possession",)


def figuremeans(matches):
    """The means of vorn's and the opponent's figures over the matches that have them, each
    with its 95% interval, cut to what the figure can be (0 to 100 for a share, 0 and up
    for a count); None when none has."""
    rows = [m["figures"] for m in matches if isinstance(m.get("figures"), dict)]
    if not rows:
        return None
    return {who: {name: series_stats.mean_ci(
        [v for v in (figures.numbers(r[who])[name] for r in rows) if v is not None],
        low=0, high=100 if name in SHARES else None)
        for name in figures.NUMBERS + figures.SET_PLAYS} for who in ("vorn", "opponent")}


def baselinesummary(folder):
    """An earlier series' summary.json, with its matches played to the end; ValueError naming
    the file when it is not a series' summary."""
    path = os.path.join(folder, "summary.json")
    try:
        base = outputs.readjson(path)
        ok = all(type(m["goal_difference"]) in (int, float) for m in base["matches"]
                 if m["status"] == "played")
    except OSError as e:
        raise ValueError(f"{path}: {e.strerror}") from None
    except ValueError as e:
        raise ValueError(f"{path} is not JSON: {e}") from None
    except (KeyError, TypeError, AttributeError):
        ok = False
    if isinstance(base, dict) and isinstance(base.get("compare"), dict) and "a" in base:
        raise ValueError(f"{folder} holds a run of two builds (series.sh --compare): give the "
                         f"series of one of them, {os.path.join(folder, 'a')} or "
                         f"{os.path.join(folder, 'b')}")
    if not ok:
        raise ValueError(f"{path} is not the summary of a series (no matches with their "
                         "goal differences)")
    return base


def replays(folder):
    """The matches played again after their machine was lost: series.sh notes each as a line
    "NUMBER<tab>HOST-LOST<tab>HOST-PLAYED" in replayed.txt."""
    out = []
    for line in matchfolder.readlines(os.path.join(folder, "replayed.txt")):
        parts = line.split("\t")
        if len(parts) == 3 and parts[0].isdigit():
            out.append({"match": f"match-{int(parts[0]):03d}", "lost_on": parts[1],
                        "played_on": parts[2]})
    return out


def worstp99(matches):
    """The match with the largest send-slot p99, and whether it passed matchfolder.P99_LIMIT_MS."""
    timed = [m for m in matches if m.get("p99_ms") is not None]
    if not timed:
        return None
    m = max(timed, key=lambda m: m["p99_ms"])
    return {"match": m["dir"], "ms": m["p99_ms"], "limit_ms": matchfolder.P99_LIMIT_MS,
            "over": m["p99_ms"] > matchfolder.P99_LIMIT_MS}


def fromopponent(m):
    """A match as the opponent played it, for a series whose side under test is the
    opponent: its side, goals for and against, goal difference and goalie's catches (None
    when the result has no such count); vorn's side kept as vorn_side."""
    other = {"left": "right", "right": "left"}
    return dict(m, side=other.get(m["side"], m["side"]), vorn_side=m["side"],
                goal_difference=-m["goal_difference"], catches=m.get("opponent_catches"),
                **{"for": m["against"], "against": m["for"]})


def lastend(folders):
    """When the last of the matches ended: its result.json's time, or None."""
    stamps = []
    for m in folders:
        try:
            stamps.append(os.path.getmtime(os.path.join(m, "result.json")))
        except OSError:
            pass
    if not stamps:
        return None
    return datetime.datetime.fromtimestamp(max(stamps)).astimezone().isoformat(
        timespec="seconds")


def summarise(folder, baseline=None, across_time=True):
    """The summary of the series in folder, against the baseline series in another folder
    when one is given (across_time: the two series were played at different times)."""
    try:
        onrecord = outputs.readjson(os.path.join(folder, "series.json"))
    except OSError:
        onrecord = {}
    except ValueError as e:
        raise ValueError(f"{os.path.join(folder, 'series.json')} is not JSON: {e}") from None
    folders = [m for m in sorted(glob.glob(os.path.join(folder, "match-*"))) if os.path.isdir(m)]
    matches = [matchfolder.matchresult(m) for m in folders]
    if isinstance(onrecord, dict) and onrecord.get("under_test") == "opponent":
        matches = [fromopponent(m) for m in matches]
    played = [m for m in matches if m["status"] == "played"]
    s = {"dir": os.path.abspath(folder), "matches": matches,
         "stopped": sum(m["status"] == "stopped" for m in matches),
         "failed": sum(m["status"] == "failed" for m in matches),
         "invalid": sum(m["status"] == "invalid" for m in matches)}
    if isinstance(onrecord, dict):
        s.update({k: onrecord[k] for k in series_record.RECORD_KEYS if k in onrecord})
    s["under_test"] = s.get("under_test") or "vorn"
    s["ended"] = lastend(folders)
    s["replayed"] = replays(folder)
    s.update(outcomes(played))
    s["figures"] = figuremeans(played)
    s["by_side"] = {side: outcomes([m for m in played if m["side"] == side])
                    for side in ("left", "right")}
    s["worst_p99"] = worstp99(played)
    s["shared_seeds"] = sharedseeds(matches) if s.get("seed") is None else []
    if s.get("other_build"):
        s["head_to_head"] = series_compare.headtohead(s)
    if baseline:
        s["baseline"] = series_compare.compare(s, baselinesummary(baseline),
                                               os.path.abspath(baseline), across_time)
    return s


def sharedseeds(matches):
    """The seeds that more than one match played with, each with its matches, when the
    seeds were the server's own (two matches that share one play the same noise)."""
    by = {}
    for m in matches:
        if m.get("seed") is not None:
            by.setdefault(m["seed"], []).append(m["dir"])
    return [{"seed": k, "matches": v} for k, v in sorted(by.items()) if len(v) > 1]
