#!/usr/bin/env python3
"""Checks a series' results against the server's own words: for every match of the series
folder D, vorn's goals for and against and the opponent's name in its result.json against
the result message the server wrote at the end of the game log, (msg T 1 "(result DATE
LEFT_L-vs-RIGHT_R)"), which the real server writes and pitch too. A match without that
message (stopped, failed, invalid before its kick-off) is named and left out.

  bench/gamelog_results.py D

One line per match, then "N of M matches agree"; status 0 when every match with a result
message agrees, 1 when one does not, 2 for a folder without matches.
"""
import glob
import gzip
import json
import os
import re
import sys

RESULT = re.compile(r'\(msg \d+ \d+ "\(result \d+ (\S+?)_(\d+)-vs-(\S+?)_(\d+)\)"\)')


def check(folder):
    """(agrees or None, the line on the match)."""
    with open(os.path.join(folder, "result.json")) as f:
        r = json.load(f)
    path = os.path.join(folder, "match.rcg.gz")
    opener = gzip.open if os.path.isfile(path) else open
    path = path if os.path.isfile(path) else path[:-3]
    with opener(path, "rt", encoding="latin-1") as f:
        found = RESULT.findall(f.read())
    if not found:
        return None, f"{r['dir']}: {r['status']}, no result message in its game log"
    left, sl, right, sr = found[-1]
    logged = (int(sl), int(sr), right) if r["side"] == "left" else (int(sr), int(sl), left)
    ours = (r["for"], r["against"], r.get("opponent"))
    agree = ours == logged
    return agree, (f"{r['dir']}: vorn {r['side']}, result.json {ours[0]} : {ours[1]} against "
                   f"{ours[2]}; the game log: {left} {sl} : {sr} {right}; "
                   f"{'agree' if agree else 'DIFFER'}")


def main(argv):
    if len(argv) != 1 or argv[0] in ("-h", "--help"):
        print(__doc__.strip())
        return 0 if argv and argv[0] in ("-h", "--help") else 2
    folders = sorted(glob.glob(os.path.join(argv[0], "match-*")))
    if not folders:
        print(f"gamelog_results.py: {argv[0]} holds no matches", file=sys.stderr)
        return 2
    results = []
    for folder in folders:
        agree, line = check(folder)
        print(line)
        results.append(agree)
    checked = [a for a in results if a is not None]
    print(f"{sum(checked)} of {len(checked)} matches with a result message agree "
          f"({len(results) - len(checked)} without)")
    return 0 if all(checked) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
