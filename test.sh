#!/usr/bin/env bash
# Builds the test configuration (AddressSanitizer + UndefinedBehaviorSanitizer, debug info)
# and runs every test. Extra arguments go to ctest (./test.sh -R storage).
# ./test.sh --bench runs the benchmarks instead of the tests.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

# ctest runs in a temporary folder of its own (TMPDIR), removed when it ends: an entry killed at its
# time-out cannot remove its own folder in there. ctest's exit status is this script's.
run_ctest() {
  ctest_tmp=$(mktemp -d "${TMPDIR:-/tmp}/lumesk-ctest-XXXXXX")
  trap 'rm -rf "$ctest_tmp"' EXIT
  local status=0
  TMPDIR=$ctest_tmp "$@" || status=$?
  exit "$status"
}

bench=0
args=()
for a in "$@"; do
  if [[ "$a" == "--bench" ]]; then bench=1; else args+=("$a"); fi
done

if [[ $bench -eq 1 ]]; then
  # Timings mean something only in an optimised build without sanitizers: the benchmarks get
  # a release tree of their own.
  build=build/bench
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DLUMESK_SANITIZE=OFF -DLUMESK_WERROR=OFF -DLUMESK_BUILD_TESTS=ON -DLUMESK_BUILD_BENCH=ON >/dev/null
  cmake --build "$build"
  export QT_QPA_PLATFORM=offscreen
  run_ctest ctest --test-dir "$build" --output-on-failure --verbose -L bench "${args[@]}"
fi

build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DLUMESK_SANITIZE=ON -DLUMESK_WERROR=ON >/dev/null
cmake --build "$build"

label=(-LE bench)

export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_DISABLE_SANDBOX=1
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
jobs=$(nproc)
# Tests labelled xvfb need a real X server; every test gets the display,
# the others ignore it because they run on the offscreen platform.
run_ctest ./scripts/with-xvfb.sh 1920x1200x24 \
  ctest --test-dir "$build" --output-on-failure -j "$jobs" "${label[@]}" "${args[@]}"
