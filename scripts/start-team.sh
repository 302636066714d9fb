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
# its players hear, each as it is heard: the kick-offs, every goal with the score, half time
# and time over (the server names sides: left is the team that connected first). A player
# ends when the server has been silent for 10 s after answering it (a server that has ended
# or died), when the server refuses it, at the match's last cycle, or on "quit". On Ctrl-C,
# or when the script is sent SIGTERM, SIGINT or SIGHUP, it types "quit" to every player. A
# player alone waits for its server as long as it takes; this script stops the players when
# the server has answered none of them 5 s after the last one started. When every player has
# ended it prints per player the commands it sent after the init (as its console trace
# shows them: a command sent after the server had ended, such as the last one after time
# over, is in this count and not in the server's), the send slots missed, its exit status
# and how it ended (match end, server silent, quit, no answer, refused, killed, failed,
# ended early, or "fatal: " and the player's own line when it ended on a fatal error), then
# one line on why the team ended.
#
# Exit status (the players' own is always 0):
#   0         the players heard time over (or reached the match's last cycle) and ended
#             normally, also when they were stopped after time over
#   130, 143  the team was stopped by Ctrl-C or SIGINT (130), SIGTERM (143) or SIGHUP (129)
#             before time over
#   1         the server refused the players, answered none of them, went silent or died
#             before time over, or a player was killed, failed, ended early or ended on a
#             fatal error (it prints one line, "Vorn: cannot ...", into its console.txt); a line on
#             standard error says which, such as "the server went silent at cycle 3012,
#             before time over" (a stop does not hide these)
#   2         a bad option
#
# The supervision stays in bash: the players are plain background jobs, each waited for by
# a shell of its own that writes its exit status into its folder, and the wait loop below
# notes a player as ended either from "wait -n" or, when bash reaped it during a trap, from
# that file; every round of the loop notes an ending or waits, so none can spin. A signal to
# the whole process group (a closed terminal, timeout, a service manager) ends the players
# and this script alike within seconds (docs/endings.md).
set -uo pipefail

here=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
source "$here/scripts/common.sh"
host=localhost port=6000 players=11 dir="" bin=$(binfolder)
answerwait=5 # seconds
matchend=6000 # the players end themselves from this cycle on

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
    [ -x "$bin/$p" ] || die "--bin: $bin/$p is missing; $(missinghint --bin)"
  done
  [ -z "$dir" ] || checkfolder --dir "$dir"
}

program() { if [ "$1" = 1 ]; then echo Vorng; else echo Vorn; fi; }

# calls: the referee's calls that the first player hears, from its console trace as it is
# written, told as the match goes: the kick-offs of the halves, every goal with the score, half
# time and time over. The server names sides, not teams: which side is vorn's follows the
# order in which the teams connected. grep passes each call on as soon as it is written, and
# the shell reads it line by line (awk would not do: mawk, Debian's default, reads its input
# in blocks, and the calls would come when the player ends).
calls() {
  trap '' INT
  LC_ALL=C
  tail -n +1 -f --pid="$1" "$2" 2>/dev/null | grep --line-buffered -a -F ' referee ' | {
    last="" halves=0 left=0 right=0
    heard='^in hear out\[0\]=hear ([0-9]+) referee ([a-z0-9_]+)'
    while IFS= read -r line; do
      [[ $line =~ $heard ]] || continue
      cycle=${BASH_REMATCH[1]} call=${BASH_REMATCH[2]}
      if [[ $call == kick_off_* ]] && [[ $last == "" || $last == before_kick_off ]]; then
        half="kick-off"
        [ $halves = 0 ] || half="kick-off of the second half"
        halves=$((halves + 1))
        echo "referee: $half at cycle $cycle"
      elif [[ $call =~ ^goal_([lr])_0*([0-9]+)$ ]]; then
        if [ "${BASH_REMATCH[1]}" = l ]; then
          left=${BASH_REMATCH[2]}
          echo "referee: goal for the left side at cycle $cycle: left $left : $right right"
        else
          right=${BASH_REMATCH[2]}
          echo "referee: goal for the right side at cycle $cycle: left $left : $right right"
        fi
      elif [ "$call" = half_time ]; then
        echo "referee: half time at cycle $cycle: left $left : $right right"
      elif [ "$call" = time_over ]; then
        echo "referee: time over at cycle $cycle: left $left : $right right"
      fi
      last=$call
    done
  }
}

# startplayers: one player after another (the server numbers players in the order their
# init arrives), each in its folder, reading a FIFO this script holds open read-write so
# that the player never meets the end of its input and "quit" can be typed to it later.
# initsent TRACE PID: waits until the player's trace shows its init (a player writes its trace
# out before it waits, so the init has gone by then), or it has ended, or 5 s have passed. On
# a busy machine a player started 0.2 s after another could send its init first and get the
# other's number: the next one starts only once this one's init is out.
initsent() {
  local i
  for i in $(seq 100); do
    [ $stopping = 0 ] && kill -0 "$2" 2>/dev/null || return 0
    LC_ALL=C grep -a -q -E '^in send buf \((init|reconnect) ' "$1" && return 0
    sleep 0.05
  done
}

pids=() inputs=() stopping=0 signalled="" noanswer=0 follower="" timer=""
declare -A ended=() how=()
startplayers() {
  local n folder fd word=players
  for n in $(seq 1 "$players"); do
    [ $stopping = 0 ] || break
    folder="$dir/player$n"
    mkdir -p "$folder" || die "cannot create the folder '$folder'"
    rm -f "$folder/input" "$folder/status"
    : >"$folder/console.txt" # there for the follower of the referee's calls from the start
    mkfifo "$folder/input" || die "cannot create the FIFO '$folder/input'"
    exec {fd}<>"$folder/input"
    # Ctrl-C in a terminal reaches every process in its foreground: the players ignore it,
    # and this script types them "quit". The player's exit status goes into its folder's
    # file status as it ends (the shell that waits for it outlives a SIGTERM or SIGHUP to
    # the whole group, which its player gets too): bash has been seen to lose the status of
    # a player it reaped (wait gives -1), and this script must tell a player that failed
    # from one that ended.
    (trap '' INT && trap : TERM HUP && cd "$folder" && { "$bin/$(program "$n")" "$host" "$port" <input \
      >console.txt 2>&1; echo $? >status; }) &
    pids+=($!) inputs+=("$fd")
    # A signal that came while this player was being started found it not yet in inputs.
    [ $stopping = 0 ] || echo quit >&"$fd"
    if [ "$n" = 1 ]; then
      calls "$!" "$folder/console.txt" &
      follower=$!
    fi
    initsent "$folder/console.txt" "${pids[-1]}"
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

# tally FOLDER: from the player's trace, four numbers: the commands it sent after its init;
# 1 when the server answered it (its trace shows a command after the init, which the init
# reply sets off, a line of the sense_body count, a referee's call, or the server's refusal
# or silence), else 0; the last cycle it knew of (from the sense_body count every 100
# cycles, what it heard and the commands it sent); 1 when it heard the referee's time over.
tally() {
  LC_ALL=C awk '
    function cycle(c) { c += 0; if (c > last && c < 1e9) last = c }
    /^in send buf / { init = ($4 ~ /^\(init/); if (!init) answered = 1 }
    /^(Turn [0-9-]+ Sent |send return 0$)/ && !init { sent++ }
    / still working turn |^in hear |^The server refused |^No message from the server / {
      answered = 1 }
    /^Turn [0-9]+ Sent / { cycle($2) }
    / still working turn [0-9]+ $/ { cycle($NF) }
    /^in hear out\[0\]=hear [0-9]+ / { cycle($4) }
    /^in hear out\[0\]=hear [0-9]+ referee time_over/ { over = 1 }
    END { printf "%d %d %d %d\n", sent, answered, last, over }' "$1/console.txt" 2>/dev/null ||
    echo "0 0 0 0"
}

# answered: how many players have had an answer from the server.
answered() {
  local n count=0 sent got last over
  for n in $(seq 1 "$players"); do
    read -r sent got last over <<<"$(tally "$dir/player$n")"
    count=$((count + got))
  done
  echo "$count"
}

# fatal N: the cause of player N's fatal error, from the one line the player prints last
# ("Vorn: cannot send to the server at ..."); nothing when it ended otherwise.
fatal() {
  tail -n 3 "$dir/player$1/console.txt" 2>/dev/null | LC_ALL=C sed -n "s/^$(program "$1"): //p" |
    tail -n 1
}

# ending N: why player N ended, from its exit status, its trace's last lines and its tally.
ending() {
  local n=$1 last signal cause
  last=$(tail -n 3 "$dir/player$n/console.txt" 2>/dev/null)
  signal=$(signalname "${ended[$n]:-}")
  if [ "$n" -gt ${#pids[@]} ]; then
    echo "not started"
  elif [ -n "$signal" ]; then
    echo "killed (SIG$signal)"
  elif [ "${ended[$n]:-}" = lost ]; then
    echo "ended, status lost"
  elif [ "${ended[$n]:-?}" != 0 ]; then
    echo "failed (status ${ended[$n]:-unknown})"
  elif cause=$(fatal "$n") && [ -n "$cause" ]; then
    echo "fatal: $cause"
  elif [[ $last == *"The server refused the player: "* ]]; then
    echo "refused"
  elif [[ $last == *"No message from the server for "* ]]; then
    echo "server silent"
  elif [ "${cycleof[$n]}" -ge $matchend ]; then
    echo "match end"
  elif [ $stopping = 1 ] && [ $noanswer = 1 ] && [ "${gotof[$n]}" = 0 ]; then
    echo "no answer"
  elif [ $stopping = 1 ]; then
    echo "quit"
  else
    echo "ended early at cycle ${cycleof[$n]}"
  fi
}

# report: the table of the players, and how each ended (kept in how, for why). Sets answers
# to the number of players the server answered, over to 1 when the match was played to its
# end (a player heard time over or reached the last cycle), and lastcycle to the last cycle
# any player knew of.
answers=0 over=0 lastcycle=0
declare -A gotof=() cycleof=()
report() {
  local n sent got cycle heard missed
  echo "vorn's players: commands sent after the init, send slots missed (Vorne.log), how each ended"
  printf '%-8s %-8s %8s %13s %7s  %s\n' player program commands "missed slots" status ending
  for n in $(seq 1 "$players"); do
    read -r sent got cycle heard <<<"$(tally "$dir/player$n")"
    gotof[$n]=$got cycleof[$n]=$cycle
    answers=$((answers + got))
    [ "$heard" = 0 ] || over=1
    [ "$cycle" -le "$lastcycle" ] || lastcycle=$cycle
    missed=$(grep -c -a '^Missed slot' "$dir/player$n/Vorne.log" 2>/dev/null)
    how[$n]=$(ending "$n")
    [ "${how[$n]}" != "match end" ] || over=1
    printf '%-8s %-8s %8s %13s %7s  %s\n' "$n" "$(program "$n")" "$sent" "${missed:-0}" \
      "${ended[$n]:--}" "${how[$n]}"
  done
}

# why: one line on how the team ended: whether the match was played to its end, and the
# players' endings with their counts.
why() {
  local endings text=""
  endings=$(printf '%s\n' "${how[@]}" | sort | uniq -c |
    awk '{ n = $1; $1 = ""; printf "%s%s (%d)", sep, substr($0, 2), n; sep = ", " }')
  [ $over = 0 ] || text="the match ended; "
  echo "team ended: ${text}players: $endings"
}

# stop [SIGNAL]: "quit" to every player started so far; the first signal that stopped the
# team is kept in signalled.
stop() {
  local fd
  stopping=1
  [ -n "$signalled" ] || signalled=${1:-}
  for fd in "${inputs[@]}"; do echo quit >&"$fd" 2>/dev/null; done
}

# waitplayers: until every player has ended, noting each one's exit status, then until the
# follower of the calls has ended with the first player. A signal breaks a wait off (its trap
# types "quit"); the waiting goes on. The timer is a plain sleep of this script's own, waited
# for beside the players: when it ends and no player has had an answer from the server, the
# players are stopped; when the players end first, it is ended and reaped, so that nothing of
# the script outlives it. "wait -n" knows only the jobs bash has not reaped yet: those that
# ended while a trap ran (a signal to the whole process group ends the players and the timer
# at once) are found gone and their statuses taken one by one (gone), so that every round of
# the loop either notes an ending or waits; none can spin.
waitplayers() {
  local n which status
  declare -A player=()
  for n in "${!pids[@]}"; do player[${pids[$n]}]=$((n + 1)); done
  sleep "$answerwait" &
  timer=$!
  while [ ${#player[@]} -gt 0 ]; do
    which=""
    wait -n -p which "${!player[@]}" ${timer:+"$timer"} 2>/dev/null
    status=$?
    if [ -n "${which:-}" ]; then
      ended "$which" "$status"
    elif ! gone && [ "$status" = 127 ]; then
      sleep 0.1 # nothing to wait for, and nothing gone: never seen, but never a spin either
    fi
  done
  [ -z "$timer" ] || { kill "$timer" && waitfor "$timer"; } 2>/dev/null
  [ -z "$follower" ] || waitfor "$follower"
}

# ended PID STATUS: the process PID of waitplayers ended with STATUS: a player, or the timer.
ended() {
  if [ "$1" = "$timer" ]; then
    timer=""
    [ $stopping = 1 ] || [ "$(answered)" != 0 ] || { noanswer=1 && stop; }
  else
    local n=${player[$1]} status=$2 own
    read -r own 2>/dev/null <"$dir/player$n/status" && [[ $own =~ ^[0-9]+$ ]] && status=$own
    ended[$n]=lost
    [[ ! $status =~ ^[0-9]+$ ]] || [ "$status" -gt 255 ] || ended[$n]=$status
    unset "player[$1]"
  fi
}

# gone: the processes of waitplayers that have ended and been reaped already, each noted with
# the status bash kept for it (wait PID gives it); fails when there was none.
gone() {
  local pid status found=1
  for pid in "${!player[@]}" $timer; do
    kill -0 "$pid" 2>/dev/null && continue
    wait "$pid" 2>/dev/null
    status=$?
    ended "$pid" "$status"
    found=0
  done
  return $found
}

# refusal: the server's words when it refused a player, else nothing. A refused player ends
# at once, so the words are among the last lines of its trace.
refusal() {
  tail -q -n 3 "$dir"/player*/console.txt 2>/dev/null |
    sed -n 's/^The server refused the player: //p' | head -n 1
}

# verdict: a line on standard error for every way the team failed, and the exit status:
# 1 after any of them; else the signal's when the team was stopped before time over, and
# 1 when the server went silent before it; else 0.
verdict() {
  local refused bad status=0
  refused=$(refusal)
  if [ -n "$refused" ]; then
    echo "$prog: the server at $host:$port refused the players: $refused" >&2
    status=1
  fi
  # Players that ended on a fatal error before the server could answer are no sign of a
  # missing server: their own lines say why.
  if [ "$answers" = 0 ] && { [ $noanswer = 1 ] || [ -z "$signalled" ]; } &&
    ! printf '%s\n' "${how[@]}" | grep -q '^fatal: '; then
    echo "$prog: no player got an answer from $host:$port: is a server running there?" >&2
    status=1
  fi
  bad=$(printf '%s\n' "${how[@]}" | grep -c -e '^killed' -e '^failed' -e '^ended early' -e '^ended, status lost')
  if [ "$bad" != 0 ]; then
    echo "$prog: players killed or failed: $bad (see the table)" >&2
    status=1
  fi
  local n
  for n in $(seq 1 "$players"); do
    [[ ${how[$n]} != "fatal: "* ]] || {
      echo "$prog: player $n ($(program "$n")) ended on a fatal error: ${how[$n]#fatal: }" >&2
      status=1
    }
  done
  if [ $status = 0 ] && [ $over = 0 ]; then
    if [ -n "$signalled" ]; then
      status=$((128 + $(kill -l "$signalled")))
    elif printf '%s\n' "${how[@]}" | grep -q -x 'server silent'; then
      echo "$prog: the server went silent at cycle $lastcycle, before time over" >&2
      status=1
    fi
  fi
  return $status
}

parseoptions "$@"
checkoptions
bin=$(cd "$bin" && pwd) # each player starts in its own folder
dir=$(workfolder "$dir" vorn-team) || exit 2
trap 'stop INT' INT
trap 'stop TERM' TERM
trap 'stop HUP' HUP
# Leaving early (a folder that cannot be made): the players started so far are told to quit
# and waited for, with the follower.
trap 'stop; wait 2>/dev/null' EXIT
startplayers
waitplayers
report
why
verdict
