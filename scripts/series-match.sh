#!/usr/bin/env bash
# Plays one match of a series; scripts/series.sh runs it through GNU parallel, on this machine
# or on another one, in a folder that holds a copy of scripts/ and build/bin/. The match
# (scripts/match.sh, with the seed given) goes to the folder match-NNN below the working
# folder, with its report in report.txt (match.sh keeps it there; when match.sh ended before
# it made the folder its own, what it said goes there instead); whatever an earlier try of
# the same match left there (on a machine that was lost) is removed first. Then the match's figures go to
# result.json (scripts/series_summary.py), the record and the game log (when there is one)
# are compressed with gzip, and the players' console traces are removed unless
# --keep-traces is given. One line is printed when the match starts and one when it has
# ended; series.sh reads them for its progress:
#
#   started N SIDE HOST
#   ended N STATUS SIDE FOR AGAINST [WHY]  (STATUS: played, stopped, failed or invalid, WHY
#                                           the reason of an invalid or failed match)
#
#   scripts/series-match.sh --index N --side left|right --cycles C
#                           [--opponent X | --opponent-file FILE] [--server S]
#                           [--connect-wait S] [--seed S] [--keep-traces]
#
# --opponent, --server and --connect-wait are match.sh's; --opponent-file names a file
# whose first line is the --opponent value (a command with spaces passes GNU parallel's
# shell unchanged so). A relative FILE, and the DIR of a value vorn:DIR that is relative, lie
# in the folder above scripts/: series.sh copies another build of vorn there. Without --seed
# the server chooses its own (the real server does).
#
# Ctrl-C, SIGINT, SIGTERM or SIGHUP stops the match (match.sh ends pitch and the team); what
# was played is still summed up and reported as stopped. The exit status is 0 once the end is
# reported, however the match went: GNU parallel plays a job again on another machine when
# it fails, and a match that failed on its own would fail there too; a status other than 0
# means that the match could not be played here at all (or, through ssh, that the
# connection was lost).
set -uo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
# Run by its whole path, so that series.sh can find the matches of its series on a machine
# by their command lines.
[[ $0 == /* ]] || exec "$here/scripts/series-match.sh" "$@"
source "$here/scripts/common.sh"
source "$here/scripts/opponents.sh"
index="" side=left cycles=6000 opponent=chasers traces=0 seed="" server=pitch connectwait=30

# The options, as parseoptions (scripts/common.sh) reads them.
declare -A optiontable=([--index]=index [--side]=side [--cycles]=cycles [--opponent]=opponent
  [--opponent-file]="opponentfile()" [--server]=server [--connect-wait]=connectwait
  [--seed]=seed [--keep-traces]=traces=1)

checkoptions() {
  checkcount --index "$index" 1 99999
  checkseed --seed "$seed"
  opponent=$(oppresolve "$opponent" "$here")
}

# opponentfile --opponent-file FILE: the --opponent value from the first line of FILE.
opponentfile() {
  needvalue "$@"
  local file=$2
  [[ $file == /* ]] || file=$here/$file
  IFS= read -r opponent <"$file" || die "--opponent-file: cannot read '$file'"
}

# prune FOLDER: the record and the game log compressed (and so named in the report), the
# players' FIFOs removed, and their console traces too unless they are to be kept.
prune() {
  local f
  for f in "$1/match.jsonl" "$1/match.rcg" "$1/match.rcl"; do
    [ ! -f "$f" ] || gzip -f "$f"
  done
  # The report and the send-slot figures name the record and the game log: now their
  # compressed files.
  local name
  for name in jsonl rcg; do
    for f in "$1/report.txt" "$1/slots.json"; do
      [ ! -f "$1/match.$name.gz" ] || [ ! -f "$f" ] ||
        sed -i "s#/match\\.$name\\(\"\\?,\\?\\)\$#/match.$name.gz\\1#" "$f"
    done
  done
  rm -f "$1"/player*/input
  [ "$traces" = 1 ] || rm -f "$1"/player*/console.txt
}

parseoptions "$@"
checkoptions
folder=$(printf 'match-%03d' "$((10#$index))")
host=${PARALLEL_SSHHOST:-:}
[ "$host" != : ] || host="this machine"
rm -rf "$folder" && mkdir -p "$folder" || die "cannot create the folder '$folder'"
echo "started $index $side $host"
# The programs beside these scripts, whatever VORN_BIN said where the series was started.
# The match gets SIGTERM should this script be killed (GNU parallel killed with it). A
# signal to this script goes on to the match (match.sh takes a signal it already has once),
# and the script outlives it to sum up what was played: so a match ends whether the signal
# comes to its whole group (Ctrl-C, timeout) or to this script alone (GNU parallel's end,
# which series.sh makes a SIGTERM). Started in the background, bash would have it ignore
# SIGINT, which a script cannot trap then: GNU parallel's first stop (SIGINT) would reach
# only a pitch already started, and a match still starting would play on until the SIGTERM
# 10 s later. It gets SIGINT back.
said=$(mktemp) || die "cannot make a temporary file"
VORN_BIN="$here/build/bin" setpriv --pdeathsig TERM env --default-signal=INT \
  "$here/scripts/match.sh" --cycles "$cycles" --opponent "$opponent" --side "$side" \
  --server "$server" --connect-wait "$connectwait" ${seed:+--seed "$seed"} --dir "$folder" \
  >"$said" 2>&1 &
match=$!
for signal in INT TERM HUP; do
  trap "kill -$signal $match 2>/dev/null" "$signal"
done
# wait returns early (above 128) when a trapped signal comes: wait again while match.sh runs.
while wait "$match"; status=$?; [ "$status" -gt 128 ] && kill -0 "$match" 2>/dev/null; do :; done
[ -s "$folder/report.txt" ] || cp "$said" "$folder/report.txt"
rm -f "$said"
# The figures, and how the match ended; a result.json that could not be written makes the
# match failed, said so on the line.
outcome=$(python3 "$here/scripts/series_summary.py" match "$folder" --side "$side" \
  --status "$status" --cycles "$cycles" ${seed:+--seed "$seed"})
[ -n "$outcome" ] || outcome="failed 0 0"
prune "$folder"
read -r how goalsfor against why <<<"$outcome"
echo "ended $index $how $side $goalsfor $against${why:+ $why}"
