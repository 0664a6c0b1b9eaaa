#!/usr/bin/env bash
# Runs one test program in a temporary folder of its own (TMPDIR, inside the one the caller has) and
# removes that folder when the program ends, however it ends. What the program left there, besides Qt's
# own runtime folder (runtime-<user>), fails the test: every test removes what it makes.
#
#   cmake/run-in-own-tmpdir.sh <program> [arguments...]
#
# The exit status is the program's; a program that died of a signal ends this script by the same one,
# so ctest reports it as before.
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

if ((status > 128 && status < 128 + 64)); then
  rm -rf "$own"
  trap - EXIT
  kill -s $((status - 128)) $$
fi
exit "$status"
