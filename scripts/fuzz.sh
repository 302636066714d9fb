#!/usr/bin/env bash
# Runs the libFuzzer targets for longer than the test suite does (15 s each there). Builds
# them with clang++ as ./test.sh does (AddressSanitizer, UndefinedBehaviorSanitizer) in the
# build folder, then runs each target in turn from its seeds in fuzz/corpus/, keeping the
# inputs it learns in BUILD/fuzz-corpus/ for the next run. Findings (crash-*, leak-*,
# timeout-*) go to BUILD/fuzz-findings/; each replays with `BUILD/bin/TARGET FILE`.
# Prints per target the executions, their rate, the coverage and features reached, the
# corpus and whether it found anything; the status is 1 when any target found something.
# Ctrl-C (SIGINT or SIGTERM) stops the targets that run, which print their figures, and the
# summary still follows.
#
#   scripts/fuzz.sh [--time SECONDS] [--runs N] [--together] [--build DIR] [TARGET...]
#
#   --time S    seconds per target (default 300)
#   --runs N    also stop a target after N executions (default: no such limit)
#   --together  run the targets at the same time, not one after another (a long campaign
#               under nice: `nice -n 19 scripts/fuzz.sh --together --runs 10000000 ...`)
#   --build D   the clang++ build folder (default build-clang, the one ./test.sh uses)
#   TARGET      parse_fuzz, parse_fuzz_goalie, pitch_commands_fuzz or pitch_connect_fuzz
#               (default: all four)
set -uo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/common.sh"
seconds=300 runs=-1 together=0 build="$here/build-clang" targets=()
declare -A optiontable=([--time]=seconds [--runs]=runs [--together]=together=1 [--build]=build
  [WORD]="target()")
# target WORD: a fuzz target to run.
target() {
  case $1 in
    parse_fuzz | parse_fuzz_goalie | pitch_commands_fuzz | pitch_connect_fuzz) targets+=("$1") ;;
    *) die "unknown target or option '$1' (see --help)" ;;
  esac
  taken=0
}
parseoptions "$@"
[ -z "${given[--runs]:-}" ] || checkcount --runs "$runs" 1 999999999
checkcount --time "$seconds" 1 86400
checkfolder --build "$build"
[ ${#targets[@]} -gt 0 ] ||
  targets=(parse_fuzz parse_fuzz_goalie pitch_commands_fuzz pitch_connect_fuzz)
build=$(makefolder "$build") || exit 2

"$here/scripts/install-deps.sh" || exit 1
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DVORN_WERROR=ON -DVORN_SANITIZE=ON -DVORN_FUZZ=ON -DVORN_BENCH=OFF >/dev/null || exit 1
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target "${targets[@]}" || exit 1

seeds() { case "$1" in parse_fuzz*) echo parse ;; *) echo "${1%_fuzz}" ;; esac; }
dict() { case "$1" in parse_fuzz*) echo parse ;; *) echo pitch ;; esac; }

findings="$build/fuzz-findings"
mkdir -p "$findings"
log() { echo "$build/fuzz-$1.log"; }

# fuzz TARGET: one run of the target, which takes the place of the shell it is called in (so
# that a signal sent to that pid reaches libFuzzer); its status is libFuzzer's.
fuzz() {
  local corpus="$build/fuzz-corpus/$1" seeds dict log
  mkdir -p "$corpus"
  seeds=$(seeds "$1")
  dict=$(dict "$1")
  log=$(log "$1")
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    exec "$build/bin/$1" "$corpus" "$here/fuzz/corpus/$seeds" -dict="$here/fuzz/$dict.dict" \
    -max_total_time="$seconds" -runs="$runs" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$findings/$1-" >"$log" 2>&1
}

# result TARGET STATUS: one line of the summary, from the target's log.
result() {
  local file runs rate last cov ft corp files what="nothing found"
  file=$(log "$1")
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$file")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$file")
  last=$(grep -a -E '^#[0-9]+' "$file" | tail -n 1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corp=$(sed -n 's/.* corp: \([^ ]*\).*/\1/p' <<<"$last")
  if [ "$2" != 0 ]; then
    files=$(ls "$findings" | grep -c "^$1-")
    what="FOUND: $(grep -a -m1 -E '^(==[0-9]+==ERROR|SUMMARY)' "$file") ($files files in $findings)"
  fi
  printf '%-20s %10s executions %7s/s  cov %s ft %s corpus %s  %s\n' "$1" "${runs:-?}" \
    "${rate:-?}" "${cov:-?}" "${ft:-?}" "${corp:-?}" "$what"
}

limit="$seconds s"
[ "$runs" = -1 ] || limit="$limit or $runs executions"
declare -A status pid
stopping=0
# stop: the running targets end their runs as on Ctrl-C and print their figures.
stop() {
  local p
  stopping=1
  for p in "${pid[@]}"; do kill -INT "$p" 2>/dev/null; done
}
trap stop INT TERM
# start TARGET: the target's run in the background, its pid in pid.
start() {
  echo "== $1 for $limit (log: $(log "$1"))"
  fuzz "$1" &
  pid[$1]=$!
}
for target in "${targets[@]}"; do
  [ $stopping = 0 ] || break
  start "$target"
  if [ $together = 0 ]; then
    waitfor "${pid[$target]}"
    status[$target]=$waited
  fi
done
if [ $together = 1 ]; then
  for target in "${targets[@]}"; do
    waitfor "${pid[$target]}"
    status[$target]=$waited
  done
fi

found=0
echo
for target in "${targets[@]}"; do
  if [ -z "${status[$target]:-}" ]; then
    printf '%-20s not run (stopped)\n' "$target"
  elif [ "${status[$target]}" != 0 ] && grep -a -q 'libFuzzer: run interrupted' "$(log "$target")"; then
    result "$target" 0 | sed 's/nothing found$/nothing found (stopped before its end)/'
  else
    [ "${status[$target]}" = 0 ] || found=1
    result "$target" "${status[$target]}"
  fi
done
exit $found
