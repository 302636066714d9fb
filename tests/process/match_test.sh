#!/usr/bin/env bash
# A short match through scripts/match.sh: pitch, two players of vorn and the chasers. The
# runner must end by itself with status 0, report both players, and leave a record in which
# the goalie stands at its place in the formation.
#   tests/process/match_test.sh BIN_DIR
set -uo pipefail
bin=${1:?usage: match_test.sh BIN_DIR}
here=$(cd "$(dirname "$0")/../.." && pwd)
dir=$(mktemp -d /tmp/vorn-matchtest.XXXXXX)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; echo "--- runner output:"; cat "$dir/out.txt"; exit 1; }

# The runner looks for the programs beside the scripts; point it at this build's.
timeout 120 env VORN_BIN="$bin" "$here/scripts/match.sh" --cycles 20 --players 2 \
  --dir "$dir/match" --no-noise >"$dir/out.txt" 2>&1
status=$?
[ $status = 0 ] || fail "match.sh ended with status $status"
grep -q '^score: ' "$dir/out.txt" || fail "no score in the summary"
for n in 1 2; do
  line=$(grep -E "^$n +Vorng? " "$dir/out.txt") || fail "no report line for player $n"
  sent=$(echo "$line" | awk '{print $3}')
  [ "$sent" -ge 3 ] || fail "player $n sent $sent commands, expected its init, move and turn"
done
record="$dir/match/match.jsonl"
[ -s "$record" ] || fail "no record"
grep -q '"side":"l","unum":1,"x":-50,"y":0' "$record" ||
  grep -q '"side":"l","unum":1,"x":-50.0*,"y":0' "$record" ||
  fail "the goalie never stood at (-50, 0)"
echo "1 passed, 0 failed"
