#!/usr/bin/env bash
# Runs a match on pitch: starts pitch on a free loopback port, starts the team against it
# (scripts/start-team.sh), shows pitch's progress, types "quit" to every player when the
# match is over (time_over), and reports: pitch's summary (score, commands per player, timing
# of commands after sense_body), per player the commands sent and send slots missed, the
# send-slot timing (scripts/slots.py, also as slots.json), the match's figures from the game
# log (scripts/figures.py, also as figures.json), and where the record and the replay page
# (replay.html, scripts/replay.py) went; these files lie next to the record.
# Every option is checked before anything starts.
#
# A match stopped early (Ctrl-C, SIGTERM to this script or to pitch) is reported as played so
# far, with a last line "the match was stopped at cycle N of M" and the exit status 130 after
# Ctrl-C (143 after SIGTERM); when pitch fails (killed, say) the last line says so, the players
# are told to quit, and the status is pitch's. A player killed or failed, or a report that
# cannot be made, gives status 1 with a line saying so. Nothing is left running.
#
#   scripts/match.sh [--cycles N] [--opponent chasers|none] [--side left|right] [--players N]
#                    [--seed N] [--pitch DIR] [--record FILE] [--dir D] [--no-noise] [--live]
#                    [--check]
#
#   --cycles N      length of the match in cycles of 100 ms, 1 to 1000000 (default 6000).
#                   Pauses come on top: about 4 s before kick-off, 10 s at half time, 5 s
#                   after every goal; 600 cycles take about 1.7 minutes, 6000 about 12.5
#   --opponent X    "chasers" (default): pitch's built-in team on the other side;
#                   "none": the right side stays empty
#   --side S        vorn's side, left (default) or right (the chasers then play on the left)
#   --players N     players of vorn, 1 to 11 (default 11)
#   --seed N        the seed of pitch's random source, 0 to 999999999 (default a fresh one,
#                   drawn at the start and printed): the same seed, the same noise
#   --pitch DIR     the folder of the pitch to play on (default the folder of Vorn and
#                   Vorng: build/bin, the installed programs, or $VORN_BIN)
#   --record FILE   the match record, JSON lines (default match.jsonl in the match folder)
#   --dir D         the match folder: pitch's output (pitch.txt), the team's report
#                   (team.txt), the game log (match.rcg) with the text log beside it
#                   (match.rcl) and one folder per player
#                   (default a new folder /tmp/vorn-match.*, or under $TMPDIR when set)
#   --no-noise      exact physics, no random noise
#   --live          watch it in a browser: starts scripts/live.py beside pitch and prints
#                   the page's address (http://127.0.0.1:PORT/, a free port); its output
#                   goes to live.txt in the match folder; it ends with the match
#   --check         check the options and exit: start nothing, create nothing
set -uo pipefail

here=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
source "$here/scripts/common.sh"
bin=$(binfolder)
side=left # vorn's side; the chasers play on the other
cycles=6000 opponent=chasers players=11 record="" dir="" noise="" checkonly=0 live=0 liveview=""
seed="" pitchdir=$bin
pitch="" team="" follower="" seen=0 status=0 overtold=""

parseoptions() {
  while [ $# -gt 0 ]; do
    case "$1" in
      --cycles) needvalue "$@"; cycles=$2; shift 2 ;;
      --opponent) needvalue "$@"; opponent=$2; shift 2 ;;
      --side) needvalue "$@"; side=$2; shift 2 ;;
      --players) needvalue "$@"; players=$2; shift 2 ;;
      --seed) needvalue "$@"; seed=$2; shift 2 ;;
      --pitch) needvalue "$@"; pitchdir=$2; shift 2 ;;
      --record) needvalue "$@"; record=$2; shift 2 ;;
      --dir) needvalue "$@"; dir=$2; shift 2 ;;
      --no-noise) noise=--no-noise; shift ;;
      --live) live=1; shift ;;
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
  [ -z "$seed" ] || checkcount --seed "$seed" 0 999999999
  [ -z "$record" ] || checkfile --record "$record"
  [ -z "$dir" ] || checkfolder --dir "$dir"
}

# makefolders: the match folder and the record's folder, as absolute paths.
makefolders() {
  dir=$(workfolder "$dir" vorn-match) || exit 2
  if [ -n "$record" ]; then
    makefolder "$(dirname -- "$record")" >/dev/null || exit 2
    record=$(abspath "$record")
  else
    record="$dir/match.jsonl"
  fi
}

# follow FILE PID: FILE's lines as they are written, until the process PID has ended. tail
# waits on the kernel's notice of a write (and looks at PID once a second), so following costs
# nothing while nothing is written; it ignores Ctrl-C, which is this script's to handle.
follow() { trap '' INT && exec tail -n +1 -f --pid="$2" "$1" 2>/dev/null; }

# startpitch: pitch on a free loopback port, its output followed on the descriptor events;
# sets pitch (its process), follower and port.
startpitch() {
  local args=(--port 0 --bind 127.0.0.1 --cycles "$cycles" --record "$record"
    --wait-players "$players" --seed "$seed") line
  [ "$opponent" = chasers ] && args+=(--opponent chasers)
  [ "$side" = right ] && args+=(--chasers-side left)
  [ -n "$noise" ] && args+=("$noise")
  args+=(--game-log "$dir/match.rcg" --text-log "$dir/match.rcl")
  # The file exists before tail follows it: pitch's own redirection may come later.
  : >"$dir/pitch.txt"
  "$pitchdir/pitch" "${args[@]}" >"$dir/pitch.txt" 2>&1 &
  pitch=$!
  exec {events}< <(follow "$dir/pitch.txt" "$pitch")
  follower=$!
  port="" seen=0
  if read -r -t 10 -u "$events" line; then
    seen=1
    port=$(sed -n 's/^pitch: listening on port \([0-9]*\).*/\1/p' <<<"$line")
  fi
  [ -z "$interrupted" ] || quit # stopped while pitch was starting
  if [ -z "$port" ]; then
    echo "$prog: pitch did not start:" >&2
    cat "$dir/pitch.txt" >&2
    exit 1
  fi
  echo "pitch listening on 127.0.0.1:$port; a match of $cycles cycles with seed $seed in $dir"
}

# startlive: the live page (scripts/live.py) watching pitch on a free local port; prints its
# address. A live page that does not start is said, and the match goes on without it.
startlive() {
  local line url
  : >"$dir/live.txt"
  python3 "$here/scripts/live.py" --port "$port" --listen 127.0.0.1:0 >"$dir/live.txt" 2>&1 &
  liveview=$!
  exec {liveout}< <(follow "$dir/live.txt" "$liveview")
  if read -r -t 10 -u "$liveout" line && [[ $line == "live: the page is at "* ]]; then
    url=${line#live: the page is at }
    echo "live page: ${url%% *} (watch the match in a browser)"
  else
    echo "$prog: the live page did not start (see $dir/live.txt)" >&2
  fi
  exec {liveout}<&-
}

# startteam: the team against pitch, its report going to team.txt; shows the team's start
# line once every player has started, or the team's refusal when it ended instead.
startteam() {
  : >"$dir/team.txt"
  "$here/scripts/start-team.sh" --host 127.0.0.1 --port "$port" --players "$players" \
    --dir "$dir" --bin "$bin" >"$dir/team.txt" 2>&1 &
  team=$!
  local line started="" reader
  exec {teamout}< <(follow "$dir/team.txt" "$team")
  reader=$!
  while read -r -u "$teamout" line; do
    case $line in "team started"*) started=$line && break ;; esac
  done
  exec {teamout}<&-
  kill "$reader" 2>/dev/null
  if [ -z "$started" ]; then
    [ -z "$interrupted" ] || quit
    wait "$team" 2>/dev/null
    team=""
    echo "$prog: the team did not start:" >&2
    cat "$dir/team.txt" >&2
    exit 1
  fi
  echo "$started"
}

# show LINE: one of pitch's lines for the user; pitch's time over tells the players to quit
# (start-team.sh types "quit" on SIGTERM) while pitch still listens for ten steps, so that
# pitch receives and counts every command they send.
show() {
  case $1 in
    "pitch: listening"*) ;;
    "pitch: time over"*) overtold=1 && kill -TERM "$team" 2>/dev/null ;;
    *) printf '%s\n' "$1" ;;
  esac
}

# followmatch: pitch's lines as they come (a progress line every 100 cycles, then the
# summary) until pitch ends; sets status to pitch's exit status. A signal to this script
# breaks a read off; the loop goes on until pitch's output ends. Lines the follower did not
# deliver (it ended early) are taken from the file at the end.
followmatch() {
  local line got
  while :; do
    read -r -u "$events" line
    got=$?
    if [ $got = 0 ]; then
      seen=$((seen + 1))
      show "$line"
    elif [ $got -le 128 ]; then
      break
    fi
  done
  waitfor "$pitch" 2>/dev/null # its own lines say how it ended, not the shell's notice
  status=$waited
  pitch=""
  exec {events}<&-
  follower=""
  while IFS= read -r line; do show "$line"; done < <(tail -n +$((seen + 1)) "$dir/pitch.txt")
}

# stopteam: "quit" to every player (start-team.sh types it on SIGTERM) if not done yet, then
# the team's table without its start and the referee's calls (pitch's lines showed them);
# sets teamstatus to start-team's exit status.
stopteam() {
  kill -TERM "$team" 2>/dev/null
  waitfor "$team" 2>/dev/null
  teamstatus=$waited
  team=""
  echo
  grep -v -e '^team started' -e '^referee: ' "$dir/team.txt"
}

# report: the send-slot timing, the match's figures (figures.json, from the game log: the
# record has no commands of the chasers) and the replay page with them; all next to the
# record. Sets reportfailed when one cannot be made.
reportfailed=""
report() {
  local where figures=()
  where=$(dirname "$record")
  echo
  python3 "$here/scripts/slots.py" "$record" --json "$where/slots.json" || reportfailed=1
  # A match stopped before its first step of play has no figures: its game log, as a real
  # server's, starts after the kick-off.
  if grep -q -m 1 '^(show ' "$dir/match.rcg" 2>/dev/null; then
    python3 "$here/scripts/figures.py" "$dir/match.rcg" --json "$where/figures.json" &&
      figures=(--figures "$where/figures.json") || reportfailed=1
  fi
  python3 "$here/scripts/replay.py" "$record" -o "$where/replay.html" "${figures[@]}" ||
    reportfailed=1
}

# played: the cycle and score of the record's last step line (command lines come after it),
# as "cycle N of M (score L : R)".
played() {
  tac "$record" 2>/dev/null | grep -a -m 1 -F '"type":"cycle"' |
    sed -n 's/.*"cycle":\([0-9]*\).*"score":\[\([0-9]*\),\([0-9]*\)\].*/\1 \2 \3/p' |
    { read -r cycle left right && echo "cycle $cycle of $cycles (score $left : $right)" ||
      echo "cycle ? of $cycles"; }
}

# ending: a match that did not end at time over, said in one line: stopped by a signal (to
# this script or to pitch) or pitch failed.
ending() {
  local signal
  signal=$(signalname "$status")
  case $signal in
    INT|TERM) echo "$prog: the match was stopped (SIG$signal) at $(played)" ;;
    ?*) echo "$prog: pitch failed (killed by SIG$signal) at $(played)" ;;
    *) echo "$prog: pitch failed (exit status $status) at $(played)" ;;
  esac
}

# Ctrl-C or SIGTERM ends the match early: pitch prints its summary, the team its table, and
# the script ends with the signal's status.
interrupted=""
interrupt() {
  interrupted=$1
  [ -z "$pitch" ] || kill "-$1" "$pitch" 2>/dev/null
}

# quit: the exit status of the ending: the signal's when one stopped the match (130 after
# Ctrl-C), else pitch's when it failed or was stopped, else the team's.
quit() {
  case $interrupted in
    INT) exit 130 ;;
    TERM) exit 143 ;;
  esac
  [ "$status" = 0 ] || exit "$status"
  [ -z "$reportfailed" ] || exit 1
  # The team stopped at pitch's time over is stopped at the end of the match, also when its
  # players quit before they heard the referee say so.
  [ -z "$overtold" ] || [ "${teamstatus:-0}" != 143 ] || teamstatus=0
  exit "${teamstatus:-0}"
}

cleanup() {
  [ -z "$liveview" ] || kill -TERM "$liveview" 2>/dev/null
  [ -z "$pitch" ] || { kill "$pitch" && waitfor "$pitch"; } 2>/dev/null
  [ -z "$follower" ] || kill "$follower" 2>/dev/null
  [ -z "$team" ] || { kill -TERM "$team" 2>/dev/null && wait "$team" 2>/dev/null; }
}

parseoptions "$@"
checkoptions
[ "$checkonly" = 0 ] || exit 0
if [ ! -x "$pitchdir/pitch" ]; then
  [ "$pitchdir" = "$bin" ] && echo "$prog: $bin/pitch is missing; build first (./run.sh)" >&2 ||
    echo "$prog: --pitch: $pitchdir/pitch is missing" >&2
  exit 1
fi
# A fresh seed: four random bytes, as a number from 1 to 999999999.
[ -n "$seed" ] || seed=$(($(od -An -N4 -tu4 /dev/urandom) % 999999999 + 1))
makefolders
trap cleanup EXIT
trap 'interrupt INT' INT
trap 'interrupt TERM' TERM
startpitch
[ "$live" = 0 ] || startlive
startteam
followmatch
stopteam
report
echo "record: $record"
[ "$status" = 0 ] || ending >&2
if [ -n "$reportfailed" ]; then
  if [ -n "$interrupted" ]; then
    echo "$prog: the report was stopped (SIG$interrupted) before it was complete" >&2
  else
    echo "$prog: the send-slot figures, the match's figures or the replay page could not be" \
      "made (see above)" >&2
  fi
fi
quit
