#!/usr/bin/env bash
# Builds vorn and runs every test: first a normal build in build/, then a build with
# AddressSanitizer and UndefinedBehaviorSanitizer in build-sanitize/. Installs the Debian
# packages it needs when they are missing; rebuilds only what is stale.
#
#   ./test.sh            everything
#   ./test.sh --quick    the normal build only, without the sanitizer pass
#   ./test.sh --help     this text
set -euo pipefail
cd "$(dirname "$0")"

quick=0
case "${1:-}" in
  --help|-h) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  --quick) quick=1 ;;
  "") ;;
  *) echo "test.sh: unknown option '$1' (see ./test.sh --help)" >&2; exit 2 ;;
esac

./scripts/install-deps.sh --browser # chromium too, for the replay page's browser test

jobs=$(nproc 2>/dev/null || echo 2)

run() { # run <build folder> <cmake options...>
  local dir=$1; shift
  echo "== building in $dir"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "== testing in $dir"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 300)
}

run build
if [ $quick = 0 ]; then
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run build-sanitize -DVORN_SANITIZE=ON -DVORN_BENCH=OFF
fi
