#!/usr/bin/env bash
# Runs one test program in a temporary folder of its own (TMPDIR, inside the one the caller has) and
# removes that folder when the program ends, however it ends. What the program left there, besides Qt's
# own runtime folder (runtime-<user>), fails the test: every test removes what it makes. Only when this
# script is killed itself (ctest kills an entry at its time-out with SIGKILL) does the folder stay:
# ./test.sh and scripts/stress-tests.sh give ctest a folder of their own and remove that.
#
#   cmake/run-in-own-tmpdir.sh <program> [arguments...]
#
# The exit status is the program's. A status of 128 + N, where signal N ends a process by default
# (1-16, 24-27, 29-31), is taken for death by that signal: it ends this script by the same one, so ctest
# reports it as before. Any other status (147, 162, ...) is returned as it is: raising its signal would
# stop this script (19-22), do nothing (17, 18, 23, 28) or end it by a real-time signal (from 32).
set -u

own=$(mktemp -d "${TMPDIR:-/tmp}/lumesk-test-XXXXXX") || exit 1
trap 'rm -rf "$own"' EXIT

TMPDIR=$own "$@"
status=$?

left=$(find "$own" -mindepth 1 -maxdepth 1 ! -name 'runtime-*' -printf '%f\n' | sort)
if [[ -n "$left" ]]; then
  echo "FAIL: the test left in its temporary folder: ${left//$'\n'/ }"
  find "$own" -mindepth 1 -maxdepth 4 ! -path "$own/runtime-*" -printf '  %P\n' | sort | head -n 40
  ((status == 0)) && status=1
fi

signal=$((status - 128))
if (((signal >= 1 && signal <= 16) || (signal >= 24 && signal <= 27) || (signal >= 29 && signal <= 31))); then
  rm -rf "$own"
  trap - EXIT
  ulimit -c 0 # the program's core, if any, is written; this script's is of no use
  kill -s "$signal" $$
fi
exit "$status"
