#!/usr/bin/env bash
# Runs the libFuzzer targets for longer than the test suite does (15 s each there). Builds
# them with clang++ as ./test.sh does (AddressSanitizer, UndefinedBehaviorSanitizer) in the
# build folder, then runs each target in turn from its seeds in fuzz/corpus/, keeping the
# inputs it learns in BUILD/fuzz-corpus/ for the next run. Findings (crash-*, leak-*,
# timeout-*) go to BUILD/fuzz-findings/; each replays with `BUILD/bin/TARGET FILE`.
# Prints per target the executions, their rate and whether it found anything; the status is
# 1 when any target found something.
#
#   scripts/fuzz.sh [--time SECONDS] [--build DIR] [TARGET...]
#
#   --time S    seconds per target (default 300)
#   --build D   the clang++ build folder (default build-clang, the one ./test.sh uses)
#   TARGET      parse_fuzz, parse_fuzz_goalie, pitch_commands_fuzz or pitch_connect_fuzz
#               (default: all four)
set -uo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/common.sh"
seconds=300 build="$here/build-clang" targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --time) needvalue "$@"; seconds=$2; shift 2 ;;
    --build) needvalue "$@"; build=$2; shift 2 ;;
    --help|-h) usage; exit 0 ;;
    parse_fuzz|parse_fuzz_goalie|pitch_commands_fuzz|pitch_connect_fuzz) targets+=("$1"); shift ;;
    *) die "unknown target or option '$1' (see --help)" ;;
  esac
done
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

found=0
summary=()
for target in "${targets[@]}"; do
  corpus="$build/fuzz-corpus/$target"
  findings="$build/fuzz-findings"
  mkdir -p "$corpus" "$findings"
  log="$build/fuzz-$target.log"
  echo "== $target for $seconds s (log: $log)"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$build/bin/$target" "$corpus" "$here/fuzz/corpus/$(seeds "$target")" \
    -dict="$here/fuzz/$(dict "$target").dict" -max_total_time="$seconds" -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$findings/$target-" >"$log" 2>&1
  status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  if [ $status = 0 ]; then
    result="nothing found"
  else
    found=1
    result="FOUND: $(grep -m1 -E '^(==[0-9]+==ERROR|SUMMARY)' "$log") ($(ls "$findings" | grep -c "^$target-") files in $findings)"
  fi
  summary+=("$(printf '%-20s %10s executions %7s/s  %s' "$target" "${runs:-?}" "${rate:-?}" "$result")")
done
echo
printf '%s\n' "${summary[@]}"
exit $found
