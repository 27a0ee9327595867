#!/usr/bin/env bash
# The serial code on real drivers: Debian 12's own kernel booted under QEMU
# (TCG) with a USB serial adapter (ftdi_sio, /dev/ttyUSB0) and a second
# 16550 UART (/dev/ttyS1), each wired to a panel simulator of this build on
# a pseudo-terminal of the host. The guest is a Debian 12 root (udev with
# Debian's rules, the project's .deb installed by apt, a normal user) served
# over 9p; QEMU's monitor pulls the adapter out and puts it back. The
# scenarios (tests/drivers/) each print a pass or fail line; the last line
# counts them.
#
#   bash scripts/test-drivers.sh [BUILD_DIR]   (default build: built, its .deb made)
#   bash scripts/test-drivers.sh --fill-cache  the kernel and the guest's two
#                                              roots into the cache, nothing else
#
# The cache (the kernel's image and modules, the base root as a tarball, and
# the root with Wine) is
#   ${ORVEX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvex-gsm}/drivers-HASH
#   ${ORVEX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvex-gsm}/drivers-wine-HASH
# and is used as it is when complete, even read-only; without one it is
# filled there when it can be written, else fetched into a temporary folder.
# ORVEX_DRIVERS_WINDOWS=INSTALLER adds the Windows half (scripts/test.sh
# drivers always gives it): the Windows installer (orvex-gsm-setup-VERSION.exe)
# installed silently under Wine in the guest, whose root then is the one
# with Wine and a ready prefix, and the Windows programs run there on the
# same drivers. ORVEX_WRITE_ROUNDS=N repeats each of its write steps N times.
# ORVEX_DRIVERS_KVM=1 boots under KVM instead of TCG (nested KVM hangs at
# boot on some machines). ORVEX_SCENARIOS="name ..." runs only those;
# ORVEX_DRIVERS_LIMIT bounds the guest's whole run (default 1200 s).
#
# The guest's root is made and used as root (mmdebstrap, chroot, QEMU's 9p
# share keeping its owners): a user who is not root runs the tier through
# sudo, with the cache still the user's own and handed back to the user.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
started=$SECONDS

note_fd=2
source "$root/scripts/lib.sh"

mode=run
build=$root/build
case "${1:-}" in
  --fill-cache) mode=fill ;;
  -h | --help)
    sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//'
    exit 0
    ;;
  "") ;;
  *) build=$(realpath "$1") ;;
esac

# What decides the cached base: the guest's packages (what the .deb needs,
# so that apt installs it offline) and the layout of the cache.
guest_packages=(udev kmod passwd libqt6widgets6 libqt6gui6 fonts-dejavu-core)
layout=1
hash=$( (echo "$layout" && printf '%s\n' "${guest_packages[@]}") | sha256sum | cut -c1-10)
cache_root=${ORVEX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvex-gsm}
cache=$cache_root/drivers-$hash
# The Windows half's root: the same packages with Wine, and a prefix made
# once (wineboot takes about a minute under TCG, every time).
windows=${ORVEX_DRIVERS_WINDOWS:-}
wine_packages=(wine64 fonts-wine)
wine_layout=1
wine_hash=$( (echo "$hash $wine_layout" && printf '%s\n' "${wine_packages[@]}") | sha256sum | cut -c1-10)
wine_cache=$cache_root/drivers-wine-$wine_hash

if [ -n "$sudo" ]; then
  command -v sudo >/dev/null || fail "the guest's root is made as root: run this as root or as a user with sudo"
  # Made by its user, the cache's folder stays the user's.
  mkdir -p "$cache_root" 2>/dev/null || true
  note "the guest's root is made as root: going on through sudo"
  exec sudo env ORVEX_CACHE="$cache_root" ORVEX_CACHE_OWNER="$(id -u):$(id -g)" \
    ORVEX_DRIVERS_KVM="${ORVEX_DRIVERS_KVM:-0}" ORVEX_SCENARIOS="${ORVEX_SCENARIOS:-}" \
    ORVEX_DRIVERS_LIMIT="${ORVEX_DRIVERS_LIMIT:-1200}" ORVEX_DRIVERS_WINDOWS="$windows" \
    ORVEX_WRITE_ROUNDS="${ORVEX_WRITE_ROUNDS:-1}" \
    bash "$root/scripts/test-drivers.sh" "$@"
fi

"$root/scripts/install-deps.sh" --drivers >&2

work=$(mktemp -d)
at_exit stop_pids
at_exit rm -rf "$work"

# Makes the guest's root as the tarball TAR: Debian 12 with the packages
# PACKAGES (comma-separated) from the system's own apt sources and the user
# "installer", then the customize hooks given. Not needed in the guest:
# documentation, translations, and Mesa's drivers with their LLVM (the
# window runs on Qt's offscreen platform).
guest_root() {
  local tar=$1 packages=$2 sources lib=/usr/lib/x86_64-linux-gnu
  shift 2
  mapfile -t sources < <(apt_binary_sources)
  [ ${#sources[@]} -gt 0 ] || fail "no apt sources on this system"
  mmdebstrap --quiet --variant=apt --dpkgopt=path-exclude=/usr/share/doc/* \
    --dpkgopt=path-exclude=/usr/share/man/* --dpkgopt=path-exclude=/usr/share/locale/* \
    --dpkgopt=path-include=/usr/share/locale/locale.alias --dpkgopt="path-exclude=$lib/dri/*" \
    --dpkgopt="path-exclude=$lib/libLLVM-*" --dpkgopt="path-exclude=$lib/libz3.*" --include="$packages" \
    --customize-hook="chroot \"\$1\" useradd -m -s /bin/bash installer" \
    "$@" bookworm "$tar" "${sources[@]}" >&2
}

# --- The kernel and the base root ------------------------------------------
# Fills DEST: vmlinuz, modules/VERSION (with depmod's files) and root.tar,
# then the stamp file last.
fill() {
  local dest=$1 tmp=$1/tmp kernel version
  rm -rf "$dest" && mkdir -p "$tmp"
  kernel=$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/.*Depends: \(linux-image-[0-9].*\)/\1/p' | head -n 1)
  if [ -z "$kernel" ]; then
    apt-get update -q >&2
    kernel=$(apt-cache depends linux-image-amd64 | sed -n 's/.*Depends: \(linux-image-[0-9].*\)/\1/p' | head -n 1)
  fi
  [ -n "$kernel" ] || fail "no linux-image-amd64 in the apt sources"
  note "fetching $kernel"
  (cd "$tmp" && apt-get download -q "$kernel") >&2
  version=${kernel#linux-image-}
  dpkg-deb -x "$tmp"/linux-image-*.deb "$tmp/kernel"
  cp "$tmp/kernel/boot/vmlinuz-$version" "$dest/vmlinuz"
  note "making the guest's base root ($(printf '%s ' "${guest_packages[@]}"))"
  # The kernel's modules go through the root only for depmod, which the
  # root has and the host may not; they are served to the guest apart.
  guest_root "$dest/root.tar" "$(
    IFS=,
    echo "${guest_packages[*]}"
  )" \
    --customize-hook="mkdir -p \"\$1/lib/modules\" && mv '$tmp/kernel/lib/modules/$version' \"\$1/lib/modules/\"" \
    --customize-hook="chroot \"\$1\" depmod -a '$version'" \
    --customize-hook="mkdir -p '$dest/modules' && mv \"\$1/lib/modules/$version\" '$dest/modules/'"
  rm -rf "$tmp"
  echo "$version" >"$dest/.orvex-complete"
}

# Fills DEST with root.tar: the guest's packages and Wine, the user's prefix
# made, with the guest's two lines as its COM2 (the 16550) and COM3 (the
# adapter). Wine keeps ports named under HKLM\Software\Wine\Ports when it
# starts on a machine with serial ports; the links it makes itself in
# dosdevices it rewrites.
fill_wine() {
  local dest=$1
  rm -rf "$dest" && mkdir -p "$dest"
  note "making the guest's root with Wine ($(printf '%s ' "${wine_packages[@]}"))"
  local as_user='chroot "$1" runuser -u installer -- env HOME=/home/installer WINEPREFIX=/home/installer/.wine WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml='
  guest_root "$dest/root.tar" "$(
    IFS=,
    echo "${guest_packages[*]},${wine_packages[*]}"
  )" \
    --customize-hook="$as_user /usr/lib/wine/wine64 wineboot -i" \
    --customize-hook="$as_user /usr/lib/wine/wine64 reg add 'HKLM\\Software\\Wine\\Ports' /v COM2 /t REG_SZ /d /dev/ttyS1 /f" \
    --customize-hook="$as_user /usr/lib/wine/wine64 reg add 'HKLM\\Software\\Wine\\Ports' /v COM3 /t REG_SZ /d /dev/ttyUSB0 /f" \
    --customize-hook="$as_user /usr/lib/wine/wineserver -w" \
    --customize-hook="for f in \"\$1\"/usr/share/wine/fonts/*.ttf; do ln -sf \"\${f#\$1}\" \"\$1/home/installer/.wine/drive_c/windows/Fonts/\"; done"
  touch "$dest/.orvex-complete"
}

if [ -f "$cache/.orvex-complete" ]; then
  assets=$cache
elif mkdir -p "$cache_root" 2>/dev/null && [ -w "$cache_root" ]; then
  note "filling the cache $cache"
  fill "$cache.part"
  rm -rf "$cache" && mv "$cache.part" "$cache"
  # Filled through sudo: the user's own, as the rest of the cache.
  [ -z "${ORVEX_CACHE_OWNER:-}" ] || chown -R "$ORVEX_CACHE_OWNER" "$cache"
  assets=$cache
else
  note "the cache $cache_root is incomplete and cannot be written: fetching into a temporary folder"
  assets=$work/assets
  fill "$assets"
fi
# --fill-cache fills both roots: the test command's drivers stage uses both.
if [ -n "$windows" ] || [ "$mode" = fill ]; then
  if [ -f "$wine_cache/.orvex-complete" ]; then
    wine_assets=$wine_cache
  elif [ "$assets" = "$cache" ]; then
    note "filling the cache $wine_cache"
    fill_wine "$wine_cache.part"
    rm -rf "$wine_cache" && mv "$wine_cache.part" "$wine_cache"
    [ -z "${ORVEX_CACHE_OWNER:-}" ] || chown -R "$ORVEX_CACHE_OWNER" "$wine_cache"
    wine_assets=$wine_cache
  else
    wine_assets=$work/wine-assets
    fill_wine "$wine_assets"
  fi
fi
[ "$mode" = run ] || {
  note "cache complete: $assets and $wine_assets ($((SECONDS - started)) s)"
  exit 0
}
kversion=$(cat "$assets/.orvex-complete")
note "kernel $kversion, cache $assets ($((SECONDS - started)) s)"

. "$root/tests/drivers/host.sh"
