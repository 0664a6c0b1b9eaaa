#!/usr/bin/env bash
# tests/scripts/tst_runsh.sh <run.sh>
# Runs a copy of run.sh in a tree of stand-ins: its set-up script, cmake on PATH, the program and the
# stand-in services each log what they were called with, so nothing is installed, built or started.
# --stand-ins counts wherever it stands, -h and --help print the usage and do nothing else, and every
# other argument reaches the program in its order.
set -u
script=$1
tree=$(mktemp -d "${TMPDIR:-/tmp}/runsh-XXXXXX") || exit 1
trap 'rm -rf "$tree"' EXIT
failures=0

cp "$script" "$tree/run.sh"
mkdir -p "$tree/scripts" "$tree/bin" "$tree/build/release/app" "$tree/build/stand-ins/tools/fake-services"
printf '#!/bin/sh\necho install >>"$RUN_LOG"\n' >"$tree/scripts/install-deps.sh"
printf '#!/bin/sh\n[ "$1" = --build ] && echo "build $4" >>"$RUN_LOG"\nexit 0\n' >"$tree/bin/cmake"
printf '#!/bin/sh\necho "program ${LUMESK_STANDIN_CHECK:-real}: $*" >>"$RUN_LOG"\n' \
  >"$tree/build/release/app/velto-lumesk"
# Ends when run.sh stops it, as the real one does.
printf '#!/bin/sh\necho LUMESK_STANDIN_CHECK=stand-ins\necho ready\nexec sleep 60\n' \
  >"$tree/build/stand-ins/tools/fake-services/fake-services"
chmod +x "$tree/scripts/install-deps.sh" "$tree/bin/cmake" "$tree/build/release/app/velto-lumesk" \
  "$tree/build/stand-ins/tools/fake-services/fake-services"

# check <expected log> <a line it prints, or nothing> <arguments...>
check() {
  local expected=$1 line=$2 status=0
  shift 2
  : >"$tree/log"
  PATH="$tree/bin:$PATH" RUN_LOG="$tree/log" timeout 30 "$tree/run.sh" "$@" >"$tree/out" 2>&1 || status=$?
  if ((status != 0)) || [[ $(cat "$tree/log") != "$expected" ]] ||
    { [[ -n $line ]] && ! grep -q -F -- "$line" "$tree/out"; }; then
    echo "FAIL: run.sh $*: exit status $status, called"
    sed 's/^/  /' "$tree/log"
    echo "expected"
    sed 's/^/  /' <<<"$expected"
    echo "and printed"
    sed 's/^/  /' "$tree/out"
    [[ -n $line ]] && echo "expected among it: $line"
    failures=$((failures + 1))
  fi
}

check '' '--stand-ins' --help
check '' '--stand-ins' --bogus -h --stand-ins
check $'install\nbuild lumesk_program\nprogram real: --bogus -style fusion' '' --bogus -style fusion
check $'install\nbuild lumesk_program\nbuild fake-services\nprogram stand-ins: --bogus x' '' --bogus --stand-ins x
check $'install\nbuild lumesk_program\nbuild fake-services\nprogram stand-ins: ' '' --stand-ins

((failures == 0))
