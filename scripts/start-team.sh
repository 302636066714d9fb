#!/usr/bin/env bash
# Starts a team of vorn against a server: one goalie (Vorng) and ten field players (Vorn),
# one after another, each in a folder of its own (every player writes Vorne.log where it
# runs), with its console trace in that folder's console.txt. Every option is checked before
# any player starts.
#
#   scripts/start-team.sh [--host H] [--port P] [--players N] [--dir D] [--bin B]
#
#   --host H     the server's host, a name or an IPv4 address (default localhost)
#   --port P     the server's port, 1 to 65535 (default 6000)
#   --players N  how many players, 1 to 11 (default 11; the first is the goalie)
#   --dir D      where the players' folders go (default a new folder /tmp/vorn-team.*, or
#                under $TMPDIR when it is set)
#   --bin B      where Vorn and Vorng are (default build/bin of the repository, or
#                the bin folder of the installation)
#
# The script stays in the foreground. While the match runs it tells the referee's calls that
# its players hear: the kick-offs, every goal with the score, half time and time over (the
# server names sides: left is the team that connected first). A player ends when the server
# has been silent for 10 s after answering it (a server that has ended or died), when the
# server refuses it, at the match's last cycle, or on "quit". On Ctrl-C, or when the script
# is sent SIGTERM or SIGINT, it types "quit" to every player. When every player has ended it
# prints per player the commands sent after the init (as the server counts them), the send
# slots missed, its exit status and how it ended (match end, server silent, quit, refused,
# killed), then one line on why the team ended. A refusal by the server is reported in the
# server's own words, with status 1; so is a server that has not answered any player 5 s
# after the last one started (the players are stopped then), and a player that was killed
# or failed.
set -uo pipefail

here=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
source "$here/scripts/common.sh"
host=localhost port=6000 players=11 dir="" bin=$(binfolder)
answerwait=5 # seconds

parseoptions() {
  while [ $# -gt 0 ]; do
    case "$1" in
      --host) needvalue "$@"; host=$2; shift 2 ;;
      --port) needvalue "$@"; port=$2; shift 2 ;;
      --players) needvalue "$@"; players=$2; shift 2 ;;
      --dir) needvalue "$@"; dir=$2; shift 2 ;;
      --bin) needvalue "$@"; bin=$2; shift 2 ;;
      --help|-h) usage; exit 0 ;;
      *) die "unknown option '$1' (see --help)" ;;
    esac
  done
}

checkoptions() {
  checkhost --host "$host"
  checkcount --port "$port" 1 65535
  checkcount --players "$players" 1 11
  local p
  for p in Vorn Vorng; do
    [ -x "$bin/$p" ] || die "--bin: $bin/$p is missing; build first (./run.sh or ./test.sh)"
  done
  [ -z "$dir" ] || checkfolder --dir "$dir"
}

program() { if [ "$1" = 1 ]; then echo Vorng; else echo Vorn; fi; }

# calls: the referee's calls that the first player hears, from its console trace as it is
# written, told as the match goes: the kick-offs of the halves, every goal with the score, half
# time and time over. The server names sides, not teams: which side is vorn's follows the
# order in which the teams connected.
calls() {
  trap '' INT
  tail -n +1 -f --pid="$1" "$2" 2>/dev/null | grep --line-buffered -a -F ' referee ' |
    LC_ALL=C awk '
      function score() { return "left " goals["l"] + 0 " : " goals["r"] + 0 " right" }
      function say(text) { print "referee: " text; fflush() }
      match($0, /^in hear out\[0\]=hear [0-9]+ referee [a-z0-9_]+/) {
        split(substr($0, 17, RLENGTH - 16), w, " ")
        cycle = w[2]; call = w[4]
        if (call ~ /^kick_off_/ && (last == "" || last == "before_kick_off"))
          say((halves++ ? "kick-off of the second half" : "kick-off") " at cycle " cycle)
        else if (call ~ /^goal_[lr]_[0-9]+$/) {
          side = substr(call, 6, 1); goals[side] = substr(call, 8)
          say("goal for the " (side == "l" ? "left" : "right") " side at cycle " cycle ": " score())
        } else if (call == "half_time")
          say("half time at cycle " cycle ": " score())
        else if (call == "time_over")
          say("time over at cycle " cycle ": " score())
        last = call
      }'
}

# startplayers: one player after another (the server numbers players in the order their
# init arrives), each in its folder, reading a FIFO this script holds open read-write so
# that the player never meets the end of its input and "quit" can be typed to it later.
pids=() inputs=() stopping=0
declare -A ended=() how=()
startplayers() {
  local n folder fd word=players
  for n in $(seq 1 "$players"); do
    [ $stopping = 0 ] || break
    folder="$dir/player$n"
    mkdir -p "$folder" || die "cannot create the folder '$folder'"
    rm -f "$folder/input"
    : >"$folder/console.txt" # there for the follower of the referee's calls from the start
    mkfifo "$folder/input" || die "cannot create the FIFO '$folder/input'"
    exec {fd}<>"$folder/input"
    # Ctrl-C in a terminal reaches every process in its foreground: the players ignore it,
    # and this script types them "quit".
    (trap '' INT && cd "$folder" && exec "$bin/$(program "$n")" "$host" "$port" <input \
      >console.txt 2>&1) &
    pids+=($!) inputs+=("$fd")
    if [ "$n" = 1 ]; then calls "$!" "$folder/console.txt" & fi
    sleep 0.2
  done
  [ "$players" = 1 ] && word=player
  if [ ${#pids[@]} = "$players" ]; then
    echo "team started: $players $word against $host:$port, folders in $dir"
  else
    echo "team started: ${#pids[@]} of $players $word against $host:$port (stopped while" \
      "starting), folders in $dir"
  fi
}

# tally FOLDER: the commands the player sent after its init, and 1 when the server answered
# it (its trace shows a command after the init, which the init reply sets off, a line of the
# sense_body count, a referee's call, or the server's refusal or silence), else 0.
tally() {
  LC_ALL=C awk '
    /^in send buf / { init = ($4 ~ /^\(init/); if (!init) answered = 1 }
    /^(Turn [0-9-]+ Sent |send return 0$)/ && !init { sent++ }
    / still working turn |^in hear |^The server refused |^No message from the server / {
      answered = 1 }
    END { print sent + 0, answered + 0 }' "$1/console.txt" 2>/dev/null || echo "0 0"
}

# answered: how many players have had an answer from the server.
answered() {
  local n count=0 sent got
  for n in $(seq 1 "$players"); do
    read -r sent got <<<"$(tally "$dir/player$n")"
    count=$((count + got))
  done
  echo "$count"
}

# ending N: why player N ended, from its exit status and its trace's last lines.
ending() {
  local n=$1 last signal
  last=$(tail -n 3 "$dir/player$n/console.txt" 2>/dev/null)
  signal=$(signalname "${ended[$n]:-}")
  if [ "$n" -gt ${#pids[@]} ]; then
    echo "not started"
  elif [ -n "$signal" ]; then
    echo "killed (SIG$signal)"
  elif [ "${ended[$n]:-?}" != 0 ]; then
    echo "failed (status ${ended[$n]:-unknown})"
  elif [[ $last == *"The server refused the player: "* ]]; then
    echo "refused"
  elif [[ $last == *"No message from the server for "* ]]; then
    echo "server silent"
  elif [ $stopping = 1 ]; then
    echo "quit"
  else
    echo "match end"
  fi
}

# report: the table of the players, and how each ended (kept in how, for why); counts in
# answers the players the server answered.
answers=0
report() {
  local n sent got missed
  echo "vorn's players: commands sent after the init, send slots missed (Vorne.log), how each ended"
  printf '%-8s %-8s %8s %13s %7s  %s\n' player program commands "missed slots" status ending
  for n in $(seq 1 "$players"); do
    read -r sent got <<<"$(tally "$dir/player$n")"
    answers=$((answers + got))
    missed=$(grep -c -a '^Missed slot' "$dir/player$n/Vorne.log" 2>/dev/null)
    how[$n]=$(ending "$n")
    printf '%-8s %-8s %8s %13s %7s  %s\n' "$n" "$(program "$n")" "$sent" "${missed:-0}" \
      "${ended[$n]:--}" "${how[$n]}"
  done
}

# why: one line on how the team ended: whether the match was played to its end, and the
# players' endings with their counts.
why() {
  local n endings over=""
  endings=$(printf '%s\n' "${how[@]}" | sort | uniq -c |
    awk '{ n = $1; $1 = ""; printf "%s%s (%d)", sep, substr($0, 2), n; sep = ", " }')
  grep -a -q -F ' referee time_over' "$dir/player1/console.txt" 2>/dev/null &&
    over="the match ended; "
  echo "team ended: ${over}players: $endings"
}

# stop: "quit" to every player started so far.
stop() {
  local fd
  stopping=1
  for fd in "${inputs[@]}"; do echo quit >&"$fd" 2>/dev/null; done
}

# waitplayers: until every player has ended, noting each one's exit status. A signal breaks
# a wait off (its trap types "quit"); the waiting goes on, and a player that has ended in the
# meantime gives its status to the next wait. When no player has had an answer from the
# server some seconds after the last one started, a watchdog has the players stopped.
waitplayers() {
  local n watchdog
  (sleep "$answerwait" && [ "$(answered)" = 0 ] && kill -USR1 $$) &
  watchdog=$!
  for n in "${!pids[@]}"; do
    waitfor "${pids[$n]}"
    ended[$((n + 1))]=$waited
  done
  kill "$watchdog" 2>/dev/null
  # The first player has ended, so its follower ends too, with the last call told.
  wait 2>/dev/null
}

# refusal: the server's words when it refused a player, else nothing. A refused player ends
# at once, so the words are among the last lines of its trace.
refusal() {
  tail -q -n 3 "$dir"/player*/console.txt 2>/dev/null |
    sed -n 's/^The server refused the player: //p' | head -n 1
}

parseoptions "$@"
checkoptions
bin=$(cd "$bin" && pwd) # each player starts in its own folder
dir=$(workfolder "$dir" vorn-team) || exit 2
trap stop INT TERM USR1 EXIT
startplayers
waitplayers
report
why
refused=$(refusal)
if [ -n "$refused" ]; then
  echo "$prog: the server at $host:$port refused the players: $refused" >&2
  exit 1
fi
if [ "$answers" = 0 ]; then
  echo "$prog: no player got an answer from $host:$port: is a server running there?" >&2
  exit 1
fi
bad=$(printf '%s\n' "${how[@]}" | grep -c -e '^killed' -e '^failed')
if [ "$bad" != 0 ]; then
  echo "$prog: players killed or failed: $bad (see the table)" >&2
  exit 1
fi
