#!/usr/bin/env bash
# Plays a series of matches of vorn against an opponent (pitch's chasers, a team of your own,
# another build of vorn) on pitch or on the real simulation server, several at once and on
# several machines through GNU parallel (installed by scripts/install-deps.sh when missing),
# and sums them up (scripts/series_summary.py): a table at the end, D/summary.json and the
# page D/index.html. Half the matches put vorn on the left, half on the right (odd matches
# left, even right), and the figures are split by side too. A match is played by
# scripts/match.sh, which says what it does with each kind of opponent and server. Each match gets a folder
# D/match-NNN with its report (report.txt: pitch's summary, the team's table, the send-slot
# timing), its figures (result.json, with its seed), the record and the game log (when pitch
# writes one) compressed with gzip, the replay page, and the players' folders (Vorne.log; the
# console traces only with --keep-traces). A whole match keeps 6.4 MB, 17 MB more with its
# traces (see docs/series.md). D/series.json keeps the seed, the plan and every program
# played (path, sha256, ELF build-id, git describe), the opponent's too. GNU parallel's log
# of the jobs (the machine, run time and exit value of each match) goes to D/joblog.txt; a
# match that never reported its end from its machine counts as failed, with a folder
# holding lost.txt. Every option is checked before anything starts.
#
#   scripts/series.sh [--matches N] [--jobs J|auto] [--cycles C]
#                     [--opponent chasers|none|vorn:DIR|COMMAND] [--server pitch|PATH]
#                     [--connect-wait S] [--seed S] [--dir D] [--bin DIR] [--pitch DIR]
#                     [--hosts FILE] [--baseline D2] [--under-test vorn|opponent]
#                     [--compare DIR_A DIR_B] [--keep-traces] [--check]
#
#   --matches N     matches in the series, 1 to 10000 (default 10)
#   --jobs J        matches at once on each machine, 1 to 64, or "auto" (the default): 6
#                   per core of this machine, at most 64, and no more than its free memory
#                   holds at 256 MB a match; a J above 8 a core draws a warning before the
#                   start (docs/series.md).
#                   Alone on this machine, the matches start a second apart; the first
#                   whose send slots show a machine too busy is said as it ends
#   --cycles C      length of each match in cycles, 1 to 1000000 (default 6000, about 12.5
#                   minutes)
#   --opponent X    "chasers" (default), "none" (an empty right side; vorn always left),
#                   "vorn:DIR" (the vorn build in DIR against this one, on pitch: the summary
#                   says which won how often) or a command that starts a whole team, with
#                   {host} and {port} put in (see scripts/match.sh); a match in which the
#                   opponent never connects or leaves before time over is invalid, and is
#                   left out of the figures
#   --server S      "pitch" (default) or the path of the real simulation server's program;
#                   each match gets ports, logs and a home folder of its own
#   --connect-wait S  seconds the opponent has to connect in each match (default 30)
#   --seed S        match i plays with pitch's seed S+i, 0 <= S <= 999999999 - N (default a
#                   fresh S from 1 to 999999999 - N, drawn at the start and printed). Two series
#                   with the same seed and number of matches play the same matches:
#                   --baseline pairs them. The real server seeds itself and takes none
#   --dir D         the series folder (default a new folder /tmp/vorn-series.*, or under
#                   $TMPDIR when it is set); it must not hold a series already (of two
#                   series given one folder at once, one plays and the other is refused)
#   --bin DIR       where Vorn and Vorng are (default build/bin, or the installed ones):
#                   another build of the team, to compare with --baseline
#   --pitch DIR     where pitch is (default the series' own: build/bin, or the installed
#                   one, whatever --bin says), so that two builds of the team play on the
#                   same server unless this says otherwise
#   --hosts FILE    GNU parallel's ssh login file (one login a line, such as "user@host" or
#                   "4/host" for 4 matches at once there): the matches are spread over those
#                   machines as well as this one. Each needs ssh without a password, bash,
#                   python3 and rsync; the binaries and scripts are copied there (with the
#                   build of --opponent vorn:DIR) and every match folder is brought back into
#                   D. An opponent's command and the real server must exist on every machine
#                   under the same path. A match whose machine is lost (its
#                   ssh connection ends with status 255) is played again on another machine,
#                   at most twice, and counted once. The environment variable PARALLEL_SSH
#                   chooses another ssh command, as for GNU parallel itself.
#   --baseline D2   compare with the earlier series in D2: match by match when both played
#                   the same seeds, else as two samples (Welch); the difference in goal
#                   difference per match with its 95% interval, the verdict ("better",
#                   "worse", "no difference shown"), and whether the series was large
#                   enough to show a difference of one goal; what differs between the two
#                   (vorn's build, the opponent, the server, its options), with a warning
#                   when more than the side under test changed; and when each was played:
#                   a comparison across time, which --compare avoids
#   --under-test T  whose figures the series gives: "vorn" (the default) or "opponent", for a
#                   developer of the team --opponent starts (a command or vorn:DIR) who plays
#                   vorn as a sparring partner: every verdict, table, summary.json and the
#                   page then give "your team"'s side, goals and goal difference, and a
#                   comparison with --baseline warns when vorn's build changed too. The
#                   program an opponent's command starts is on record with its sha256,
#                   ELF build-id and git describe, as vorn's programs are
#   --compare DIR_A DIR_B  two builds of the team in one run (DIR: a build's bin folder with
#                   its Vorn and Vorng, as --opponent vorn:DIR takes), against the same
#                   opponent on the same server: --matches N matches each, match i of A
#                   (shown as Ai) and Bi a pair of the same seed and side, the pairs one after
#                   the other so that the machine's load falls on both alike, A's match
#                   started first in odd pairs and B's in even ones. Build A's series goes to
#                   D/a, B's to D/b (each summed up as any series, B's against A), the run's
#                   summary to D: B's goal difference per match minus A's, paired, with its
#                   verdict, and the order's own effect (the match started first in its pair
#                   minus the one started second, net of the builds' difference, with its
#                   95% interval once two pairs of each order were played). Not with --bin,
#                   --baseline (compare D/a or D/b with a baseline afterwards), --hosts,
#                   --opponent vorn:DIR or --under-test opponent
#   --keep-traces   keep the players' console traces
#   --check         check the options and exit: start nothing, create nothing
#
# While it plays it prints a line when a match starts and when it ends, with the matches
# done and running and the score so far. Ctrl-C, SIGINT, SIGTERM or SIGHUP (the terminal
# closed) stops the series: every running match is stopped (pitch and every player ended),
# and the summary covers the matches that were played to the end. An output whose reader has
# gone ("| head", or a "| tee" ended by Ctrl-C) stops the series the same way, and the
# summary still goes to its files. SIGHUP to GNU parallel alone is GNU parallel's own: it
# starts no more matches, lets the running ones play to their end, and the series sums up
# what was played. Exit status 0 when every match was played; after a stop
# 130 (Ctrl-C, SIGINT), 143 (SIGTERM), 129 (SIGHUP) or 141 (the output closed), as
# scripts/match.sh and scripts/start-team.sh give; 1 when a match failed or was invalid, or
# the summary could not be made (a match whose result.json is missing or broken is named
# and counted as failed, and the rest summed up).
set -uo pipefail

here=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
source "$here/scripts/common.sh"
source "$here/scripts/servers.sh"
source "$here/scripts/opponents.sh"
matches=10 jobs=auto cycles=6000 opponent=chasers dir="" bin=$(binfolder) pitchdir=""
hosts="" baseline="" traces="" checkonly=0 seed="" serverpath=pitch connectwait=30 sides=both
build="" undertest=vorn
# --compare: the two builds' folders, A and B.
compare=()
# A match lost with its machine is tried this many times in all.
tries=3
# Stopping: INT first (match.sh ends its match and reports it), TERM, then KILL for whatever
# of the match's process group is left, with the pauses in ms that each may take: within
# 15 s of a stop every match has ended, its report made if the machine made it in 10 s.
termseq=INT,10000,TERM,3000,KILL,25

# The options, as parseoptions (scripts/common.sh) reads them.
declare -A optiontable=([--matches]=matches [--jobs]=jobs [--cycles]=cycles
  [--opponent]=opponent [--server]=serverpath [--connect-wait]=connectwait [--dir]=dir
  [--bin]=bin [--compare]="compareoption()" [--pitch]=pitchdir [--seed]=seed [--hosts]=hosts
  [--baseline]=baseline [--under-test]=undertest [--keep-traces]=traces=--keep-traces
  [--check]=checkonly=1)

# compareoption --compare DIR_A DIR_B ...: the two builds' folders.
compareoption() {
  if [ $# -lt 3 ] || [ -z "$2" ] || [ -z "$3" ] || [[ $2 == --* || $3 == --* ]]; then
    die "--compare needs two folders, DIR_A and DIR_B (see --help)"
  fi
  compare=("$2" "$3") taken=2
}

# What this machine holds, from its cores and its available memory, read when the series
# starts: 8 matches of vorn against the chasers a core, and 256 MB of memory each; "--jobs
# auto" takes 6 a core, the rest kept for the start-ups and the reports. Measured on 2 cores
# (docs/series.md, four runs of each J, the test suite beside them): 16 at once missed 0.04%
# of their send slots (0.008 to 0.18%), 32 0.17% (0.09 to 0.19%); 6 at once did no better
# than 12 there, so the load of the moment (the last series' own matches among it) is not
# counted. holds PER-CORE: the matches at once at PER-CORE a core, at most 64 and at most
# what the available memory holds.
holds() {
  local j mem
  j=$(($1 * $(nproc 2>/dev/null || echo 1)))
  ((j <= 64)) || j=64
  mem=$(awk '/^MemAvailable:/ { print int($2 / 262144) }' /proc/meminfo 2>/dev/null)
  [ -z "$mem" ] || ((j <= mem)) || j=$mem
  echo $((j > 0 ? j : 1))
}

autojobs() { holds 6; }

# machineline: the cores and the matches the machine holds, in words.
machineline() {
  local cores
  cores=$(nproc 2>/dev/null || echo 1)
  echo "$cores cores, $(holds 8) matches at once (8 a core, 256 MB each)"
}

checkoptions() {
  checkcount --matches "$matches" 1 10000
  if [ "$jobs" != auto ] && ! [[ $jobs =~ ^[0-9]{1,9}$ && 10#$jobs -ge 1 && 10#$jobs -le 64 ]]
  then
    die "--jobs must be a whole number from 1 to 64, or auto, not '$jobs'"
  fi
  checkcount --cycles "$cycles" 1 1000000
  checkcount --connect-wait "$connectwait" 1 600
  case $undertest in
    vorn) ;;
    opponent) # a kind that brings players of its own (opp_K_players)
      [ "$("opp_$(oppkind "$opponent")_players")" != 0 ] || die "--under-test opponent needs a" \
        "team of your own as --opponent (a command or vorn:DIR), not $opponent" ;;
    *) die "--under-test must be vorn or opponent, not '$undertest'" ;;
  esac
  checkseed --seed "$seed" $((10#$matches))
  # The checks of a match (scripts/match.sh's): every match plays eleven, on both sides when
  # the opponent's kind lets vorn play on the right.
  oppkind=$(oppkind "$opponent")
  serverkind=$(serverkind "$serverpath")
  oppside "$oppkind" right || sides=left
  oppcheck "$opponent" "$serverkind" left 11
  opponent=$(oppresolve "$opponent" "$PWD")
  "${serverkind}_check" "$cycles" "$seed" "" ""
  build=$("opp_${oppkind}_build" "$opponent")
  local p
  if [ ${#compare[@]} = 2 ]; then
    checkcompare
  else
    for p in Vorn Vorng; do
      [ -x "$bin/$p" ] || die "--bin: $bin/$p is missing; $(missinghint --bin)"
    done
  fi
  if [ -n "$pitchdir" ]; then
    [ -x "$pitchdir/pitch" ] || die "--pitch: $pitchdir/pitch is missing"
  else
    pitchdir=$(binfolder)
    [ -x "$pitchdir/pitch" ] || die "$pitchdir/pitch is missing; $(missinghint --pitch)"
  fi
  if [ -n "$hosts" ] && ! { [ -f "$hosts" ] && [ -r "$hosts" ]; }; then
    die "--hosts '$hosts' is not a file that can be read"
  fi
  if [ -n "$baseline" ]; then
    [ -e "$baseline" ] || die "--baseline '$baseline' does not exist"
    [ -d "$baseline" ] || die "--baseline '$baseline' is not a folder"
    [ -f "$baseline/summary.json" ] || die "--baseline '$baseline' holds no series (no summary.json)"
    local why
    why=$(python3 "$here/scripts/series_summary.py" baseline "$baseline" 2>&1) ||
      die "--baseline: ${why#series_summary.py: }"
  fi
  if [ -n "$dir" ]; then
    checkfolder --dir "$dir"
    ! holdsseries "$dir" || die "--dir '$dir' holds a series already"
  fi
}

# checkcompare: --compare's two builds, and what it cannot go with: both builds play the
# same opponent on the same server on this machine, with vorn under test.
checkcompare() {
  local x p
  for x in 0 1; do
    for p in Vorn Vorng; do
      [ -x "${compare[$x]}/$p" ] || die "--compare: ${compare[$x]}/$p is missing"
    done
  done
  [ -z "${given[--bin]:-}" ] || die "--compare names both builds: leave out --bin"
  [ -z "$baseline" ] || die "--compare compares its two builds in one run: leave out" \
    "--baseline (compare either build's series, D/a or D/b, with a baseline afterwards:" \
    "scripts/series_summary.py series D/b --baseline D2)"
  [ -z "$hosts" ] || die "--compare plays on this machine only: leave out --hosts"
  [ -z "$build" ] || die "--compare plays both builds against one opponent: --opponent" \
    "vorn:DIR is a third build (play it as A or B)"
  [ "$undertest" = vorn ] || die "--compare compares two builds of vorn: leave out" \
    "--under-test opponent"
  compare[0]=$(cd "${compare[0]}" && pwd)
  compare[1]=$(cd "${compare[1]}" && pwd)
  bin=${compare[0]}
}

# holdsseries DIR: whether the folder holds a series: its record, or the folder of a match.
holdsseries() { [ -e "$1/series.json" ] || compgen -G "$1/match-*" >/dev/null; }

# serveroptions: what every match asks of the server, beside its seed and side.
serveroptions() { "${serverkind}_options" "$cycles" "$oppkind" either; }

# makestage: the series folder, claimed by creating its series.json, which fails when the
# file is there (of two series given one folder at once, one plays and the other is
# refused); in it the folder that every machine plays in (the same name on each): a copy of
# scripts/ and of the three programs in build/bin/, so that a rebuild during the series
# changes nothing; and series.json filled in: the seed, plan and programs of the series on
# record (the sha256 of the copies played). Sets dir and stage. When a copy fails (a full
# disk), what was made is removed: the stage, the claim, and the folder if this made it.
makestage() {
  local b server=() made=1 given=$dir
  [ -z "$dir" ] || [ ! -e "$dir" ] || made=""
  dir=$(workfolder "$dir" vorn-series) || exit 2
  (set -C && : >"$dir/series.json") 2>/dev/null || die "--dir '$given' holds a series already"
  stage="vorn-series-$(hostname -s 2>/dev/null || echo host)-$$"
  b=$dir/$stage/build/bin
  if ! { mkdir -p "$b" && cp -p "$pitchdir/pitch" "$bin/Vorn" "$bin/Vorng" "$b/" &&
    cp -pr "$here/scripts" "$dir/$stage/" &&
    "opp_${oppkind}_stage" "$opponent" "$dir/$stage" >"$dir/$stage/opponent.arg"; }; then
    unstage "$made"
    die "cannot copy the programs into '$dir/$stage'"
  fi
  mapfile -t server < <("${serverkind}_onrecord" "$b")
  if [ ${#compare[@]} = 2 ]; then
    stagecompare "$made" "${server[@]}"
    return
  fi
  if ! python3 "$here/scripts/series_summary.py" record "$dir" ${seed:+--seed "$seed"} \
    --matches "$matches" --cycles "$cycles" --opponent "$opponent" --jobs "$jobs" \
    ${build:+--other-build "$build"} --server-options "$(serveroptions)" \
    --under-test "$undertest" \
    --program server "${server[@]}" --program goalie "$bin/Vorng" "$b/Vorng" \
    --program "field player" "$bin/Vorn" "$b/Vorn" "${oppprograms[@]}"; then
    unstage "$made"
    die "cannot write '$dir/series.json'"
  fi
}

# stagecompare MADE SERVER COPY: --compare's stage: per build x (a, b) the folder STAGE/x that
# its matches are played from (scripts/ and opponent.arg those of the stage, build/bin its
# programs and the stage's pitch) and the series folder D/x with its series.json; D/series.json
# is the run's record.
stagecompare() {
  local made=$1 server=("$2" "$3") x from to i=0 record
  record=(${seed:+--seed "$seed"} --matches "$matches" --cycles "$cycles" --opponent "$opponent"
    --jobs "$jobs" --server-options "$(serveroptions)" --program server "${server[@]}")
  for x in a b; do
    from=${compare[$i]} to=$dir/$stage/$x i=$((i + 1))
    if ! { mkdir -p "$to/build/bin" "$dir/$x" && ln -s ../scripts "$to/scripts" &&
      ln -s ../opponent.arg "$to/opponent.arg" &&
      cp -p "$dir/$stage/build/bin/pitch" "$from/Vorn" "$from/Vorng" "$to/build/bin/"; }; then
      unstage "$made"
      die "cannot copy the programs into '$to'"
    fi
    python3 "$here/scripts/series_summary.py" record "$dir/$x" "${record[@]}" \
      --part-of "$dir" "${x^^}" --program goalie "$from/Vorng" "$to/build/bin/Vorng" \
      --program "field player" "$from/Vorn" "$to/build/bin/Vorn" ||
      { unstage "$made"; die "cannot write '$dir/$x/series.json'"; }
  done
  python3 "$here/scripts/series_summary.py" record "$dir" "${record[@]}" \
    --compare "${compare[@]}" || { unstage "$made"; die "cannot write '$dir/series.json'"; }
}

# unstage MADE: what makestage made is removed: the stage and series.json, and the series
# folder too when MADE says that makestage created it and it is empty.
unstage() {
  rm -rf "${dir:?}/${stage:?}" "$dir/series.json"
  [ ${#compare[@]} = 0 ] || { rm -f "$dir"/[ab]/series.json && rmdir "$dir"/[ab]; } 2>/dev/null
  [ -z "$1" ] || rmdir "$dir" 2>/dev/null
}

# plan: one line per match: its number, vorn's side, the number as its folder has it
# (series-match.sh names the folder match-NNN the same way), the build that plays it ("-",
# or with --compare a or b, the folder it goes to), and its seed. Match n of every series of
# the same seed plays the same seed on the same side. Against another build of vorn matches
# 2k - 1 and 2k play the same seed S+k, so that each build plays each seed on each side: the
# head-to-head's pairs. With --compare, match n of each build is pair n, the two one after
# the other, A's first in odd pairs and B's in even ones.
plan() {
  local n side number order x
  for n in $(seq 1 "$matches"); do
    side=left number=$n order=-
    [ "$sides" = left ] || [ $((n % 2)) = 1 ] || side=right
    [ -z "$build" ] || number=$(((n + 1) / 2))
    [ ${#compare[@]} = 0 ] || order="a b"
    [ ${#compare[@]} = 0 ] || [ $((n % 2)) = 1 ] || order="b a"
    for x in $order; do
      printf '%d %s %03d %s %s\n' "$n" "$side" "$n" "$x" "${seed:+$((seed + number))}"
    done
  done
}

# play: GNU parallel, in a session of its own so that Ctrl-C reaches it only through this
# script (once), running scripts/series-match.sh per match. Alone, this machine plays in the
# series folder; with other machines every one plays in the stage folder (below its home
# folder elsewhere), the match folders come back at the end, and a job that fails (a lost
# ssh connection: series-match.sh itself ends with 0 however its match went) is tried again
# on another machine, $tries times in all.
play() {
  # Alone, this machine starts one match a second after the one before: a start-up (pitch
  # and eleven players) takes a core for a second or two, and many at once outlast the
  # runner's waits. With other machines the matches spread over them, undelayed.
  local args=(--jobs "$jobs" --line-buffer --colsep ' ' --termseq "$termseq"
    --joblog "$dir/joblog.txt")
  [ -n "$hosts" ] || args+=(--delay 1)
  local command="$stage/scripts/series-match.sh"
  # Two builds: each match in its build's series folder, played from its build's stage, its
  # lines tagged with the build.
  [ ${#compare[@]} = 0 ] || args+=(--workdir '{4}' --tagstring '{4}')
  [ ${#compare[@]} = 0 ] || command="../$stage/{4}/scripts/series-match.sh"
  if [ -n "$hosts" ]; then
    args+=(--sshlogin : --sshloginfile "$(abspath "$hosts")" --workdir "$stage"
      --basefile "$stage/./scripts" --basefile "$stage/./build" --basefile "$stage/./opponent.arg"
      --return 'match-{3}' --cleanup --retries "$tries")
    local file
    for file in "${oppfiles[@]}"; do args+=(--basefile "$stage/./$file"); done
    command=scripts/series-match.sh
  fi
  # Here, a match gets SIGTERM should GNU parallel be killed (series-match.sh passes it on).
  # GNU parallel and its matches get SIGINT back: a series started with it ignored (under
  # nohup, or in a script's background) would pass that on, and GNU parallel's stop would
  # not reach its matches.
  local run=()
  [ -n "$hosts" ] || run=(setpriv --pdeathsig TERM env --default-signal=INT)
  cd "$dir" || exit 1
  local seeds=()
  [ -z "$seed" ] || seeds=(--seed '{5}')
  # GNU parallel gets SIGTERM should this script be killed, and stops its matches.
  exec setpriv --pdeathsig TERM setsid env --default-signal=INT parallel "${args[@]}" \
    -a "$stage/plan.txt" "${run[@]}" "$command" --index '{1}' --side '{2}' "${seeds[@]}" --cycles "$cycles" --opponent-file opponent.arg \
    --server "$(printf '%q' "$serverpath")" --connect-wait "$connectwait" $traces
}

# By match: the machine it started on last; how it ended ("STATUS FOR AGAINST"), once it
# reported its end; how often it started.
declare -A started ended attempts
done=0 total=0 running=0 wins=0 draws=0 losses=0 goalsfor=0 against=0 stopping=0 parallelpid="" missing=0
tested="" # what the tally is of, on the progress lines: "" (vorn) or "your team "

# tally STATUS FOR AGAINST SIGN: a match's score added to the series so far (SIGN 1) or
# taken back out of it (-1), FOR and AGAINST the side under test's.
tally() {
  [ "$1" = played ] || return 0
  goalsfor=$((goalsfor + $4 * $2)) against=$((against + $4 * $3))
  if (($2 > $3)); then wins=$((wins + $4)); elif (($2 == $3)); then draws=$((draws + $4))
  else losses=$((losses + $4)); fi
}

# replayed N SIDE HOST: match N started again, on HOST: GNU parallel tries it anew after its
# machine was lost. Noted in replayed.txt; what the lost try left (a folder brought back
# from its machine, or one in this machine's stage) is removed, so that the match counts
# once, by its last try; a try that had reported its end is taken out of the tally.
replayed() {
  local n=$1 side=$2 host=$3 number
  number=$(printf '%03d' "$n")
  if [ -n "${ended[$n]:-}" ]; then
    tally ${ended[$n]} -1
    ended[$n]="" done=$((done - 1)) running=$((running + 1))
  fi
  printf '%s\t%s\t%s\n' "$n" "${started[$n]}" "$host" >>"$dir/replayed.txt"
  rm -rf "${dir:?}/match-$number"
  [ "$host" = "this machine" ] || rm -rf "${dir:?}/${stage:?}/match-$number"
  local when
  when=$(date +%H:%M:%S)
  say "$when match $n ($(whoside "$side")) lost with ${started[$n]}: played again on $host" \
    "(try ${attempts[$n]} of at most $tries)"
}

# whoside SIDE: the side under test on a match whose vorn plays on SIDE, in words: "vorn
# left", or with the opponent under test "your team right".
whoside() {
  if [ "$undertest" = vorn ]; then
    echo "vorn $1"
  elif [ "$1" = left ]; then
    echo "your team right"
  else
    echo "your team left"
  fi
}

# progress LINE: one line of series-match.sh, shown with the series so far.
# With --compare a line is tagged with its build (a or b, and a tab), and match n of build a
# is shown and kept as A<n>, its tally apart from B's.
progress() {
  local line=$1 tag="" word n rest status side f a why when host
  if [[ $line == [ab]$'\t'* ]]; then
    tag=${line%%$'\t'*} line=${line#*$'\t'}
  fi
  read -r word n rest <<<"$line"
  n=${tag^^}$n
  when=$(date +%H:%M:%S)
  case "$word" in
    started)
      side=${rest%% *} host=${rest#* }
      attempts[$n]=$((${attempts[$n]:-0} + 1))
      if [ "${attempts[$n]}" -gt 1 ]; then
        replayed "$n" "$side" "$host"
      else
        running=$((running + 1))
        say "$when match $n ($(whoside "$side")) started on $host"
      fi
      started[$n]=$host
      ;;
    ended)
      read -r status side f a why <<<"$rest"
      # From the side under test: the opponent's goals.
      [ "$undertest" = vorn ] || read -r f a <<<"$a $f"
      ended[$n]="$status $f $a" running=$((running - 1)) done=$((done + 1))
      [ -z "$tag" ] || swaptally "$tag"
      tally "$status" "$f" "$a" 1
      local result="$status $f:$a"
      [ "$status" != failed ] || [ -z "$why" ] || result+=" ($why)"
      [ "$status" != invalid ] || result="invalid, left out: ${why:-see its report.txt}"
      say "$when match $n ($(whoside "$side")) $result; done $done of $total, running" \
        "$running; ${tested}${tag:+${tag^^} }won-drawn-lost $wins-$draws-$losses, goals" \
        "$goalsfor:$against"
      busymark "$n"
      ;;
    *) say "$line" ;;
  esac
}

# busymark N: the first match whose send slots show a machine too busy (a p99 above 20 ms
# on pitch's record, or more than 0.1% of vorn's slots missed, which the real server's
# matches tell too, from the players' logs) is said as soon as it ends.
busy=""
busymark() {
  [ -z "$busy" ] || return 0
  local number=${1//[!0-9]/} folder
  folder=$dir/${tag:+$tag/}match-$(printf '%03d' "$((10#$number))")
  busy=$(python3 "$here/scripts/vornkit/matchfolder.py" busy "$folder" 2>/dev/null)
  [ -z "$busy" ] || warn "warning: match $1 shows a machine too busy: $busy; fewer matches" \
    "at once (--jobs), or less else running beside them, would mean more"
}

# swaptally BUILD: with --compare, the tally of build BUILD (a or b) becomes the one that
# tally and the progress lines use, the other's kept aside.
declare -A tallies=([a]="0 0 0 0 0" [b]="0 0 0 0 0")
tallyof=a
swaptally() {
  [ "$1" != "$tallyof" ] || return 0
  tallies[$tallyof]="$wins $draws $losses $goalsfor $against"
  read -r wins draws losses goalsfor against <<<"${tallies[$1]}"
  tallyof=$1
}

# unplayed: the matches that reported an end other than played to the end.
unplayed() {
  local n count=0
  for n in "${!ended[@]}"; do
    [ -z "${ended[$n]}" ] || [ "${ended[$n]%% *}" = played ] || count=$((count + 1))
  done
  echo "$count"
}

# interrupt SIGNAL: the first stop; stopping becomes the status it gives. PIPE: the output
# was closed (its reader has gone), which stops the series as Ctrl-C does.
interrupt() {
  [ $stopping = 0 ] || return
  stopping=$((128 + $(kill -l "$1")))
  say "stopping: no more matches start; the $running running are being stopped"
  [ -z "$parallelpid" ] || kill -INT "$parallelpid" 2>/dev/null
}
outputclosed() { interrupt PIPE; }

# reconcile: every match of the plan that did not report its end. One with figures in its
# folder ended all the same (after Ctrl-C GNU parallel ends before the stopped matches print
# their last line): its line is shown now. One without is lost: a machine that did not run
# the job or lost it, which GNU parallel may count as a success, or a match killed before its
# end (after a stop, matches that never started are left out). A lost match gets a folder of
# its own summed up as failed, with a note in lost.txt, and is named on a line; missing
# counts them. After a stop, a match ended before it could report (its report outlasted the
# stop's 13 s) is summed up as stopped, from pitch's summary without the game log: a long
# game log takes seconds to read, and there may be a match a core.
reconcile() {
  local n side number x seed host value note folder tag key how line=0
  while read -r n side number x seed; do
    line=$((line + 1)) folder=$dir/match-$number tag="" key=$n
    [ "$x" = - ] || folder=$dir/$x/match-$number tag=$x$'\t' key=${x^^}$n
    [ -z "${ended[$key]:-}" ] || continue
    if [ -f "$folder/result.json" ] &&
      value=$(python3 "$here/scripts/vornkit/matchfolder.py" ended "$folder" 2>/dev/null); then
      progress "${tag}ended $n $value"
      continue
    fi
    [ $stopping = 0 ] || [ -n "${started[$key]:-}" ] || [ -d "$folder" ] || continue
    host="" value=""
    # GNU parallel's Seq is the job's line of the plan.
    read -r host value < <(python3 "$here/scripts/vornkit/joblog.py" "$dir" "$line" 2>/dev/null)
    [ -n "$host" ] || host=${started[$key]:-}
    [ "$host" != : ] || host="this machine"
    if [ $stopping = 0 ]; then
      note="match $key ($(whoside "$side")) failed: it never reported its end"
      how=(--status 255)
      missing=$((missing + 1))
    else
      # Stopped with the series and ended before its report was made: summed up as stopped
      # (the status of a runner stopped by Ctrl-C), and quickly, from pitch's summary.
      note="match $key ($(whoside "$side")) stopped: ended with the series before it reported"
      how=(--status 130 --no-game-log)
    fi
    [ -z "$host" ] || note+=" from $host"
    [ -z "$value" ] || note+=" (GNU parallel's exit value for it: $value)"
    note+="; see $dir/joblog.txt"
    mkdir -p "$folder" && echo "$note" >"$folder/lost.txt"
    python3 "$here/scripts/series_summary.py" match "$folder" --side "$side" "${how[@]}" \
      --cycles "$cycles" ${seed:+--seed "$seed"} >/dev/null
    say "$(date +%H:%M:%S) $note"
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
  say "bringing back the matches stopped on the other machines"
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
  # An interleaved run keeps its plan: the summary tells from it which match began a pair.
  [ ${#compare[@]} = 0 ] || cp "$dir/$stage/plan.txt" "$dir/plan.txt"
  rm -rf "${dir:?}/${stage:?}"
  if [ -n "$hosts" ]; then
    parallel --nonall --sshloginfile "$(abspath "$hosts")" rm -rf "$stage" >/dev/null 2>&1
  fi
  say ""
  if [ ${#compare[@]} = 2 ]; then
    python3 "$here/scripts/series_summary.py" compare "$dir"
  else
    python3 "$here/scripts/series_summary.py" series "$dir" ${baseline:+--baseline "$baseline"}
  fi
  case $? in
    0) say "page: $dir/index.html" ;;
    141) giveup 1 ;; # the table's reader has gone; the files are written
    *)
      warn "$prog: the summary could not be made; the matches are in $dir"
      return 1
      ;;
  esac
}

# main: the whole run, read by bash before it starts, so that editing or checking out this
# script during a series of hours cannot change it under its feet.
main() {
  local word line rc status
  trap : PIPE
  parseoptions "$@"
  checkoptions
  [ "$checkonly" = 0 ] || exit 0
  [ "$undertest" = vorn ] || tested="your team "
  if ! command -v parallel >/dev/null; then
    [ -x "$here/scripts/install-deps.sh" ] && "$here/scripts/install-deps.sh" ||
      die "GNU parallel is missing and could not be installed (apt-get install parallel)"
  fi
  # A fresh seed, or the one given as a plain decimal (a leading 0 would read as octal); none
  # for a server that seeds itself.
  if [ -n "$seed" ]; then
    seed=$((10#$seed))
  elif "${serverkind}_seeded"; then
    seed=$(freshseed $((10#$matches)))
  fi
  local atonce=$jobs how=""
  if [ "$jobs" = auto ]; then
    jobs=$(autojobs)
    how=" (--jobs auto: $jobs on $(nproc 2>/dev/null || echo 1) cores)"
  fi
  atonce=$jobs total=$matches
  [ ${#compare[@]} = 0 ] || total=$((2 * matches))
  [ -n "$hosts" ] || ((atonce <= total)) || atonce=$total
  if [ -z "$how" ] && [ -z "$hosts" ] && ((atonce > $(holds 8))); then
    warn "warning: --jobs $jobs is more than this machine holds now ($(machineline)): the" \
      "matches will miss send slots and the series may mean little; --jobs auto chooses for you"
  fi
  makestage
  plan >"$dir/$stage/plan.txt"
  word=matches
  [ "$matches" != 1 ] || word=match
  [ -z "$hosts" ] || how=" on each machine$how"
  local seeds="seed $seed (match i plays seed $seed+i)"
  [ -z "$build" ] || seeds="seed $seed (matches 2k-1 and 2k play seed $seed+k)"
  [ -n "$seed" ] || seeds="the server's own seeds"
  if [ ${#compare[@]} = 2 ]; then
    local paired=${seeds/match i plays/pair i plays}
    say "two builds in one run: $matches $word of $cycles cycles each ($total in all, match" \
      "Ai of A and Bi of B a pair of the same seed and side, A's started first in odd pairs" \
      "and B's in even ones), $atonce at once$how, $paired, in $dir; A: ${compare[0]}, B:" \
      "${compare[1]}"
  else
    say "a series of $matches $word of $cycles cycles, $atonce at once$how, $seeds, in $dir"
  fi
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
  [ "$status" = 0 ] && [ "$missing" = 0 ] && [ "$(unplayed)" = 0 ] || exit 1
}

main "$@"; exit
