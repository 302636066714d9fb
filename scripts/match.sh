#!/usr/bin/env bash
# Runs a match on pitch: starts pitch on a free loopback port, starts the team against it
# (scripts/start-team.sh), shows pitch's progress, types "quit" to every player when the
# match is over (time_over), and reports: pitch's summary (score, commands per player, timing
# of commands after sense_body), per player the commands sent and send slots missed, the
# send-slot timing (scripts/slots.py, also as slots.json), and where the record and the
# replay page (replay.html, scripts/replay.py) went; both files lie next to the record.
# Every option is checked before anything starts.
#
#   scripts/match.sh [--cycles N] [--opponent chasers|none] [--side left|right] [--players N]
#                    [--record FILE] [--dir D] [--no-noise] [--check]
#
#   --cycles N      length of the match in cycles of 100 ms, 1 to 1000000 (default 6000).
#                   Pauses come on top: about 4 s before kick-off, 10 s at half time, 5 s
#                   after every goal; 600 cycles take about 1.7 minutes, 6000 about 12.5
#   --opponent X    "chasers" (default): pitch's built-in team on the other side;
#                   "none": the right side stays empty
#   --side S        vorn's side, left (default) or right (the chasers then play on the left)
#   --players N     players of vorn, 1 to 11 (default 11)
#   --record FILE   the match record, JSON lines (default match.jsonl in the match folder)
#   --dir D         the match folder: pitch's output (pitch.txt), the team's report
#                   (team.txt) and one folder per player (default a new folder
#                   /tmp/vorn-match.*, or under $TMPDIR when it is set)
#   --no-noise      exact physics, no random noise
#   --check         check the options and exit: start nothing, create nothing
set -uo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/common.sh"
bin="${VORN_BIN:-$here/build/bin}"
side=left # vorn's side; the chasers play on the other
cycles=6000 opponent=chasers players=11 record="" dir="" noise="" checkonly=0
pitch="" team="" progress=""

parseoptions() {
  while [ $# -gt 0 ]; do
    case "$1" in
      --cycles) needvalue "$@"; cycles=$2; shift 2 ;;
      --opponent) needvalue "$@"; opponent=$2; shift 2 ;;
      --side) needvalue "$@"; side=$2; shift 2 ;;
      --players) needvalue "$@"; players=$2; shift 2 ;;
      --record) needvalue "$@"; record=$2; shift 2 ;;
      --dir) needvalue "$@"; dir=$2; shift 2 ;;
      --no-noise) noise=--no-noise; shift ;;
      --check) checkonly=1; shift ;;
      --help|-h) usage; exit 0 ;;
      *) die "unknown option '$1' (see --help)" ;;
    esac
  done
}

checkoptions() {
  checkcount --cycles "$cycles" 1 1000000
  case "$opponent" in
    chasers|none) ;;
    *) die "--opponent must be chasers or none, not '$opponent'" ;;
  esac
  case "$side/$opponent" in
    left/* | right/chasers) ;;
    right/*) die "--side right needs --opponent chasers (the first team to come plays left)" ;;
    *) die "--side must be left or right, not '$side'" ;;
  esac
  checkcount --players "$players" 1 11
  [ -z "$record" ] || checkfile --record "$record"
  [ -z "$dir" ] || checkfolder --dir "$dir"
}

# makefolders: the match folder and the record's folder, as absolute paths.
makefolders() {
  if [ -n "$dir" ]; then
    dir=$(makefolder "$dir") || exit 2
  else
    dir=$(mktemp -d "${TMPDIR:-/tmp}/vorn-match.XXXXXX") ||
      die "cannot create a folder in ${TMPDIR:-/tmp}"
  fi
  if [ -n "$record" ]; then
    makefolder "$(dirname -- "$record")" >/dev/null || exit 2
    record=$(abspath "$record")
  else
    record="$dir/match.jsonl"
  fi
}

# startpitch: pitch on a free loopback port; sets pitch (its process) and port.
startpitch() {
  local args=(--port 0 --bind 127.0.0.1 --cycles "$cycles" --record "$record"
    --wait-players "$players")
  [ "$opponent" = chasers ] && args+=(--opponent chasers)
  [ "$side" = right ] && args+=(--chasers-side left)
  [ -n "$noise" ] && args+=("$noise")
  "$bin/pitch" "${args[@]}" >"$dir/pitch.txt" 2>&1 &
  pitch=$!
  port=""
  for _ in $(seq 1 100); do
    port=$(sed -n 's/^pitch: listening on port \([0-9]*\).*/\1/p' "$dir/pitch.txt" | head -n 1)
    [ -n "$port" ] && break
    kill -0 "$pitch" 2>/dev/null || break
    sleep 0.05
  done
  if [ -z "$port" ]; then
    echo "$prog: pitch did not start:" >&2
    cat "$dir/pitch.txt" >&2
    exit 1
  fi
  echo "pitch listening on 127.0.0.1:$port; a match of $cycles cycles in $dir"
}

# startteam: the team against pitch, its report going to team.txt; shows the team's start
# line once every player has started, or the team's refusal when it ended instead.
startteam() {
  "$here/scripts/start-team.sh" --host 127.0.0.1 --port "$port" --players "$players" \
    --dir "$dir" --bin "$bin" >"$dir/team.txt" 2>&1 &
  team=$!
  while kill -0 "$team" 2>/dev/null && ! grep -q '^team started' "$dir/team.txt"; do
    sleep 0.1
  done
  if ! grep -q '^team started' "$dir/team.txt"; then
    echo "$prog: the team did not start:" >&2
    cat "$dir/team.txt" >&2
    exit 1
  fi
  grep '^team started' "$dir/team.txt"
}

# followmatch: pitch's lines as they come (a progress line every 100 cycles, then the
# summary) until pitch ends; sets status to pitch's exit status. The players are told to quit
# as soon as the record shows time_over, while pitch still listens for ten steps, so that
# pitch receives and counts every command they send.
followmatch() {
  tail -n +1 -f "$dir/pitch.txt" --pid="$pitch" | grep --line-buffered -v '^pitch: listening' &
  progress=$!
  local told=0
  while kill -0 "$pitch" 2>/dev/null; do
    if [ $told = 0 ] && tail -n 200 "$record" 2>/dev/null | grep -q '"mode":"time_over"'; then
      kill -TERM "$team" 2>/dev/null
      told=1
    fi
    sleep 0.1
  done
  wait "$pitch"
  status=$?
  pitch=""
  wait "$progress" 2>/dev/null
  progress=""
}

# stopteam: "quit" to every player (start-team.sh types it on SIGTERM) if not done yet, then
# the team's table; sets teamstatus to start-team's exit status.
stopteam() {
  kill -TERM "$team" 2>/dev/null
  wait "$team" 2>/dev/null
  teamstatus=$?
  team=""
  echo
  grep -v '^team started' "$dir/team.txt"
}

# report: the send-slot timing, and the replay page; both next to the record. Sets status
# when either cannot be made.
report() {
  local where
  where=$(dirname "$record")
  echo
  python3 "$here/scripts/slots.py" "$record" --json "$where/slots.json" || status=1
  python3 "$here/scripts/replay.py" "$record" -o "$where/replay.html" || status=1
}

# Ctrl-C or SIGTERM ends the match early: pitch prints its summary, the team its table.
interrupt() { [ -z "$pitch" ] || kill -INT "$pitch" 2>/dev/null; }

cleanup() {
  [ -z "$pitch" ] || kill "$pitch" 2>/dev/null
  [ -z "$progress" ] || kill "$progress" 2>/dev/null
  [ -z "$team" ] || { kill -TERM "$team" 2>/dev/null && wait "$team" 2>/dev/null; }
}

parseoptions "$@"
checkoptions
[ "$checkonly" = 0 ] || exit 0
[ -x "$bin/pitch" ] || { echo "$prog: $bin/pitch is missing; build first (./run.sh)" >&2; exit 1; }
makefolders
trap cleanup EXIT
trap interrupt INT TERM
startpitch
startteam
followmatch
stopteam
report
echo "record: $record"
[ "$status" = 0 ] || exit "$status"
exit "$teamstatus"
