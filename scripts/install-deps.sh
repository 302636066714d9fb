#!/usr/bin/env bash
# Installs the Debian packages that building and testing vorn need, only those missing.
#   scripts/install-deps.sh [--help]
set -euo pipefail
if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
  sed -n '2,3p' "$0" | sed 's/^# \{0,1\}//'; exit 0
fi
# clang and its runtime libraries build the sanitizer and fuzzing pass (libFuzzer).
packages=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev python3 clang
  libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" = 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
