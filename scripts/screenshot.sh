#!/usr/bin/env bash
# Photographs a program on a private X display: starts Xvfb on a free display, runs the program there,
# waits, saves the whole screen as a PNG, then stops the program and the display.
#
#   scripts/screenshot.sh [--size WxH] [--scale N] [--wait SECONDS] OUT.png PROGRAM [ARGS...]
#
#   --size   screen size in pixels (default 1366x768)
#   --scale  Qt's scale factor for the program (QT_SCALE_FACTOR; default 1)
#   --wait   seconds between the start of the program and the picture (default 4)
#
# Example: scripts/screenshot.sh --scale 2 --size 1920x1200 /tmp/main.png build/test/app/velto-lumesk
# Needs Xvfb and ImageMagick's import (./scripts/install-deps.sh installs both).
set -euo pipefail

usage() {
  sed -n '5,9p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

size=1366x768
scale=1
wait_s=4
while [[ $# -gt 0 ]]; do
  case "$1" in
  --size) size=${2:?}; shift 2 ;;
  --scale) scale=${2:?}; shift 2 ;;
  --wait) wait_s=${2:?}; shift 2 ;;
  -h | --help) usage ;;
  --) shift; break ;;
  -*) echo "screenshot: unknown option $1" >&2; usage ;;
  *) break ;;
  esac
done
[[ $# -ge 2 ]] || usage
out=$1
shift
[[ "$size" =~ ^[0-9]+x[0-9]+$ ]] || { echo "screenshot: --size wants WxH, not $size" >&2; exit 2; }
[[ "$scale" =~ ^[0-9]+([.][0-9]+)?$ ]] || { echo "screenshot: --scale wants a number, not $scale" >&2; exit 2; }
[[ "$wait_s" =~ ^[0-9]+([.][0-9]+)?$ ]] || { echo "screenshot: --wait wants seconds, not $wait_s" >&2; exit 2; }

for tool in Xvfb import; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "screenshot: $tool is missing (./scripts/install-deps.sh installs it)" >&2
    exit 1
  fi
done

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  local status=$?
  set +e
  [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number to the pipe once it accepts clients.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
if ! read -r -t 30 number <"$work/display"; then
  echo "screenshot: Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
display=":$number"

DISPLAY=$display QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale \
  QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox --disable-gpu}" "$@" &
app_pid=$!
sleep "$wait_s"
if ! kill -0 "$app_pid" 2>/dev/null; then
  echo "screenshot: the program ended before the picture was taken" >&2
  exit 1
fi
DISPLAY=$display import -window root "$out"
echo "screenshot: saved $out (${size}, scale $scale)"
