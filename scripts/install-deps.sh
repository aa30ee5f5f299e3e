#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Mindrel need.
# Idempotent: only packages that are not yet installed are fetched.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-tools-dev qt6-tools-dev-tools qt6-documentation-tools libqt6sql6-sqlite
  xvfb dbus-x11 at-spi2-core python3-pyatspi xdotool
  zlib1g-dev nettle-dev libicu-dev libpulse-dev
  libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev
  pulseaudio pulseaudio-utils
  clang libclang-rt-14-dev strace
  fonts-dejavu-core
  dbus-daemon python3-dbus python3-gi python3-icalendar desktop-file-utils dpkg-dev file
  hebcal
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
