#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test Velto Lumesk.
# Only missing packages are installed; when everything is present it returns at once. While another
# package manager holds apt's lock, it waits for it (at most 10 minutes) and says so.
set -euo pipefail

packages=(
  cmake g++ ninja-build pkg-config ccache clang-format-14 git
  dbus-daemon
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libsqlite3-dev qt6-svg-dev
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

# Another package manager may hold apt's locks (a fresh machine's background updates, a second set-up):
# wait for it, at most lock_wait seconds from here.
lock_wait=600
deadline=$((SECONDS + lock_wait))
waiting=false
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT

# Runs apt-get with the given arguments, in English so that its lock errors can be told apart (sudo does
# not pass the environment on, hence env). Its errors are shown once it ends. While it fails because a
# lock is held, it runs again: the first try does not wait, so the wait is announced before it begins;
# after it apt waits for the dpkg lock itself (DPkg::Lock::Timeout, which covers `install`), while the
# lists lock that `update` takes is only ever tried, so `update` is tried again every few seconds.
apt_get() {
  local timeout left holder
  while true; do
    left=$((deadline - SECONDS))
    ((left > 0)) || left=0
    timeout=0
    if [[ $waiting == true ]]; then timeout=$left; fi
    if "${sudo[@]}" env LC_ALL=C DEBIAN_FRONTEND=noninteractive \
      apt-get -o DPkg::Lock::Timeout="$timeout" "$@" 2>"$errors"; then
      cat "$errors" >&2
      return 0
    fi
    # apt says "Could not get lock" only when another process holds the lock. One it cannot open ("Could
    # not open lock file ... Permission denied", as where root has no real rights) ends with the same
    # "Unable to lock directory" or "Unable to acquire the dpkg frontend lock" line, but no wait helps
    # there: that fails at once, with apt's own message.
    if ! grep -q 'Could not get lock' "$errors"; then
      cat "$errors" >&2
      exit 1
    fi
    if ((SECONDS >= deadline)); then
      cat "$errors" >&2
      echo "install-deps: another package manager still holds apt's lock after $((lock_wait / 60)) minutes;" \
        "run this again when it has finished" >&2
      exit 1
    fi
    if [[ $waiting == false ]]; then
      holder=$(grep -o -m1 'held by process [0-9]* ([^)]*)' "$errors" || true)
      echo "install-deps: another package manager holds apt's lock${holder:+ (${holder})};" \
        "waiting for it, at most $((lock_wait / 60)) minutes" >&2
      waiting=true
    elif ((left > 0)); then
      sleep $((left < 5 ? left : 5))
    fi
  done
}

echo "install-deps: installing ${missing[*]}"
apt_get update -qq
apt_get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
