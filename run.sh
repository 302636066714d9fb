#!/usr/bin/env bash
# Builds vorn and plays a match on pitch, our own compact server: the team of vorn (one
# Vorng, ten Vorn) against pitch's built-in chasers. Installs the Debian packages it needs
# when they are missing; rebuilds only what is stale.
#
#   ./run.sh [match options]   a match of 600 cycles (one minute) unless --cycles says more;
#                              every option goes to scripts/match.sh (see its --help)
#   ./run.sh --help            this text and the match options
set -euo pipefail
cd "$(dirname "$0")"
if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
  sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'
  echo
  scripts/match.sh --help
  exit 0
fi
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target Vorn Vorng pitch
exec scripts/match.sh --cycles 600 "$@"
