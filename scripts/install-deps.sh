#!/usr/bin/env bash
# Installs the Debian packages the project needs. Safe to run again: when
# everything is there it only checks and returns.
#
#   scripts/install-deps.sh           what building, packaging and running need
#   scripts/install-deps.sh --xvfb    the same and a virtual display (run.sh --xvfb)
#   scripts/install-deps.sh --test    the same and everything the tests add
#   scripts/install-deps.sh --drivers what the tests on real drivers need alone
#                                     (QEMU, the guest's root and initramfs)
#   scripts/install-deps.sh --windows what building for Windows adds: Qt
#                                     from source, the installer
set -euo pipefail

# Building, packaging (cpack reads the programs with file) and running.
build_and_run=(
  build-essential cmake ninja-build pkg-config file
  qt6-base-dev qt6-base-dev-tools libgl-dev fonts-dejavu-core fonts-dejavu-extra
)
# A virtual display for a machine without one.
virtual_display=(xvfb xauth)
# What testing adds: GoogleTest; clang with libFuzzer; the window's tests
# under a real window manager; the Windows cross build run under Wine; the
# checks of the package (lintian; groff formats its manual pages) and of its
# desktop entry, metainfo and completion; the icon renderer
# (scripts/render-icons.sh).
testing=(
  libgtest-dev libgmock-dev googletest
  clang libclang-rt-14-dev
  # The window tests under a real window manager (tests/gui/wm), which read
  # the program's boxes over a D-Bus daemon of their own, and the screenshots
  # of scripts/screenshots.sh.
  openbox wmctrl x11-utils xdotool imagemagick dbus-daemon
  g++-mingw-w64-x86-64-posix wine64
  lintian groff-base desktop-file-utils appstream bash-completion librsvg2-bin
)
# The tests on real serial drivers (scripts/test-drivers.sh): Debian's kernel
# under QEMU, a guest root made by mmdebstrap, a busybox initramfs, and the
# compiler for its small line-state reader. mmdebstrap mounts /proc in the
# root it makes only with mount at hand, and Wine, which makes its prefix
# there, does not start without /proc (a bare Debian root has no mount).
drivers=(qemu-system-x86 mmdebstrap mount busybox-static cpio gcc libc6-dev)
# Building for Windows: Qt from Debian's source package (the source tools, the
# cross compilers, Qt's own build tools and the host's moc/rcc/uic of the same
# Qt version), the installer (scripts/package-windows.sh), and Wine's own
# fonts (Tahoma, which Wine puts for the system's dialog font) for the window
# under Wine (scripts/screenshots-windows.sh).
windows=(
  dpkg-dev ca-certificates g++-mingw-w64-x86-64-posix cmake ninja-build perl
  qt6-base-dev qt6-base-dev-tools nsis fonts-wine
)

packages=("${build_and_run[@]}")
case "${1:-}" in
  "") ;;
  --xvfb) packages+=("${virtual_display[@]}") ;;
  --test) packages+=("${virtual_display[@]}" "${testing[@]}" "${drivers[@]}") ;;
  --drivers) packages=("${drivers[@]}") ;;
  --windows) packages=("${windows[@]}") ;;
  *)
    echo "usage: $0 [--xvfb | --test | --drivers | --windows]" >&2
    exit 2
    ;;
esac

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
