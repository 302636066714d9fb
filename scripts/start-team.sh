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
# The script stays in the foreground. On Ctrl-C, or when it is sent SIGTERM or SIGINT, it
# types "quit" to every player, waits for them, and prints per player the commands sent
# after the init (as the server counts them) and the send slots missed. When every player
# has ended by itself it reports the same. When no player has had an answer from the server
# 5 s after the last one started, it stops them, says so, and exits with status 1.
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

# startplayers: one player after another (the server numbers players in the order their
# init arrives), each in its folder, reading a FIFO this script holds open read-write so
# that the player never meets the end of its input and "quit" can be typed to it later.
pids=() inputs=() stopping=0
startplayers() {
  local n folder fd word=players
  for n in $(seq 1 "$players"); do
    [ $stopping = 0 ] || break
    folder="$dir/player$n"
    mkdir -p "$folder" || die "cannot create the folder '$folder'"
    rm -f "$folder/input"
    mkfifo "$folder/input" || die "cannot create the FIFO '$folder/input'"
    exec {fd}<>"$folder/input"
    (cd "$folder" && exec "$bin/$(program "$n")" "$host" "$port" <input >console.txt 2>&1) &
    pids+=($!) inputs+=("$fd")
    sleep 0.2
  done
  [ "$players" = 1 ] && word=player
  echo "team started: $players $word against $host:$port, folders in $dir"
}

# tally FOLDER: the commands the player sent after its init, and 1 when the server answered
# it (its trace shows a command after the init, which the init reply sets off, or a line of
# the sense_body count), else 0.
tally() {
  LC_ALL=C awk '
    /^in send buf / { init = ($4 ~ /^\(init/); if (!init) answered = 1 }
    /^(Turn [0-9-]+ Sent |send return 0$)/ && !init { sent++ }
    / still working turn / { answered = 1 }
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

report() {
  local n sent got missed
  echo "vorn's players: commands sent after the init, send slots missed (Vorne.log)"
  printf '%-8s %-8s %8s %13s\n' player program commands "missed slots"
  for n in $(seq 1 "$players"); do
    read -r sent got <<<"$(tally "$dir/player$n")"
    missed=$(grep -c -a '^Missed slot' "$dir/player$n/Vorne.log" 2>/dev/null)
    printf '%-8s %-8s %8s %13s\n' "$n" "$(program "$n")" "$sent" "${missed:-0}"
  done
}

# stop: "quit" to every player started so far.
stop() {
  local fd
  stopping=1
  for fd in "${inputs[@]}"; do echo quit >&"$fd" 2>/dev/null; done
}

# waitplayers: until every player has ended. When no player has had an answer from the
# server some seconds after the last one started, the players are stopped.
waitplayers() {
  local alive pid ticks=0
  while :; do
    alive=0
    for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive=1; done
    [ $alive = 0 ] && break
    ticks=$((ticks + 1))
    if [ $ticks = $((answerwait * 5)) ] && [ "$(answered)" = 0 ]; then
      stop
    fi
    sleep 0.2
  done
  wait 2>/dev/null
}

parseoptions "$@"
checkoptions
bin=$(cd "$bin" && pwd) # each player starts in its own folder
if [ -n "$dir" ]; then
  dir=$(makefolder "$dir") || exit 2
else
  dir=$(mktemp -d "${TMPDIR:-/tmp}/vorn-team.XXXXXX") ||
    die "cannot create a folder in ${TMPDIR:-/tmp}"
fi
trap stop INT TERM EXIT
startplayers
waitplayers
report
if [ "$(answered)" = 0 ]; then
  echo "$prog: no player got an answer from $host:$port: is a server running there?" >&2
  exit 1
fi
