"""How a match ended, decided once, for result.json (vornkit/matchresult.py) and so for the
series: "played" (scripts/match.sh ended with status 0 after all the cycles planned),
"stopped" (ended early by a signal, its game log there), "invalid" (the opponent never
connected or left before time over: match.sh says why in invalid.txt, and ends with status
INVALID) or "failed" (the server failed, or no match was logged), with why when it is
invalid, or failed and pitch or the runner said so.
"""

import os

from vornkit import matchfolder

# match.sh's exit status for an invalid match (and outcome.py's for a game log that shows one)
INVALID = 3
# match.sh's exit status after Ctrl-C or SIGTERM (130, 143); 0 when an older runner ended
# early without saying so
STOPPED = (0, 130, 143)


def ending(folder, status, played, planned):
    """(how, why) of the match in folder that match.sh ended with status after played of
    planned cycles; why is None for a match played or stopped."""
    why = matchfolder.invalidwhy(folder)
    if why or status == INVALID:
        return "invalid", why or "match.sh said so (see its report.txt)"
    if status == 0 and played >= planned:
        return "played", None
    if status in STOPPED and os.path.isfile(matchfolder.gamelog(folder)):
        return "stopped", None
    return "failed", matchfolder.failure(folder)
