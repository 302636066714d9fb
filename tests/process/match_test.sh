#!/usr/bin/env bash
# A short match through scripts/match.sh, with a relative --dir: pitch, two players of vorn
# and the chasers. The runner must end by itself with status 0, print the team's start before
# pitch's summary, report both players with the command counts of pitch's summary (whose
# offset buckets add up to them), and leave a record in which the goalie stands at its place
# in the formation.
#   tests/process/match_test.sh BIN_DIR
set -uo pipefail
bin=$(cd "${1:?usage: match_test.sh BIN_DIR}" && pwd)
here=$(cd "$(dirname "$0")/../.." && pwd)
dir=$(mktemp -d /tmp/vorn-matchtest.XXXXXX)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; echo "--- runner output:"; cat "$dir/out.txt"; exit 1; }

# The runner looks for the programs beside the scripts; point it at this build's.
(cd "$dir" && timeout 120 env VORN_BIN="$bin" "$here/scripts/match.sh" --cycles 20 --players 2 \
  --dir match --no-noise >"$dir/out.txt" 2>&1)
status=$?
[ $status = 0 ] || fail "match.sh ended with status $status"
started=$(grep -n '^team started: 2 players' "$dir/out.txt" | cut -d: -f1)
summary=$(grep -n '^score: ' "$dir/out.txt" | cut -d: -f1)
[ -n "$started" ] && [ -n "$summary" ] && [ "$started" -lt "$summary" ] ||
  fail "the team's start is not printed before the summary"
for n in 1 2; do
  line=$(grep -E "^$n +Vorng? " "$dir/out.txt") || fail "no report line for player $n"
  sent=$(echo "$line" | awk '{print $3}')
  [ "$sent" -ge 2 ] || fail "player $n sent $sent commands, expected at least its move and turn"
  # pitch's first table: kinds..., total, 2+body
  counted=$(awk -v p="l$n" '$1 == p { print $(NF - 1); exit }' "$dir/out.txt")
  # The team's count holds every command the player sent; pitch's those that came while it
  # listened: on a loaded machine the player's last one, sent as it heard the time over, may
  # come after pitch's last step (start-team.sh's help says so). One more, never fewer.
  [ -n "$counted" ] && { [ "$sent" = "$counted" ] || [ "$sent" = $((counted + 1)) ]; } ||
    fail "player $n: the team counts $sent commands, pitch $counted"
  # pitch's second table: early, the 10 ms buckets, total; the buckets add up to the total
  timed=$(awk -v p="l$n" '$1 == p && ++rows == 2 { for (i = 2; i < NF; i++) s += $i
    print s, $NF }' "$dir/out.txt")
  [ "$timed" = "$counted $counted" ] ||
    fail "player $n: offsets (sum, total) $timed, commands $counted"
done
record="$dir/match/match.jsonl"
[ -s "$record" ] || fail "no record in the relative match folder"
grep -q '"side":"l","unum":1,"x":-50,"y":0' "$record" ||
  grep -q '"side":"l","unum":1,"x":-50.0*,"y":0' "$record" ||
  fail "the goalie never stood at (-50, 0)"
echo "1 passed, 0 failed"
