#!/usr/bin/env bash
# Builds vorn and plays a match on pitch, our own compact server: the team of vorn (one
# Vorng, ten Vorn) against pitch's built-in chasers. Installs the Debian packages it needs
# when they are missing; rebuilds only what is stale. The options are checked before the
# build starts.
#
#   ./run.sh [match options]   a match of 600 cycles (about 1.7 minutes with the pauses)
#                              unless --cycles says otherwise; every option goes to
#                              scripts/match.sh (see below)
#   ./run.sh --help            this text and the match options
set -uo pipefail
cd "$(dirname "$0")"
source scripts/common.sh
for arg in "$@"; do
  case "$arg" in
    --help|-h) usage; echo; scripts/match.sh --help; exit 0 ;;
  esac
done
scripts/match.sh --check --cycles 600 "$@" || exit
./scripts/install-deps.sh || exit
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target Vorn Vorng pitch || exit
exec scripts/match.sh --cycles 600 "$@"
