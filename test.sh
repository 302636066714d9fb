#!/usr/bin/env bash
# Builds vorn and runs every test, warnings counting as errors: first with g++ in build/,
# then with clang++ and AddressSanitizer and UndefinedBehaviorSanitizer in build-clang/, where
# the fuzz targets are built too and each runs for 15 s from its seeds. Installs the Debian
# packages it needs when they are missing; rebuilds only what is stale.
#
#   ./test.sh            everything
#   ./test.sh --quick    the g++ build only, without the clang and sanitizer pass
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

./scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

run() { # run <build folder> <cmake options...>
  local dir=$1; shift
  echo "== building in $dir"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "== testing in $dir"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 300)
}

gccbuild() {
  run build -DVORN_WERROR=ON
}

clangbuild() {
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run build-clang -DCMAKE_CXX_COMPILER=clang++ -DVORN_WERROR=ON -DVORN_SANITIZE=ON \
    -DVORN_FUZZ=ON -DVORN_BENCH=OFF
}

gccbuild
[ $quick = 1 ] || clangbuild
