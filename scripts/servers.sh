# The servers a match can be played on, each in its own option dialect. Sourced by
# scripts/match.sh and scripts/series.sh, and for pitch's command line and port by
# scripts/soak.sh and bench/pitch_timing.sh (not run on its own); a new server is one more
# kind here: its name in serverkind and the functions below. The servers' command lines are
# built by scripts/vornkit/servers.py, which bench/conformance.py imports too; the lines the
# servers print are read here, as they come.
#
# serverkind VALUE: the kind of --server VALUE: "pitch" for pitch, "rcss" for any other
# value, the path of the real simulation server's program, which takes its options as
# server::NAME=VALUE. For each kind K:
#
#   K_check CYCLES SEED NOISE RECORD
#                    refuses (die) what the server cannot do with the match's length, its
#                    seed, --no-noise and its record (each empty when not given); the real
#                    server's also makes serverpath (--server) the program's whole path
#   K_present        succeeds when its program is there, else says what is missing
#   K_name           its name in the runner's lines
#   K_onrecord BIN   the program of the server and the copy of it that a series plays (BIN:
#                    the series' copies of the programs), a line each, to put on record
#   K_options CYCLES OPPKIND SIDE
#                    the options every match of a series gives it, beside seed and side
#                    (CYCLES its length, OPPKIND the opponent's kind, SIDE vorn's)
#   K_seeded         succeeds when it takes a seed (--seed), so that a match can be played
#                    again and two series paired
#   K_record         succeeds when it writes pitch's record (the send slots' timing)
#   K_progress       succeeds when its lines tell how the match goes (pitch's: the cycle,
#                    the play mode and the score every 100 cycles): then the report leaves
#                    out the referee's calls that vorn's players heard
#   K_start          starts the server in the background on free ports, its output in the
#                    file $serverout; sets server (its pid) and port, and serverseed (its
#                    random seed) when it is known by then (the real server says it before
#                    it listens, among the lines K_start reads), or returns 1 with the reason
#                    in startproblem when it did not start
#   K_joined LINE    prints "SIDE TEAM UNUM" when the output line LINE says that a player
#                    joined (SIDE left, right, or - when the line does not say)
#   K_refused LINE   prints the reason, one line, when LINE says that the server refused a
#                    client that asked to play; else prints nothing and fails
#   K_seed LINE      prints the seed when LINE gives the server's random seed; else fails
#   K_timeover LINE  succeeds when LINE says that the time is over
#   K_show LINE      what of LINE the user sees while the match is played (nothing, the line)
#
# K_start and K_present read the match's settings from match.sh: serverpath (the --server
# value), pitchdir, dir, cycles, players, seed, oppkind, side, noise, record, kickoffafter
# (seconds after its start by which the server kicks off, come who may), and use its
# followserver, nextline, startclock, startline and startfailure (a start-up awaited as long
# as the server lives) and the opponent's kind (scripts/opponents.sh: its players, what it
# needs of pitch).

serverkind() { if [ "$1" = pitch ]; then echo pitch; else echo rcss; fi; }

# The servers' command lines: scripts/vornkit/servers.py.
serverspy=$(dirname "${BASH_SOURCE[0]}")/vornkit/servers.py

# --- pitch, our own server: one port of its choice (--port 0), its output in pitch.txt. It
# says its seed after its port, and every init it refuses, with the reason (the first 20).

# pitch_command PROGRAM [NAME=VALUE | NAME]... [-- WORD...]: pitch's command line on a port of
# its choice on 127.0.0.1 (servers.py pitch), into the array pitchargv.
pitch_command() {
  mapfile -d '' pitchargv < <(python3 "$serverspy" pitch "$@")
  [ ${#pitchargv[@]} -gt 0 ]
}
# pitch_port LINE: the port, when LINE is pitch's "pitch: listening on port N"; else fails.
pitch_port() { [[ $1 =~ ^pitch:\ listening\ on\ port\ ([0-9]+) ]] && echo "${BASH_REMATCH[1]}"; }
# pitch_portin FILE: the port that pitch's output FILE says so far; fails when it says none.
pitch_portin() {
  local line
  while IFS= read -r line; do pitch_port "$line" && return 0; done <"$1"
  return 1
}

pitch_check() { :; }
# pitch_present: its program is there, else a line that says so (found when the match
# starts, after the options' checks: status 1).
pitch_present() {
  [ ! -x "$pitchdir/pitch" ] || return 0
  if [ "$pitchdir" = "$bin" ]; then
    warn "$prog: $bin/pitch is missing; $(missinghint --pitch)"
  else
    warn "$prog: --pitch: $pitchdir/pitch is missing"
  fi
  return 1
}
pitch_name() { echo pitch; }
pitch_onrecord() { printf '%s\n' "$pitchdir/pitch" "$1/pitch"; }
pitch_options() { echo --cycles "$1" $("opp_${2}_pitch" "$3"); }
pitch_seeded() { :; }
pitch_record() { :; }
pitch_progress() { :; }

pitch_start() {
  local theirs options
  theirs=$("opp_${oppkind}_players")
  options=$("opp_${oppkind}_pitch" "$side")
  pitch_command "$pitchdir/pitch" "cycles=$cycles" "record=$record" \
    "wait-players=$((players + theirs))" "kickoff-after=$kickoffafter" \
    "seed=$seed" "game-log=$dir/match.rcg" "text-log=$dir/match.rcl" ${noise:+no-noise} \
    -- $options ||
    { startproblem="pitch did not start: $serverspy gave no command line" && return 1; }
  serverout=$dir/pitch.txt
  : >"$serverout" # there before tail follows it
  setpriv --pdeathsig TERM "${pitchargv[@]}" >"$serverout" 2>&1 &
  server=$!
  followserver
  local line
  startclock
  while startline line; do
    if port=$(pitch_port "$line"); then
      serverseed=$seed
      say "pitch listening on 127.0.0.1:$port; a match of $cycles cycles with seed $seed in $dir"
      return 0
    fi
  done
  startfailure pitch "its line 'pitch: listening on port N'" "$server" "$serverout"
  startproblem="pitch did not start: $startfailed"
  return 1
}

pitch_joined() {
  [[ $1 =~ ^pitch:\ ([^ ]+)\ ([0-9]+)( \(goalie\))?\ joined\ on\ the\ (left|right)$ ]] &&
    echo "${BASH_REMATCH[4]} ${BASH_REMATCH[1]} ${BASH_REMATCH[2]}"
}

pitch_timeover() { [[ $1 == "pitch: time over"* ]]; }

pitch_refused() {
  [[ $1 =~ ^pitch:\ player\ at\ [^\ ]+\ refused:\ (.+)$ ]] && echo "${BASH_REMATCH[1]}"
}

pitch_seed() { [[ $1 =~ ^pitch:\ random\ seed\ ([0-9]+)$ ]] && echo "${BASH_REMATCH[1]}"; }

pitch_show() {
  case $1 in
    "pitch: listening"* | "pitch: random seed"* | "pitch: time over"* | \
      "pitch: "*" joined on the "*) ;;
    *) say "$1" ;;
  esac
}

# --- The real simulation server: its own three ports (players and monitors, the trainer,
# the online coach), chosen below the system's range of ephemeral ports and found free
# before it starts; a port taken in between makes it fail to start ("Address already in
# use"), and it is started again on others. It runs in the folder server/ of the match
# folder, which is its home: its configuration folder (RCSS_CONF_DIR) is server/conf, and
# USER is unset, for it finds "~" through USER and the password file, not HOME. Its game log
# and text log go to match.rcg and match.rcl in the match folder, its output to server.txt.
#
# Its command line and environment are its dialect's (scripts/vornkit/servers.py: the ports,
# the logs, the home, what every start of it is told); beside the match's length, waits and
# logs a match tells it server::verbose=true, so that it says why it refuses a player (a third
# team, a full team, a second goalie) on its standard error; it says a version it has no
# messages for whatever this says. Verbose adds a line a player type at its start and little
# else.

rcss_check() {
  local found
  if [[ $serverpath != */* ]]; then
    found=$(type -P "$serverpath") || die "--server: '$serverpath' is not a program here" \
      "(give its path)"
    serverpath=$found
  fi
  ((10#$1 % 20 == 0)) || die "--cycles must be a multiple of 20 on the real server (it" \
    "counts a half in whole seconds), not '$1'"
  [ -z "$2" ] || die "--seed: the real server seeds its random source from its clock; it" \
    "takes no seed"
  [ -z "$3" ] || die "--no-noise is pitch's; the real server always has its noise"
  [ -z "$4" ] || die "--record: only pitch writes a record (the real server writes its" \
    "game log, match.rcg)"
  [ -x "$serverpath" ] && [ ! -d "$serverpath" ] || die "--server: '$serverpath' is not a" \
    "program that can be run (pitch, or the real server's program)"
  serverpath=$(abspath "$serverpath") # it runs in the folder server/
}
rcss_present() { :; }

rcss_name() { echo "the real server"; }
rcss_onrecord() { printf '%s\n' "$serverpath" "$serverpath"; } # played where it is
rcss_options() { echo --server "$serverpath" --cycles "$1"; }
rcss_seeded() { false; } # from its clock
rcss_record() { false; }
rcss_progress() { false; }

# rcss_startlock, rcss_startunlock: the real server seeds its random source from its clock
# in whole seconds when it starts (its source at the head of its history takes no seed:
# server::random_seed is not among its parameters), so two of them that start in one second
# would play one seed. Its starts on this machine are taken one at a time through a lock on
# ${TMPDIR:-/tmp}/vorn-rcss-start.lock, held from a start until the second after the one in
# which the server listened, by which time it has taken its seed. Bounded: a start waits at
# most 5 s for the lock and then goes on without it (saying so); a server that does not
# listen holds it no longer than its start's 20 s; the hold after listening is under a second.
rcsslock="" rcsslocked=""
rcss_startlock() {
  rcsslocked=""
  if [ -z "$rcsslock" ]; then
    { exec {rcsslock}>>"${TMPDIR:-/tmp}/vorn-rcss-start.lock"; } 2>/dev/null ||
      exec {rcsslock}</dev/null # another user's lock file: no lock to take
  fi
  if flock -w 5 "$rcsslock" 2>/dev/null; then
    rcsslocked=1
  else
    say "another real server has held the start lock for 5 s; starting without it (its" \
      "random seed, the second it starts in, may be another match's)"
  fi
}
rcss_startunlock() {
  [ -n "$rcsslocked" ] || return 0
  if [ "$1" = listening ]; then
    local left=$((1010000 - ${EPOCHREALTIME/./} % 1000000)) # to 10 ms into the next second
    sleep "$((left / 1000000)).$(printf %06d $((left % 1000000)))"
  fi
  flock -u "$rcsslock"
  rcsslocked=""
}

rcss_start() {
  local home=$dir/server tries line got words
  serverseed=""
  mkdir -p "$home/conf" || { startproblem="cannot create '$home'"; return 1; }
  serverout=$dir/server.txt
  rcss_startlock
  for tries in 1 2 3 4 5; do
    # Three free ports, the first of them first, then the command (env and the server).
    mapfile -d '' words < <(python3 "$serverspy" rcss "$serverpath" "$dir" match "$home" \
      "connect_wait=$((kickoffafter * 10))" kick_off_wait=20 game_over_wait=10 \
      "half_time=$((10#$cycles / 20))" synch_mode=false verbose=true)
    if [ ${#words[@]} -lt 2 ]; then
      rcss_startunlock
      startproblem="no three free ports in a row for the server"
      return 1
    fi
    port=${words[0]}
    : >"$serverout"
    # Line by line (stdbuf), so that every player's "connected" is read as it comes; the
    # start lock is not its to hold.
    (cd "$home" && { [ -z "$rcsslock" ] || exec {rcsslock}>&-; } &&
      exec setpriv --pdeathsig TERM stdbuf -oL -eL "${words[@]:1}") >"$serverout" 2>&1 &
    server=$!
    followserver
    startclock
    while startline line; do
      if [[ $line == "Hit CTRL-C to exit"* ]]; then
        rcss_startunlock listening
        say "the real server ($serverpath) listening on 127.0.0.1:$port (its trainer" \
          "$((port + 1)), its coach $((port + 2))); a match of $cycles cycles in $dir"
        return 0
      fi
      got=$(rcss_seed "$line") && serverseed=$got
    done
    startfailure "the real server" "its line 'Hit CTRL-C to exit'" "$server" "$serverout"
    { kill "$server" && waitfor "$server"; } 2>/dev/null # when it was still running
    server=""
    grep -q "Address already in use" "$serverout" || break
    say "the real server found port $port or the two after it taken; trying others"
  done
  rcss_startunlock
  startproblem="the real server did not start: $startfailed"
  return 1
}

rcss_joined() {
  [[ $1 =~ ^A\ new\ \(v[0-9.]+\)\ player\ \(([^ ]+)\ ([0-9]+)\)\ connected\.$ ]] &&
    echo "- ${BASH_REMATCH[1]} ${BASH_REMATCH[2]}"
}

rcss_timeover() { [[ $1 == "Waiting after end of match"* ]]; }

# rcss_refused: its lines of a refused player, on its standard error (the first three with
# server::verbose only): a team name that is neither side's, a twelfth player or a second
# goalie of a team, and a version it has no messages for (the first of the lines it says
# then; the next, "Error: Could not find serializer or sender for version V", it says of an
# online coach's too).
rcss_refused() {
  local why
  if [[ $1 =~ ^Warning:Too\ many\ teams\.\ \[teamname\ =\ \'(.*)\'\]$ ]]; then
    why="a third team, ${BASH_REMATCH[1]}, asked to play (both sides have their teams)"
  elif [[ $1 == "Warning:Too many players." ]]; then
    why="its team has eleven players already"
  elif [[ $1 == "Warning:Too many goalies." ]]; then
    why="its team has its goalie already"
  elif [[ $1 =~ ^No\ [A-Za-z]+Player::Creator\ v([^ ]+)$ ]]; then
    why="it asked for protocol version ${BASH_REMATCH[1]}, which the real server does not serve"
  else
    return 1
  fi
  echo "the real server refused a player: $why"
}

# rcss_seed: "Simulator Random Seed: N", its seed from its clock, or "Using given Simulator
# Random Seed: N" from a version that takes one.
rcss_seed() {
  [[ $1 =~ ^(Using\ given\ )?Simulator\ Random\ Seed:\ (-?[0-9]+)$ ]] && echo "${BASH_REMATCH[2]}"
}

rcss_show() { :; }
