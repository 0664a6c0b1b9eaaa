#!/usr/bin/env bash
# Installs what is missing, builds the release configuration and starts Velto Lumesk.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DLUMESK_BUILD_TESTS=OFF -DLUMESK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target velto-lumesk
# QtWebEngine (the service setup pages) refuses to start its sandbox as root.
if [ "$(id -u)" -eq 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi
exec "$build/app/velto-lumesk" "$@"
