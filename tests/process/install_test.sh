#!/usr/bin/env bash
# The installed vorn, from a folder outside the repository.
#   prefix:  cmake --install into a scratch prefix, then a 50-cycle match with the installed
#            vorn-match alone (VORN_BIN unset, only PREFIX/bin and the system on PATH), and
#            its record made into a page again with vorn-replay
#   package: scripts/package.sh on the same build; the package holds the programs, the
#            commands and their scripts in their places and declares python3 and libc6
#   tests/process/install_test.sh BUILD_DIR prefix|package
set -uo pipefail
build=$(cd "${1:?usage: install_test.sh BUILD_DIR prefix|package}" && pwd)
here=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d /tmp/vorn-installtest.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $1"; cat "$tmp/out.txt"; exit 1; }
mkdir "$tmp/elsewhere" && cd "$tmp/elsewhere" || exit 1

case "${2:-}" in
  prefix)
    cmake --install "$build" --prefix "$tmp/prefix" >"$tmp/out.txt" 2>&1 || fail "cmake --install"
    run() { env -u VORN_BIN PATH="$tmp/prefix/bin:/usr/bin:/bin" timeout 120 "$@" >>"$tmp/out.txt" 2>&1; }
    run vorn-match --cycles 50 --players 2 --dir match || fail "vorn-match ended with status $?"
    grep -q '"mode":"time_over"' match/match.jsonl && [ -s match/replay.html ] ||
      fail "no whole record and page in the match folder"
    run vorn-replay match/match.jsonl -o page.html && [ -s page.html ] || fail "vorn-replay"
    ;;
  package)
    "$here/scripts/package.sh" --build "$build" >"$tmp/out.txt" 2>&1 || fail "package.sh"
    deb=$(ls vorn_*_amd64.deb) || fail "no vorn_*_amd64.deb"
    dpkg-deb --contents "$deb" | awk '{ $2 = $3 = $4 = $5 = ""; print }' | tr -s ' ' >"$tmp/contents"
    x=-rwxr-xr-x f=-rw-r--r-- l=lrwxrwxrwx s=./usr/share/vorn/scripts
    missing=$(for e in "$x ./usr/bin/Vorn" "$x ./usr/bin/Vorng" "$x ./usr/bin/pitch" \
      "$l ./usr/bin/vorn-match -> ../share/vorn/scripts/match.sh" \
      "$l ./usr/bin/vorn-start-team -> ../share/vorn/scripts/start-team.sh" \
      "$l ./usr/bin/vorn-replay -> ../share/vorn/scripts/replay.py" \
      "$x $s/match.sh" "$x $s/start-team.sh" "$x $s/replay.py" "$x $s/slots.py" \
      "$f $s/common.sh" "$f $s/replay-page.html"; do
      grep -qxF -- "$e" "$tmp/contents" || echo "$e"
    done)
    [ -z "$missing" ] || { cat "$tmp/contents" >>"$tmp/out.txt"; fail "not in $deb: $missing"; }
    [[ $(dpkg-deb -f "$deb" Depends) =~ python3.*libc6|libc6.*python3 ]] ||
      fail "$deb does not declare python3 and libc6: $(dpkg-deb -f "$deb" Depends)"
    ;;
  *) echo "usage: install_test.sh BUILD_DIR prefix|package" >&2; exit 2 ;;
esac
echo "1 passed, 0 failed"
