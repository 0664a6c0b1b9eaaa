#!/usr/bin/env bash
# Installs what is missing, builds the release configuration and starts Velto Lumesk.
# With --stand-ins (wherever it stands), the application talks to the local stand-in services
# (tools/fake-services) instead of the real ones; they stop when the application ends. -h or --help
# says so and ends. Every other argument goes to the application.
set -euo pipefail
cd "$(dirname "$0")"

usage() {
  cat <<'USAGE'
Usage: ./run.sh [--stand-ins] [-h | --help] [argument...]
Installs the missing Debian packages, builds the release configuration (build/release) and starts
Velto Lumesk.
  --stand-ins  the application talks to local stand-in services (tools/fake-services, built in
               build/stand-ins) instead of the real ones; they stop when the application ends
  -h, --help   prints this and ends, without installing or building anything
Every other argument goes to the application, in its order.
USAGE
}

stand_ins=false
args=()
for a in "$@"; do
  case $a in
    --stand-ins) stand_ins=true ;;
    -h | --help)
      usage
      exit 0
      ;;
    *) args+=("$a") ;;
  esac
done
set -- "${args[@]}"

./scripts/install-deps.sh

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DLUMESK_BUILD_TESTS=OFF -DLUMESK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target lumesk_program

# QtWebEngine (the service setup pages) refuses to start its sandbox as root.
if [ "$(id -u)" -eq 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi

if ! $stand_ins; then
  exec "$build/app/velto-lumesk" "$@"
fi

# The stand-ins link the test support library, so they are built in a tree with tests.
services_build=build/stand-ins
cmake -S . -B "$services_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DLUMESK_BUILD_TESTS=ON -DLUMESK_BUILD_BENCH=OFF >/dev/null
cmake --build "$services_build" --target fake-services

fifo=$(mktemp -u)
mkfifo "$fifo"
"$services_build/tools/fake-services/fake-services" >"$fifo" &
services_pid=$!
trap 'kill "$services_pid" 2>/dev/null || true' EXIT
exec 3<"$fifo"
rm -f "$fifo"
ready=false
while IFS= read -r line <&3; do
  if [[ $line == ready ]]; then
    ready=true
    break
  fi
  if [[ $line =~ ^LUMESK_[A-Z0-9_]+= ]]; then
    export "${line?}"
    echo "stand-in: $line"
  fi
done
if ! $ready; then
  echo "run.sh: the stand-in services did not start" >&2
  exit 1
fi
"$build/app/velto-lumesk" "$@"
