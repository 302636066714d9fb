#!/usr/bin/env bash
# Runs a match on pitch: starts pitch on a free loopback port, starts the team against it
# (scripts/start-team.sh), waits for the match to end, types "quit" to every player, and
# reports: pitch's summary (score, commands per player, timing of commands after
# sense_body), per player the commands sent and slots missed, the send-slot timing
# (scripts/slots.py, also as slots.json), and where the record and the replay page
# (replay.html, scripts/replay.py) went; both files lie next to the record.
#
#   scripts/match.sh [--cycles N] [--opponent chasers|none] [--players N] [--record FILE]
#                    [--dir D] [--no-noise]
#
#   --cycles N      length of the match in cycles of 100 ms (default 6000, ten minutes)
#   --opponent X    "chasers" (default): pitch's built-in team on the right side;
#                   "none": the right side stays empty
#   --players N     players of vorn, 1 to 11 (default 11)
#   --record FILE   the match record, JSON lines (default match.jsonl in the match folder)
#   --dir D         the match folder: pitch's output and one folder per player
#                   (default a new folder under /tmp)
#   --no-noise      exact physics, no random noise
set -uo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
bin="${VORN_BIN:-$here/build/bin}"
cycles=6000 opponent=chasers players=11 record="" dir="" noise=""
usage() { sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; }
while [ $# -gt 0 ]; do
  case "$1" in
    --cycles) cycles=${2:?--cycles needs a value}; shift 2 ;;
    --opponent) opponent=${2:?--opponent needs a value}; shift 2 ;;
    --players) players=${2:?--players needs a value}; shift 2 ;;
    --record) record=${2:?--record needs a value}; shift 2 ;;
    --dir) dir=${2:?--dir needs a value}; shift 2 ;;
    --no-noise) noise=--no-noise; shift ;;
    --help|-h) usage; exit 0 ;;
    *) echo "match.sh: unknown argument '$1' (see --help)" >&2; exit 2 ;;
  esac
done
case "$opponent" in chasers|none) ;; *) echo "match.sh: --opponent is chasers or none" >&2; exit 2 ;; esac
[ -x "$bin/pitch" ] || { echo "match.sh: $bin/pitch is missing; build first (./run.sh)" >&2; exit 1; }
[ -n "$dir" ] || dir=$(mktemp -d /tmp/vorn-match.XXXXXX)
mkdir -p "$dir"
[ -n "$record" ] || record="$dir/match.jsonl"

args=(--port 0 --bind 127.0.0.1 --cycles "$cycles" --record "$record" --wait-players "$players")
[ "$opponent" = chasers ] && args+=(--opponent chasers)
[ -n "$noise" ] && args+=("$noise")
"$bin/pitch" "${args[@]}" >"$dir/pitch.txt" 2>&1 &
pitch=$!
trap 'kill $pitch 2>/dev/null' EXIT

port=""
for _ in $(seq 1 100); do
  port=$(sed -n 's/^pitch: listening on port \([0-9]*\).*/\1/p' "$dir/pitch.txt" | head -n 1)
  [ -n "$port" ] && break
  kill -0 $pitch 2>/dev/null || break
  sleep 0.05
done
if [ -z "$port" ]; then
  echo "match.sh: pitch did not start:" >&2
  cat "$dir/pitch.txt" >&2
  exit 1
fi
echo "pitch listening on 127.0.0.1:$port; match of $cycles cycles in $dir"

"$here/scripts/start-team.sh" --host 127.0.0.1 --port "$port" --players "$players" \
  --dir "$dir" --bin "$bin" >"$dir/team.txt" 2>&1 &
team=$!

# Progress: pitch prints a line every 100 cycles; show them as they come.
tail -n +1 -f "$dir/pitch.txt" --pid=$pitch | grep --line-buffered -v '^pitch: listening' &
progress=$!
wait $pitch
status=$?
wait $progress 2>/dev/null
kill -TERM $team 2>/dev/null
wait $team 2>/dev/null
echo
cat "$dir/team.txt"
echo
where=$(dirname "$record")
python3 "$here/scripts/slots.py" "$record" --json "$where/slots.json" || status=1
echo "record: $record"
python3 "$here/scripts/replay.py" "$record" -o "$where/replay.html" || status=1
exit $status
