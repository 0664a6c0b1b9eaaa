#!/usr/bin/env bash
# Builds the test configuration (AddressSanitizer + UndefinedBehaviorSanitizer, debug info)
# and runs every test. Extra arguments go to ctest (./test.sh -R storage).
# ./test.sh --bench runs the benchmarks instead of the tests.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

bench=0
args=()
for a in "$@"; do
  if [[ "$a" == "--bench" ]]; then bench=1; else args+=("$a"); fi
done

build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DLUMESK_SANITIZE=ON -DLUMESK_WERROR=ON >/dev/null
cmake --build "$build"

if [[ $bench -eq 1 ]]; then
  label=(-L bench)
else
  label=(-LE bench)
fi

export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_DISABLE_SANDBOX=1
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
jobs=$(nproc)
# Tests labelled xvfb need a real X server; every test gets the display,
# the others ignore it because they run on the offscreen platform.
exec xvfb-run -a -s "-screen 0 1920x1200x24 -nolisten tcp" \
  ctest --test-dir "$build" --output-on-failure -j "$jobs" "${label[@]}" "${args[@]}"
