#!/usr/bin/env bash
# Runs a command on a private X display: starts Xvfb on a free display (Xvfb picks it and names it once
# it accepts clients), runs the command there with DISPLAY and XAUTHORITY set, and stops the display when
# the command ends. The exit status is the command's. A display that does not start ends this script
# with status 1 and Xvfb's messages before the command runs: nothing runs without its display. The command
# runs in a session of its own. A TERM, INT or HUP sent to this script sends TERM to every process group of
# that session (the command's, and those a shell using job control makes for its jobs), waits for the
# command, and stops the display; the script then ends with 128 plus the signal's number. A process that
# makes a session of its own (setsid) leaves the command's session and is not reached.
#
#   scripts/with-xvfb.sh WxHxDEPTH command [arguments...]
#
# Every path is handed over as one argument, so any character in TMPDIR is fine (xvfb-run splits its
# authority file's path at spaces).
set -euo pipefail

if [[ $# -lt 2 ]]; then
  echo "usage: scripts/with-xvfb.sh WxHxDEPTH command [arguments...]" >&2
  exit 2
fi
screen=$1
shift

work=$(mktemp -d "${TMPDIR:-/tmp}/lumesk-xvfb-XXXXXX")
# Absolute, so the authority file is found by a command that changes its folder (TMPDIR may be relative).
work=$(cd -- "$work" && pwd)
xvfb_pid=
command_pid=
stop_display() {
  if [[ -n $xvfb_pid ]]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap stop_display EXIT
# The process groups of the command's session (its id is the command's process id), from /proc: the fields
# after the name (which may hold spaces and parentheses) are state, parent, group and session.
session_groups() {
  local stat line fields
  for stat in /proc/[0-9]*/stat; do
    { line=$(<"$stat"); } 2>/dev/null || continue # a process that ended meanwhile
    read -r -a fields <<<"${line##*) }"
    [[ ${fields[3]} == "$command_pid" ]] && echo "${fields[2]}"
  done | sort -u
}
stop_on_signal() {
  if [[ -n $command_pid ]]; then
    # TERM whatever came, to every process group of the command's session; CONT, so a stopped job gets
    # it too. Twice: a group made while the first round ran is found in the second.
    local round group
    for round in 1 2; do
      for group in $(session_groups); do
        kill -TERM -- -"$group" 2>/dev/null || true
        kill -CONT -- -"$group" 2>/dev/null || true
      done
    done
    kill -TERM "$command_pid" 2>/dev/null || true
    wait "$command_pid" 2>/dev/null || true
  fi
  exit $((128 + $1))
}
trap 'stop_on_signal 15' TERM
trap 'stop_on_signal 2' INT
trap 'stop_on_signal 1' HUP

# Xvfb takes every cookie in its authority file whatever display it is written for; a client looks for
# its own display's, added once the number is known.
auth=$work/Xauthority
cookie=$(mcookie)
: >"$auth"
xauth -q -f "$auth" add :0 . "$cookie"
mkfifo "$work/display"
Xvfb -displayfd 3 -auth "$auth" -screen 0 "$screen" -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
number=
read -r -t 60 number <"$work/display" || true
if ! [[ $number =~ ^[0-9]+$ ]]; then
  echo "with-xvfb: Xvfb did not start; it said:" >&2
  sed 's/^/  /' "$work/xvfb.log" >&2
  exit 1
fi
xauth -q -f "$auth" add ":$number" . "$cookie"

# In the background, so a signal reaches this script's traps while the command runs; it keeps this
# script's standard input. A session of its own lets a signal end everything the command started (ctest
# leaves its tests running when it is ended), whatever process group it is in; INT and QUIT, which a command started in the background of a
# script would ignore, act as usual in it.
DISPLAY=:$number XAUTHORITY=$auth setsid env --default-signal=INT,QUIT "$@" <&0 &
command_pid=$!
status=0
wait "$command_pid" || status=$?
exit "$status"
