#!/usr/bin/env bash
# Runs a match of vorn: starts the server (pitch, or the real simulation server) on free
# ports, then the two teams one after the other, the one that is to play left first (the
# first team to connect plays left), each once the one before it has joined; shows the
# server's progress, tells every player to quit when the time is over, ends the opponent,
# and reports: the server's summary (pitch's: score, commands per player, timing of commands
# after sense_body), per player of vorn the commands sent and send slots missed, the
# send-slot figures (scripts/slots.py, also as slots.json: their timing from pitch's record,
# on the real server the slots missed from the players' Vorne.log), the match's figures from
# the game log (scripts/figures.py, also as figures.json), the replay page (replay.html,
# scripts/replay.py) and the result: the score, the sides and the opponent's name, read from
# the server's game log. These files lie next to the record (in the match folder on the real
# server). Every option is checked before anything starts.
#
# A match stopped early (Ctrl-C, SIGTERM or SIGHUP to this script, to its process group or to
# the server) is reported as played so far, with a last line "the match was stopped at cycle
# N of M" and the exit status 130 after Ctrl-C (143 after SIGTERM, 129 after SIGHUP); when
# the server fails (killed, say) the last line says so, the players are told to quit, and the
# status is the server's; the real server, which ends with 0 however it is stopped, ending
# before time over is said so ("the real server ended at cycle N before time over"), status
# 1. A team of vorn that ends before time over ends the match: "the team
# ended at cycle N before time over (how its players ended)", status 1. A player killed or
# failed, a team or server that does not start (the line says what was awaited, for how long,
# and the last line seen; a start-up is awaited as long as it runs, up to 120 s), or a report
# that cannot be made, gives status 1 with a line saying so. An opponent that never connects,
# that the server refuses (said as soon as the server says it), that ends or whose players
# leave before time over makes the match invalid: a line "match.sh: the match is invalid:
# REASON" and status 3. Nothing is left running: every process ends within 15 s of a signal.
#
# Everything the runner says, on both streams, is also kept in report.txt in the match
# folder. When its output is a pipe whose reader has gone ("| head", or a "| tee" ended by
# Ctrl-C), the match is stopped as Ctrl-C stops it, the report still goes to report.txt and
# the other files, and the exit status is 141 (130 after Ctrl-C). A folder that holds a
# match already is refused, also when two runners are given it at once: one of them plays.
#
#   scripts/match.sh [--cycles N] [--opponent chasers|none|vorn:DIR|COMMAND]
#                    [--side left|right] [--server pitch|PATH] [--connect-wait S]
#                    [--players N] [--seed N] [--pitch DIR] [--record FILE] [--dir D]
#                    [--no-noise] [--live] [--check]
#
#   --cycles N      length of the match in cycles of 100 ms, 1 to 1000000 (default 6000; a
#                   multiple of 20 on the real server). Pauses come on top: on pitch about
#                   4 s before kick-off, 10 s at half time, 5 s after every goal; 600 cycles
#                   take about 1.7 minutes, 6000 about 12.5
#   --opponent X    "chasers" (default): pitch's built-in team; "none": the other side stays
#                   empty; "vorn:DIR": the vorn build in DIR (its Vorn and Vorng), on pitch,
#                   which names it vorn-b in its logs; anything else is a command that starts
#                   a whole team, with {host} and {port} put in, run by /bin/sh in the match
#                   folder ('/home/me/team/start.sh -h {host} -p {port}'); its output goes to
#                   opponent.txt, and at the end what is left of its session is ended
#   --side S        vorn's side, left (default) or right (the opponent then plays left)
#   --server S      "pitch" (default), or the path of the real simulation server's program
#                   (rcssserver, options as server::NAME=VALUE), run with ports, logs and a
#                   home folder (server/) of the match's own, its output in server.txt
#   --connect-wait S  seconds the opponent has to connect once started, 1 to 600 (default
#                   30); one that has not joined by then makes the match invalid
#   --players N     players of vorn, 1 to 11 (default 11)
#   --seed N        the seed of pitch's random source, 0 to 999999999 (default a fresh one,
#                   drawn at the start and printed): the same seed, the same noise. The real
#                   server seeds itself from its clock and takes none
#   --pitch DIR     the folder of the pitch to play on (default the folder of Vorn and
#                   Vorng: build/bin, the installed programs, or $VORN_BIN); --check looks
#                   for pitch there
#   --record FILE   pitch's match record, JSON lines (default match.jsonl in the match folder)
#   --dir D         the match folder: the runner's report (report.txt), the server's
#                   output (pitch.txt), the team's report (team.txt), the game log
#                   (match.rcg) with the text log beside it (match.rcl) and one folder per
#                   player; it must not hold a match already
#                   (default a new folder /tmp/vorn-match.*, or under $TMPDIR when set)
#   --no-noise      exact physics, no random noise (pitch only)
#   --live          watch it in a browser: starts scripts/live.py beside the server and
#                   prints the page's address (http://127.0.0.1:PORT/, a free port); its
#                   output goes to live.txt in the match folder; it ends with the match
#   --check         check the options and exit: start nothing, create nothing
set -uo pipefail

here=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
source "$here/scripts/common.sh"
source "$here/scripts/servers.sh"
source "$here/scripts/opponents.sh"
bin=$(binfolder)
side=left # vorn's side
cycles=6000 opponent=chasers players=11 record="" dir="" noise="" checkonly=0 live=0 liveview=""
seed="" pitchdir=$bin serverpath=pitch connectwait=30
server="" team="" follower="" events="" seen=0 status=0 overtold="" invalid="" refused="" serverdone="" sidegone=""
early="" teamkilled=""
gone="" oppwatch=0
declare -A sidename=() sidejoins=([left]=0 [right]=0)

# The options, as parseoptions (scripts/common.sh) reads them.
declare -A optiontable=([--cycles]=cycles [--opponent]=opponent [--side]=side
  [--server]=serverpath [--connect-wait]=connectwait [--players]=players [--seed]=seed
  [--pitch]=pitchdir [--record]=record [--dir]=dir [--no-noise]=noise=--no-noise
  [--live]=live=1 [--check]=checkonly=1)

checkoptions() {
  checkcount --cycles "$cycles" 1 1000000
  case "$side" in
    left | right) ;;
    *) die "--side must be left or right, not '$side'" ;;
  esac
  checkcount --connect-wait "$connectwait" 1 600
  checkcount --players "$players" 1 11
  checkseed --seed "$seed"
  [ -z "$record" ] || checkfile --record "$record"
  if [ -n "$dir" ]; then
    checkfolder --dir "$dir"
    ! holdsmatch "$dir" || die "--dir '$dir' holds a match already; give another folder"
  fi
  oppkind=$(oppkind "$opponent")
  serverkind=$(serverkind "$serverpath")
  oppcheck "$opponent" "$serverkind" "$side" "$players"
  opponent=$(oppresolve "$opponent" "$PWD")
  "${serverkind}_check" "$cycles" "$seed" "$noise" "$record"
  [ "$serverkind" != pitch ] || [ -z "${given[--pitch]:-}" ] || [ -x "$pitchdir/pitch" ] ||
    die "--pitch: $pitchdir/pitch is missing"
}

# holdsmatch DIR: whether the folder DIR holds a match: this runner's report, or what a
# server, a team or an older runner left there.
holdsmatch() {
  local f
  for f in report.txt pitch.txt server.txt team.txt match.rcg match.jsonl; do
    [ ! -e "$1/$f" ] || return 0
  done
  return 1
}

# present: vorn's programs and the server's are there, else a line that says what is
# missing (status 1, when the match starts: run.sh checks the options before it builds).
present() {
  local p
  for p in Vorng Vorn; do
    [ -x "$bin/$p" ] || { warn "$prog: $bin/$p is missing; $(missinghint)"; return 1; }
  done
  "${serverkind}_present"
}

# makefolders: the match folder and the record's folder, as absolute paths. The folder is
# claimed by creating its report.txt, which fails when the file is there: of two runners
# given one folder at once, one plays and the other is refused. From then on every line said
# is kept there.
makefolders() {
  local given=$dir
  dir=$(workfolder "$dir" vorn-match) || exit 2
  (set -C && : >"$dir/report.txt") 2>/dev/null ||
    die "--dir '$given' holds a match already; give another folder"
  keep=$dir/report.txt
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

# followserver: the server's output ($serverout) followed on the descriptor events, until it
# ends; an earlier server's follower (one that did not start) is let go.
followserver() {
  [ -z "$events" ] || exec {events}<&-
  [ -z "$follower" ] || kill "$follower" 2>/dev/null
  exec {events}< <(follow "$serverout" "$server")
  follower=$! seen=0 pending=""
}

# nextline SECONDS NAME: the server's next line into NAME, within SECONDS (whole ones), or
# for as long as it takes when SECONDS is empty. Fails with status 1 when the output ended,
# above 128 when none came in time or a signal came (interrupted says so). A wait with a
# time is made of reads of a second at most: bash reaps a child that has ended (a server that
# failed; tail follows its output until then) only between them. A line that comes in pieces
# (a busy machine) is put together: what a read cut off keeps waits in pending for the rest.
pending="" # the start of a line that a read's timeout or a signal cut off
nextline() {
  local got part end=$((${EPOCHREALTIME/./} + ${1:-0} * 1000000))
  while :; do
    part=""
    if [ -z "$1" ]; then
      IFS= read -r -u "$events" part
    else
      IFS= read -r -t 1 -u "$events" part
    fi
    got=$?
    pending+=$part # a read cut off keeps what it had of the line: the rest comes next
    [ $got -gt 128 ] && [ -z "$interrupted" ] && { [ -z "$1" ] || ((${EPOCHREALTIME/./} < end)); } ||
      break
  done
  [ $got = 0 ] || return $got
  printf -v "$2" '%s' "$pending"
  pending=""
  seen=$((seen + 1))
}

# A start-up (the server's, the team's) is awaited as long as it lives and has not yet said
# it has started, up to startbound seconds: a loaded machine may take long, and a fixed
# short wait blamed the server that did start. What failed is said with what was awaited,
# for how long, and the last line seen.
startbound=120
# startclock: a start-up begins.
startclock() { startbegan=${EPOCHREALTIME/./} startwhy=""; }
# startsince: the whole seconds since the start-up began.
startsince() { echo $(((${EPOCHREALTIME/./} - startbegan) / 1000000)); }

# startline NAME: the server's next line into NAME within the start-up's bound; fails when
# its output ended (it ended), the bound passed or a signal came, noted in startwhy.
startline() {
  local left got
  left=$((startbound - $(startsince)))
  ((left > 0)) || { startwhy=bound && return 1; }
  nextline "$left" "$1"
  got=$?
  case $got in
    0) return 0 ;;
    1) startwhy=ended ;;
    *) startwhy=bound && [ -z "$interrupted" ] || startwhy=signal ;;
  esac
  return 1
}

# startfailure NAME AWAITED PID FILE: why the start-up of NAME (process PID, output FILE)
# failed, into startfailed; reaps PID when it ended.
startfailure() {
  local last
  last=$(tail -n 1 "$4" 2>/dev/null | cut -c 1-200)
  if [ -n "$last" ]; then last="its last line: $last"; else last="it printed nothing"; fi
  case $startwhy in
    bound) startfailed="$2 was awaited for $(startsince) s, and $1 was still running; $last" ;;
    signal) startfailed="stopped while $2 was awaited ($(startsince) s); $last" ;;
    *)
      waitfor "$3" 2>/dev/null
      startfailed="$1 ended with status $waited after $(startsince) s, before $2; $last"
      ;;
  esac
}

# take LINE: one of the server's lines: a player that joined is noted by side (the first
# team to come plays left when the line does not say), the time over tells the players to
# quit (start-team.sh types "quit" on SIGTERM) and the opponent to end, while the server still
# listens, so that it receives and counts every command they send; the rest is shown.
take() {
  local joined where name unum
  if joined=$("${serverkind}_joined" "$1"); then
    read -r where name unum <<<"$joined"
    if [ "$where" = - ]; then
      where=left
      [ -z "${sidename[left]:-}" ] || [ "${sidename[left]}" = "$name" ] || where=right
    fi
    sidename[$where]=$name
    sidejoins[$where]=$((${sidejoins[$where]} + 1))
  elif "${serverkind}_timeover" "$1"; then
    overtold=1
    [ -z "$team" ] || kill -TERM "$team" 2>/dev/null
    "opp_${oppkind}_stop"
  fi
  "${serverkind}_show" "$1"
}

# awaitjoins SIDE COUNT SECONDS PROGRESS LIVES: the server's lines taken until COUNT
# players have joined on SIDE; fails when SECONDS passed first (with PROGRESS "progress":
# SECONDS since the last of them joined, and startbound in all), when the server's output
# ended (serverdone says so), on a signal, as soon as the server refused a player (refused
# says why), or once a second the command LIVES fails: the team that was to join has ended
# (sidegone says so).
awaitjoins() {
  local line left why got joins=${sidejoins[$1]} now=${EPOCHREALTIME/./}
  local end=$((now + $3 * 1000000)) bound=$((now + startbound * 1000000))
  sidegone="" serverdone=""
  while [ "${sidejoins[$1]}" -lt "$2" ]; do
    left=$(((end - ${EPOCHREALTIME/./} + 999999) / 1000000))
    ((left > 0)) || return 1
    nextline 1 line
    got=$?
    if [ $got != 0 ]; then
      [ $got -gt 128 ] || { serverdone=1 && return 1; }
      [ -z "$interrupted" ] || return 1
      $5 || { sidegone=1 && return 1; }
      continue
    fi
    if why=$(refusedline "$line"); then
      refused=$why
      return 1
    fi
    take "$line"
    if [ -n "${4:-}" ] && [ "${sidejoins[$1]}" != "$joins" ]; then
      joins=${sidejoins[$1]} end=$((${EPOCHREALTIME/./} + $3 * 1000000))
      ((end < bound)) || end=$bound
    fi
  done
}

# teamlives, opplives: whether vorn's team (its starter) or the opponent (its first process,
# else, looked at every fifth time, what is left of its session) still runs.
teamlives() { kill -0 "$team" 2>/dev/null; }
opplives() { kill -0 "$opppid" 2>/dev/null || ((++oppwatch % 5 != 1)) || oppalive; }

# refusedline LINE: the reason, when the server's line LINE says that it refused a player.
refusedline() { declare -F "${serverkind}_refused" >/dev/null && "${serverkind}_refused" "$1"; }

# startserver: the server on free ports, its output followed; a server that does not start
# ends the match with status 1.
startserver() {
  if ! "${serverkind}_start"; then
    [ -z "$interrupted" ] || quit # stopped while the server was starting
    warn "$prog: $startproblem"
    exit 1
  fi
  # A signal that came while the server was being started found none to stop.
  [ -z "$interrupted" ] || stopforsignal
}

# startlive: the live page (scripts/live.py) watching the server on a free local port;
# prints its address. A live page that does not start is said, and the match goes on
# without it.
startlive() {
  local line url
  : >"$dir/live.txt"
  python3 "$here/scripts/live.py" --port "$port" --listen 127.0.0.1:0 --with-parent \
    >"$dir/live.txt" 2>&1 &
  liveview=$!
  exec {liveout}< <(follow "$dir/live.txt" "$liveview")
  if read -r -t 10 -u "$liveout" line && [[ $line == "live: the page is at "* ]]; then
    url=${line#live: the page is at }
    say "live page: ${url%% *} (watch the match in a browser)"
  else
    warn "$prog: the live page did not start (see $dir/live.txt)"
  fi
  exec {liveout}<&-
}

# startteam: vorn against the server, its report going to team.txt; shows the team's start
# line once every player has started and joined, or the team's refusal when it ended instead.
startteam() {
  : >"$dir/team.txt"
  # Each child of the runner gets SIGTERM should the runner be killed (setpriv --pdeathsig):
  # the team then types "quit" to its players, and the server ends. A job started with &
  # ignores SIGINT, which bash cannot trap then: the team gets it back (env), so that Ctrl-C
  # or SIGINT to it alone stops its players as its help says.
  setpriv --pdeathsig TERM env --default-signal=INT "$here/scripts/start-team.sh" \
    --host 127.0.0.1 --port "$port" \
    --players "$players" --dir "$dir" --bin "$bin" >"$dir/team.txt" 2>&1 &
  team=$!
  local line started="" reader
  exec {teamout}< <(follow "$dir/team.txt" "$team")
  reader=$!
  local why="" last
  startclock
  while read -r -u "$teamout" line; do
    case $line in "team started"*) started=$line && break ;; esac
  done
  exec {teamout}<&-
  kill "$reader" 2>/dev/null
  if [ -z "$started" ]; then
    waitfor "$team" 2>/dev/null
    why="start-team.sh ended with status $waited after $(startsince) s, before it said"
    why+=" 'team started'"
  elif ! awaitjoins "$side" "$players" "$connectwait" progress teamlives; then
    started=""
    if [ -n "$refused" ]; then
      why="the server refused a player of it: $refused"
    elif [ -n "$sidegone" ]; then
      why="start-team.sh ended after $(startsince) s, when ${sidejoins[$side]} of its $players"
      why+=" players had joined"
    else
      why="${sidejoins[$side]} of its $players players joined in $(startsince) s (awaited"
      why+=" up to $connectwait s after each join)"
    fi
  fi
  if [ -z "$started" ]; then
    [ -z "$interrupted" ] || quit
    kill -TERM "$team" 2>/dev/null
    waitfor "$team" 2>/dev/null
    team=""
    # A starter that was killed has not told the players it started to quit.
    quitplayers
    serverended
    last=$(grep -v '^ *$' "$dir/team.txt" | tail -n 1 | cut -c 1-200)
    warn "$prog: the team did not start: $why; the last line of team.txt: ${last:-none}"
    warn "$(cat "$dir/team.txt")"
    exit 1
  fi
  say "$started"
}

# serverended: when the server has ended as a team joined (stopped or killed), the match ends
# as it did: the server's last lines taken, its ending said, its status.
serverended() {
  # A signal to the whole group ends the server too: then the match was stopped.
  [ -n "$serverdone" ] && [ -z "$interrupted" ] || return 0
  followmatch
  if [ "$status" = 0 ]; then # the real server ends so however it is stopped
    warn "$prog: $("${serverkind}_name") ended as the players joined, before the match (exit" \
      "status 0)"
    exit 1
  fi
  warn "$(ending)"
  quit
}

# startopponent: the opponent, once its side is free; the match is invalid when it has not
# joined within --connect-wait seconds. Sets its side's name.
startopponent() {
  local where=left needed
  [ "$side" = right ] || where=right
  needed=$("opp_${oppkind}_joins")
  [ "$needed" != 0 ] || return 0
  "opp_${oppkind}_start" "$opponent" "$port" "$dir"
  if awaitjoins "$where" "$needed" "$connectwait" "" opplives; then
    say "opponent ${sidename[$where]} joined on the $where (its output: $dir/opponent.txt)"
    return 0
  fi
  serverended
  if [ -n "$refused" ]; then
    invalid="the opponent was refused: $refused"
    [[ $refused != "pitch serves protocol 6 only"* ]] ||
      invalid+="; play on the real server with --server PATH"
  elif [ -n "$sidegone" ]; then
    invalid="the opponent ended before it joined: ${sidejoins[$where]} of its $needed players"
    invalid+=" had joined (its output: opponent.txt)"
  elif [ -z "$interrupted" ]; then
    invalid="the opponent never connected: "
    if [ "${sidejoins[$where]}" = 0 ]; then
      invalid+="no player of it joined within $connectwait s of its start"
    else
      invalid+="${sidejoins[$where]} of its $needed players joined within $connectwait s"
    fi
    invalid+=" (its output: opponent.txt)"
  fi
}

# startsides: the team that is to play left first, then the other, each once the one before
# has joined.
startsides() {
  [ -z "$interrupted" ] || return 0
  if [ "$side" = right ]; then
    startopponent
    [ -n "$invalid$interrupted" ] || startteam
  else
    startteam
    [ -n "$interrupted" ] || startopponent
  fi
}

# followmatch: the server's lines as they come (pitch's: a progress line every 100 cycles,
# then the summary) until the server ends; sets status to its exit status. A signal to this
# script breaks a read off; the loop goes on until the output ends. Lines the follower did not
# deliver (it ended early) are taken from the file at the end.
followmatch() {
  local line got
  while :; do
    nextline 1 line
    got=$?
    if [ $got = 0 ]; then
      take "$line"
    elif [ $got -le 128 ]; then
      break
    fi
    watchsides
    overdue
  done
  waitfor "$server" 2>/dev/null # its own lines say how it ended, not the shell's notice
  status=$waited
  server=""
  exec {events}<&-
  follower="" events=""
  while IFS= read -r line; do take "$line"; done < <(tail -n +$((seen + 1)) "$serverout")
}

# stopserver SIGNAL: the server told to stop; from the first time on, it has serverbound
# seconds to end (overdue).
serverbound=10 stoppedat=""
stopserver() {
  [ -n "$server" ] || return 0
  kill "-$1" "$server" 2>/dev/null
  [ -n "$stoppedat" ] || stoppedat=${EPOCHREALTIME/./}
}

# overdue: a server told to stop that still runs serverbound seconds later is killed (the
# real server has been seen to hang after it saved its results).
overdue() {
  [ -n "$stoppedat" ] && running "$server" || return 0
  ((${EPOCHREALTIME/./} - stoppedat >= serverbound * 1000000)) || return 0
  warn "$prog: $("${serverkind}_name") did not end within $serverbound s of its stop: killed"
  kill -KILL "$server" 2>/dev/null
  stoppedat=""
}

# endserver: the server stopped and waited for, killed when overdue.
endserver() {
  stopserver TERM
  while [ -n "$stoppedat" ] && running "$server"; do
    sleep 0.2
    overdue
  done
  waitfor "$server" 2>/dev/null
}

# running PID: whether the process PID runs (a zombie, ended but not yet waited for, does not).
running() {
  local stat
  [ -n "$1" ] && stat=$(<"/proc/$1/stat") 2>/dev/null && [[ ! $stat =~ \)\ Z ]]
}

# watchsides: once a second during the match, whether a team has ended before time over:
# vorn's team (its starter ended) or the opponent (nothing of its session is left; its first
# process is looked at every second, the whole session, a scan of /proc, every fifth). Then
# the server is stopped: there is no match left to play.
watchsides() {
  [ -z "$overtold$gone$invalid$interrupted" ] || return 0
  if [ -n "$team" ] && ! kill -0 "$team" 2>/dev/null; then
    gone=team
  elif [ -n "$opppid" ] && [ "$("opp_${oppkind}_joins")" != 0 ] &&
    ! opplives; then
    gone=opponent
  fi
  [ -z "$gone" ] || stopserver TERM
}

# goneline: the line on a team that ended before time over, at the cycle the match got to:
# vorn's with how its players ended (the team's last line), the opponent's with its output.
goneline() {
  local cycle how
  cycle=$(played)
  cycle=${cycle#cycle } cycle=${cycle%% *}
  if [ "$gone" = team ]; then
    how=$(sed -n 's/^team ended: \(the match ended; \)\{0,1\}players: //p' "$dir/team.txt" |
      tail -n 1)
    echo "the team ended at cycle $cycle before time over (${how:-its players: unknown})"
  else
    echo "the opponent ended at cycle $cycle before time over (its output: opponent.txt)"
  fi
}

# quitplayers: "quit" typed to each of vorn's players through its FIFO, as start-team.sh types
# it: a starter that was killed has not, and its players would play on until the server had
# been silent for 10 s. Opened read-write, a FIFO takes the line at once also when its player
# has gone.
quitplayers() {
  local fifo fd
  for fifo in "$dir"/player*/input; do
    [ -p "$fifo" ] || continue
    exec {fd}<>"$fifo" && { echo quit >&"$fd"; exec {fd}>&-; }
  done 2>/dev/null
}

# stopteam: "quit" to every player (start-team.sh types it on SIGTERM) if not done yet, then
# the team's table without its start, and without the referee's calls when the server's own
# lines told the match's progress; sets teamstatus to start-team's exit status. The opponent
# is ended too.
stopteam() {
  if [ -n "$team" ]; then
    kill -TERM "$team" 2>/dev/null
    waitfor "$team" 2>/dev/null
    teamstatus=$waited
    team=""
    # Killed (by a signal it does not take as a stop, as it takes SIGINT, SIGTERM and
    # SIGHUP): the team failed, its table of the players lost.
    case $teamstatus in
      129 | 130 | 143) ;;
      1[3-9][0-9] | 2[0-5][0-9]) teamkilled=$(signalname "$teamstatus") ;;
    esac
    [ -z "$teamkilled" ] || quitplayers
    say ""
    if "${serverkind}_progress"; then
      shown grep -v -e '^team started' -e '^referee: ' "$dir/team.txt"
    else
      shown grep -v -e '^team started' "$dir/team.txt"
    fi
  fi
  "opp_${oppkind}_stop"
  oppend
}

# gamelogplayed: whether the game log holds a step of play (it starts at the kick-off).
gamelogplayed() { grep -q -m 1 '^(show ' "$dir/match.rcg" 2>/dev/null; }

# report: the send-slot figures (from pitch's record: vorn's commands only; on the real
# server the slots missed from Vorne.log), the match's figures (figures.json, from the game
# log: the record has no commands of the chasers), the replay page with them; all next to the
# record, made in one Python process (scripts/report.py: a start can take seconds on a loaded
# machine). Sets reportfailed when one cannot be made; a file whose maker failed (a full
# disk, say) is removed rather than left half written.
reportfailed=""
report() {
  local args=()
  say ""
  if ! "${serverkind}_record"; then
    args=(--logs "$dir"/player*/Vorne.log)
  elif [ -f "$record" ]; then
    args=(--record "$record" --side "${side:0:1}")
  else
    warn "$prog: the record $record is not a file: no send-slot figures"
    reportfailed=1
  fi
  if gamelogplayed; then
    args+=(--gamelog "$dir/match.rcg")
    if ! "${serverkind}_record"; then
      args+=(--replay "$dir/match.rcg")
    elif [ -f "$record" ]; then
      args+=(--replay "$record")
    fi
  fi
  [ ${#args[@]} = 0 ] ||
    shown python3 "$here/scripts/report.py" "$(dirname "$record")" "${args[@]}" ||
    reportfailed=1
}

# pitchend: pitch's own last word on the match, read once the server has ended (one Python
# start, scripts/vornkit/matchfolder.py): its summary ("pitch: match over at cycle N" or
# "pitch: match stopped at cycle N of M", then "score: LEFT L : R RIGHT") as "N L R LEFT
# RIGHT" in pitchsummary, nothing when it printed none (killed) or on the real server; why its
# game log ends early in pitchcut (it could not be written to the end: a full disk), nothing
# when it was written whole.
pitchsummary="" pitchcut=""
pitchend() {
  "${serverkind}_record" || return 0
  { read -r pitchsummary; read -r pitchcut; } <<<"$(matchfolder pitchend "$dir")"
}

# matchfolder WHAT ARGS...: what the match's files tell (scripts/vornkit/matchfolder.py).
matchfolder() { python3 "$here/scripts/vornkit/matchfolder.py" "$@" 2>/dev/null; }

# result: the score, the sides and the opponent's name from the game log, and whether the
# opponent stayed to the end; an opponent that left makes the match invalid. A game log that
# pitch could not write to the end tells no result: the line says so and gives pitch's own.
result() {
  local line check=() cycle left right leftname rightname
  [ -z "$invalid" ] || return 0
  gamelogplayed || return 0
  if [ -n "$pitchcut" ]; then
    reportfailed=1
    read -r cycle left right leftname rightname <<<"$pitchsummary"
    line="result: none from the game log, which is incomplete (pitch: $pitchcut)"
    [ -z "$cycle" ] ||
      line+="; pitch's summary: $leftname $left : $right $rightname at cycle $cycle"
    warn "$line"
    return 0
  fi
  [ "$("opp_${oppkind}_joins")" = 0 ] || check=(--opponent-stays)
  line=$(python3 "$here/scripts/outcome.py" "$dir/match.rcg" --side "$side" "${check[@]}")
  case $? in
    0) say "$line" ;;
    3) invalid=${line#invalid: } ;;
    *) reportfailed=1 ;;
  esac
}

# played: the cycle and score the match got to, as "cycle N of M (score L : R)": from pitch's
# summary; when there is none, from the last step the server logged (pitch's record has
# them from its first step).
played() {
  local cycle left right
  read -r cycle left right _ <<<"$pitchsummary"
  [ -n "$cycle" ] || read -r cycle left right <<<"$(lastlogged)"
  if [ -n "$cycle" ]; then
    echo "cycle $cycle of $cycles (score $left : $right)"
  else
    echo "cycle ? of $cycles"
  fi
}

# lastlogged: the cycle and score of the last step the server logged, as "N L R".
lastlogged() {
  if "${serverkind}_record"; then
    [ ! -f "$record" ] || matchfolder last --record "$record"
  else
    matchfolder last --gamelog "$dir/match.rcg"
  fi
}

# ending: a match that did not end at time over, said in one line: stopped by a signal (to
# this script or to the server), by the runner when its output was closed, or the server
# failed.
ending() {
  local signal name
  name=$("${serverkind}_name")
  signal=$(signalname "$status")
  # Stopped by this script: the signal it had (the real server ends with 0 however stopped).
  [ -z "$interrupted" ] || signal=$interrupted
  case $signal in
    PIPE) echo "$prog: the match was stopped (its output was closed) at $(played)" ;;
    INT|TERM|HUP) echo "$prog: the match was stopped (SIG$signal) at $(played)" ;;
    ?*) echo "$prog: $name failed (killed by SIG$signal) at $(played)" ;;
    *) echo "$prog: $name failed (exit status $status) at $(played)" ;;
  esac
}

# Ctrl-C or SIGTERM ends the match early: the server prints its summary, the team its table,
# and the script ends with the signal's status. An output whose reader has gone stops it as
# Ctrl-C does (PIPE: the server is sent SIGINT), unless a signal came first.
interrupted=""
interrupt() {
  [ "$1" != PIPE ] || [ -z "$interrupted" ] || return 0
  # One signal may come twice: to the whole group and from series-match.sh, which passes on
  # what it gets. The server has it already.
  [ "$1" != "$interrupted" ] || return 0
  interrupted=$1
  stopforsignal
}

# stopforsignal: the server told to stop as the signal in interrupted asks: SIGINT for
# SIGINT and a closed output, else SIGTERM (the servers end on INT and TERM).
stopforsignal() {
  case $interrupted in
    INT | PIPE) stopserver INT ;;
    *) stopserver TERM ;;
  esac
}
outputclosed() { interrupt PIPE; }

# quit: the exit status of the ending: the signal's when one stopped the match (130 after
# Ctrl-C), 141 when the output was closed, 3 for an invalid match, else the server's when it
# failed or was stopped, else the team's.
quit() {
  case $interrupted in
    INT) exit 130 ;;
    TERM) exit 143 ;;
    HUP) exit 129 ;;
    PIPE) exit 141 ;;
  esac
  [ -z "$invalid" ] || exit 3
  [ -z "$gone$early$teamkilled" ] || exit 1
  [ "$status" = 0 ] || exit "$status"
  [ -z "$reportfailed" ] || exit 1
  # The team stopped at the time over is stopped at the end of the match, also when its
  # players quit before they heard the referee say so.
  [ -z "$overtold" ] || [ "${teamstatus:-0}" != 143 ] || teamstatus=0
  exit "${teamstatus:-0}"
}

cleanup() {
  [ -z "$liveview" ] || kill -TERM "$liveview" 2>/dev/null
  [ -z "$server" ] || endserver
  [ -z "$follower" ] || kill "$follower" 2>/dev/null
  [ -z "$team" ] || { kill -TERM "$team" 2>/dev/null && wait "$team" 2>/dev/null; }
  # The opponent's session, and its first process itself: one still starting has no
  # session of its own yet.
  [ -z "$opppid" ] || { kill -TERM -- "-$opppid" "$opppid"; oppend; } 2>/dev/null
}

trap : PIPE
parseoptions "$@"
checkoptions
[ "$checkonly" = 0 ] || exit 0
present || exit 1
# A fresh seed (scripts/common.sh) for a server that takes one.
[ -n "$seed" ] || ! "${serverkind}_seeded" || seed=$(freshseed)
# The server kicks off by itself once every player has come, at the latest this long after
# its start: time for both teams to start and the opponent's wait.
kickoffafter=$("opp_${oppkind}_kickoff" "$connectwait")
makefolders
trap cleanup EXIT
trap 'interrupt INT' INT
trap 'interrupt TERM' TERM
trap 'interrupt HUP' HUP
startserver
[ "$live" = 0 ] || startlive
startsides
if [ -n "$invalid" ]; then
  stopserver TERM # no match to play
  echo "$invalid" >"$dir/invalid.txt"
fi
followmatch
pitchend
# A server that ended by itself before time over: the real server ends with 0 however it
# was stopped.
[ -n "$overtold$interrupted$gone$invalid" ] || [ "$status" != 0 ] || early=1
stopteam
[ "$gone" != opponent ] || [ -n "$invalid" ] || invalid=$(goneline)
report
result
"${serverkind}_record" && say "record: $record" || say "game log: $dir/match.rcg"
if [ -n "$invalid" ]; then
  echo "$invalid" >"$dir/invalid.txt"
  warn "$prog: the match is invalid: $invalid"
elif [ "$gone" = team ]; then
  warn "$prog: $(goneline)"
elif [ -n "$teamkilled" ]; then
  warn "$prog: start-team.sh was killed (SIG$teamkilled): the table of the players is lost"
elif [ -n "$early" ]; then
  servername=$("${serverkind}_name")
  warn "$prog: $servername ended at $(played) before time over (exit status 0)"
elif [ "$status" != 0 ] || { [ -n "$interrupted" ] && [ -z "$overtold" ]; }; then
  warn "$(ending)"
fi
if [ -n "$reportfailed" ]; then
  if [ "$interrupted" = INT ] || [ "$interrupted" = TERM ] || [ "$interrupted" = HUP ]; then
    warn "$prog: the report was stopped (SIG$interrupted) before it was complete"
  else
    warn "$prog: the send-slot figures, the match's figures, the replay page or the result" \
      "could not be made (see above)"
  fi
fi
quit
