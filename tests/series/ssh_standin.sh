#!/usr/bin/env bash
# A stand-in for ssh that runs the command on this machine, for testing what GNU parallel
# does with other machines without an ssh server: the options are passed over, the host and
# the command's first words are written to $STANDIN_LOG, and the command runs in the folder
# $STANDIN_HOME, which plays the remote home folder, with SHELL set as an ssh login sets it.
# The jobs (GNU parallel's perl workers) sent to it are counted from 1 in the log:
#   STANDIN_DROP=K   job K ends at once with status 0 and runs nothing, as from a machine
#                    that lost it without a word
#   STANDIN_LOSE=K   job K loses its connection once it has begun: its first line of output
#                    comes through, then the stand-in ends with status 255, as ssh does when
#                    the connection drops; the worker, its parent gone as when sshd ends,
#                    stops the job itself (GNU parallel's --termseq)
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
export HOME=${STANDIN_HOME:?} SHELL=/bin/bash
if [[ "$*" == "exec perl "* ]]; then
  job=$(($(grep -c "^[^ ]* exec perl" "${STANDIN_LOG:?}" 2>/dev/null) + 1))
  if [ "$job" = "${STANDIN_DROP:-}" ]; then
    echo "$host exec perl (job $job dropped)" >>"$STANDIN_LOG"
    exit 0
  fi
  if [ "$job" = "${STANDIN_LOSE:-}" ]; then
    echo "$host exec perl (job $job: connection lost once begun)" >>"$STANDIN_LOG"
    fifo=$(mktemp -u "${TMPDIR:-/tmp}/standin.XXXXXX")
    mkfifo "$fifo" || exit 255
    (cd "$HOME" && exec bash -c "$*") >"$fifo" 2>&1 &
    IFS= read -r line <"$fifo"
    rm -f "$fifo"
    printf '%s\n' "$line"
    exit 255
  fi
fi
echo "$host ${1:-} ${2:-}" >>"${STANDIN_LOG:?}"
cd "$HOME" && exec bash -c "$*"
