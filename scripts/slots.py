#!/usr/bin/env python3
"""Send-slot timing of the players' commands, read from a pitch match record.

A player opens three send slots when a sense_body arrives and sends at most one command in
each: the first as soon as the sense_body has been read, the second and third when 33.333
and 66.666 ms have passed. pitch records for every command how long after that
player's sense_body it arrived (`ms`). This script gives every command its slot, measures
how far after the slot's ideal time (0, 33.333 or 66.667 ms) it arrived, and prints per slot
the count, median, p99, p99.9, maximum and the shares within 0.5 and 2 ms, and the commands
that arrived after their cycle had ended. The same figures go to a JSON file.

What is counted. Left out are the placement a player sends at its init reply (its first
move and the turn after it, and on the right side the turn to face the other way: sent at
once with 100 ms pauses, outside the slots) and anything that arrived before the player's
first sense_body (`ms` -1). Everything else was sent from a slot.

How a command finds its slot. Delays only ever make a command arrive later than its slot,
never earlier, so the latest slot whose ideal time it arrived after is the latest slot it
can belong to. A player sends at most one command per slot: when two of a player's commands
would share a slot, the earlier one is moved back to the slot before, as far as needed, into
the cycle before if need be. A command whose slot lies in an earlier step than the one it
arrived in arrived after its cycle had ended; its offset counts the steps in between as
--step-ms each.

pitch stamps a command with the time it reached pitch's socket (the system's receive stamp),
not with the time pitch read it, so its own work does not show in the offsets. A command that
reached it in the moment between its last read before a step and the step's sense_body is
stamped 0 ms after that sense_body; it counts as the first slot of that cycle unless the
player sent one there too. Records of older versions of pitch (one decimal, stamped when
read) are read the same way, with their rounding allowed for. A player that is already awake
answers a sense_body within 0.1 ms, so no time is too short to be an answer; --min-reply-ms
sets one for runtimes that wait before their first slot.

--side l|r counts one side's players only (the record of a match against a team of
clients holds both teams' commands). A server that keeps no record (the real one) leaves
only what the players write themselves: --logs with their Vorne.log files counts the slots
each player missed ("Missed slot N" lines), per slot and per player.
"""

import argparse
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))  # vornkit beside
from vornkit import matchlog  # noqa: E402
from vornkit import outputs  # noqa: E402

SLOT_IDEAL_MS = (0.0, 100.0 / 3, 200.0 / 3)  # ideal send times after the sense_body
RECORD_ROUNDING_MS = 0.05  # older records hold ms with one decimal
WITHIN_MS = (0.5, 2.0)  # the shares "within 0.5 ms" and "within 2 ms"


def read_commands(path):
    """The record's command lines in the order pitch received them (but those of pitch's
    built-in players), and the count of lines that are not JSON (a record cut off
    mid-line)."""
    commands, broken = [], 0
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            if '"command"' not in line:
                continue
            try:
                c = json.loads(line)
                if c.get("type") != "command" or c.get("robot") is True:
                    continue  # pitch's built-in players have no send slots
                commands.append((c["side"], int(c["unum"]), int(c["step"]), float(c["ms"]),
                                 c["kind"], c["text"], int(c["cycle"])))
            except (ValueError, KeyError, TypeError):
                broken += 1
    return commands, broken


def init_placement_count(cmds, side):
    """How many of a player's first commands are its placement at the init reply: a move,
    then one turn, and on the right side one more."""
    turns = 2 if side == "r" else 1
    if not cmds or cmds[0][4] != "move":
        return 0
    n = 1
    while n < len(cmds) and n <= turns and cmds[n][4] == "turn":
        n += 1
    return n


def window_slot(step, ms, min_reply_ms):
    """The latest slot, numbered across the match (3 per step), that a command arriving
    ms after the sense_body of step can belong to."""
    if ms < min_reply_ms:
        return 3 * step - 1
    k = 0
    for i in (1, 2):
        if ms >= SLOT_IDEAL_MS[i] - RECORD_ROUNDING_MS:
            k = i
    return 3 * step + k


def attribute(cmds, step_ms, min_reply_ms):
    """Slot and offset of each of one player's slot-timed commands (in arrival order):
    a list of (slot 1..3, offset ms, steps after its cycle it arrived in, command)."""
    slots = [window_slot(c[2], c[3], min_reply_ms) for c in cmds]
    for i in range(len(slots) - 2, -1, -1):
        slots[i] = min(slots[i], slots[i + 1] - 1)
    out = []
    for g, c in zip(slots, cmds):
        step, k = divmod(g, 3)
        arrived = (c[2] - step) * step_ms + c[3]  # ms after the slot's sense_body
        out.append((k + 1, arrived - SLOT_IDEAL_MS[k], arrived, c))
    return out


def percentile(v, q):
    """Nearest rank, as pitch's own summary takes it."""
    return v[min(len(v) - 1, int(q * len(v)))]


def analyse(commands, step_ms=100.0, min_reply_ms=0.0):
    by_player = {}
    for c in commands:
        by_player.setdefault((c[0], c[1]), []).append(c)
    placement = before_sense = 0
    timed = []
    for (side, _), cmds in sorted(by_player.items()):
        n = init_placement_count(cmds, side)
        placement += n
        rest = [c for c in cmds[n:] if c[3] >= 0]
        before_sense += len(cmds) - n - len(rest)
        timed.extend(attribute(rest, step_ms, min_reply_ms))
    slots = []
    for k in (1, 2, 3):
        v = sorted(t[1] for t in timed if t[0] == k)
        s = {"slot": k, "ideal_ms": round(SLOT_IDEAL_MS[k - 1], 3), "commands": len(v)}
        if v:
            s.update(median_ms=percentile(v, 0.5), p99_ms=percentile(v, 0.99),
                     p999_ms=percentile(v, 0.999), max_ms=v[-1],
                     within_0_5ms=sum(1 for x in v if x <= WITHIN_MS[0]) / len(v),
                     within_2ms=sum(1 for x in v if x <= WITHIN_MS[1]) / len(v))
        slots.append(s)
    late = [{"step": c[2], "cycle": c[6], "side": c[0], "unum": c[1], "text": c[5],
             "ms": c[3], "slot": k, "ms_after_its_sense_body": round(arrived, 1)}
            for k, _, arrived, c in timed if arrived >= step_ms]
    return {"players": len(by_player), "counted": len(timed),
            "left_out": {"init_placement": placement, "before_first_sense_body": before_sense},
            "step_ms": step_ms, "min_reply_ms": min_reply_ms, "slots": slots,
            "after_cycle_end": {"count": len(late), "commands": late}}


def missed_in_logs(paths):
    """The send slots each player missed, from its Vorne.log (a folder player1/ ... per
    player): per slot over all, and per log."""
    per_slot, per_log = {1: 0, 2: 0, 3: 0}, []
    for path in paths:
        counts = {1: 0, 2: 0, 3: 0}
        try:
            with open(path, encoding="latin-1") as f:
                for line in f:
                    word = line.split()
                    if word[:2] == ["Missed", "slot"] and len(word) == 3 and \
                            word[2] in ("1", "2", "3"):
                        counts[int(word[2])] += 1
        except OSError:
            per_log.append({"log": os.path.abspath(path), "missed": None})
            continue
        for k in counts:
            per_slot[k] += counts[k]
        per_log.append({"log": os.path.abspath(path), "missed": sum(counts.values())})
    return {"source": "Vorne.log", "players": len(paths),
            "slots": [{"slot": k, "ideal_ms": round(SLOT_IDEAL_MS[k - 1], 3), "missed": n}
                      for k, n in per_slot.items()], "logs": per_log}


def report_logs(r, out):
    total = sum(s["missed"] for s in r["slots"])
    print(f"send slots missed by {r['players']} players (their Vorne.log; the server keeps no "
          f"arrival times): {total}", file=out)
    print("  " + ", ".join(f"slot {s['slot']}: {s['missed']}" for s in r["slots"]), file=out)
    unread = [x["log"] for x in r["logs"] if x["missed"] is None]
    if unread:
        print(f"  could not be read: {', '.join(unread)}", file=out)


def fmt(x, digits=3):
    return "-" if x is None else f"{x:.{digits}f}"


def report(r, out, show_late=10):
    lo = r["left_out"]
    print(f"send slots: {r['counted']} commands of {r['players']} players from their slots "
          f"(left out: {lo['init_placement']} placement commands at the init reply, "
          f"{lo['before_first_sense_body']} before a first sense_body)", file=out)
    print("  offset from the slot's ideal time, ms after the cycle's sense_body:", file=out)
    print(f"  {'slot':<5}{'ideal':>8}{'commands':>10}{'median':>9}{'p99':>9}{'p99.9':>9}"
          f"{'max':>9}{'within 0.5 ms':>15}{'within 2 ms':>13}", file=out)

    def pct(share):
        return "-" if share is None else f"{100 * share:.2f}%"

    for s in r["slots"]:
        print(f"  {s['slot']:<5}{s['ideal_ms']:>8.3f}{s['commands']:>10}"
              f"{fmt(s.get('median_ms')):>9}{fmt(s.get('p99_ms')):>9}{fmt(s.get('p999_ms')):>9}"
              f"{fmt(s.get('max_ms')):>9}{pct(s.get('within_0_5ms')):>15}"
              f"{pct(s.get('within_2ms')):>13}", file=out)
    late = r["after_cycle_end"]
    print(f"  arrived after their cycle had ended: {late['count']}", file=out)
    for c in late["commands"][:show_late]:
        print(f"    step {c['step']} {c['side']}{c['unum']} {c['text']}: slot {c['slot']}, "
              f"{c['ms_after_its_sense_body']} ms after its sense_body", file=out)
    if late["count"] > show_late:
        print(f"    ... and {late['count'] - show_late} more (see the JSON file)", file=out)


def main(argv):
    p = argparse.ArgumentParser(
        description="Send-slot timing of the players' commands in a pitch match record: per "
        "slot the count, median, p99, p99.9, maximum and shares within 0.5 and 2 ms of the "
        "offset from the slot's ideal time, and the commands that arrived after their cycle had "
        "ended.",
        epilog="Left out: each player's placement at its init reply (its first move and the "
        "turns after it) and commands that arrived before its first sense_body.")
    p.add_argument("record", nargs="?", help="the match record, JSON lines (pitch --record)")
    p.add_argument("--side", choices=("l", "r"),
                   help="count only the players of this side (default both)")
    p.add_argument("--logs", nargs="+", metavar="VORNE_LOG",
                   help="no record: count the slots missed in these players' Vorne.log files")
    p.add_argument("--json", metavar="FILE",
                   help="where the figures go as JSON (default slots.json next to the record; "
                   "'-' for none)")
    p.add_argument("--step-ms", type=float, default=100.0,
                   help="length of pitch's step in ms, for commands that arrived a step late "
                   "(default 100)")
    p.add_argument("--min-reply-ms", type=float, default=0.0,
                   help="the earliest a player can answer a sense_body, in ms: a command "
                   "sooner after a sense_body belongs to the cycle before (default 0, none)")
    a = p.parse_args(argv)
    if (a.record is None) == (a.logs is None):
        p.error("give either a record or --logs")
    if a.logs:
        r = missed_in_logs(a.logs)
        failed = write(r, a.json or "-")
        report_logs(r, sys.stdout)
        return finish(a.json or "-", failed)
    try:
        if matchlog.is_gamelog(a.record):
            print(f"slots.py: {a.record} is a game log: it has no arrival times of commands, "
                  "which only pitch's record (pitch --record, match.jsonl) has", file=sys.stderr)
            return 1
        commands, broken = read_commands(a.record)
    except OSError as e:
        print(f"slots.py: {a.record}: {e.strerror or e}", file=sys.stderr)
        return 1
    if a.side:
        commands = [c for c in commands if c[0] == a.side]
    r = analyse(commands, a.step_ms, a.min_reply_ms)
    r["record"] = os.path.abspath(a.record)
    r["side"] = a.side
    r["broken_lines"] = broken
    target = a.json or os.path.join(os.path.dirname(os.path.abspath(a.record)), "slots.json")
    failed = write(r, target)
    report(r, sys.stdout)
    if broken:
        print(f"  ({broken} command line{'s' if broken != 1 else ''} of the record could not "
              "be read)")
    return finish(target, failed)


def write(r, target):
    """The figures into the JSON file target ('-': none), before the report is printed, which
    a reader may stop reading early; None when written, else why not."""
    if target == "-":
        return None
    try:
        outputs.write(target, json.dumps(r, indent=1) + "\n")
        return None
    except OSError as e:
        return e.strerror or str(e)


def finish(target, failed):
    """The last line, on the JSON file, and the status of the script."""
    if failed:
        print(f"slots.py: {target}: {failed}", file=sys.stderr)
        return 1
    if target != "-":
        print(f"  figures as JSON: {target}")
    return 0


if __name__ == "__main__":
    sys.exit(outputs.run(main))
