#!/usr/bin/env bash
# A whole-match soak: pitch with its chasers against the whole team of vorn (one Vorng, ten
# Vorn), each player in a folder of its own. While the match runs, the resident memory
# (VmRSS) and processor time of every player are read from /proc at each of pitch's progress
# lines (one per 100 cycles). At the end every player must end by itself with status 0 (a
# player still running some seconds after pitch has ended gets "quit" typed, and fails), and
# its resident memory at the last sample cycle must be within the allowed growth of its value
# at the first. Prints per player: exit, memory at both cycles and the growth, missed send
# slots (Vorne.log), cycles with two or more body commands (pitch's summary) and processor
# time; then the send-slot figures of the match report (scripts/slots.py) and of pitch's
# summary, and pitch's own step timing and processor use. Status 0 when every check holds,
# 1 otherwise; 2 for a bad option, refused before anything starts. Not part of ./test.sh: a
# match of 6000 cycles takes about 12.5 minutes with its pauses.
#
# Ctrl-C, SIGINT, SIGTERM or SIGHUP stops the soak: pitch is stopped (it prints its summary),
# every player is told to quit, the table covers what was sampled, and the exit status is
# 130, 143 or 129. The players ignore Ctrl-C in a terminal (this script tells them to quit).
# Should this script be killed outright (SIGKILL), a watchdog of its own ends pitch and the
# players within a few seconds: nothing it started outlives it.
#
#   scripts/soak.sh [--cycles N] [--first C] [--last C] [--growth KIB] [--grace S] [--dir D]
#                   [--bin B]
#
#   --cycles N    length of the match (default 6000)
#   --first C     cycle of the first memory sample (default 100)
#   --last C      cycle of the last one (default N - 100)
#   --growth KIB  allowed growth of resident memory in KiB (default 1024)
#   --grace S     seconds the players have to end by themselves after pitch (default 10)
#   --dir D       the match folder: pitch's output, record, samples, one folder per player
#                 (default a new folder /tmp/vorn-soak.*, or under $TMPDIR when it is set)
#   --bin B       where pitch, Vorn and Vorng are (default build/bin)
set -uo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/common.sh"
source "$here/scripts/servers.sh"
cycles=6000 first=100 last="" growth=1024 grace=10 dir="" bin="${VORN_BIN:-$here/build/bin}"
declare -A optiontable=([--cycles]=cycles [--first]=first [--last]=last [--growth]=growth
  [--grace]=grace [--dir]=dir [--bin]=bin)
parseoptions "$@"
checkcount --cycles "$cycles" 200 1000000
[ -n "$last" ] || last=$((cycles - 100))
checkcount --first "$first" 100 "$cycles"
checkcount --last "$last" 100 "$cycles"
((10#$first % 100 == 0 && 10#$last % 100 == 0 && 10#$first < 10#$last)) ||
  die "--first and --last must be multiples of 100 (pitch's progress lines), first below last"
checkcount --growth "$growth" 0 1048576
checkcount --grace "$grace" 1 600
for p in pitch Vorn Vorng; do
  [ -x "$bin/$p" ] || die "$bin/$p is missing; build first (./run.sh)"
done
[ -z "$dir" ] || checkfolder --dir "$dir"
bin=$(cd "$bin" && pwd)
dir=$(workfolder "$dir" vorn-soak) || exit 2
: >"$dir/samples.txt"

# stop SIGNAL: the first signal that came stops pitch (its summary) and the players ("quit");
# the script goes on to its table and ends with the signal's status.
stopped="" pitch="" pids=() inputs=()
stop() {
  [ -z "$stopped" ] || return 0
  stopped=$1
  [ -z "$pitch" ] || kill -TERM "$pitch" 2>/dev/null
  local fd
  for fd in "${inputs[@]}"; do echo quit >&"$fd"; done 2>/dev/null
}
trap 'stop INT' INT
trap 'stop TERM' TERM
trap 'stop HUP' HUP
# The watchdog: when this script has gone (killed, it cannot clean up), the processes named
# in started.txt get SIGTERM, and SIGKILL 2 s later. It ignores the signals that stop the
# script, and is killed at its end.
started=$dir/started.txt
: >"$started"
(
  trap '' INT TERM HUP
  while kill -0 $$ 2>/dev/null; do sleep 1; done
  mapfile -t left <"$started"
  [ ${#left[@]} = 0 ] || { kill -TERM "${left[@]}"; sleep 2; kill -KILL "${left[@]}"; } 2>/dev/null
) &
watchdog=$!
cleanup() {
  kill "$pitch" "${pids[@]}" 2>/dev/null
  kill -KILL "$watchdog" 2>/dev/null
}
trap cleanup EXIT

pitch_command "$bin/pitch" "cycles=$cycles" opponent=chasers wait-players=11 \
  "record=$dir/match.jsonl" ||
  { warn "$prog: pitch did not start: $serverspy gave no command line"; exit 1; }
"${pitchargv[@]}" >"$dir/pitch.txt" 2>&1 &
pitch=$!
echo "$pitch" >>"$started"
port=""
for _ in $(seq 1 100); do
  [ -z "$stopped" ] || break
  port=$(pitch_portin "$dir/pitch.txt") && break
  sleep 0.05
done
[ -n "$port" ] || [ -z "$stopped" ] || exit $((128 + $(kill -l "$stopped")))
[ -n "$port" ] || { echo "soak.sh: pitch did not start:" >&2; cat "$dir/pitch.txt" >&2; exit 1; }
echo "soak: $cycles cycles on 127.0.0.1:$port, vorn against the chasers, in $dir"

program() { if [ "$1" = 1 ]; then echo Vorng; else echo Vorn; fi; }
for n in $(seq 1 11); do
  [ -z "$stopped" ] || break
  folder="$dir/player$n"
  mkdir -p "$folder"
  rm -f "$folder/input"
  mkfifo "$folder/input"
  exec {fd}<>"$folder/input" # held open: the input never ends, and "quit" can be typed
  (trap '' INT && cd "$folder" && exec "$bin/$(program "$n")" 127.0.0.1 "$port" \
    <"$folder/input" >"$folder/console.txt" 2>&1) &
  pids+=($!) inputs+=("$fd")
  echo "$!" >>"$started"
  sleep 0.2 # uniform numbers follow the order of the init commands
done

# One line per sample: cycle, player (0 for pitch), VmRSS in KiB, processor ticks.
sample() {
  local n pid rss
  for n in $(seq 0 11); do
    if [ "$n" = 0 ]; then pid=$pitch; else pid=${pids[$((n - 1))]}; fi
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo -)
    echo "$1 $n $rss $(awk '{print $14 + $15}' "/proc/$pid/stat" 2>/dev/null || echo -)" \
      >>"$dir/samples.txt"
  done
}
seen=""
while kill -0 "$pitch" 2>/dev/null; do
  cycle=$(sed -n 's/^pitch: cycle \([0-9]*\) .*/\1/p' "$dir/pitch.txt" | tail -n 1)
  if [ -n "$cycle" ] && [ "$cycle" != "$seen" ]; then
    sample "$cycle"
    seen=$cycle
    [ $((cycle % 1000)) = 0 ] && grep "^pitch: cycle $cycle " "$dir/pitch.txt"
  fi
  sleep 0.2
done
waitfor "$pitch"

# The players end by themselves at the end of the match; whoever has not after the grace
# time gets "quit" typed.
for _ in $(seq 1 $((grace * 5))); do
  alive=0
  for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive=1; done
  [ $alive = 0 ] && break
  sleep 0.2
done
quitted=()
for i in "${!pids[@]}"; do
  quitted[i]=0
  if kill -0 "${pids[i]}" 2>/dev/null; then
    quitted[i]=1
    echo quit >&"${inputs[i]}"
  fi
done

ok=1
tick=$(getconf CLK_TCK)
at() { awk -v c="$1" -v n="$2" -v f="$3" '$1 == c && $2 == n {print $f}' "$dir/samples.txt"; }
summary() { # summary PLAYER: its cycles with two or more body commands (pitch's first table)
  awk -v p="l$1" '/^commands per player by kind/ {on = 1} /^commands per player by ms/ {on = 0}
    on && $1 == p {print $NF}' "$dir/pitch.txt"
}
echo
printf '%-6s %-6s %-22s %10s %10s %8s %7s %7s %8s\n' player program exit "rss@$first" "rss@$last" \
  growth missed 2+body cpu
team_ticks=0
for n in $(seq 1 ${#pids[@]}); do
  i=$((n - 1))
  waitfor "${pids[i]}"
  status=$waited
  if [ "${quitted[i]}" = 1 ]; then
    exit_text="$status, quit typed"
    ok=0
  else
    exit_text="$status, by itself"
    [ "$status" = 0 ] || ok=0
  fi
  a=$(at "$first" "$n" 3)
  b=$(at "$last" "$n" 3)
  if [ -n "$a" ] && [ -n "$b" ] && [ "$a" != - ] && [ "$b" != - ]; then
    grown="$((b - a)) KiB"
    [ $((b - a)) -le "$growth" ] || ok=0
  else
    grown="?"
    ok=0
  fi
  ticks=$(awk -v n="$n" '$2 == n && $4 != "-" {t = $4} END {print t + 0}' "$dir/samples.txt")
  team_ticks=$((team_ticks + ticks))
  missed=$(grep -c -a '^Missed slot' "$dir/player$n/Vorne.log" 2>/dev/null)
  doubled=$(summary "$n")
  seconds=$(echo "$ticks $tick" | awk '{print $1 / $2}')
  printf '%-6s %-6s %-22s %6s KiB %6s KiB %8s %7s %7s %6.2f s\n' "$n" "$(program "$n")" \
    "$exit_text" "${a:-?}" "${b:-?}" "$grown" "${missed:-0}" "$doubled" "$seconds"
done
echo "team processor time: $(echo "$team_ticks $tick" | awk '{printf "%.2f", $1 / $2}') s" \
  "(last sample, cycle $seen)"
echo
# The send-slot figures of the match report (scripts/slots.py) and pitch's own figures.
if [ -f "$here/scripts/slots.py" ]; then
  python3 "$here/scripts/slots.py" "$dir/match.jsonl" --json "$dir/slots.json"
  echo
fi
sed -n '/^commands per player by ms/,/^all /p' "$dir/pitch.txt" | grep -E '^(commands|player|l[0-9]|all)'
grep -E '^(step timing|cpu:|score:)' "$dir/pitch.txt" | sed 's/^cpu:/pitch cpu:/'
echo
if [ -n "$stopped" ]; then
  echo "soak: stopped (SIG$stopped) at cycle ${seen:-0} of $cycles"
  exit $((128 + $(kill -l "$stopped")))
fi
if [ $ok = 1 ]; then echo "soak: PASSED"; else echo "soak: FAILED"; fi
[ $ok = 1 ]
