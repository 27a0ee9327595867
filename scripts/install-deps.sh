#!/usr/bin/env bash
# Installs every Debian package the project needs to build and test. Safe to
# run again: when everything is there it only checks and returns.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev googletest
  clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev fonts-dejavu-core fonts-dejavu-extra
  xvfb xauth
  # The window tests under a real window manager (tests/gui/wm), and the
  # screenshots of scripts/screenshots.sh.
  openbox wmctrl x11-utils xdotool imagemagick
  g++-mingw-w64-x86-64-posix wine64
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
