# Ports as a user meets them: the nodes as Debian's udev rules make them, the
# tool's list and remedy for a user outside dialout, then after joining.

# The ports row of DEVICE in "ports --plain": DEVICE BY-ID IDS DESCRIPTION
# MAPPED ACCESS REMEDY, tab-separated.
ports_row() { as_user $cli ports --plain | awk -F '\t' -v d="$1" '$1 == d'; }

field() { cut -f "$1" <<<"$2"; }

scenario_ports_as_a_user_meets_them() {
  local device row link
  link=$(by_id)
  [ -n "$link" ] || fail "no /dev/serial/by-id name for the adapter" || return 1
  [ "$(readlink -f "$link")" = "$adapter" ] || fail "$link does not lead to $adapter" || return 1
  gpasswd -d "$user" dialout >/dev/null 2>&1
  for device in "$adapter" "$uart"; do
    [ "$(stat -c '%U:%G %a' "$device")" = "root:dialout 660" ] ||
      fail "$device is $(stat -c '%U:%G %a' "$device"), not root:dialout 660" || return 1
    row=$(ports_row "$device")
    echo "outside dialout: $row"
    [ -n "$row" ] || fail "ports does not list $device" || return 1
    [[ "$(field 6 "$row")" == "no permission" ]] || fail "access of $device: $(field 6 "$row")" || return 1
    [[ "$(field 7 "$row")" == *"usermod -aG dialout"* ]] ||
      fail "remedy for $device: $(field 7 "$row")" || return 1
    run $cli probe -p "$device"
    [ "$status" = 5 ] || fail "probe -p $device as a user outside dialout: exit $status, not 5" || return 1
    grep -q "dialout" "$err_file" || fail "probe's message does not name the group dialout" || return 1
  done
  row=$(ports_row "$adapter")
  [ "$(field 2 "$row")" = "$link" ] || fail "adapter's by-id: $(field 2 "$row"), not $link" || return 1
  [ "$(field 3 "$row")" = "0403:6001" ] || fail "adapter's ids: $(field 3 "$row")" || return 1
  [[ "$(field 4 "$row")" == *QEMU* ]] || fail "adapter's description: $(field 4 "$row")" || return 1

  usermod -aG dialout "$user"
  for device in "$adapter" "$uart"; do
    row=$(ports_row "$device")
    echo "in dialout: $row"
    [ "$(field 6 "$row")" = "ok" ] || fail "access of $device after joining: $(field 6 "$row")" || return 1
  done
  # The panel on the UART (COM2) is found first; with COM2 held by another
  # program the scan goes on to the adapter found on the USB bus.
  run $cli scan
  [ "$status" = 0 ] && [ "$output" = COM2 ] || fail "scan did not find the panel on COM2" || return 1
  flock "$uart" sleep 30 &
  local holder=$!
  sleep 0.5
  run $cli scan
  kill "$holder"
  wait "$holder" 2>/dev/null
  [ "$status" = 0 ] || fail "scan with COM2 held: exit $status" || return 1
  [[ "$output" == "$adapter" || "$output" == "$link" ]] ||
    fail "scan with COM2 held found \"$output\", not the adapter" || return 1
}
