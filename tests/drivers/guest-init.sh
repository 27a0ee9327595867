#!/bin/bash
# The guest's init: the devices as Debian makes them (udevd with Debian's own
# rules), then the scenarios, then power off. Nothing here may wait without
# a bound: the host gives the whole guest a time limit too.
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
# The base root has no mount program (Debian's variant without it): the
# initramfs's busybox mounts.
mount() { /orvex-tests/busybox mount "$@"; }
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts /dev/shm
mount -t devpts -o gid=5,mode=620,ptmxmode=666 devpts /dev/pts
mount -t tmpfs tmpfs /run
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /dev/shm
ln -s /proc/self/fd /dev/fd
hostname orvex-guest

echo "@@orvex note guest init at $(cut -d' ' -f1 /proc/uptime) s of guest time" >/dev/ttyS0
udevd=$(command -v systemd-udevd || echo /lib/systemd/systemd-udevd)
"$udevd" --daemon
# The serial devices present at boot go through the rules again; the USB
# controller's driver is loaded only now, so that the adapter and its
# /dev/ttyUSB0 arrive as they do when plugged in. Loading the drivers of
# every other device (through 9p, under TCG) would double the boot time.
udevadm trigger --action=add --subsystem-match=tty
modprobe xhci_pci
timeout 60 udevadm settle --timeout=50
echo "@@orvex note udev settled at $(cut -d' ' -f1 /proc/uptime) s of guest time" >/dev/ttyS0

cd /orvex-tests || exit 1
[ -f ./env ] && . ./env
timeout "${ORVEX_GUEST_LIMIT:-600}" bash ./scenarios.sh >/orvex-tests/out/scenarios.log 2>&1
echo "@@orvex done $?" >/dev/ttyS0
sync
# Power off at once (no init system to ask): QEMU then ends.
echo o >/proc/sysrq-trigger
mkfifo /run/never
read -r -t 30 <>/run/never
