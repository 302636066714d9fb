# The kinds of opponent vorn can play against. Sourced by scripts/match.sh, scripts/series.sh
# and scripts/series-match.sh (not run on its own); a new kind is one more here: its name in
# oppkind and the functions below. What a kind needs of the runner it is given as arguments;
# only here (the folder above scripts/) it takes from the script that sources it.
#
# oppkind VALUE: the kind of --opponent VALUE:
#   chasers   pitch's built-in team (pitch seats it itself)
#   none      nobody: vorn plays alone, on the left
#   vorn      "vorn:DIR": the vorn build in DIR (its Vorn and Vorng), started by this
#             repository's start-team.sh; on pitch, which names it vorn-b in its logs on
#             either side
#   command   any other text: a command that starts a whole team, with {host} and {port}
#             put in, run by /bin/sh in the match folder
# For each kind K (VALUE: the --opponent value):
#   opp_K_check VALUE SERVER SIDE PLAYERS
#                      refuses (die) a value that cannot be played on the server of kind
#                      SERVER (servers.sh) with vorn on SIDE and PLAYERS players of vorn
#   opp_K_sides        the sides vorn can play on against it ("left right", or "left")
#   opp_K_resolve VALUE BASE
#                      (when the kind has one) the value with what it names made absolute, a
#                      relative path taken from the folder BASE: the value played, once
#                      checked, wherever the match runs from
#   opp_K_players      how many clients it brings, for the count pitch kicks off at
#   opp_K_pitch SIDE   the options it needs of pitch, vorn playing on SIDE
#   opp_K_joins        how many of its players must have joined before the other team
#                      starts, 0 when the server seats it or it is absent; when not 0, a
#                      match is invalid unless they did, and stayed to time over
#   opp_K_kickoff WAIT the seconds after the server's start by which it kicks off, whoever
#                      has come, WAIT (--connect-wait) the seconds it has to connect
#   opp_K_start VALUE PORT DIR
#                      starts it in a session of its own against the server on port PORT of
#                      this machine, its output in opponent.txt of the match folder DIR; sets
#                      opppid (the session's first process)
#   opp_K_stop         asks it to end, at time over
#   opp_K_stage VALUE STAGE
#                      for a series: copies what it needs into the folder STAGE, which every
#                      machine plays from, and prints the --opponent value that plays it
#                      from there (a path relative to STAGE); sets oppfiles (what of STAGE
#                      to send to the other machines) and oppprograms (series_summary.py's
#                      --program arguments for the programs it plays)
#   opp_K_build VALUE  the folder of another build of vorn when it is one: a series then
#                      plays it head to head, matches 2k - 1 and 2k of one seed
# Whatever it started is ended at the end through its session (oppend): every process of it
# that is left, however it was started, unless it made a session of its own.

oppkind() {
  case $1 in
    chasers | none) echo "$1" ;;
    vorn:*) echo vorn ;;
    *) echo command ;;
  esac
}

opppid="" oppfiles=() oppprograms=()

# oppcheck VALUE SERVER SIDE PLAYERS: the value refused (die) when it is empty or its kind
# cannot play it so (opp_K_check).
oppcheck() {
  [ -n "$1" ] || die "--opponent needs chasers, none, vorn:DIR or a command, not ''"
  "opp_$(oppkind "$1")_check" "$@"
}

# oppside KIND SIDE: whether vorn can play on SIDE against an opponent of the kind KIND.
oppside() { [[ " $("opp_${1}_sides") " == *" $2 "* ]]; }

# oppresolve VALUE BASE: the value to play (opp_K_resolve), relative paths taken from BASE.
oppresolve() {
  local kind
  kind=$(oppkind "$1")
  if declare -F "opp_${kind}_resolve" >/dev/null; then "opp_${kind}_resolve" "$@"; else
    printf '%s\n' "$1"; fi
}

# --- chasers and none: nothing to start.

opp_chasers_check() { [ "$2" = pitch ] || die "--opponent chasers: the chasers are" \
  "pitch's own; on the real server choose none or a command"; }
opp_chasers_sides() { echo left right; }
opp_chasers_players() { echo 0; }
opp_chasers_pitch() { echo --opponent chasers $([ "$1" = left ] || echo --chasers-side left); }
opp_chasers_joins() { echo 0; }
opp_chasers_kickoff() { echo 30; }
opp_chasers_start() { :; }
opp_chasers_stop() { :; }
opp_chasers_stage() { echo chasers; }
opp_chasers_build() { :; }

opp_none_check() { oppside none "$3" || die "--side right needs an opponent (the first team" \
  "to come plays left)"; }
opp_none_sides() { echo left; }
opp_none_players() { echo 0; }
opp_none_pitch() { :; }
opp_none_joins() { echo 0; }
opp_none_kickoff() { echo 10; } # vorn's start; the real server waits for 22 players
opp_none_start() { :; }
opp_none_stop() { :; }
opp_none_stage() { echo none; }
opp_none_build() { :; }

# --- vorn:DIR: another build of vorn, eleven players, all of them on the left before the
# other team comes when it plays there.

# oppbin VALUE: the folder DIR of vorn:DIR.
oppbin() { echo "${1#vorn:}"; }

opp_vorn_check() {
  local p
  for p in Vorn Vorng; do
    [ -x "$(oppbin "$1")/$p" ] || die "--opponent vorn:DIR: $(oppbin "$1")/$p is missing"
  done
  [ "$4" = 11 ] || die "--opponent vorn:DIR needs --players 11 (pitch seats the first" \
    "eleven of the name on the left)"
  [ "$2" = pitch ] || die "--opponent vorn:DIR needs --server pitch (only pitch" \
    "seats two teams of one name)"
}
opp_vorn_sides() { echo left right; }
# Its players start in folders of their own: DIR made absolute.
opp_vorn_resolve() {
  local bin
  bin=$(oppbin "$1")
  [[ $bin == /* ]] || bin=$2/$bin
  echo "vorn:$(cd "$bin" 2>/dev/null && pwd || echo "$bin")"
}
opp_vorn_players() { echo 11; }
# Its team is the one pitch calls vorn-b, on either side: the build under test stays vorn.
# For a series as a whole (side "either") its side is the opponent's, whichever that is.
opp_vorn_pitch() {
  case $1 in
    left) echo --twin-teams --twin-b-side right ;;
    right) echo --twin-teams --twin-b-side left ;;
    *) echo "--twin-teams --twin-b-side OPPONENT'S-SIDE" ;;
  esac
}
opp_vorn_joins() { echo 11; }
opp_vorn_kickoff() { echo $(($1 + 15)); }
opp_vorn_start() {
  (exec setpriv --pdeathsig TERM setsid "$here/scripts/start-team.sh" --host 127.0.0.1 --port "$2" --players 11 \
    --dir "$3/opponent" --bin "$(oppbin "$1")") >"$3/opponent.txt" 2>&1 </dev/null &
  opppid=$!
}
# Its starter types "quit" to its players on SIGTERM, as to ours.
opp_vorn_stop() { [ -z "$opppid" ] || kill -TERM "$opppid" 2>/dev/null; }
opp_vorn_stage() {
  local bin
  bin=$(oppbin "$1")
  mkdir -p "$2/opponent" && cp -p "$bin/Vorn" "$bin/Vorng" "$2/opponent/" || return 1
  oppfiles=(opponent)
  oppprograms=(--program "opponent goalie" "$bin/Vorng" "$2/opponent/Vorng"
    --program "opponent field player" "$bin/Vorn" "$2/opponent/Vorn")
  echo vorn:opponent
}
opp_vorn_build() { oppbin "$1"; }

# --- A command that starts a team.

opp_command_check() {
  [[ $1 == *"{port}"* ]] || die "--opponent: the command must be given the server's" \
    "port: write {port} where it goes (for example '/home/me/team/start.sh -p {port}'), and" \
    "{host} for the host"
  local first
  read -r first _ <<<"$1"
  if [[ $first == */* ]] && [[ $first != /* ]]; then
    die "--opponent: '$first' is a relative path, and the command runs in the match folder:" \
      "give the whole path, or 'cd DIR && ...'"
  elif [[ $first == */* ]]; then
    [ -x "$first" ] && [ ! -d "$first" ] || die "--opponent: '$first' is not a program that" \
      "can be run"
  else
    command -v "$first" >/dev/null || die "--opponent: '$first' is not a command here"
  fi
}
opp_command_sides() { echo left right; }
opp_command_players() { echo 11; } # as far as anyone knows: fewer kick off later
opp_command_pitch() { :; }
opp_command_joins() { echo 1; }
opp_command_kickoff() { echo $(($1 + 15)); }
opp_command_start() {
  local command=${1//\{host\}/127.0.0.1}
  command=${command//\{port\}/$2}
  # The command leads a session of its own under a shell that, told to stop (SIGTERM, which
  # it gets too should the runner be killed), stops the whole of it: a command that starts
  # its players and ends, or a shell that forks its program, leaves nothing behind. Started
  # in the background, the command would ignore SIGINT: env gives it back.
  (cd "$3" && exec setpriv --pdeathsig TERM setsid bash -c \
    'trap "trap - TERM; kill -TERM 0; exit 143" TERM
     env --default-signal=INT /bin/sh -c "$1" & wait $!' \
    opponent "$command") >"$3/opponent.txt" 2>&1 </dev/null &
  opppid=$!
}
opp_command_stop() { [ -z "$opppid" ] || kill -TERM -- "-$opppid" "$opppid" 2>/dev/null; }
opp_command_stage() { printf '%s\n' "$1"; }
opp_command_build() { :; }

# oppsession: the processes of the opponent's session (its first process's pid is the
# session's id), zombies left out; one call of ps, where a scan of /proc in bash took half a
# second on a machine running many matches.
oppsession() {
  [ -n "$opppid" ] || return 0
  ps -o pid=,stat= -s "$opppid" 2>/dev/null | awk '$2 !~ /^Z/ { print $1 }'
}

# oppalive: whether a process of the opponent's session is left.
oppalive() { [ -n "$(oppsession)" ]; }

# oppend: the opponent's session ended: what is left of it 5 s after it was asked to end
# gets SIGTERM, and after 2 s more SIGKILL. The waits are counted in time, not in rounds.
oppend() {
  [ -n "$opppid" ] || return 0
  local pids signal
  oppwait 5
  for signal in TERM KILL; do
    pids=$(oppsession)
    [ -n "$pids" ] || break
    kill "-$signal" $pids 2>/dev/null
    oppwait 2
  done
  { wait "$opppid"; } 2>/dev/null
  opppid=""
}

# oppwait SECONDS: until nothing of the opponent's session is left, at most SECONDS.
oppwait() {
  local end=$((${EPOCHREALTIME/./} + $1 * 1000000))
  while oppalive && ((${EPOCHREALTIME/./} < end)); do sleep 0.1; done
}
