#!/usr/bin/env bash
# Starts a team of vorn against a server: one goalie (Vorng) and ten field players (Vorn),
# one after another, each in a folder of its own (every player writes Vorne.log where it
# runs), with its console trace in that folder's console.txt.
#
#   scripts/start-team.sh [--host H] [--port P] [--players N] [--dir D] [--bin B]
#
#   --host H     the server's host (default localhost)
#   --port P     the server's port (default 6000)
#   --players N  how many players, 1 to 11 (default 11; the first is the goalie)
#   --dir D      where the players' folders go (default a new folder under /tmp)
#   --bin B      where Vorn and Vorng are (default build/bin beside this script)
#
# The script stays in the foreground. On Ctrl-C, or when it is sent SIGTERM or SIGINT, it
# types "quit" to every player, waits for them, and prints per player the commands sent and
# the send slots missed. When every player has ended by itself it reports the same.
set -uo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
host=localhost port=6000 players=11 dir="" bin="${VORN_BIN:-$here/build/bin}"
usage() { sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; }
while [ $# -gt 0 ]; do
  case "$1" in
    --host) host=${2:?--host needs a value}; shift 2 ;;
    --port) port=${2:?--port needs a value}; shift 2 ;;
    --players) players=${2:?--players needs a value}; shift 2 ;;
    --dir) dir=${2:?--dir needs a value}; shift 2 ;;
    --bin) bin=${2:?--bin needs a value}; shift 2 ;;
    --help|-h) usage; exit 0 ;;
    *) echo "start-team.sh: unknown argument '$1' (see --help)" >&2; exit 2 ;;
  esac
done
case "$players" in
  [1-9]|1[01]) ;;
  *) echo "start-team.sh: --players must be 1 to 11, not '$players'" >&2; exit 2 ;;
esac
for p in Vorn Vorng; do
  [ -x "$bin/$p" ] || { echo "start-team.sh: $bin/$p is missing; build first (./run.sh or ./test.sh)" >&2; exit 1; }
done
bin=$(cd "$bin" && pwd) # each player starts in its own folder
[ -n "$dir" ] || dir=$(mktemp -d /tmp/vorn-team.XXXXXX)
mkdir -p "$dir"

pids=() inputs=()
for n in $(seq 1 "$players"); do
  program=Vorn
  [ "$n" = 1 ] && program=Vorng
  folder="$dir/player$n"
  mkdir -p "$folder"
  rm -f "$folder/input"
  mkfifo "$folder/input"
  # Held open read-write by this script, so the player never meets the end of its input
  # and "quit" can be typed to it later.
  exec {fd}<>"$folder/input"
  (cd "$folder" && exec "$bin/$program" "$host" "$port" <"$folder/input" >"$folder/console.txt" 2>&1) &
  pids+=($!) inputs+=("$fd")
  # The server numbers players in the order their init arrives: one at a time.
  sleep 0.2
done
echo "team started: $players players against $host:$port, folders in $dir"

report() {
  printf '%-8s %-6s %9s %13s\n' player program commands "missed slots"
  for n in $(seq 1 "$players"); do
    folder="$dir/player$n"
    program=Vorn
    [ "$n" = 1 ] && program=Vorng
    sent=$(grep -c -a -E '^(Turn [0-9-]+ Sent |send return 0$)' "$folder/console.txt" 2>/dev/null)
    missed=$(grep -c -a '^Missed slot' "$folder/Vorne.log" 2>/dev/null)
    printf '%-8s %-6s %9s %13s\n' "$n" "$program" "${sent:-0}" "${missed:-0}"
  done
}

stopping=0
stop() {
  stopping=1
  for fd in "${inputs[@]}"; do echo quit >&"$fd" 2>/dev/null; done
}
trap stop INT TERM

while :; do
  alive=0
  for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive=1; done
  [ $alive = 0 ] && break
  sleep 0.2
done
wait 2>/dev/null
report
