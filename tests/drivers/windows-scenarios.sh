# The Windows programs, installed by the Windows installer, under Wine in the
# guest on the same two drivers: the prefix's COM2 is the 16550 (/dev/ttyS1)
# and COM3 the USB adapter (/dev/ttyUSB0), named under
# HKLM\Software\Wine\Ports when the guest's root was made. Sourced after the
# other scenarios: it uses their helpers.

windows_installer=/opt/orvex-gsm-setup.exe
windows_programs="/home/$user/.wine/drive_c/Program Files/Orvex GSM"
wine_env=(env WINEPREFIX="/home/$user/.wine" WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml=")
wine_loader=/usr/lib/wine/wine64

# A Windows program of the build, run as the user (bounded, as run does).
wine_run() {
  local program=$1
  shift
  run "${wine_env[@]}" "$wine_loader" "$windows_programs/$program" "$@"
}

# A path of the guest as the Windows programs see it: drive Z: is the root.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# One Wine server for the user's whole run, and Wine's own services started
# once, with a bound of their own: the first Wine program of a boot takes
# 25-30 s under TCG, two minutes on a loaded machine, and one killed while Wine
# starts its services leaves them stuck for every program after it. Then the
# installer, silently, as on an installer's laptop.
windows_ready() {
  [ -f /tmp/wine-up ] && return 0
  limit=30 as_user "${wine_env[@]}" /usr/lib/wine/wineserver -p
  local t0=$SECONDS
  limit=300 as_user "${wine_env[@]}" "$wine_loader" wineboot || fail "Wine did not start within 300 s" || return 1
  to_host note "Wine's services up in $((SECONDS - t0)) s"
  t0=$SECONDS
  limit=300 as_user "${wine_env[@]}" "$wine_loader" "$windows_installer" /S ||
    fail "the silent install ended with exit $?" || return 1
  [ -f "$windows_programs/orvex-gsm-cli.exe" ] && [ -f "$windows_programs/orvex-gsm.exe" ] ||
    fail "the silent install left no programs in $windows_programs" || return 1
  to_host note "the Windows installer installed silently in $((SECONDS - t0)) s"
  touch /tmp/wine-up
}

scenario_windows_ports_as_a_user_sees_them() {
  windows_ready || return 1
  wine_run orvex-gsm-cli.exe ports
  [ "$status" = 0 ] || fail "ports: exit $status" || return 1
  local port
  for port in COM2 COM3; do
    grep -qw "$port" <<<"$output" || fail "ports does not list $port" || return 1
  done
}

# The panel read through COMn by the Windows tool, with and without --fast,
# is what the Linux tool reads through the device itself.
exact_through() {
  local com=$1 device=$2 dir=$out/windows-copy fast
  mkdir -p "$dir" && chown "$user" "$dir"
  run $cli -p "$device" read -o "$dir/linux.txt"
  [ "$status" = 0 ] || fail "the Linux tool's read on $device: exit $status" || return 1
  for fast in "" --fast; do
    rm -f "$dir/windows.txt"
    wine_run orvex-gsm-cli.exe -p "$com" $fast read -o "$(winpath "$dir/windows.txt")"
    [ "$status" = 0 ] || fail "read $fast on $com: exit $status" || return 1
    diff <(settings_of "$dir/linux.txt") <(settings_of "$dir/windows.txt" | tr -d '\r') ||
      fail "read $fast on $com differs from the panel read on $device" || return 1
  done
  echo "$com read exactly, with and without --fast"
}

scenario_windows_exact_through_both_drivers() {
  windows_ready || return 1
  exact_through COM2 "$uart" && exact_through COM3 "$adapter"
}

# What SetCommState left on each driver, read on the Linux side while the
# Windows tool waits for a key at the reader (the panel answers after 3 s).
scenario_windows_line_settings_the_drivers_got() {
  windows_ready || return 1
  local com device state lines
  for com in COM2 COM3; do
    device=$uart
    [ "$com" = COM3 ] && device=$adapter
    as_user "${wine_env[@]}" "$wine_loader" "$windows_programs/orvex-gsm-cli.exe" -p "$com" read-key \
      >/dev/null 2>&1 &
    local tool=$!
    # A Wine program takes seconds to start under TCG, a minute on a loaded
    # machine.
    await_open orvex-gsm-cli.exe "$device" 120 || return 1
    sleep 0.5
    if [ "$device" = "$uart" ]; then
      lines=$(uart_lines "$device")
      echo "$com ($device) modem lines: ${lines:-none}"
      [[ "|$lines|" == *"|DTR|"* && "|$lines|" != *"|RTS|"* ]] ||
        fail "$com: DTR on and RTS off wanted, the driver drives: ${lines:-none}" || return 1
    fi
    state=$(./line-state "$device")
    wait "$tool"
    echo "$com ($device): $state"
    [ "$state" = "speed=19200 bits=8 parity=none stop=1 rtscts=0 ixon=0 ixoff=0" ] ||
      fail "$com ($device) holds: $state" || return 1
  done
}

# A write with read-back through COMn, checked by the Linux tool on the
# device itself; ORVEX_WRITE_ROUNDS times (1 in the test command), each with
# its own random panel and its own time limit.
write_through() {
  local com=$1 device=$2 dir=$out/windows-write round t0
  mkdir -p "$dir" && chown "$user" "$dir"
  for ((round = 1; round <= ${ORVEX_WRITE_ROUNDS:-1}; round++)); do
    random_panel >"$dir/want.txt"
    t0=$SECONDS
    wine_run orvex-gsm-cli.exe -p "$com" write "$(winpath "$dir/want.txt")"
    [ "$status" = 0 ] || fail "write with read-back on $com, round $round: exit $status" || return 1
    run $cli -p "$device" diff "$dir/want.txt"
    [ "$status" = 0 ] || fail "the panel on $device differs from what the Windows tool wrote" || return 1
    to_host note "$com: written with read-back and checked, round $round, in $((SECONDS - t0)) s"
  done
}

scenario_windows_write_through_both_drivers() {
  windows_ready || return 1
  write_through COM2 "$uart" && write_through COM3 "$adapter"
}

scenario_windows_adapter_pulled_during_a_read() {
  windows_ready || return 1
  # On the guest's tmpfs: 9p makes no pipes.
  local dir=/tmp/windows-pulled pulled_program=orvex-gsm-cli.exe
  mkdir -p "$dir" && chown "$user" "$dir"
  echo "kept" >"$dir/backup.txt" && chown "$user" "$dir/backup.txt"
  pulled_during "+T03" "$dir" "${wine_env[@]}" "$wine_loader" "$windows_programs/orvex-gsm-cli.exe" \
    -d -p COM3 read -o "$(winpath "$dir/backup.txt")"
  plug || return 1
  [ "$status" = 4 ] || fail "read ended with exit $status, not 4" || return 1
  [ "$(cat "$dir/backup.txt")" = kept ] || fail "the file was changed by the failed read" || return 1
  grep -q "COM3" "$err_file" || fail "the message does not name COM3" || return 1
  grep -q "lost" "$err_file" && grep -qi "cable" "$err_file" ||
    fail "the message does not say the line was lost and what to check" || return 1
  # Put back: the same name reads again.
  wine_run orvex-gsm-cli.exe -p COM3 read -o "$(winpath "$dir/again.txt")"
  [ "$status" = 0 ] || fail "read on COM3 after the adapter was put back: exit $status" || return 1
}

scenario_windows_window_finds_the_panel_on_the_uart() {
  windows_ready || return 1
  local dir=$out/windows-window
  rm -rf "$dir" && mkdir -p "$dir" && chown "$user" "$dir"
  (cd "$dir" && QT_QPA_PLATFORM=offscreen limit=300 as_user "${wine_env[@]}" "$wine_loader" \
    "$windows_programs/orvex-gsm.exe" DEBUG >"$dir/window.out" 2>&1) &
  local window=$! found=0
  await_found "$dir" COM2 || found=1
  kill $(procs orvex-gsm.exe) 2>/dev/null
  wait "$window" 2>/dev/null
  show_log "$dir"
  return $found
}
