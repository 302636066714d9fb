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
# The current folder stays: a relative --dir or --record is taken from it.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/scripts/common.sh"
for arg in "$@"; do
  case "$arg" in
    --help|-h) usage; echo; "$here/scripts/match.sh" --help; exit 0 ;;
  esac
done
# The options' refusals name run.sh, whose options they are.
VORN_CALLER=run.sh "$here/scripts/match.sh" --check --cycles 600 "$@" || exit
"$here/scripts/install-deps.sh" || exit
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit
cmake --build "$here/build" -j "$(nproc 2>/dev/null || echo 2)" --target Vorn Vorng pitch || exit
exec "$here/scripts/match.sh" --cycles 600 "$@"
