#!/usr/bin/env bash
# The installed vorn, from a folder outside the repository.
#   prefix:  cmake --install into a scratch prefix, a 50-cycle match with vorn-match alone
#            (VORN_BIN unset, PATH only PREFIX/bin and the system), then vorn-replay
#   package: scripts/package.sh on the same build; the programs, commands and scripts in
#            their places with their modes, python3, parallel and libc6 declared
#   tests/process/install_test.sh BUILD_DIR prefix|package
set -uo pipefail
build=$(cd "$1" && pwd) here=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d /tmp/vorn-installtest.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $1"; cat "$tmp/out.txt"; exit 1; }
mkdir "$tmp/elsewhere" && cd "$tmp/elsewhere" || exit 1
run() { env -u VORN_BIN PATH="$tmp/prefix/bin:/usr/bin:/bin" timeout 120 "$@" >>"$tmp/out.txt" 2>&1; }

if [ "$2" = prefix ]; then
  cmake --install "$build" --prefix "$tmp/prefix" >"$tmp/out.txt" 2>&1 || fail "cmake --install"
  run vorn-match --cycles 50 --players 2 --dir match || fail "vorn-match ended with status $?"
  grep -q '"mode":"time_over"' match/match.jsonl && [ -s match/replay.html ] ||
    fail "no whole record and page in the match folder"
  run vorn-replay match/match.jsonl -o page.html && [ -s page.html ] || fail "vorn-replay"
else
  "$here/scripts/package.sh" --build "$build" >"$tmp/out.txt" 2>&1 || fail "package.sh"
  deb=$(ls vorn_*_amd64.deb) || fail "no vorn_*_amd64.deb"
  dpkg-deb --contents "$deb" | awk '{ print $1, $6 ($7 ? " " $7 " " $8 : "") }' >"$tmp/contents"
  x=-rwxr-xr-x l="lrwxrwxrwx ./usr/bin/vorn" s=./usr/share/vorn/scripts
  missing=$(for e in "$x ./usr/bin/Vorn" "$x ./usr/bin/Vorng" "$x ./usr/bin/pitch" \
    "$l-match -> ../share/vorn/scripts/match.sh" "$l-replay -> ../share/vorn/scripts/replay.py" \
    "$l-start-team -> ../share/vorn/scripts/start-team.sh" "$x $s/match.sh" \
    "$l-series -> ../share/vorn/scripts/series.sh" "$x $s/series-match.sh" \
    "$x $s/start-team.sh" "$x $s/replay.py" "$x $s/slots.py" "-rw-r--r-- $s/common.sh" \
    "-rw-r--r-- $s/replay-page.html" "$l-live -> ../share/vorn/scripts/live.py" \
    "$x $s/live.py" "-rw-r--r-- $s/live-page.html" "-rw-r--r-- $s/field-drawing.html"; do grep -qxF -- "$e" "$tmp/contents" || echo "$e"; done)
  [ -z "$missing" ] || { cat "$tmp/contents" >>"$tmp/out.txt"; fail "not in $deb: $missing"; }
  [[ $(dpkg-deb -f "$deb" Depends) =~ python3.*parallel.*libc6 ]] ||
    fail "$deb: no python3, parallel or libc6"
fi
echo "1 passed, 0 failed"
