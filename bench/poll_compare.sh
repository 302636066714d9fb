#!/usr/bin/env bash
# The players with the poll as it is against the players with the poll that waits its full
# millisecond whenever a slot is pending (the receive loop before it learned to wait only
# until the slot is due). Builds this checkout's players, and the same players with
# bench/full-ms-poll.patch applied in a temporary worktree; plays one match of each against
# the chasers on this checkout's pitch, one after the other, and prints both send-slot
# tables; then measures the processor use of an idle and of a playing Vorn of each
# (bench/idle_cpu.py), and how late the machine wakes a lone sleeper for a minute
# (bench/wake_latency.cpp): the floor under the timed slots 2 and 3.
#
#   bench/poll_compare.sh [--cycles N] [--build DIR] [--seconds S] [--dir D]
#
#   --cycles N   length of each match (default 3000)
#   --build DIR  this checkout's build folder (default build)
#   --seconds S  each processor-use measurement (default 10)
#   --dir D      keep the two matches' folders in D (due/ and fullms/); by default they go
#                with the temporary folder
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/common.sh"
cycles=3000 build=build seconds=10 dir=""
declare -A optiontable=([--cycles]=cycles [--build]=build [--seconds]=seconds [--dir]=dir)
parseoptions "$@"
checkcount --cycles "$cycles" 1 1000000
checkcount --seconds "$seconds" 1 3600
[ -z "$dir" ] || checkfolder --dir "$dir"
build=$(abspath "$build")

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vorn-pollcompare.XXXXXX") || die "cannot create a folder"
cleanup() {
  git -C "$here" worktree remove --force "$scratch/old" >/dev/null 2>&1
  rm -rf "$scratch"
}
trap cleanup EXIT

echo "== building this checkout in $build"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
  cmake --build "$build" -j2 --target Vorn Vorng pitch wake_latency >/dev/null ||
  die "the build failed"
echo "== building the full-millisecond poll in $scratch/old"
git -C "$here" worktree add --detach "$scratch/old" HEAD >/dev/null 2>&1 &&
  git -C "$scratch/old" apply "$here/bench/full-ms-poll.patch" &&
  cmake -S "$scratch/old" -B "$scratch/old/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVORN_BENCH=OFF >/dev/null &&
  cmake --build "$scratch/old/build" -j2 --target Vorn Vorng >/dev/null ||
  die "the build of the full-millisecond poll failed"
mkdir -p "$scratch/oldbin"
cp "$scratch/old/build/bin/Vorn" "$scratch/old/build/bin/Vorng" "$scratch/oldbin/"
ln -s "$build/bin/pitch" "$scratch/oldbin/pitch"
if [ -n "$dir" ]; then
  matches=$(makefolder "$dir") || exit 2
else
  matches=$scratch
fi

for run in "due:poll until the slot is due:$build/bin" \
  "fullms:poll of a full millisecond:$scratch/oldbin"; do
  folder=${run%%:*} rest=${run#*:}
  name=${rest%%:*} bin=${rest#*:}
  echo "== $name: a match of $cycles cycles in $matches/$folder"
  VORN_BIN="$bin" "$here/scripts/match.sh" --cycles "$cycles" --dir "$matches/$folder" \
    >"$matches/$folder.txt" 2>&1 || { cat "$matches/$folder.txt"; die "the match failed"; }
  python3 "$here/scripts/slots.py" "$matches/$folder/match.jsonl" --json - |
    sed -n '/^  slot/,/arrived/p'
  grep -E '^score:|^step timing' "$matches/$folder.txt"
done

for run in "poll until the slot is due:$build/bin" "poll of a full millisecond:$scratch/oldbin"; do
  name=${run%%:*} bin=${run#*:}
  echo "== $name: processor use of Vorn"
  python3 "$here/bench/idle_cpu.py" --program "$bin/Vorn" --seconds "$seconds" | tail -n +2
done
echo "== the machine: how late it wakes a lone sleeper"
"$build/bin/wake_latency" --seconds 60
