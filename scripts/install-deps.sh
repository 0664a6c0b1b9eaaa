#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test Velto Lumesk.
# Only missing packages are installed; when everything is present it returns at once.
set -euo pipefail

packages=(
  cmake g++ ninja-build pkg-config ccache clang-format-14 git
  dbus-daemon
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-svg-dev
  qt6-multimedia-dev qt6-webengine-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  libgl-dev libgl1-mesa-dri libxcb1-dev libxcb-xfixes0-dev libfontconfig-dev
  xvfb xauth xcompmgr imagemagick
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
  fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -eq 0 ]]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "install-deps: missing packages (${missing[*]}) and neither root nor sudo is available" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
