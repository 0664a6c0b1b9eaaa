#!/usr/bin/env bash
# tests/scripts/tst_runsh.sh <run.sh>
# Runs a copy of run.sh in a tree of stand-ins: its set-up script, cmake on PATH, the program and the
# stand-in services each log what they were called with, so nothing is installed, built or started.
# --stand-ins counts wherever it stands, -h and --help print the usage and do nothing else, every other
# argument reaches the program as it was given (one with a space, an empty one, a glob) and in its
# order, run.sh ends with the program's exit status, and the stand-in services are stopped once it ends.
set -u
script=$1
tree=$(mktemp -d "${TMPDIR:-/tmp}/runsh-XXXXXX") || exit 1
trap 'rm -rf "$tree"' EXIT
failures=0

cp "$script" "$tree/run.sh"
mkdir -p "$tree/scripts" "$tree/bin" "$tree/build/release/app" "$tree/build/stand-ins/tools/fake-services"
printf '#!/bin/sh\necho install >>"$RUN_LOG"\n' >"$tree/scripts/install-deps.sh"
printf '#!/bin/sh\n[ "$1" = --build ] && echo "build $4" >>"$RUN_LOG"\nexit 0\n' >"$tree/bin/cmake"
# The program logs each argument on a line of its own and ends with a status of its own.
cat >"$tree/build/release/app/velto-lumesk" <<'PROGRAM'
#!/bin/sh
echo "program ${LUMESK_STANDIN_CHECK:-real}" >>"$RUN_LOG"
for a; do printf '[%s]\n' "$a" >>"$RUN_LOG"; done
exit 42
PROGRAM
# Ends when run.sh stops it, as the real one does, and leaves its process id beside the log.
printf '#!/bin/sh\necho $$ >"$RUN_LOG.services"\necho LUMESK_STANDIN_CHECK=stand-ins\necho ready\nexec sleep 60\n' \
  >"$tree/build/stand-ins/tools/fake-services/fake-services"
chmod +x "$tree/scripts/install-deps.sh" "$tree/bin/cmake" "$tree/build/release/app/velto-lumesk" \
  "$tree/build/stand-ins/tools/fake-services/fake-services"

# Whether a process is gone (a zombie no one reaps counts as gone).
gone() {
  local state
  state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null) || return 0
  [[ $state == Z* ]]
}

# check <expected status> <expected log> <a line it prints, or nothing> <arguments...>
check() {
  local expected_status=$1 expected=$2 line=$3 status=0 services='' i
  shift 3
  : >"$tree/log"
  rm -f "$tree/log.services"
  PATH="$tree/bin:$PATH" RUN_LOG="$tree/log" timeout 30 "$tree/run.sh" "$@" >"$tree/out" 2>&1 || status=$?
  if [[ -s $tree/log.services ]]; then
    services=$(cat "$tree/log.services")
    for ((i = 0; i < 300; i++)); do
      if gone "$services"; then break; fi
      sleep 0.1
    done
  fi
  if ((status != expected_status)) || [[ $(cat "$tree/log") != "$expected" ]] ||
    { [[ -n $line ]] && ! grep -q -F -- "$line" "$tree/out"; } || { [[ -n $services ]] && ! gone "$services"; }; then
    echo "FAIL: run.sh ${*@Q}: exit status $status (expected $expected_status), called"
    sed 's/^/  /' "$tree/log"
    echo "expected"
    sed 's/^/  /' <<<"$expected"
    echo "and printed"
    sed 's/^/  /' "$tree/out"
    [[ -n $line ]] && echo "expected among it: $line"
    [[ -n $services ]] && ! gone "$services" && echo "the stand-in services ($services) still run"
    [[ -n $services ]] && kill "$services" 2>/dev/null
    failures=$((failures + 1))
  fi
}

built=$'install\nbuild lumesk_program'
check 0 '' '--stand-ins' --help
check 0 '' '--stand-ins' --bogus -h --stand-ins
check 42 "$built"$'\nprogram real\n[--bogus]\n[-style]\n[fusion]\n[two words]\n[]\n[*]' '' \
  --bogus -style fusion 'two words' '' '*'
check 42 "$built"$'\nbuild fake-services\nprogram stand-ins\n[--bogus]\n[two words]\n[]\n[*]' '' \
  --bogus --stand-ins 'two words' '' '*'
check 42 "$built"$'\nbuild fake-services\nprogram stand-ins' '' --stand-ins

((failures == 0))
