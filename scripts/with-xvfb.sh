#!/usr/bin/env bash
# Runs a command on a private X display: starts Xvfb on a free display (Xvfb picks it and names it once
# it accepts clients), runs the command there with DISPLAY and XAUTHORITY set, and stops the display when
# the command ends. The exit status is the command's. A display that does not start ends this script
# with status 1 and Xvfb's messages before the command runs: nothing runs without its display.
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
xvfb_pid=
stop_display() {
  if [[ -n $xvfb_pid ]]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap stop_display EXIT

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

status=0
DISPLAY=:$number XAUTHORITY=$auth "$@" || status=$?
exit "$status"
