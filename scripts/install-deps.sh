#!/usr/bin/env bash
# Installs the Debian packages that building and testing vorn need, only those missing, and
# without the packages they merely recommend (apt-get --no-install-recommends). Before it
# installs anything it names each package it is about to install and why; with everything
# in place it says nothing. Waits up to 5 minutes for another apt-get or dpkg to finish.
#
#   scripts/install-deps.sh [--browser] [--package] [--tests] [--list]
#
#   (always)    building and the tests: g++, clang, CMake, GoogleTest, Google Benchmark,
#               zlib, python3, GNU parallel, procps and rsync
#   --browser   also chromium, for the browser test of the replay page
#   --package   also what the Debian package needs (scripts/package.sh): dpkg-dev, file,
#               binutils and help2man
#   --tests     all that ./test.sh needs: --browser, --package and lintian, which the
#               package test runs on the package
#   --list      only print the packages the options ask for, why, and whether each is
#               installed; install nothing
set -euo pipefail
source "$(dirname "$0")/common.sh"

# The packages: the option that asks for each (- for always), its name, and why.
table="\
- cmake configures the build
- make runs the build CMake writes
- g++ compiles the programs (the g++ pass of ./test.sh)
- clang the sanitizer pass and the fuzz targets (clang++, libFuzzer)
- libclang-rt-14-dev clang's sanitizer and libFuzzer runtimes
- libgtest-dev the unit tests (GoogleTest)
- libgmock-dev the unit tests (GoogleMock)
- libbenchmark-dev the benchmarks in bench/ (Google Benchmark)
- zlib1g-dev pitch's compressed game log (--game-log FILE.gz)
- python3 the scripts and the Python tests
- parallel plays series of matches (scripts/series.sh)
- procps ps, pgrep and pkill: what is left of an opponent, a series' matches
- rsync copies a series to other machines and back (series.sh --hosts)
browser chromium the browser test of the replay page (headless)
package dpkg-dev dpkg-shlibdeps, which finds the libraries the package depends on
package file finds the programs among the package's files (cpack)
package binutils strips the programs in the package
package help2man makes the manual pages from the commands' --help
lint lintian checks the package (the package test)"

wanted=(-) list=0
declare -A optiontable=([--browser]="wanted+=(browser)" [--package]="wanted+=(package)"
  [--tests]="wanted+=(browser package lint)" [--list]=list=1)
parseoptions "$@"

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=() reasons=()
while read -r option name why; do
  [[ " ${wanted[*]} " == *" $option "* ]] || continue
  if [ $list = 1 ]; then
    state=missing
    ! installed "$name" || state=installed
    printf '%-20s %-10s %s\n' "$name" "$state" "$why"
  elif ! installed "$name"; then
    missing+=("$name")
    reasons+=("$(printf '  %-20s %s' "$name" "$why")")
  fi
done <<<"$table"
[ $list = 0 ] && [ ${#missing[@]} -gt 0 ] || exit 0

echo "== installing ${#missing[@]} Debian packages, without the ones they only recommend:"
printf '%s\n' "${reasons[@]}"
command -v apt-get >/dev/null || die "apt-get is missing: install these packages by hand"
sudo=""
[ "$(id -u)" = 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
  -o DPkg::Lock::Timeout=300 "${missing[@]}"
