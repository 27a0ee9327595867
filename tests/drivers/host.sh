# The host's side of the driver scenarios, sourced by scripts/test-drivers.sh
# with $root, $build, $assets, $kversion and $work set: the guest's root and
# initramfs, the two panel simulators, QEMU and its monitor, the results.

here=$root/tests/drivers
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
deb=$build/orvex-gsm_${version}_$(dpkg --print-architecture).deb
[ -n "$version" ] && [ -f "$deb" ] || fail "no .deb in $build (build it and run scripts/test-package.sh first)"
sim=$build/tools/sim/orvex-gsm-sim
[ -x "$sim" ] || fail "no simulator in $build"
limit=${ORVEX_DRIVERS_LIMIT:-1200}
[[ "$limit" =~ ^[0-9]+$ ]] && [ "$limit" -ge 300 ] ||
  fail "ORVEX_DRIVERS_LIMIT is the guest's whole time in seconds, at least 300: not '$limit'"
rounds=${ORVEX_WRITE_ROUNDS:-1}
[[ "$rounds" =~ ^[1-9][0-9]*$ ]] || fail "ORVEX_WRITE_ROUNDS is a count, 1 or more: not '$rounds'"

# --- The guest's root: the base, the .deb installed by apt, the scenarios ---
guest=$work/root
mkdir -p "$guest"
# The Windows half's root is the same with Wine and its prefix.
tar -xf "${wine_assets:-$assets}/root.tar" -C "$guest"
mkdir -p "$guest/lib/modules"  # where the initramfs mounts the kernel's modules
cp "$deb" "$guest/tmp/orvex-gsm.deb"
chroot "$guest" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
  /tmp/orvex-gsm.deb >"$work/apt.log" 2>&1 || {
  cat "$work/apt.log" >&2
  fail "apt could not install the .deb in the guest's root"
}
mkdir -p "$guest/orvex-tests/out"
cp "$here"/guest-init.sh "$here"/lib.sh "$here"/scenarios*.sh "$(command -v busybox)" "$guest/orvex-tests/"
# The guest's own bound on its scenarios ends them a minute before the host's
# bound ends QEMU, so that their results still reach the host.
printf "export ORVEX_SCENARIOS=%q ORVEX_WRITE_ROUNDS=%q ORVEX_GUEST_LIMIT=%q\n" "${ORVEX_SCENARIOS:-}" \
  "$rounds" "$((limit - 60))" >"$guest/orvex-tests/env"
scenario_files=("$here"/scenarios-*.sh)
memory=1024
cpu=max
if [ -n "${windows:-}" ]; then
  [[ -f "$windows" && "$windows" == *.exe ]] || fail "ORVEX_DRIVERS_WINDOWS: $windows is not the Windows installer (orvex-gsm-setup-VERSION.exe)"
  # Installed in the guest by the scenarios, silently, as a user installs it.
  cp "$windows" "$guest/opt/orvex-gsm-setup.exe"
  cp "$here/windows-scenarios.sh" "$guest/orvex-tests/"
  scenario_files+=("$here/windows-scenarios.sh")
  # Wine needs about 2 GB, and under TCG every Wine process dies at its start
  # when the guest's CPU has SMAP.
  memory=2048
  cpu=max,-smap
fi
cc -O2 -Wall -Wextra -Werror -o "$guest/orvex-tests/line-state" "$here/line_state.c"

note "guest root ready ($((SECONDS - started)) s)"

# --- The initramfs: busybox and what mounting the root over 9p needs ------
initrd=$work/initrd
modules=$assets/modules/$kversion
mkdir -p "$initrd/bin" "$initrd/lib/modules/$kversion"
cp "$(command -v busybox)" "$initrd/bin/busybox"
cp "$here/initramfs-init" "$initrd/init"
for m in virtio_pci 9pnet_virtio 9p; do
  grep -E "/$m\.ko:" "$modules/modules.dep" | tr -d ':' | tr ' ' '\n'
done | sort -u | while read -r ko; do
  [ -n "$ko" ] || continue
  mkdir -p "$initrd/lib/modules/$kversion/$(dirname "$ko")"
  cp "$modules/$ko" "$initrd/lib/modules/$kversion/$ko"
done
cp "$modules/modules.dep" "$modules/modules.alias" "$initrd/lib/modules/$kversion/"
(cd "$initrd" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initrd.gz"

# --- The panels: one simulator on each line -----------------------------------
for line in adapter uart; do
  "$sim" --link "$work/$line.pty" --reader-wait 3000 >"$work/$line.sim" 2>&1 &
  pids+=($!)
done
for line in adapter uart; do
  for _ in $(seq 50); do [ -e "$work/$line.pty" ] && break || sleep 0.1; done
  [ -e "$work/$line.pty" ] || fail "the simulator for the $line did not start"
done

# --- QEMU ---------------------------------------------------------------------
accel=tcg
[ "${ORVEX_DRIVERS_KVM:-0}" = 1 ] && accel=kvm
mkfifo "$work/qmp.in" "$work/qmp.out"
: >"$work/console.log"
timeout "$limit" qemu-system-x86_64 -accel "$accel" -cpu "$cpu" -m "$memory" -smp 1 -nodefaults -display none \
  -no-reboot -kernel "$assets/vmlinuz" -initrd "$work/initrd.gz" \
  -append "console=ttyS0 quiet panic=-1 no_timer_check" \
  -serial "file:$work/console.log" \
  -chardev "serial,id=uartline,path=$work/uart.pty" -serial chardev:uartline \
  -device qemu-xhci,id=xhci \
  -chardev "serial,id=adapterline,path=$work/adapter.pty" \
  -device usb-serial,id=adapter,bus=xhci.0,port=1,chardev=adapterline \
  -virtfs "local,path=$guest,mount_tag=root,security_model=passthrough,multidevs=remap" \
  -virtfs "local,path=$assets/modules,mount_tag=modules,security_model=none,readonly=on" \
  -chardev "pipe,id=qmp,path=$work/qmp" -mon chardev=qmp,mode=control \
  >"$work/qemu.log" 2>&1 &
qemu=$!
pids+=($qemu)
exec {qmp}<>"$work/qmp.in"
cat "$work/qmp.out" >"$work/qmp.log" &
pids+=($!)
qmp_send() { printf '%s\n' "$1" >&"$qmp"; }
qmp_send '{"execute":"qmp_capabilities"}'

# --- The guest's requests and results, line by line from its console ------
declare -A result took
since=$SECONDS
while IFS= read -r line; do
  line=${line%$'\r'}
  [[ "$line" == *"@@orvex "* ]] || continue
  line="@@orvex ${line#*@@orvex }"
  case "$line" in
    "@@orvex pull "*)
      ms=${line#@@orvex pull }
      (sleep "$(printf '%d.%03d' $((ms / 1000)) $((ms % 1000)))" &&
        qmp_send '{"execute":"device_del","arguments":{"id":"adapter"}}') &
      ;;
    "@@orvex plug")
      qmp_send '{"execute":"device_add","arguments":{"driver":"usb-serial","id":"adapter","bus":"xhci.0","port":"1","chardev":"adapterline"}}'
      ;;
    "@@orvex note "*) note "${line#@@orvex note } ($((SECONDS - started)) s)" ;;
    "@@orvex start "*)
      [ -n "${booted:-}" ] || note "guest up, scenarios start ($((SECONDS - started)) s)"
      booted=yes
      since=$SECONDS
      ;;
    "@@orvex pass "* | "@@orvex fail "*)
      set -- $line
      result[$3]=$2
      took[$3]=$((SECONDS - since))
      printf 'test-drivers: %-4s %s (%d s)\n' "$2" "$3" "${took[$3]}"
      ;;
    "@@orvex done "*) break ;;
  esac
done < <(tail -n +1 -F -s 0.1 --pid="$qemu" "$work/console.log" 2>/dev/null)
wait "$qemu" || note "QEMU ended with status $? (limit ${limit} s)"

# --- Summary ------------------------------------------------------------------
passed=0
failed=0
for name in $(grep -ho '^scenario_[a-z_]*' "${scenario_files[@]}" | sed 's/^scenario_//'); do
  if [ -n "${ORVEX_SCENARIOS:-}" ] && [[ " $ORVEX_SCENARIOS " != *" $name "* ]]; then continue; fi
  if [ "${result[$name]:-}" = pass ]; then
    passed=$((passed + 1))
    continue
  fi
  failed=$((failed + 1))
  [ -n "${result[$name]:-}" ] || note "fail $name (did not finish)"
  note "--- $name ---"
  sed 's/^/  /' "$guest/orvex-tests/out/$name.log" >&2 2>/dev/null || true
done
if [ "$failed" -gt 0 ] || [ "$passed" -eq 0 ]; then
  note "--- the guest's console (last lines) ---"
  grep -av '^@@orvex' "$work/console.log" | tail -n 40 >&2 || true
  tail -n 5 "$work/qemu.log" >&2 || true
fi
note "$passed passed, $failed failed ($((SECONDS - started)) s)"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
