#!/usr/bin/env bash
# A stand-in for ssh that runs the command on this machine, for testing what GNU parallel
# does with other machines without an ssh server: the options are passed over, the host
# is written to $STANDIN_LOG, and the command runs in the folder $STANDIN_HOME, which plays
# the remote home folder.
#   PARALLEL_SSH=ssh_standin.sh STANDIN_HOME=D STANDIN_LOG=FILE parallel --sshlogin HOST ...
set -uo pipefail
while [ $# -gt 0 ]; do
  case "$1" in
    -[bcDEeFIiJLlmOopQRSWw]) shift 2 ;; # options of ssh that take a value
    -*) shift ;;
    *) break ;;
  esac
done
echo "$1 $2 ${3:-}" >>"${STANDIN_LOG:?}"
shift
[ "${1:-}" != -- ] || shift
export HOME=${STANDIN_HOME:?}
cd "$HOME" && exec bash -c "$*"
