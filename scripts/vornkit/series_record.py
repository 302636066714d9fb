"""The record of a series, D/series.json, written by scripts/series_summary.py record when
series.sh starts one: its seed (none for a server that seeds itself), plan, opponent (and the
other build of a head-to-head), server options, side under test, when it started, and every
program played (vornkit/programs.py); read back for the summary (vornkit/series_totals.py).
"""

import datetime
import os
import shlex

from vornkit import programs
from vornkit import outputs


def record(a):
    """What series.json keeps of a series from its start, given the options of
    series_summary.py record (a): the seed, the plan, the server's options, the side under
    test, when it started, and every program played: with an opponent's command, the program
    that command starts (role "opponent") where it can be told."""
    played = [programs.onrecord(role, path, copy) for role, path, copy in a.program]
    if a.opponent not in ("chasers", "none") and not a.opponent.startswith("vorn:"):
        path = programs.commandprogram(a.opponent)
        if path:
            played.append(programs.onrecord("opponent", path, path))
    out = {"seed": a.seed, "planned": a.matches, "cycles": a.cycles, "opponent": a.opponent,
           "other_build": a.other_build, "jobs": a.jobs,
           "server_options": shlex.split(a.server_options), "under_test": a.under_test,
           "started": now(), "programs": played}
    if a.compare:
        out["compare"] = {"a": os.path.abspath(a.compare[0]), "b": os.path.abspath(a.compare[1])}
    if a.part_of:
        out["part_of"] = {"run": os.path.abspath(a.part_of[0]), "build": a.part_of[1]}
    return out


def now():
    return datetime.datetime.now().astimezone().isoformat(timespec="seconds")


# What summary.json carries over from series.json.
RECORD_KEYS = ("seed", "planned", "cycles", "opponent", "other_build", "jobs", "server_options",
               "under_test", "started", "programs", "compare", "part_of")


def readrecord(folder):
    """A series folder's series.json as a dict; {} when it has none that can be read."""
    try:
        r = outputs.readjson(os.path.join(folder, "series.json"))
    except (OSError, ValueError):
        return {}
    return r if isinstance(r, dict) else {}
