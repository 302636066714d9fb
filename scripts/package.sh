#!/usr/bin/env bash
# Builds the Debian package of vorn, vorn_VERSION_amd64.deb, VERSION being the project's
# version in CMakeLists.txt. It holds what cmake --install puts in place: the programs and
# the vorn- commands in /usr/bin, the scripts they run in /usr/share/vorn/scripts, a manual
# page for each program and command (made from its --help by help2man), and the README with
# the guides, the copyright and the changelog in /usr/share/doc/vorn; it declares what they
# need at run time (python3, GNU parallel, and the C and C++ libraries the programs link).
# Installs the Debian packages the build needs when they are missing, then builds Vorn,
# Vorng, pitch and the manual pages (only what is stale) and packs them with cpack.
#
#   scripts/package.sh [--build D] [--out D]
#
#   --build D   the build folder (default build/ in the repository); configured when it
#               has not been yet
#   --out D     where the package goes (default the current folder)
#
# Then: apt-get install ./vorn_VERSION_amd64.deb (as root), and apt-get remove vorn;
# lintian vorn_VERSION_amd64.deb checks it (docs/packaging.md lists what it says).
set -uo pipefail

here=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
source "$here/scripts/common.sh"
build="$here/build" out=.

declare -A optiontable=([--build]=build [--out]=out)
parseoptions "$@"
checkfolder --build "$build"
checkfolder --out "$out"

# fail STEP LOG: the step that failed and the end of its output, status 1.
fail() {
  echo "$prog: $1 failed:" >&2
  tail -n 30 "$2" >&2
  exit 1
}

"$here/scripts/install-deps.sh" --package || { echo "$prog: installing the packages failed" >&2; exit 1; }
build=$(makefolder "$build") || exit 2
out=$(makefolder "$out") || exit 2
log="$build/package.log"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$log" 2>&1 ||
    fail "configuring $build" "$log"
elif grep -q '^VORN_HELP2MAN:FILEPATH=.*NOTFOUND' "$build/CMakeCache.txt"; then
  # configured before help2man was installed: look for it again
  cmake -S "$here" -B "$build" >"$log" 2>&1 || fail "configuring $build" "$log"
fi
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target Vorn Vorng pitch manpages >"$log" 2>&1 ||
  fail "building in $build" "$log"
rm -rf "$build/package"
(cd "$build" && cpack -G DEB -B "$build/package") >"$log" 2>&1 || fail "cpack" "$log"
deb=$(ls "$build"/package/vorn_*_amd64.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "cpack (no vorn_*_amd64.deb)" "$log"
cp -- "$deb" "$out/" || { echo "$prog: cannot copy the package into '$out'" >&2; exit 1; }
echo "package: $out/$(basename "$deb")"
