#!/usr/bin/env bash
# pitch_timing.sh -- how well pitch keeps its 100 ms step with 22 connected clients,
# and how much processor time it uses doing it.
#
# Starts build/bin/pitch on a free port, connects 22 scripted clients (two teams of
# eleven, one body command per cycle each), plays CYCLES cycles (default 3000: about
# five and a half minutes with the half-time pause) and prints pitch's own figures:
# how late each step started after its deadline, and pitch's processor use.
#
# usage: bench/pitch_timing.sh [CYCLES] [BUILD_DIR]
# PITCH_WRAP, when set, is put before the pitch command, e.g. PITCH_WRAP="chrt -f 10"
# to run pitch with real-time priority on a busy machine. MONITORS=N attaches N scripted
# monitors (bench/monitors.py) before the clients connect, and prints what they got.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
# pitch's command line and its port: scripts/servers.sh.
source "$here/../scripts/common.sh"
source "$here/../scripts/servers.sh"
case "${1:-}" in
    -h|--help) usage; exit 0 ;;
esac
cycles=${1:-3000}
build=${2:-build}
pitch="$build/bin/pitch"
[ -x "$pitch" ] || { echo "pitch_timing: $pitch not found (build the pitch target first)" >&2; exit 1; }

out=$(mktemp)
trap 'rm -f "$out"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true' EXIT
pitch_command "$pitch" "cycles=$cycles" wait-players=22 kickoff-after=0 quiet ||
    { echo "pitch_timing: $serverspy gave no command line for pitch" >&2; exit 1; }
${PITCH_WRAP:-} "${pitchargv[@]}" >"$out" &
pid=$!
port=
for _ in $(seq 1 50); do
    port=$(pitch_portin "$out") && break
    sleep 0.1
done
[ -n "$port" ] || { echo "pitch_timing: pitch did not start" >&2; exit 1; }

watchers=
if [ "${MONITORS:-0}" -gt 0 ]; then
    python3 "$here/monitors.py" "$port" "$MONITORS" $((cycles / 10 + 60)) >"$out.monitors" &
    watchers=$!
fi
python3 "$here/pitch_clients.py" "$port" $((cycles / 10 + 60))
wait "$pid"
pid=
cores=$(nproc)
echo "machine: $cores cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)"
echo "cycles: $cycles, clients: 22, monitors: ${MONITORS:-0}${PITCH_WRAP:+, pitch run under: $PITCH_WRAP}"
grep -E '^(score|step timing|cpu):' "$out"
if [ -n "$watchers" ]; then
    wait "$watchers"
    cat "$out.monitors"
    rm -f "$out.monitors"
fi
