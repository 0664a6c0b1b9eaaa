#!/usr/bin/env bash
# Runs the whole test suite RUNS times (default 5) on a loaded machine: one busy loop per core, one
# writer that writes and syncs a large file in a loop, and the file caches dropped before each run
# where that is allowed. A test that passes only on a quiet machine fails here.
#
#   scripts/stress-tests.sh [RUNS]
#
# The test tree is built as ./test.sh builds it (build/test); CMAKE_BUILD_PARALLEL_LEVEL sets the
# build's parallelism (default: the build tool's). Each run uses ctest -j twice the cores, prints its
# result and failed tests, and keeps in the log folder named at the start: ctest's whole console log
# (run-N.out), its Testing/Temporary/LastTest.log (LastTest-N.log), and the whole output of each
# failed test in a file of its own (run-N-TEST.log), never cut short. Exits non-zero when a run failed.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-5}
if ! [[ "$runs" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/stress-tests.sh [RUNS]   (RUNS: a positive number, default 5)" >&2
  exit 2
fi

./scripts/install-deps.sh

build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DLUMESK_SANITIZE=ON -DLUMESK_WERROR=ON >/dev/null
cmake --build "$build"

export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_DISABLE_SANDBOX=1
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1

cores=$(nproc)
jobs=$((2 * cores))
logs="$build/stress-logs/$(date -u +%Y%m%d-%H%M%S)"
mkdir -p "$logs"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/lumesk-stress.XXXXXX")

load_pids=()
stop_load() {
  local pid
  for pid in "${load_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${load_pids[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  load_pids=()
  rm -rf "$scratch"
}
trap stop_load EXIT
trap 'echo "stress-tests: interrupted" >&2; exit 130' INT TERM

# One busy loop per core.
for ((i = 0; i < cores; i++)); do
  (while :; do :; done) &
  load_pids+=($!)
done

# One writer: a large file written and synced, again and again (512 MiB, or a quarter of the free
# space where that is less: the tests need room too). It ends its dd when it is told to end.
free_mib=$(df -Pm "$scratch" | awk 'NR == 2 { print $4 }')
write_mib=$((free_mib / 4 < 512 ? free_mib / 4 : 512))
if ((write_mib >= 16)); then
  (
    child=
    trap '[[ -n "$child" ]] && kill "$child" 2>/dev/null; exit 0' TERM
    while :; do
      dd if=/dev/zero of="$scratch/load.bin" bs=1M count="$write_mib" conv=fsync status=none 2>/dev/null &
      child=$!
      wait "$child" || true
      child=
      rm -f "$scratch/load.bin"
    done
  ) &
  load_pids+=($!)
  writer="one writer of $write_mib MiB in $scratch"
else
  writer="no writer ($free_mib MiB free in $scratch)"
fi

# Writes the whole output of each test that failed in a run to PREFIX-NAME.log, as LastTest.log
# holds it (between "N/M Testing: NAME" and "NAME" end time).
keep_failed_outputs() {
  local last=$1 out=$2 prefix=$3 name
  [[ -f "$last" ]] || return 0
  sed -n '/The following tests FAILED:/,$p' "$out" | sed -nE 's/^[[:space:]]+[0-9]+ - ([^ ]+) .*/\1/p' |
    while read -r name; do
      awk -v name="$name" '
        $0 ~ "^[0-9]+/[0-9]+ Testing: " && $3 == name { keep = 1 }
        keep { print }
        keep && index($0, "\"" name "\" end time:") == 1 { keep = 0 }
      ' "$last" >"$prefix-$name.log"
      echo "  output of $name: $prefix-$name.log"
    done
}

drop_caches() {
  if [[ -w /proc/sys/vm/drop_caches ]]; then
    sync
    if echo 3 >/proc/sys/vm/drop_caches 2>/dev/null; then
      echo "file caches dropped"
      return
    fi
  fi
  echo "file caches not dropped (/proc/sys/vm/drop_caches is not writable)"
}

echo "stress-tests: $runs run(s) at ctest -j $jobs; load: $cores busy loop(s), $writer"
echo "stress-tests: logs in $logs"

summary=()
failed_runs=0
for ((run = 1; run <= runs; run++)); do
  echo "=== run $run of $runs: $(drop_caches)"
  out="$logs/run-$run.out"
  start=$(date +%s)
  status=0
  # ctest's own temporary folder, removed when it ends: an entry killed at its time-out cannot remove
  # its folder in there.
  mkdir "$scratch/tmp-$run"
  # A failed test's output is kept whole (ctest cuts it at 300 KB by default).
  TMPDIR="$scratch/tmp-$run" ./scripts/with-xvfb.sh 1920x1200x24 \
    ctest --test-dir "$build" --output-on-failure --test-output-size-failed 1000000000 \
    -j "$jobs" -LE bench >"$out" 2>&1 || status=$?
  rm -rf "$scratch/tmp-$run"
  seconds=$(($(date +%s) - start))
  cp "$build/Testing/Temporary/LastTest.log" "$logs/LastTest-$run.log" 2>/dev/null || true
  keep_failed_outputs "$logs/LastTest-$run.log" "$out" "$logs/run-$run"
  result=$(grep -E 'tests passed, [0-9]+ tests failed' "$out" | tail -1 || true)
  [[ -n "$result" ]] || result="no ctest summary (exit status $status)"
  line="run $run: $result, ${seconds}s"
  echo "$line"
  if [[ $status -ne 0 ]]; then
    failed_runs=$((failed_runs + 1))
    failed=$(sed -n '/The following tests FAILED:/,$p' "$out" | grep -E '^[[:space:]]+[0-9]+ - ' || true)
    if [[ -n "$failed" ]]; then
      echo "$failed"
      line+=$'\n'"$failed"
    fi
  fi
  summary+=("$line")
done

echo "=== summary ($runs run(s), ctest -j $jobs, logs in $logs)"
printf '%s\n' "${summary[@]}"
[[ $failed_runs -eq 0 ]]
