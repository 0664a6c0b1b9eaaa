#!/usr/bin/env bash
# tests/scripts/tst_withxvfb.sh <scripts/with-xvfb.sh>
# In a temporary folder whose path holds a space and glob characters, the command runs on a display that
# answers, its status comes back, and the display and the script's folder are gone when it returns. An
# Xvfb that does not start fails the script before the command runs. A TERM to the script ends what the
# command started, in any process group of its session.
set -u
script=$1
tree=$(mktemp -d "${TMPDIR:-/tmp}/withxvfb-XXXXXX") || exit 1
trap 'rm -rf "$tree"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  sed 's/^/  /' "$tree/out"
  failures=$((failures + 1))
}

tmp="$tree/a b [*?]"
mkdir "$tmp" "$tree/bin"
# The command photographs its display, names the display's server (the script's Xvfb child) and ends with 7.
cat >"$tree/command" <<'COMMAND'
#!/bin/sh
import -window root "$1/root.png" || exit 1
for stat in /proc/[0-9]*/stat; do
  read -r pid name state parent rest 2>/dev/null <"$stat"
  [ "$name" = "(Xvfb)" ] && [ "$parent" = "$PPID" ] && echo "$pid" >"$1/xvfb.pid"
done
exit 7
COMMAND
chmod +x "$tree/command"
status=0
TMPDIR=$tmp timeout 120 "$script" 640x480x24 "$tree/command" "$tree" >"$tree/out" 2>&1 || status=$?
pid=$(cat "$tree/xvfb.pid" 2>/dev/null)
if ((status != 7)) || [[ ! -s $tree/root.png || -z $pid ]]; then
  fail "a TMPDIR with a space: exit status $status (expected 7), picture: $(ls "$tree/root.png" 2>&1), Xvfb: $pid"
fi
[[ -n $pid ]] && kill -0 "$pid" 2>/dev/null && fail "the display's server ($pid) still runs"
[[ -z $(ls -A "$tmp") ]] || fail "left in TMPDIR: $(ls -A "$tmp")"

printf '#!/bin/sh\necho "Fatal server error: stand-in" >&2\nexit 1\n' >"$tree/bin/Xvfb"
chmod +x "$tree/bin/Xvfb"
status=0
PATH="$tree/bin:$PATH" timeout 120 "$script" 640x480x24 touch "$tree/ran" >"$tree/out" 2>&1 || status=$?
if ((status != 1)) || [[ -e $tree/ran ]] || ! grep -q -F "Fatal server error: stand-in" "$tree/out"; then
  fail "an Xvfb that does not start: exit status $status (expected 1), the command ran: $(ls "$tree/ran" 2>&1)"
fi

# A relative TMPDIR: a command that changes its folder still reaches the display.
status=0
absolute=$(realpath -- "$script")
(cd "$tree" && TMPDIR="a b [*?]" timeout 120 "$absolute" 640x480x24 sh -c 'cd / && import -window root "$0/relative.png"' \
  "$tree" >"$tree/out" 2>&1) || status=$?
((status == 0)) || fail "a relative TMPDIR: exit status $status (expected 0)"

# A TERM to the script ends the command and what it started, and the display.
printf '#!/bin/sh\nsleep 300 &\necho $! >"$1/child.pid"\nwait\n' >"$tree/starter"
chmod +x "$tree/starter"
"$script" 640x480x24 "$tree/starter" "$tree" >"$tree/out" 2>&1 &
wrapper=$!
for _ in $(seq 1 600); do [[ -s $tree/child.pid ]] && break; sleep 0.1; done
kill -TERM "$wrapper"
status=0
wait "$wrapper" || status=$?
child=$(cat "$tree/child.pid" 2>/dev/null)
((status == 143)) || fail "TERM: exit status $status (expected 143)"
# Ended, though maybe not yet reaped (a zombie).
if [[ -n $child ]] && [[ $(ps -o stat= -p "$child" 2>/dev/null) == [!Z]* ]]; then
  fail "TERM: the command's child ($child) still runs"
  kill "$child"
fi

# A TERM to the script also ends the background job of a command using job control, which puts the job in
# a process group of its own (in the command's session).
printf '#!/bin/bash\nset -m\nsleep 300 &\necho $! >"$1/job.pid"\nwait\n' >"$tree/jobs"
chmod +x "$tree/jobs"
"$script" 640x480x24 "$tree/jobs" "$tree" >"$tree/out" 2>&1 &
wrapper=$!
for _ in $(seq 1 600); do [[ -s $tree/job.pid ]] && break; sleep 0.1; done
kill -TERM "$wrapper"
status=0
wait "$wrapper" || status=$?
job=$(cat "$tree/job.pid" 2>/dev/null)
((status == 143)) || fail "TERM to a job-control command: exit status $status (expected 143)"
if [[ -z $job ]]; then
  fail "the job-control command named no job"
else
  # The job has the signal once the script returns; under load it may take a while to end.
  for _ in $(seq 1 300); do [[ $(ps -o stat= -p "$job" 2>/dev/null) == [!Z]* ]] || break; sleep 0.1; done
  if [[ $(ps -o stat= -p "$job" 2>/dev/null) == [!Z]* ]]; then
    fail "TERM to a job-control command: its background job ($job) still runs"
    kill "$job"
  fi
fi

((failures == 0))
