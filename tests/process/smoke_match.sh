#!/usr/bin/env bash
# The smoke match: the whole team, a goalie and ten field players, against pitch's chasers
# for 150 cycles, through scripts/match.sh as a user runs it. Every player must connect with
# the uniform number of its place in the start order, stand at its formation place at the
# kick-off, and end with exit status 0; the field players must dash and the team must kick
# (the play checks, switched by check_play below); the runner must end with status 0 and
# write the report, the send-slot figures, the match figures and the replay page.
#   tests/process/smoke_match.sh BIN_DIR
set -uo pipefail

# >>> The play checks: every field player must dash and the team must kick the ball at
# >>> least once. On (1) since the field player plays; 0 switches them off.
check_play=1

bin=${1:?usage: smoke_match.sh BIN_DIR}
bin=$(cd "$bin" && pwd)
here=$(cd "$(dirname "$0")/../.." && pwd)
dir=$(mktemp -d /tmp/vorn-smoke.XXXXXX)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; echo "--- runner output:"; cat "$dir/out.txt"; exit 1; }

# The runner starts the programs it finds in VORN_BIN; these wrappers run the real ones and
# keep each player's exit status in its folder.
mkdir "$dir/bin"
ln -s "$bin/pitch" "$dir/bin/pitch"
for p in Vorn Vorng; do
  printf '#!/bin/sh\n"%s/%s" "$@"\necho $? >exit-status\n' "$bin" "$p" >"$dir/bin/$p"
  chmod +x "$dir/bin/$p"
done

start=$(date +%s)
timeout 240 env VORN_BIN="$dir/bin" "$here/scripts/match.sh" --cycles 150 --dir "$dir/match" \
  >"$dir/out.txt" 2>&1
status=$?
[ $status = 0 ] || fail "match.sh ended with status $status"
echo "match of 150 cycles in $(($(date +%s) - start)) s"

for n in $(seq 1 11); do
  folder="$dir/match/player$n"
  [ "$(cat "$folder/exit-status" 2>/dev/null)" = 0 ] ||
    fail "player $n ended with status '$(cat "$folder/exit-status" 2>/dev/null)'"
  grep -a -q "^Agent $n team vorn " "$folder/console.txt" ||
    fail "player $n (started as number $n) did not play with uniform number $n"
done
grep -q '^score: ' "$dir/out.txt" || fail "no score in the report"
grep -q '^send slots: ' "$dir/out.txt" || fail "no send-slot figures in the report"
grep -q '^figures of the match (game log, ' "$dir/out.txt" || fail "no match figures in the report"
[ -s "$dir/match/figures.json" ] || fail "no figures.json"
grep -q "^replay: $dir/match/replay.html " "$dir/out.txt" || fail "the report does not name the replay page"
[ -s "$dir/match/replay.html" ] || fail "no replay page"
grep -q 'REPLAY-DATA' "$dir/match/replay.html" && fail "the replay page holds no match"

python3 - "$dir/match" "$check_play" <<'EOF' || fail "the record says otherwise"
import json, sys
folder, check_play = sys.argv[1], sys.argv[2] == "1"
places = {1: (-50, 0), 2: (-3, 0), 3: (-3, -20), 4: (-3, 20), 5: (-20, 0), 6: (-20, -20),
          7: (-20, 20), 8: (-40, -25), 9: (-40, 25), 10: (-40, -10), 11: (-40, 10)}
frames, executed = [], {}
for line in open(f"{folder}/match.jsonl"):
    d = json.loads(line)
    if d["type"] == "cycle":
        frames.append(d)
    elif d["side"] == "l" and d["outcome"] == "executed":
        executed.setdefault(d["kind"], set()).add(d["unum"])
errors = []
kickoff = next((f for f in frames if f["mode"] == "kick_off_l"), None)
if not kickoff:
    errors.append("no kick-off")
else:
    team = {p["unum"]: p for p in kickoff["players"] if p["side"] == "l"}
    for u, (x, y) in places.items():
        p = team.get(u)
        if not p:
            errors.append(f"l{u} is not on the field at the kick-off")
        elif abs(p["x"] - x) > 0.5 or abs(p["y"] - y) > 0.5:
            errors.append(f"l{u} stands at ({p['x']}, {p['y']}) at the kick-off, not at ({x}, {y})")
        elif bool(p.get("goalie")) != (u == 1):
            errors.append(f"l{u} is {'' if p.get('goalie') else 'not '}the goalie")
if check_play:
    lazy = sorted(set(range(2, 12)) - executed.get("dash", set()))
    if lazy:
        errors.append(f"field players that never dashed: {lazy}")
    if not executed.get("kick"):
        errors.append("nobody of the team kicked")
slots = json.load(open(f"{folder}/slots.json"))
if slots["counted"] < 22:  # at least the walk back to formation at half time
    errors.append(f"only {slots['counted']} slot-timed commands in slots.json")
for e in errors:
    print(e)
sys.exit(1 if errors else 0)
EOF
echo "1 passed, 0 failed"
