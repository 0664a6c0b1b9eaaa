#!/usr/bin/env bash
# tests/scripts/tst_installdeps.sh <scripts/install-deps.sh>
# Runs the set-up script with stand-ins for dpkg-query (every package missing), sudo and apt-get on
# PATH: it waits only while another process holds apt's lock, and fails at once on a lock it cannot open.
set -u
script=$1
bin=$(mktemp -d "${TMPDIR:-/tmp}/installdeps-XXXXXX") || exit 1
trap 'rm -rf "$bin"' EXIT
failures=0

printf '#!/bin/sh\nexit 0\n' >"$bin/dpkg-query"
printf '#!/bin/sh\nexec "$@"\n' >"$bin/sudo"
# apt-get answering as apt does when its lock cannot be opened (denied), or is held by another process
# at its first call (held-once). It logs each call: whether it was to wait for the lock, and what for.
cat >"$bin/apt-get" <<'STANDIN'
#!/bin/sh
case $2 in DPkg::Lock::Timeout=0) wait=no ;; *) wait=yes ;; esac
echo "wait=$wait $3" >>"$APT_LOG"
if [ "$APT_MODE" = denied ]; then
  echo "E: Could not open lock file /var/lib/apt/lists/lock - open (13: Permission denied)" >&2
  echo "E: Unable to lock directory /var/lib/apt/lists/" >&2
  exit 100
fi
if [ "$APT_MODE" = held-once ] && [ "$(wc -l <"$APT_LOG")" -eq 1 ]; then
  echo "E: Could not get lock /var/lib/apt/lists/lock. It is held by process 4242 (unattended-upgr)" >&2
  echo "E: Unable to lock directory /var/lib/apt/lists/" >&2
  exit 100
fi
exit 0
STANDIN
chmod +x "$bin"/*

# check <mode> <expected status> <expected apt-get calls> <a line it prints>
check() {
  local mode=$1 expected=$2 calls=$3 line=$4 status=0
  : >"$bin/log"
  PATH="$bin:$PATH" APT_MODE=$mode APT_LOG="$bin/log" timeout 30 "$script" >/dev/null 2>"$bin/errors" ||
    status=$?
  if ((status != expected)) || [[ $(cat "$bin/log") != "$calls" ]] || ! grep -q -x -F -- "$line" "$bin/errors"; then
    echo "FAIL: $mode: exit status $status (expected $expected), apt-get called as"
    sed 's/^/  /' "$bin/log"
    echo "expected"
    sed 's/^/  /' <<<"$calls"
    echo "and printed"
    sed 's/^/  /' "$bin/errors"
    echo "expected among them: $line"
    failures=$((failures + 1))
  fi
}

check denied 1 'wait=no update' \
  'E: Could not open lock file /var/lib/apt/lists/lock - open (13: Permission denied)'
check held-once 0 $'wait=no update\nwait=yes update\nwait=yes install' \
  "install-deps: another package manager holds apt's lock (held by process 4242 (unattended-upgr)); waiting for it, at most 10 minutes"

((failures == 0))
