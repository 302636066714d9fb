#!/usr/bin/env bash
# The goalie on pitch: tests/process/feeder.py kicks the ball at its goal so that it comes to
# rest some 9 m in front of it, leaves it to the goalie there, and brings back every ball the
# goalie sends away, until the goalie catches it. The catch must give the goalie's side a
# free kick with the ball in its hands and never a catch fault: holding the ball, the goalie
# moves to (-37, -19) of its own frame, inside its penalty area, and kicks out from there.
# The feeder joins first, so the goalie plays on the right side, where its frame is the field
# turned round.
#
# A try may fail, more often at some times of the goalie's see within the step than at
# others: the goalie queues its catch behind the dashes it has queued already, so one that
# runs at the ball passes through it (a metre a step against a catch area 1.2 m long) and
# kicks it away; or it stops with the ball 1.2 to 2 m ahead, inside its own idea of the catch
# area, and tries again until pitch drops the ball. A little under half of the tries catch.
# Three matches run side by side, their goalies started 37.5 ms apart (a see comes every 4
# ticks of 37.5 ms, so on an idle machine each goalie sees at another time of the step);
# the first catch in any of them is checked (it comes after 10 to 25 s; the limit is 75 s,
# before half time at cycle 1000), and no match may see a catch fault.
#   tests/process/goalie_match_test.sh BIN_DIR    (KEEP=1 keeps the matches' folder)
set -uo pipefail
if [ "${1:-}" = --help ] || [ "${1:-}" = -h ]; then sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0; fi
bin=$(cd "${1:?usage: goalie_match_test.sh BIN_DIR}" && pwd)
here=$(cd "$(dirname "$0")/../.." && pwd)
dir=$(mktemp -d /tmp/vorn-goaliematch.XXXXXX)
matches=(1 2 3)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  [ -n "${KEEP:-}" ] && echo "kept $dir" || rm -rf "$dir"
}
trap cleanup EXIT
report() { python3 "$here/scripts/goalie-report.py" "$dir/$1/record.jsonl" --side r; }
fail() { echo "FAIL: $*"; for m in "${matches[@]}"; do echo "--- match $m:"; report $m; done; exit 1; }
waitfor() { # waitfor SECONDS COMMAND...: until the command succeeds
  local end=$((SECONDS + $1)); shift
  until "$@"; do [ $SECONDS -lt $end ] || return 1; sleep 0.5; done
}

# start M: pitch, the feeder and the goalie of match M in $dir/M; pitch's pid in pitch_M.
start() {
  local m=$1 port
  mkdir -p "$dir/$m/goalie"
  "$bin/pitch" --port 0 --bind 127.0.0.1 --cycles 2000 --wait-players 2 --no-noise --quiet \
    --record "$dir/$m/record.jsonl" >"$dir/$m/pitch.txt" 2>&1 &
  pids+=($!)
  eval "pitch_$m=$!"
  waitfor 5 grep -qs '^pitch: listening on port' "$dir/$m/pitch.txt" || fail "pitch $m did not start"
  port=$(sed -n 's/^pitch: listening on port \([0-9]*\).*/\1/p' "$dir/$m/pitch.txt")
  python3 "$here/tests/process/feeder.py" "$port" >"$dir/$m/feeder.txt" 2>&1 &
  pids+=($!)
  waitfor 5 grep -qs '^joined l' "$dir/$m/feeder.txt" || fail "feeder $m did not join on the left"
  sleep "0.0$((375 * (m - 1)))"
  (cd "$dir/$m/goalie" && exec "$bin/Vorng" 127.0.0.1 "$port" </dev/null >console.txt 2>&1) &
  pids+=($!)
}

# The match in which the goalie caught the ball (held or faulted), if any.
caught() {
  for m in "${matches[@]}"; do
    grep -q '"side":"r","unum":1,"text":"(catch' "$dir/$m/record.jsonl" 2>/dev/null &&
      grep -Eq '^(catches|catch faults): [1-9]' <<<"$(report $m)" && { echo $m; return 0; }
  done
  return 1
}

for m in "${matches[@]}"; do start $m; done
begin=$SECONDS
waitfor 75 caught >/dev/null || fail "no catch in 75 seconds"
m=$(caught)
echo "first catch in match $m after $((SECONDS - begin)) s"
sleep 5 # the move and the kick-out
for p in "${matches[@]}"; do eval "kill -TERM \$pitch_$p"; eval "wait \$pitch_$p"; done

for p in "${matches[@]}"; do
  grep -q '^catch faults: 0$' <<<"$(report $p)" || fail "a catch fault in match $p"
done
grep -Eq '^catches: [1-9]' <<<"$(report $m)" || fail "the catch in match $m gave no free kick"
grep -q '"side":"r","unum":1,"text":"(move -37 -19)",.*"outcome":"executed"' \
  "$dir/$m/record.jsonl" || fail "the move after the catch was not carried out in match $m"
report $m
echo "1 passed, 0 failed"
