#!/usr/bin/env python3
"""Pairs of series (scripts/series.sh) of two team builds, A and B, each pair playing the
same seeds, both series of a pair at once: how often the comparison of B against A says
"better" or "worse", paired by seed and side and unpaired (Welch), and from all the matches
the spread of the goal difference per match, the spread of the pairs' differences, the
difference over all pairs of matches together, and the matches needed to show a difference
of 0.5 and of 1 goal per match (95%, power 80%).

With A and B the same build (the default) it is the check of the method: about 5% of the
verdicts should be "better" or "worse". With B another build it shows whether the series
see the difference. Prints a Markdown table a pair a line and the figures; everything goes
to D/pairs.json too, each series to D/pair-K-a and D/pair-K-b. Both builds play on the same
server (A's folder's pitch, or --pitch).

  bench/series_pairs.py [--pairs P] [--matches N] [--cycles C] [--bin A] [--bin-b B]
                        [--pitch DIR] [--jobs J] [--seed S] [--one-at-a-time] [--dir D]

  --pairs P          pairs of series (default 10)
  --matches N        matches per series (default 8)
  --cycles C         cycles per match (default 300)
  --bin A            the folder of build A's Vorn and Vorng (default build/bin)
  --bin-b B          build B's (default A's: the same build against itself)
  --pitch DIR        the server for both (default A's folder's pitch)
  --jobs J           matches at once per series, as series.sh takes it (default auto)
  --seed S           pair K plays the series seed S + 10000 K (default a fresh S)
  --one-at-a-time    play A's series, then B's, instead of both at once
  --dir D            where the series go (default a new folder /tmp/vorn-pairs.*)
"""
import argparse
import json
import math
import os
import random
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(REPO, "scripts"))
from vornkit import series_stats  # noqa: E402
from series_compare import interval as ci  # noqa: E402

SERIES = os.path.join(REPO, "scripts", "series.sh")
SUMMARY = os.path.join(REPO, "scripts", "series_summary.py")


def loadavg():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def machine():
    with open("/proc/cpuinfo") as f:
        model = next((line.split(":", 1)[1].strip() for line in f if line.startswith("model name")),
                     "?")
    return f"{os.uname().nodename}: {os.cpu_count()} cores, {model}"


def playpair(a, k, seed):
    """Plays pair k (its two series at once, or one after the other) and returns B's summary
    compared with A's, and A's summary."""
    folders = [os.path.join(a.dir, f"pair-{k}-{x}") for x in "ab"]
    runs = []
    for folder, build in zip(folders, (a.bin, a.bin_b)):
        command = [SERIES, "--matches", str(a.matches), "--cycles", str(a.cycles), "--jobs",
                   a.jobs, "--seed", str(seed), "--bin", build, "--pitch", a.pitch, "--dir",
                   folder]
        with open(folder + ".txt", "w") as out:
            runs.append(subprocess.Popen(command, stdout=out, stderr=subprocess.STDOUT))
        if a.one_at_a_time:
            runs[-1].wait()
    for r in runs:
        r.wait()
    again = subprocess.run([sys.executable, SUMMARY, "series", folders[1], "--baseline",
                            folders[0]], capture_output=True, text=True)
    if again.returncode != 0:
        sys.exit(f"series_pairs.py: pair {k}: {again.stderr.strip()} (see {folders[1]}.txt)")
    summaries = []
    for folder in folders:
        with open(os.path.join(folder, "summary.json")) as f:
            summaries.append(json.load(f))
    return summaries[1], summaries[0]


def gds(summary):
    return [m["goal_difference"] for m in summary["matches"] if m["status"] == "played"]


def pooled(groups):
    """The standard deviation of values in groups, each about its own mean."""
    squares = sum((v - sum(g) / len(g)) ** 2 for g in groups if g for v in g)
    df = sum(len(g) - 1 for g in groups if g)
    return math.sqrt(squares / df) if df > 0 else None


def num(x):
    return "-" if x is None else f"{x:.2f}"


def main(argv):
    p = argparse.ArgumentParser(prog="series_pairs.py", description=__doc__.split("\n\n")[0],
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--pairs", type=int, default=10)
    p.add_argument("--matches", type=int, default=8)
    p.add_argument("--cycles", type=int, default=300)
    p.add_argument("--bin", default=os.path.join(REPO, "build", "bin"))
    p.add_argument("--bin-b")
    p.add_argument("--pitch")
    p.add_argument("--jobs", default="auto")
    p.add_argument("--seed", type=int)
    p.add_argument("--one-at-a-time", action="store_true")
    p.add_argument("--dir")
    a = p.parse_args(argv)
    if a.pairs < 1 or a.matches < 2 or a.cycles < 1:
        p.error("--pairs must be 1 or more, --matches 2 or more, --cycles 1 or more")
    a.bin = os.path.abspath(a.bin)
    a.bin_b = os.path.abspath(a.bin_b or a.bin)
    a.pitch = os.path.abspath(a.pitch or a.bin)
    for folder, names in ((a.bin, ("Vorn", "Vorng")), (a.bin_b, ("Vorn", "Vorng")),
                          (a.pitch, ("pitch",))):
        for n in names:
            if not os.access(os.path.join(folder, n), os.X_OK):
                p.error(f"{os.path.join(folder, n)} is missing")
    if a.seed is None:
        a.seed = random.randint(1, 899999999)
    if a.seed < 0 or a.seed + 10000 * a.pairs + a.matches > 999999999:
        p.error("--seed must be from 0 to 999999999 less 10000 a pair")
    a.dir = os.path.abspath(a.dir) if a.dir else tempfile.mkdtemp(prefix="vorn-pairs.")
    os.makedirs(a.dir, exist_ok=True)
    start, load0 = time.time(), loadavg()
    print(f"{machine()}; load average at the start: {load0}")
    print(f"{a.pairs} pairs of series of {a.matches} matches of {a.cycles} cycles, "
          f"{'one after the other' if a.one_at_a_time else 'both at once'}; A {a.bin}, "
          f"B {a.bin_b}{' (the same)' if a.bin == a.bin_b else ''}; server {a.pitch}/pitch; "
          f"in {a.dir}")
    print()
    print("| pair | seed | A: goal difference | B: goal difference | paired B - A | verdict "
          "| unpaired B - A | verdict | worst p99 ms |")
    print("|---|---|---|---|---|---|---|---|---|")
    pairs = []
    for k in range(1, a.pairs + 1):
        seed = a.seed + 10000 * k
        b, base = playpair(a, k, seed)
        c = b["baseline"]
        unpaired = series_stats.difference(gds(b), gds(base))
        diffs = []
        theirs = {(m["seed"], m["side"]): m["goal_difference"] for m in base["matches"]
                  if m["status"] == "played"}
        for m in b["matches"]:
            if m["status"] == "played" and (m["seed"], m["side"]) in theirs:
                diffs.append(m["goal_difference"] - theirs[(m["seed"], m["side"])])
        worst = max((x["worst_p99"]["ms"] for x in (b, base) if x.get("worst_p99")),
                    default=None)
        pairs.append({"pair": k, "seed": seed, "a": gds(base), "b": gds(b), "diffs": diffs,
                      "method": c["method"], "paired": c["difference"], "verdict": c["verdict"],
                      "unpaired": unpaired, "unpaired_verdict": series_stats.verdict(unpaired),
                      "worst_p99_ms": worst})
        print(f"| {k} | {seed} | {ci(base['goal_difference'])} | {ci(b['goal_difference'])} | "
              f"{ci(c['difference']) if c['method'] == 'paired' else '(unpaired)'} | "
              f"{c['verdict']} | {ci(unpaired)} | {series_stats.verdict(unpaired)} | "
              f"{'-' if worst is None else f'{worst:.2f}'} |", flush=True)
    spread = pooled([x["a"] for x in pairs] + [x["b"] for x in pairs])
    pairspread = pooled([x["diffs"] for x in pairs])
    counts = {how: {v: sum(x[key] == v for x in pairs) for v in ("better", "worse")}
              for how, key in (("paired", "verdict"), ("unpaired", "unpaired_verdict"))}
    alldiffs = [d for x in pairs for d in x["diffs"]]
    together = series_stats.paired(alldiffs, [0] * len(alldiffs))
    needed = {f"{delta:g}": {"paired": series_stats.matches_needed(pairspread, delta, True),
                             "unpaired": series_stats.matches_needed(spread, delta, False)}
              for delta in (0.5, 1.0)}
    result = {"machine": machine(), "load_start": load0, "load_end": loadavg(),
              "seconds": round(time.time() - start), "pairs_of_series": a.pairs,
              "matches": a.matches, "cycles": a.cycles, "a": a.bin, "b": a.bin_b,
              "pitch": a.pitch, "pairs": pairs, "verdicts": counts,
              "sd_goal_difference": spread, "sd_pair_difference": pairspread,
              "all_pairs": together, "all_pairs_verdict": series_stats.verdict(together),
              "matches_needed": needed}
    with open(os.path.join(a.dir, "pairs.json"), "w") as f:
        json.dump(result, f, indent=1)
    n = sum(len(x["a"]) + len(x["b"]) for x in pairs)
    print()
    for how in ("paired", "unpaired"):
        print(f"{how}: {counts[how]['better']} better, {counts[how]['worse']} worse, "
              f"{a.pairs - counts[how]['better'] - counts[how]['worse']} no difference shown, "
              f"of {a.pairs}")
    print(f"all {len(alldiffs)} pairs of matches together: B - A {ci(together)}, "
          f"{series_stats.verdict(together)}")
    print(f"spread of the goal difference per match (sd, each series about its own mean, "
          f"{n} matches): {num(spread)}; of the pairs' differences "
          f"({sum(len(x['diffs']) for x in pairs)} pairs): {num(pairspread)}")
    for delta, x in needed.items():
        print(f"to show {delta} goal per match (95%, power 80%): {x['paired']} pairs, or "
              f"{x['unpaired']} matches in each of two unpaired series")
    print(f"{result['seconds']} s; load average at the end: {result['load_end']}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
