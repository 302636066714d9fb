#!/usr/bin/env bash
# A stand-in for ssh that runs the command on this machine, for testing what GNU parallel
# does with other machines without an ssh server: the options are passed over, the host and
# the command's first words are written to $STANDIN_LOG, and the command runs in the folder
# $STANDIN_HOME, which plays the remote home folder, with SHELL set as an ssh login sets it.
# With STANDIN_DROP=1 the first job sent (GNU parallel's perl worker) ends at once with
# status 0 and runs nothing, as from a machine that lost it.
#   PARALLEL_SSH=ssh_standin.sh STANDIN_HOME=D STANDIN_LOG=FILE parallel --sshlogin HOST ...
set -uo pipefail
while [ $# -gt 0 ]; do
  case "$1" in
    -[bcDEeFIiJLlmOopQRSWw]) shift 2 ;; # options of ssh that take a value
    -*) shift ;;
    *) break ;;
  esac
done
host=$1
shift
[ "${1:-}" != -- ] || shift
if [ "${STANDIN_DROP:-0}" = 1 ] && [[ "$*" == "exec perl "* ]] &&
  ! grep -q " exec perl " "${STANDIN_LOG:?}" 2>/dev/null; then
  echo "$host exec perl (dropped)" >>"$STANDIN_LOG"
  exit 0
fi
echo "$host ${1:-} ${2:-}" >>"${STANDIN_LOG:?}"
export HOME=${STANDIN_HOME:?} SHELL=/bin/bash
cd "$HOME" && exec bash -c "$*"
