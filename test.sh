#!/usr/bin/env bash
# Builds vorn and runs every test, warnings counting as errors: first with g++ in build/,
# then with clang++ and AddressSanitizer and UndefinedBehaviorSanitizer in build-clang/, where
# the fuzz targets are built too and each runs for 15 s from its seeds. Installs the Debian
# packages it needs when they are missing; rebuilds only what is stale. Every pass runs even
# when an earlier one failed; at the end one line per pass says whether it passed, failed
# (in its build or in its tests) or was skipped, and under a pass whose tests failed one line
# per failing test gives its name, CTest's reason and the first line of its failure
# (tests/failed_tests.py). The exit status is 1 when any pass failed.
#
#   ./test.sh            everything
#   ./test.sh --quick    the g++ build only, without the clang++ and sanitizer pass
#   ./test.sh --help     this text
set -uo pipefail
cd "$(dirname "$0")"
source scripts/common.sh

quick=0
while [ $# -gt 0 ]; do
  case "$1" in
    --help|-h) usage; exit 0 ;;
    --quick) quick=1 ;;
    *) die "unknown option '$1' (see ./test.sh --help)" ;;
  esac
  shift
done

jobs=$(nproc 2>/dev/null || echo 2)

# buildandtest FOLDER CMAKE-OPTIONS...: configures, builds and runs CTest in FOLDER; on a
# failure says which step failed (in failure), with a line per failing test, and returns 1.
# CTest's output is kept in FOLDER/ctest-output.txt.
buildandtest() {
  local dir=$1
  shift
  echo "== building in $dir"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null &&
    cmake --build "$dir" -j "$jobs" || { failure="the build failed"; return 1; }
  echo "== testing in $dir"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 300 | tee ctest-output.txt
    exit "${PIPESTATUS[0]}") && return 0
  local tests
  tests=$(python3 tests/failed_tests.py "$dir" | sed 's/^/         /')
  failure="tests failed (their output: $dir/Testing/Temporary/LastTest.log)"
  [ -z "$tests" ] || failure+=$'\n'"$tests"
  return 1
}

normalpass() { buildandtest build -DVORN_WERROR=ON; }

sanitizerpass() {
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    buildandtest build-clang -DCMAKE_CXX_COMPILER=clang++ -DVORN_WERROR=ON -DVORN_SANITIZE=ON \
    -DVORN_FUZZ=ON -DVORN_BENCH=OFF
}

results=() failed=0
# pass NAME FUNCTION: runs one pass and notes how it went.
pass() {
  failure=""
  if "$2"; then
    results+=("passed   $1")
  else
    results+=("FAILED   $1: ${failure:-status $?}")
    failed=1
  fi
}
skip() { results+=("skipped  $1 ($2)"); }

summary() {
  echo "== summary"
  printf '%s\n' "${results[@]}"
}

# chromium comes along for the replay page's browser test, lintian for the package test
./scripts/install-deps.sh --tests || die "installing the packages failed"
pass "g++ build (build/)" normalpass
if [ $quick = 1 ]; then
  skip "clang++ sanitizer build with the fuzz runs (build-clang/)" "--quick"
else
  pass "clang++ sanitizer build with the fuzz runs (build-clang/)" sanitizerpass
fi
summary
exit $failed
