#!/usr/bin/env bash
# Installs what is missing, builds the release configuration and starts Velto Lumesk.
#
#   ./run.sh --stand-ins [arguments]   runs it against the local stand-in services
#                                      (tools/fake-services) instead of the real ones
set -euo pipefail
cd "$(dirname "$0")"

stand_ins=0
if [[ "${1:-}" == "--stand-ins" ]]; then
  stand_ins=1
  shift
fi

./scripts/install-deps.sh

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DLUMESK_BUILD_TESTS=OFF -DLUMESK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target velto-lumesk

if [[ $stand_ins -eq 0 ]]; then
  exec "$build/app/velto-lumesk" "$@"
fi

# The stand-ins come with the test support, so they live in a tree of their own with tests on.
standins_build=build/stand-ins
cmake -S . -B "$standins_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DLUMESK_BUILD_TESTS=ON -DLUMESK_BUILD_BENCH=OFF >/dev/null
cmake --build "$standins_build" --target fake-services

fifo_dir=$(mktemp -d)
mkfifo "$fifo_dir/out"
"$standins_build/tools/fake-services/fake-services" >"$fifo_dir/out" &
services_pid=$!
cleanup() {
  kill "$services_pid" 2>/dev/null || true
  wait "$services_pid" 2>/dev/null || true
  rm -rf "$fifo_dir"
}
trap cleanup EXIT

exec 3<"$fifo_dir/out"
ready=0
while IFS= read -r line <&3; do
  if [[ "$line" == "ready" ]]; then
    ready=1
    break
  fi
  if [[ "$line" =~ ^(LUMESK_[A-Z0-9_]+)=(.*)$ ]]; then
    export "${BASH_REMATCH[1]}=${BASH_REMATCH[2]}"
    echo "${BASH_REMATCH[1]}=${BASH_REMATCH[2]}"
  fi
done
if [[ $ready -ne 1 ]]; then
  echo "run.sh: the stand-in services did not start" >&2
  exit 1
fi

status=0
"$build/app/velto-lumesk" "$@" || status=$?
exit $status
