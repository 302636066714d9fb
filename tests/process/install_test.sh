#!/usr/bin/env bash
# The installed vorn, from a folder outside the repository.
#   prefix:  cmake --install into a scratch prefix, a 50-cycle match with vorn-match alone
#            (VORN_BIN unset, PATH only PREFIX/bin and the system), then vorn-replay and
#            vorn-goalie-report on its record; every command's --help names the installed
#            commands and folders, no path of the repository
#   package: scripts/package.sh on the same build; the programs, commands, scripts and
#            documents in their places with their modes, python3, parallel and libc6
#            declared, a manual page for every program and command (naming /usr, not
#            @PREFIX@, and in its SEE ALSO every page but itself), the changelog at the
#            package's version naming every command, and lintian silent
#   tests/process/install_test.sh BUILD_DIR prefix|package
set -uo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d /tmp/vorn-installtest.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $1"; cat "$tmp/out.txt"; exit 1; }
mkdir "$tmp/elsewhere" && cd "$tmp/elsewhere" || exit 1
installed() { env -u VORN_BIN PATH="$tmp/prefix/bin:/usr/bin:/bin" timeout 120 "$@"; }
run() { installed "$@" >>"$tmp/out.txt" 2>&1; }

# What only the repository has: its folders and files, and the word itself.
folders='scripts|build|docs|tests|bench|fuzz|packaging'
repository="(^|[^[:alnum:]_./-])(($folders)/|\./run\.sh|\./test\.sh|README\.md)|repository"

if [ "$2" = prefix ]; then
  cmake --install "$build" --prefix "$tmp/prefix" >"$tmp/out.txt" 2>&1 || fail "cmake --install"
  run vorn-match --cycles 50 --players 2 --dir match || fail "vorn-match ended with status $?"
  grep -q '"mode":"time_over"' match/match.jsonl && [ -s match/replay.html ] ||
    fail "no whole record and page in the match folder"
  run vorn-replay match/match.jsonl -o page.html && [ -s page.html ] || fail "vorn-replay"
  run vorn-goalie-report match/match.jsonl && grep -q '^catches: [0-9]' "$tmp/out.txt" ||
    fail "vorn-goalie-report"
  # Where the repository's help names a command's script (scripts/match.sh), the installed
  # one names the command (vorn-match).
  for link in "$tmp/prefix/bin"/vorn-*; do
    command=$(basename "$link")
    script=$(basename "$(readlink "$link")")
    installed "$link" --help >"$tmp/help" 2>&1 ||
      fail "$command --help: status $?"
    grep -nE "$repository" "$tmp/help" | sed "s/^/$command --help: /" >>"$tmp/leftover"
    for named in $("$here/scripts/$script" --help |
      grep -oE '(^|[ (`])scripts/[[:alnum:]_.-]*[[:alnum:]]' | sed 's/^.*scripts\///' | sort -u); do
      [ -L "$tmp/prefix/bin/vorn-${named%.*}" ] || continue
      grep -qw -- "vorn-${named%.*}" "$tmp/help" || echo "$command --help: no vorn-${named%.*}"
    done >>"$tmp/leftover"
  done
  [ ! -s "$tmp/leftover" ] || fail "installed help texts: $(cat "$tmp/leftover")"
else
  "$here/scripts/package.sh" --build "$build" >"$tmp/out.txt" 2>&1 || fail "package.sh"
  deb=$(ls vorn_*_amd64.deb) || fail "no vorn_*_amd64.deb"
  dpkg-deb --contents "$deb" | awk '{ print $1, $6 ($7 ? " " $7 " " $8 : "") }' >"$tmp/contents"
  x=-rwxr-xr-x r=-rw-r--r-- l="lrwxrwxrwx ./usr/bin/vorn" s=./usr/share/vorn/scripts
  d=./usr/share/doc/vorn
  missing=$(for e in "$x ./usr/bin/Vorn" "$x ./usr/bin/Vorng" "$x ./usr/bin/pitch" \
    "$l-match -> ../share/vorn/scripts/match.sh" "$l-replay -> ../share/vorn/scripts/replay.py" \
    "$l-start-team -> ../share/vorn/scripts/start-team.sh" "$x $s/match.sh" \
    "$l-series -> ../share/vorn/scripts/series.sh" "$x $s/series-match.sh" \
    "$l-goalie-report -> ../share/vorn/scripts/goalie-report.py" "$x $s/goalie-report.py" \
    "$x $s/start-team.sh" "$x $s/replay.py" "$x $s/slots.py" "$r $s/common.sh" \
    "$r $s/vornkit/series_stats.py" "$r $s/replay-page.html" "$r $d/README.md" "$r $d/copyright" \
    "$r $d/changelog.gz" "$r $d/docs/players.md" "$r $d/docs/replay.png" \
    "$l-live -> ../share/vorn/scripts/live.py" "$x $s/live.py" "$r $s/live-page.html" \
    "$r $s/page.html"; do
    grep -qxF -- "$e" "$tmp/contents" || echo "$e"
  done)
  [ -z "$missing" ] || { cat "$tmp/contents" >>"$tmp/out.txt"; fail "not in $deb: $missing"; }
  depends='^python3 \(>= 3\.8\), parallel, libc6 \(>= 2\.[0-9]+\)'
  [[ $(dpkg-deb -f "$deb" Depends) =~ $depends ]] ||
    fail "$deb depends on: $(dpkg-deb -f "$deb" Depends)"
  nopage=$(awk '$2 ~ /^\.\/usr\/bin\/./ { sub(/.*\//, "", $2); print $2 }' "$tmp/contents" |
    while read -r name; do grep -qxF -- "$r ./usr/share/man/man1/$name.1.gz" "$tmp/contents" ||
      echo "$name"; done)
  [ -z "$nopage" ] || fail "no manual page for: $nopage"
  mkdir "$tmp/root" && dpkg-deb -x "$deb" "$tmp/root" || fail "dpkg-deb -x"
  see="The README and the guides: /usr/share/doc/vorn/README.md and /usr/share/doc/vorn/docs/."
  for page in "$tmp"/root/usr/share/man/man1/*.1.gz; do
    name=$(basename "$page" .1.gz)
    zcat "$page" | grep -qxF "$see" || echo "$name.1.gz: no line '$see'"
    zcat "$page" | grep -n "@PREFIX@" | sed "s/^/$name.1.gz: /"
    zcat "$page" | grep -qxE "\.BR $name \(1\),?" && echo "$name.1.gz: SEE ALSO names itself"
  done >"$tmp/pages"
  [ ! -s "$tmp/pages" ] || fail "manual pages: $(cat "$tmp/pages")"
  top=$(zcat "$tmp/root/usr/share/doc/vorn/changelog.gz" | head -n 1)
  [ "$top" = "vorn ($(dpkg-deb -f "$deb" Version)) unstable; urgency=medium" ] ||
    fail "the changelog's first line is '$top'"
  unlisted=$(for link in "$tmp"/root/usr/bin/vorn-*; do
    zcat "$tmp/root/usr/share/doc/vorn/changelog.gz" | grep -qw -- "$(basename "$link")" ||
      basename "$link"; done)
  [ -z "$unlisted" ] || fail "the changelog does not name: $unlisted"
  lintian "$deb" >"$tmp/lintian.txt" 2>>"$tmp/out.txt"
  status=$?
  [ $status = 0 ] && [ ! -s "$tmp/lintian.txt" ] ||
    fail "lintian (status $status): $(cat "$tmp/lintian.txt")"
fi
echo "1 passed, 0 failed"
