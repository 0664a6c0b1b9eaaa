#!/usr/bin/env bash
# Runs the SMS schedule test (tst_smsschedules) with COUNT fresh random seeds (default 100), JOBS
# programs at a time (default: the number of cores), and prints each failing seed with its schedule.
# A failing seed replays alone with LUMESK_SMS_SEEDS=<seed>.
#
#   scripts/sms-schedules.sh [COUNT] [JOBS]
#
# The test is built in the test tree (build/test) as ./test.sh builds it. The output of every batch
# that failed is kept in the log folder named at the end. Exits non-zero when a seed failed.
set -euo pipefail
cd "$(dirname "$0")/.."

count=${1:-100}
jobs=${2:-$(nproc)}
if ! [[ "$count" =~ ^[1-9][0-9]*$ && "$jobs" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/sms-schedules.sh [COUNT] [JOBS]   (positive numbers)" >&2
  exit 2
fi

build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DLUMESK_SANITIZE=ON -DLUMESK_WERROR=ON >/dev/null
cmake --build "$build" --target tst_smsschedules >/dev/null

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1
program="$PWD/$build/tests/sms/tst_smsschedules"
logs=$(mktemp -d "${TMPDIR:-/tmp}/lumesk-sms-schedules.XXXXXX")

# Fresh seeds: 31-bit numbers from the kernel's random source, spread over the batches.
mapfile -t seeds < <(od -An -N$((4 * count)) -tu4 -w4 /dev/urandom | awk '{ print $1 % 2147483647 + 1 }')
batch=$(((count + jobs - 1) / jobs))
pids=()
for ((job = 0; job < jobs && job * batch < count; job++)); do
  list=$(printf '%s ' "${seeds[@]:job*batch:batch}")
  (
    # Each batch in a temporary folder of its own, as ctest runs it.
    dir=$(mktemp -d "$logs/run.XXXXXX")
    cd "$dir"
    TMPDIR="$dir" LUMESK_SMS_SEEDS="$list" "$program" >"$logs/batch-$job.log" 2>&1 || true
  ) &
  pids+=($!)
done
for pid in "${pids[@]}"; do
  wait "$pid"
done

failed=0
passed=0
for log in "$logs"/batch-*.log; do
  passed=$((passed + $(grep -c '^PASS   : TestSmsSchedules::schedules(seed' "$log" || true)))
  while read -r seed; do
    failed=$((failed + 1))
    echo "=== seed $seed failed (replay: LUMESK_SMS_SEEDS=$seed $program)"
    # Its failure and the schedule it prints (the lines that follow its warning).
    awk -v s="(seed $seed)" '/^(PASS|FAIL!|QDEBUG|QWARN|XFAIL|SKIP|Totals|CMesk)/ { on = 0 }
      index($0, s) && /^(FAIL!|QWARN)/ { on = 1 } on { print }' "$log" | head -80
  done < <(sed -n 's/^FAIL!  : TestSmsSchedules::schedules(seed \([0-9]*\)).*/\1/p' "$log")
done
echo "$passed passed, $failed failed of $count seeds; logs in $logs"
[ "$failed" -eq 0 ]
