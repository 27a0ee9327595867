# The panel copied exactly through each driver, and the line each driver got.

# Random panels per driver: ten in all, with and without --fast.
states=${ORVEX_DRIVER_STATES:-5}

# One random panel through DEVICE: write (verified), diff, read again; the
# panel read back must be the file written, value for value. The read
# before it is the previous panel's read back (the first is done apart).
one_copy() {
  local device=$1 fast=$2 dir=$out/copy
  random_panel >"$dir/want.txt"
  run $cli -p "$device" $fast write "$dir/want.txt"
  [ "$status" = 0 ] || fail "write $fast on $device: exit $status" || return 1
  run $cli -p "$device" $fast diff "$dir/want.txt"
  [ "$status" = 0 ] || fail "diff $fast on $device after the write: exit $status" || return 1
  run $cli -p "$device" $fast read -o "$dir/after.txt"
  [ "$status" = 0 ] || fail "read again $fast on $device: exit $status" || return 1
  diff <(settings_of "$dir/want.txt") <(settings_of "$dir/after.txt") ||
    fail "the panel read back through $device differs from the file written" || return 1
}

copies_through() {
  local device=$1 i dir=$out/copy
  mkdir -p "$dir" && chown "$user" "$dir"
  run $cli -p "$device" read -o "$dir/after.txt"
  [ "$status" = 0 ] || fail "read on $device: exit $status" || return 1
  for ((i = 1; i <= states; i++)); do
    # Every other panel with --fast: both ways of ending an exchange.
    one_copy "$device" "$([ $((i % 2)) = 0 ] && echo --fast)" || return 1
  done
  echo "$states panels copied exactly through $device"
}

scenario_exact_through_the_usb_adapter() { copies_through "$adapter"; }
scenario_exact_through_the_uart() { copies_through "$uart"; }

# The modem lines the 8250 driver drives on ttyS<N>: "DTR", "RTS|DTR", ...
uart_lines() { awk -v n="${1#/dev/ttyS}:" '$1 == n && $NF !~ /:/ { print $NF }' /proc/tty/driver/serial; }

# While the tool waits for a key at the reader (the panel answers only when
# its wait ends), the driver's settings are read back from the guest: for
# the UART the modem lines too.
line_while_held() {
  local device=$1 state lines
  as_user $cli -p "$device" read-key >/dev/null 2>&1 &
  local tool=$!
  # Opened, and its settings made (the panel keeps it waiting 3 s).
  await_open orvex-gsm-cli "$device" || return 1
  sleep 0.5
  case "$device" in
    /dev/ttyS*)
      lines=$(uart_lines "$device")
      echo "$device's modem lines: ${lines:-none}"
      [[ "|$lines|" == *"|DTR|"* && "|$lines|" != *"|RTS|"* ]] ||
        fail "$device: DTR on and RTS off wanted, the driver drives: ${lines:-none}" || return 1
      ;;
  esac
  state=$(./line-state "$device")
  local still
  kill -0 "$tool" 2>/dev/null && still=yes
  wait "$tool"
  echo "$device: $state"
  [ "$still" = yes ] || fail "the tool had let the port go before the settings were read" || return 1
  [ "$state" = "speed=19200 bits=8 parity=none stop=1 rtscts=0 ixon=0 ixoff=0" ] ||
    fail "$device holds: $state" || return 1
}

scenario_line_settings_the_drivers_got() {
  line_while_held "$uart" && line_while_held "$adapter"
}
