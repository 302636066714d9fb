# What the scripts share: their --help text, the reading of their options (one table a script)
# and the checks of their values, the seed's range, their folders and waits. Sourced by run.sh,
# test.sh and the scripts in scripts/ (not run on its own). Every check either returns quietly
# or ends the script with one line naming the option and exit status 2, and none of them
# creates or starts anything.
#
# The scripts lie in scripts/ of the repository, or, installed, in PREFIX/share/vorn/scripts
# with PREFIX/bin/vorn-NAME a symbolic link to each command. A script finds this file and its
# neighbours from its own real path (here is the folder above scripts/):
#   here=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)

# The name a script's lines begin with: its own, or VORN_CALLER's when a script that passes
# its options on checks them this way (run.sh, whose options go to match.sh); not passed on.
prog=${VORN_CALLER:-$(basename "$0")}
unset VORN_CALLER

# binfolder: where Vorn, Vorng and pitch are: $VORN_BIN when set; else build/bin in the
# repository; else, installed, PREFIX/bin.
binfolder() {
  local top
  top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  if [ -n "${VORN_BIN:-}" ]; then
    echo "$VORN_BIN"
  elif [ -f "$top/CMakeLists.txt" ]; then
    echo "$top/build/bin"
  else
    (cd "$top/../.." && echo "$PWD/bin")
  fi
}

# usage: the comment block at the top of the running script, without its "#". Installed, it
# names the installed commands and folders (vorn-match, PREFIX/bin) in place of the
# repository's (scripts/match.sh, build/bin): scripts/vornkit/helptext.py says how.
usage() {
  local top
  top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  awk 'NR == 1 { next } /^#/ { sub(/^# ?/, ""); print; next } { exit }' "$0" |
    if [ -f "$top/CMakeLists.txt" ]; then cat; else python3 "$top/scripts/vornkit/helptext.py"; fi
}

# inrepository: whether the scripts run from the repository (not installed).
inrepository() { [ -f "$(dirname "${BASH_SOURCE[0]}")/../CMakeLists.txt" ]; }

# missinghint [OPTION]: what to do when vorn's programs are missing from their folder: in the
# repository, build them; installed, reinstall vorn or name the folder that holds them, with
# OPTION when the command has one for it, or VORN_BIN.
missinghint() {
  if inrepository; then
    echo "build first (./run.sh or ./test.sh)"
  else
    echo "reinstall vorn, or give the folder that holds them with ${1:+$1 or }VORN_BIN"
  fi
}

# Lines that outlive their reader. say and warn write a line to standard output and to
# standard error. A stream that cannot be written is given up: from then on it goes to
# /dev/null, and when it was a pipe whose reader has gone (the end of "| head", or a "| tee"
# ended by Ctrl-C) the script's function outputclosed, if it has one, is called once, to
# stop what it does as Ctrl-C would. With keep naming a file, every line is also appended
# there first, so that the file holds all that was said whatever became of the streams. A
# script that uses them traps SIGPIPE (trap : PIPE): a write to a closed pipe then fails
# instead of ending the script, and its children still get the default.
keep="" givenup="" closedpipe=""
say() { sayto 1 "$*"; }
warn() { sayto 2 "$*"; }
sayto() {
  [ -z "$keep" ] || printf '%s\n' "$2" >>"$keep" 2>/dev/null
  [[ $givenup != *$1* ]] || return 0
  if [ "$1" = 1 ]; then
    printf '%s\n' "$2" 2>/dev/null
  else
    printf '%s\n' "$2" >&2 2>/dev/null
  fi || giveup "$1"
}
giveup() {
  local pipe=""
  [ ! -p "/dev/fd/$1" ] && [ ! -S "/dev/fd/$1" ] || pipe=1
  if [ "$1" = 1 ]; then exec >/dev/null; else exec 2>/dev/null; fi
  givenup+=$1
  [ -n "$pipe" ] && [ -z "$closedpipe" ] || return 0
  closedpipe=1
  [ "$(type -t outputclosed)" != function ] || outputclosed
}

# shown COMMAND...: the command run, its output (both streams, in the order written) said
# when it has ended; its exit status.
shown() {
  local out status
  out=$("$@" 2>&1)
  status=$?
  [ -z "$out" ] || say "$out"
  return $status
}

# die MESSAGE...: the script's refusal, on standard error, and exit status 2.
die() {
  warn "$prog: $*"
  exit 2
}

# needvalue OPTION [VALUE]: called with the rest of the command line; an option that takes a
# value must be followed by one.
needvalue() { [ $# -ge 2 ] || die "$1 needs a value (see --help)"; }

# parseoptions ARGS...: the command line read by the script's table of options, the
# associative array optiontable, whose entry for an option is one of:
#   NAME       the option takes a value, which goes into the variable NAME
#   CODE       (holds "=") a switch, taking no value: CODE is run, as noise=--no-noise or
#              wanted+=(browser)
#   FUNCTION() FUNCTION is called with the option and the rest of the command line; it
#              checks its values itself and sets taken to how many of them it used (1
#              unless it says otherwise)
# An entry WORD (a FUNCTION()) takes every word that is no option of the table; without one
# such a word is refused. --help and -h print the help and exit 0. given[OPTION] is 1 for
# every option given.
declare -A given=()
parseoptions() {
  local optionentry
  while [ $# -gt 0 ]; do
    case $1 in --help | -h) usage && exit 0 ;; esac
    optionentry=${optiontable[$1]:-${optiontable[WORD]:-}}
    [ -n "$optionentry" ] || die "unknown option '$1' (see --help)"
    [ -z "${optiontable[$1]:-}" ] || given[$1]=1
    taken=1
    if [[ $optionentry == *"()" ]]; then
      "${optionentry%()}" "$@"
    elif [[ $optionentry == *=* ]]; then
      eval "$optionentry"
      taken=0
    else
      needvalue "$@"
      printf -v "$optionentry" '%s' "$2"
    fi
    shift $((taken + 1))
  done
}

# checkcount OPTION VALUE LOW HIGH: a whole number from LOW to HIGH.
checkcount() {
  if ! [[ $2 =~ ^[0-9]{1,9}$ ]] || ((10#$2 < $3 || 10#$2 > $4)); then
    die "$1 must be a whole number from $3 to $4, not '$2'"
  fi
}

# The seed of pitch's random source that the runners give a match (--seed): a whole number
# from 0 to seedmax, nine digits, which checkcount reads (pitch itself takes up to 2147483647).
# A series of N matches from seed S plays S+1 to S+N, so its S stops at seedmax - N.
seedmax=999999999
# checkseed OPTION VALUE [AFTER]: a seed given (nothing to check when VALUE is empty) that
# leaves room for AFTER seeds after it (default 0) within the range.
checkseed() { [ -z "$2" ] || checkcount "$1" "$2" 0 $((seedmax - ${3:-0})); }
# freshseed [AFTER]: a fresh seed from four random bytes, 1 to seedmax - AFTER.
freshseed() { echo $(($(od -An -N4 -tu4 /dev/urandom) % (seedmax - ${1:-0}) + 1)); }

# checkhost OPTION VALUE: a host name or dotted-decimal address with an IPv4 address. A
# port written after the host (host:port) is named as such: the port has an option of its
# own, --port.
checkhost() {
  if [[ $2 =~ ^(.*[^:]):([0-9]+)$ ]] && ! getent ahostsv4 "$2" >/dev/null 2>&1; then
    die "$1: '$2' holds a port; give the port with --port: $1 ${BASH_REMATCH[1]}" \
      "--port ${BASH_REMATCH[2]}"
  fi
  [ -n "$2" ] && getent ahostsv4 "$2" >/dev/null 2>&1 ||
    die "$1: the host '$2' is unknown (no IPv4 address for it)"
}

# writableparent OPTION PATH: the nearest folder above PATH that exists must be writable, so
# that PATH can be created.
writableparent() {
  local parent
  parent=$(dirname -- "$2")
  while [ ! -e "$parent" ]; do parent=$(dirname -- "$parent"); done
  [ -d "$parent" ] && [ -w "$parent" ] && [ -x "$parent" ] ||
    die "$1 '$2' cannot be created: '$parent' is not a folder that can be written"
}

# checkfolder OPTION PATH: PATH is a folder that can be written, or one that can be created.
checkfolder() {
  [ -n "$2" ] || die "$1 needs a folder, not ''"
  if [ -e "$2" ]; then
    [ -d "$2" ] || die "$1 '$2' is not a folder"
    [ -w "$2" ] && [ -x "$2" ] || die "$1 '$2' is a folder that cannot be written"
  else
    writableparent "$@"
  fi
}

# checkfile OPTION PATH: PATH is a file that can be written, or one that can be created.
checkfile() {
  [ -n "$2" ] || die "$1 needs a file name, not ''"
  if [ -e "$2" ]; then
    [ ! -d "$2" ] || die "$1 '$2' is a folder, not a file"
    [ -w "$2" ] || die "$1 '$2' cannot be written"
  else
    writableparent "$@"
  fi
}

# makefolder PATH: creates the folder (after checkfolder) and prints its absolute path.
makefolder() {
  mkdir -p -- "$1" 2>/dev/null || die "cannot create the folder '$1'"
  (cd -- "$1" && pwd)
}

# workfolder DIR NAME: the folder DIR, created (after checkfolder), or when DIR is empty a
# new folder NAME.XXXXXX under $TMPDIR or /tmp; prints its absolute path.
workfolder() {
  if [ -n "$1" ]; then
    makefolder "$1"
  else
    mktemp -d "${TMPDIR:-/tmp}/$2.XXXXXX" || die "cannot create a folder in ${TMPDIR:-/tmp}"
  fi
}

# signalname STATUS: the signal that ended a process, from the exit status the shell gives it
# (128 plus the signal's number), as INT or KILL; nothing for an ordinary status.
signalname() {
  if [[ $1 =~ ^[0-9]+$ ]] && (($1 > 128 && $1 < 160)); then kill -l $(($1 - 128)); fi
}

# waitfor PID: waits until the child PID has ended, also when a trapped signal breaks a wait
# off, and sets waited to its exit status.
waitfor() {
  while :; do
    wait "$1"
    waited=$?
    [ $waited -le 128 ] || ! kill -0 "$1" 2>/dev/null || continue
    [ $waited -le 128 ] || { wait "$1"; waited=$?; }
    return 0
  done
}

# abspath PATH: the absolute path of a file whose folder exists.
abspath() {
  local folder name
  folder=$(cd -- "$(dirname -- "$1")" && pwd) || return
  name=$(basename -- "$1")
  echo "$folder/$name"
}
