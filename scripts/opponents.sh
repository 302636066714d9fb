# The kinds of opponent vorn can play against. Sourced by scripts/match.sh and
# scripts/series.sh (not run on its own); a new kind is one more here: its name in oppkind
# and the functions below.
#
# oppkind VALUE: the kind of --opponent VALUE:
#   chasers   pitch's built-in team (pitch seats it itself)
#   none      nobody: vorn plays alone, on the left
#   vorn      "vorn:DIR": the vorn build in DIR (its Vorn and Vorng), started by this
#             repository's start-team.sh; on pitch, which names it vorn-b in its logs on
#             either side
#   command   any other text: a command that starts a whole team, with {host} and {port}
#             put in, run by /bin/sh in the match folder
# For each kind K:
#   opp_K_check        refuses (die) a value that cannot be played, on the server of kind
#                      $serverkind, with vorn on $side and $players players
#   opp_K_players      how many clients it brings, for the count pitch kicks off at
#   opp_K_pitch        the options it needs of pitch
#   opp_K_joins        how many of its players must have joined before the other team
#                      starts, 0 when the server seats it or it is absent; when not 0, a
#                      match is invalid unless they did, and stayed to time over
#   opp_K_kickoff      the seconds after the server's start by which it kicks off, whoever
#                      has come
#   opp_K_start        starts it in a session of its own, its output in opponent.txt of the
#                      match folder; sets opppid (the session's first process)
#   opp_K_stop         asks it to end, at time over
#   opp_K_stage STAGE  for a series: copies what it needs into the folder STAGE, which every
#                      machine plays from, and prints the --opponent value that plays it
#                      from there (a path relative to STAGE); sets oppfiles (what of STAGE
#                      to send to the other machines) and oppprograms (series_summary.py's
#                      --program arguments for the programs it plays)
#   opp_K_build        the folder of another build of vorn when it is one: a series then
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

# --- chasers and none: nothing to start.

opp_chasers_check() { [ "$serverkind" = pitch ] || die "--opponent chasers: the chasers are" \
  "pitch's own; on the real server choose none or a command"; }
opp_chasers_players() { echo 0; }
opp_chasers_pitch() { echo --opponent chasers $([ "$side" = left ] || echo --chasers-side left); }
opp_chasers_joins() { echo 0; }
opp_chasers_kickoff() { echo 30; }
opp_chasers_start() { :; }
opp_chasers_stop() { :; }
opp_chasers_stage() { echo chasers; }
opp_chasers_build() { :; }

opp_none_check() { [ "$side" = left ] || die "--side right needs an opponent (the first team" \
  "to come plays left)"; }
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

oppbin() { echo "${opponent#vorn:}"; }

opp_vorn_check() {
  local p
  for p in Vorn Vorng; do
    [ -x "$(oppbin)/$p" ] || die "--opponent vorn:DIR: $(oppbin)/$p is missing"
  done
  [ "$players" = 11 ] || die "--opponent vorn:DIR needs --players 11 (pitch seats the first" \
    "eleven of the name on the left)"
  [ "$serverkind" = pitch ] || die "--opponent vorn:DIR needs --server pitch (only pitch" \
    "seats two teams of one name)"
  opponent=vorn:$(cd "$(oppbin)" && pwd) # its players start in folders of their own
}
opp_vorn_players() { echo 11; }
# Its team is the one pitch calls vorn-b, on either side: the build under test stays vorn.
opp_vorn_pitch() {
  echo --twin-teams --twin-b-side "$([ "$side" = left ] && echo right || echo left)"
}
opp_vorn_joins() { echo 11; }
opp_vorn_kickoff() { echo $((connectwait + 15)); }
opp_vorn_start() {
  (exec setpriv --pdeathsig TERM setsid "$here/scripts/start-team.sh" --host 127.0.0.1 --port "$port" --players 11 \
    --dir "$dir/opponent" --bin "$(oppbin)") >"$dir/opponent.txt" 2>&1 </dev/null &
  opppid=$!
}
# Its starter types "quit" to its players on SIGTERM, as to ours.
opp_vorn_stop() { [ -z "$opppid" ] || kill -TERM "$opppid" 2>/dev/null; }
opp_vorn_stage() {
  mkdir -p "$1/opponent" && cp -p "$(oppbin)/Vorn" "$(oppbin)/Vorng" "$1/opponent/" || return 1
  oppfiles=(opponent)
  oppprograms=(--program "opponent goalie" "$(oppbin)/Vorng" "$1/opponent/Vorng"
    --program "opponent field player" "$(oppbin)/Vorn" "$1/opponent/Vorn")
  echo vorn:opponent
}
opp_vorn_build() { oppbin; }

# --- A command that starts a team.

opp_command_check() {
  [[ $opponent == *"{port}"* ]] || die "--opponent: the command must be given the server's" \
    "port: write {port} where it goes (for example '/home/me/team/start.sh -p {port}'), and" \
    "{host} for the host"
  local first
  read -r first _ <<<"$opponent"
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
opp_command_players() { echo 11; } # as far as anyone knows: fewer kick off later
opp_command_pitch() { :; }
opp_command_joins() { echo 1; }
opp_command_kickoff() { echo $((connectwait + 15)); }
opp_command_start() {
  local command=${opponent//\{host\}/127.0.0.1}
  command=${command//\{port\}/$port}
  (cd "$dir" && exec setpriv --pdeathsig TERM setsid /bin/sh -c "$command") >"$dir/opponent.txt" 2>&1 </dev/null &
  opppid=$!
}
opp_command_stop() { [ -z "$opppid" ] || kill -TERM -- "-$opppid" 2>/dev/null; }
opp_command_stage() { printf '%s\n' "$opponent"; }
opp_command_build() { :; }

# oppsession: the processes of the opponent's session (its first process's pid is the
# session's id), zombies left out, from /proc: field 6 of a process's stat line, after its
# name in parentheses.
oppsession() {
  local stat line fields
  [ -n "$opppid" ] || return 0
  for stat in /proc/[0-9]*/stat; do
    { IFS= read -r line <"$stat"; } 2>/dev/null || continue # it may have just ended
    read -r -a fields <<<"${line##*) }"
    [ "${fields[3]}" != "$opppid" ] || [ "${fields[0]}" = Z ] || echo "${line%% *}"
  done
}

# oppalive: whether a process of the opponent's session is left.
oppalive() { [ -n "$(oppsession)" ]; }

# oppend: the opponent's session ended: what is left of it 5 s after it was asked to end
# gets SIGTERM, and after 2 s more SIGKILL.
oppend() {
  [ -n "$opppid" ] || return 0
  local i pids signal
  for i in $(seq 50); do oppalive || break; sleep 0.1; done
  for signal in TERM KILL; do
    pids=$(oppsession)
    [ -n "$pids" ] || break
    kill "-$signal" $pids 2>/dev/null
    for i in $(seq 20); do oppalive || break; sleep 0.1; done
  done
  { wait "$opppid"; } 2>/dev/null
  opppid=""
}
