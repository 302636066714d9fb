#!/usr/bin/env bash
# Installs the Debian packages that building and testing vorn need, only those missing.
#   scripts/install-deps.sh [--browser | --package] [--help]
#   --browser   also chromium, for the browser test of the replay page (./test.sh)
#   --package   also what the Debian package needs (scripts/package.sh)
set -euo pipefail
# clang and its runtime libraries build the sanitizer pass with the fuzz targets (libFuzzer);
# zlib compresses pitch's game log (--game-log FILE.gz); GNU parallel, with rsync for its
# transfers to other hosts, plays series (scripts/series.sh).
packages=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev python3 clang
  libclang-rt-14-dev zlib1g-dev parallel rsync)
case "${1:-}" in
  --help|-h) sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  --browser) packages+=(chromium) ;;
  --package) packages+=(dpkg-dev file binutils) ;;
  "") ;;
  *) echo "install-deps.sh: unknown option '$1' (see --help)" >&2; exit 2 ;;
esac
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
