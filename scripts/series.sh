#!/usr/bin/env bash
# Plays a series of matches of vorn against pitch's chasers, several at once and on several
# machines through GNU parallel (installed by scripts/install-deps.sh when missing), and sums
# them up (scripts/series_summary.py): a table at the end, D/summary.json and the page
# D/index.html. Half the matches put vorn on the left, half on the right (odd matches left,
# even right), and the figures are split by side too. Each match gets a folder
# D/match-NNN with its report (report.txt: pitch's summary, the team's table, the send-slot
# timing), its figures (result.json), the record and the game log (when pitch writes one)
# compressed with gzip, the replay page, and the players' folders (Vorne.log; the console
# traces only with --keep-traces). A whole match keeps 6.4 MB, 17 MB more with its traces
# (see docs/series.md). GNU parallel's log of the jobs (the machine, run time and exit value
# of each match) goes to D/joblog.txt; a match that never reported its end from its machine
# counts as failed, with a folder holding lost.txt. Every option is checked before anything
# starts.
#
#   scripts/series.sh [--matches N] [--jobs J] [--cycles C] [--opponent chasers|none]
#                     [--dir D] [--bin DIR] [--hosts FILE] [--baseline D2] [--keep-traces]
#                     [--check]
#
#   --matches N     matches in the series, 1 to 10000 (default 10)
#   --jobs J        matches at once on each machine, 1 to 64 (default 8: on two cores the
#                   players still keep their send slots then, see docs/series.md)
#   --cycles C      length of each match in cycles, 1 to 1000000 (default 6000, about 12.5
#                   minutes)
#   --opponent X    "chasers" (default) or "none" (an empty right side; vorn always left)
#   --dir D         the series folder (default a new folder /tmp/vorn-series.*, or under
#                   $TMPDIR when it is set); it must not hold a series already
#   --bin DIR       where pitch, Vorn and Vorng are (default build/bin, or the installed
#                   ones): another build, to compare with --baseline
#   --hosts FILE    GNU parallel's ssh login file (one login a line, such as "user@host" or
#                   "4/host" for 4 matches at once there): the matches are spread over those
#                   machines as well as this one. Each needs ssh without a password, bash,
#                   python3 and rsync; the binaries and scripts are copied there and every
#                   match folder is brought back into D. The environment variable
#                   PARALLEL_SSH chooses another ssh command, as for GNU parallel itself.
#   --baseline D2   compare with the earlier series in D2: the difference in mean goal
#                   difference with its 95% interval, and whether it excludes zero
#   --keep-traces   keep the players' console traces
#   --check         check the options and exit: start nothing, create nothing
#
# While it plays it prints a line when a match starts and when it ends, with the matches
# done and running and the score so far. Ctrl-C, SIGINT, SIGTERM or SIGHUP (the terminal
# closed) stops the series: every running match is stopped (pitch and every player ended),
# and the summary covers the matches that were played to the end. Exit status 0 when every
# match was played; after a stop 130 (Ctrl-C, SIGINT), 143 (SIGTERM) or 129 (SIGHUP), as
# scripts/match.sh and scripts/start-team.sh give; 1 when a match failed or the summary
# could not be made.
set -uo pipefail

here=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
source "$here/scripts/common.sh"
matches=10 jobs=8 cycles=6000 opponent=chasers dir="" bin=$(binfolder)
hosts="" baseline="" keep="" checkonly=0
# Stopping: INT first (match.sh ends its match and reports it), TERM, then KILL for whatever
# of the match's process group is left, with the pauses in ms that each may take.
termseq=INT,60000,TERM,5000,KILL,25

parseoptions() {
  while [ $# -gt 0 ]; do
    case "$1" in
      --matches) needvalue "$@"; matches=$2; shift 2 ;;
      --jobs) needvalue "$@"; jobs=$2; shift 2 ;;
      --cycles) needvalue "$@"; cycles=$2; shift 2 ;;
      --opponent) needvalue "$@"; opponent=$2; shift 2 ;;
      --dir) needvalue "$@"; dir=$2; shift 2 ;;
      --bin) needvalue "$@"; bin=$2; shift 2 ;;
      --hosts) needvalue "$@"; hosts=$2; shift 2 ;;
      --baseline) needvalue "$@"; baseline=$2; shift 2 ;;
      --keep-traces) keep=--keep-traces; shift ;;
      --check) checkonly=1; shift ;;
      --help|-h) usage; exit 0 ;;
      *) die "unknown option '$1' (see --help)" ;;
    esac
  done
}

checkoptions() {
  checkcount --matches "$matches" 1 10000
  checkcount --jobs "$jobs" 1 64
  checkcount --cycles "$cycles" 1 1000000
  case "$opponent" in
    chasers|none) ;;
    *) die "--opponent must be chasers or none, not '$opponent'" ;;
  esac
  local p
  for p in pitch Vorn Vorng; do
    [ -x "$bin/$p" ] || die "--bin: $bin/$p is missing; build first (./run.sh or ./test.sh)"
  done
  if [ -n "$hosts" ] && ! { [ -f "$hosts" ] && [ -r "$hosts" ]; }; then
    die "--hosts '$hosts' is not a file that can be read"
  fi
  if [ -n "$baseline" ]; then
    [ -f "$baseline/summary.json" ] || die "--baseline '$baseline' holds no series (no summary.json)"
    local why
    why=$(python3 "$here/scripts/series_summary.py" baseline "$baseline" 2>&1) ||
      die "--baseline: ${why#series_summary.py: }"
  fi
  if [ -n "$dir" ]; then
    checkfolder --dir "$dir"
    ! compgen -G "$dir/match-*" >/dev/null || die "--dir '$dir' holds a series already"
  fi
}

# makestage: the series folder, and in it the folder that every machine plays in (the same
# name on each): a copy of scripts/ and of the three programs in build/bin/, so that a
# rebuild during the series changes nothing. Sets dir and stage.
makestage() {
  dir=$(workfolder "$dir" vorn-series) || exit 2
  stage="vorn-series-$(hostname -s 2>/dev/null || echo host)-$$"
  mkdir -p "$dir/$stage/build/bin" &&
    cp -p "$bin/pitch" "$bin/Vorn" "$bin/Vorng" "$dir/$stage/build/bin/" &&
    cp -pr "$here/scripts" "$dir/$stage/" || die "cannot copy the programs into '$dir/$stage'"
}

# plan: one line per match: its number, vorn's side, and the number as its folder has it
# (series-match.sh names the folder match-NNN the same way).
plan() {
  local n side
  for n in $(seq 1 "$matches"); do
    side=left
    [ "$opponent" = none ] || [ $((n % 2)) = 1 ] || side=right
    printf '%d %s %03d\n' "$n" "$side" "$n"
  done
}

# play: GNU parallel, in a session of its own so that Ctrl-C reaches it only through this
# script (once), running scripts/series-match.sh per match. Alone, this machine plays in the
# series folder; with other machines every one plays in the stage folder (below its home
# folder elsewhere), and the match folders come back at the end.
play() {
  local args=(--jobs "$jobs" --line-buffer --colsep ' ' --termseq "$termseq"
    --joblog "$dir/joblog.txt")
  local command="$stage/scripts/series-match.sh"
  if [ -n "$hosts" ]; then
    args+=(--sshlogin : --sshloginfile "$(abspath "$hosts")" --workdir "$stage"
      --basefile "$stage/./scripts" --basefile "$stage/./build" --return 'match-{3}' --cleanup)
    command=scripts/series-match.sh
  fi
  plan >"$dir/$stage/plan.txt"
  cd "$dir" || exit 1
  exec setsid parallel "${args[@]}" -a "$stage/plan.txt" "$command" --index '{1}' \
    --side '{2}' --cycles "$cycles" --opponent "$opponent" $keep
}

declare -A started ended # by match: the machine it started on; whether it reported its end
done=0 running=0 wins=0 draws=0 losses=0 goalsfor=0 against=0 stopping=0 parallelpid="" missing=0

# progress LINE: one line of series-match.sh, shown with the series so far.
progress() {
  local word n rest status side f a when
  read -r word n rest <<<"$1"
  when=$(date +%H:%M:%S)
  case "$word" in
    started)
      started[$n]=${rest#* } running=$((running + 1))
      echo "$when match $n (vorn ${rest%% *}) started on ${rest#* }"
      ;;
    ended)
      read -r status side f a <<<"$rest"
      ended[$n]=1 running=$((running - 1)) done=$((done + 1))
      if [ "$status" = played ]; then
        goalsfor=$((goalsfor + f)) against=$((against + a))
        if ((f > a)); then wins=$((wins + 1)); elif ((f == a)); then draws=$((draws + 1))
        else losses=$((losses + 1)); fi
      fi
      echo "$when match $n (vorn $side) $status $f:$a; done $done of $matches, running" \
        "$running; won-drawn-lost $wins-$draws-$losses, goals $goalsfor:$against"
      ;;
    *) echo "$1" ;;
  esac
}

# interrupt SIGNAL: the first stop; stopping becomes the status it gives.
interrupt() {
  [ $stopping = 0 ] || return
  stopping=$((128 + $(kill -l "$1")))
  echo "stopping: no more matches start; the $running running are being stopped"
  [ -z "$parallelpid" ] || kill -INT "$parallelpid" 2>/dev/null
}

# reconcile: every match of the plan that did not report its end. One with figures in its
# folder ended all the same (after Ctrl-C GNU parallel ends before the stopped matches print
# their last line): its line is shown now. One without is lost: a machine that did not run
# the job or lost it, which GNU parallel may count as a success, or a match killed before its
# end (after a stop, matches that never started are left out). A lost match gets a folder of
# its own summed up as failed, with a note in lost.txt, and is named on a line; missing
# counts them.
reconcile() {
  local n side number host value note
  while read -r n side number; do
    [ -z "${ended[$n]:-}" ] || continue
    if [ -f "$dir/match-$number/result.json" ]; then
      progress "ended $n $(python3 -c 'import json, sys; r = json.load(open(sys.argv[1]))
print(r["status"], r["side"], r["for"], r["against"])' "$dir/match-$number/result.json")"
      continue
    fi
    [ $stopping = 0 ] || [ -n "${started[$n]:-}" ] || [ -d "$dir/match-$number" ] || continue
    host="" value=""
    read -r host value < <(awk -F '\t' -v n="$n" '$1 == n { print $2, $7 }' \
      "$dir/joblog.txt" 2>/dev/null)
    [ -n "$host" ] || host=${started[$n]:-}
    [ "$host" != : ] || host="this machine"
    note="match $n (vorn $side) failed: it never reported its end"
    [ -z "$host" ] || note+=" from $host"
    [ -z "$value" ] || note+=" (GNU parallel's exit value for it: $value)"
    note+="; see $dir/joblog.txt"
    mkdir -p "$dir/match-$number" && echo "$note" >"$dir/match-$number/lost.txt"
    python3 "$here/scripts/series_summary.py" match "$dir/match-$number" --side "$side" \
      --status 255 --cycles "$cycles" >/dev/null
    echo "$(date +%H:%M:%S) $note"
    missing=$((missing + 1))
  done <"$dir/$stage/plan.txt"
}

# fetchremote: after a stop, the matches that had started on other machines: GNU parallel has
# ended without stopping them there or bringing them back. Each machine stops its matches as
# Ctrl-C would (match.sh reports, series-match.sh sums up), waits for them up to a minute,
# and sends their folders back into the series folder.
fetchremote() {
  local n wanted=()
  for n in "${!started[@]}"; do
    [ "${started[$n]}" = "this machine" ] || wanted+=(--return "$(printf 'match-%03d' "$n")")
  done
  [ ${#wanted[@]} -gt 0 ] || return 0
  echo "bringing back the matches stopped on the other machines"
  # The brackets keep the patterns from matching the command line of this very command.
  (cd "$dir" && parallel --nonall --sshloginfile "$(abspath "$hosts")" --workdir "$stage" \
    "${wanted[@]}" "pkill -INT -f '$stage/scripts/[m]atch.sh';" \
    "for i in \$(seq 120); do pgrep -f '$stage/scripts/[s]eries-match.sh' >/dev/null" \
    "|| break; sleep 0.5; done" >/dev/null 2>&1)
}

# finish: the matches back into the series folder, the stage removed here and on the other
# machines, and the summary.
finish() {
  local m
  [ $stopping = 0 ] || [ -z "$hosts" ] || fetchremote
  for m in "$dir/$stage"/match-*; do
    [ -d "$m" ] && mv "$m" "$dir/"
  done
  reconcile
  rm -rf "${dir:?}/${stage:?}"
  if [ -n "$hosts" ]; then
    parallel --nonall --sshloginfile "$(abspath "$hosts")" rm -rf "$stage" >/dev/null 2>&1
  fi
  echo
  if python3 "$here/scripts/series_summary.py" series "$dir" ${baseline:+--baseline "$baseline"}
  then
    echo "page: $dir/index.html"
  else
    echo "$prog: the summary could not be made; the matches are in $dir" >&2
    return 1
  fi
}

# main: the whole run, read by bash before it starts, so that editing or checking out this
# script during a series of hours cannot change it under its feet.
main() {
  local word line rc status
  parseoptions "$@"
  checkoptions
  [ "$checkonly" = 0 ] || exit 0
  if ! command -v parallel >/dev/null; then
    [ -x "$here/scripts/install-deps.sh" ] && "$here/scripts/install-deps.sh" ||
      die "GNU parallel is missing and could not be installed (apt-get install parallel)"
  fi
  makestage
  word=matches
  [ "$matches" != 1 ] || word=match
  echo "a series of $matches $word of $cycles cycles, $jobs at once${hosts:+ on each machine}," \
    "in $dir"
  trap 'interrupt INT' INT
  trap 'interrupt TERM' TERM
  trap 'interrupt HUP' HUP
  exec {out}< <(play 2>&1)
  parallelpid=$!
  while :; do
    IFS= read -r -u "$out" line
    rc=$?
    [ $rc -gt 128 ] && continue # a signal, handled by interrupt
    [ $rc = 0 ] || break
    progress "$line"
  done
  waitfor "$parallelpid"
  status=$waited
  finish || status=1
  [ $stopping = 0 ] || exit $stopping
  [ "$status" = 0 ] && [ "$missing" = 0 ] || exit 1
}

main "$@"; exit
