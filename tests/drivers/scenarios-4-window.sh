# The window (offscreen) finding the panel on real drivers at start: by the
# COM-number rule on the UART, and by a COM name mapped to the adapter's
# by-id path; the adapter pulled while the window holds it.

# The log's text is in code page 1251.
cp1251() { printf '%s' "$1" | iconv -f UTF-8 -t CP1251; }

# Starts the window as the user with nothing configured but what the
# arguments set up, in DIR, in debug mode; $window is its process.
start_window() {
  local dir=$1
  rm -rf "$dir" && mkdir -p "$dir" && chown "$user" "$dir"
  (cd "$dir" && QT_QPA_PLATFORM=offscreen limit=300 as_user orvex-gsm DEBUG >"$dir/window.out" 2>&1) &
  window=$!
}

# Until the window's log shows it opened PORT and the panel answered the
# probe there (the question is then on the screen); at most 60 s.
await_found() {
  local dir=$1 port=$2 i opened
  opened=$(cp1251 "Открыли устройство $port на скорости 19200")
  for ((i = 0; i < 300; i++)); do
    if [ -f "$dir/log.txt" ] && grep -aqF "$opened" "$dir/log.txt" &&
      sed -n "/$(cp1251 "Открыли устройство $port")/,\$p" "$dir/log.txt" | grep -aq 'OK'; then
      return 0
    fi
    sleep 0.2
  done
  fail "the window's log does not show the panel found on $port"
}

stop_window() {
  local pids
  pids=$(procs orvex-gsm)
  [ -z "$pids" ] || kill $pids
  local i
  for ((i = 0; i < 50; i++)); do
    procs orvex-gsm >/dev/null || break
    sleep 0.2
  done
  if procs orvex-gsm >/dev/null; then
    kill -KILL $(procs orvex-gsm) 2>/dev/null
    fail "the window did not end within 10 s of SIGTERM"
    return 1
  fi
  wait "$window" 2>/dev/null
  return 0
}

show_log() { iconv -f CP1251 -t UTF-8 "$1/log.txt" 2>/dev/null | tail -n 30; cat "$1/window.out"; }

scenario_window_on_the_uart() {
  local dir=$out/window-uart
  usermod -aG dialout "$user"
  rm -rf "/home/$user/.config"
  start_window "$dir"
  await_found "$dir" COM2
  local found=$?
  stop_window || found=1
  show_log "$dir"
  return $found
}

# CPU seconds the process has used, from /proc.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null; }

scenario_window_on_the_adapter_by_mapped_name() {
  local dir=$out/window-adapter link
  link=$(by_id)
  usermod -aG dialout "$user"
  rm -rf "/home/$user/.config"
  run $cli map COM3 "$link" && run $cli set-port COM3 || fail "the port map was not set" || return 1
  start_window "$dir"
  await_found "$dir" COM3 || {
    stop_window
    show_log "$dir"
    return 1
  }
  # Pulled while the window holds the port: it neither ends nor spins.
  local pid before after
  pid=$(procs orvex-gsm | head -n 1)
  pull 0
  await absent "$adapter" 20
  sleep 1
  before=$(cpu_ticks "$pid")
  sleep 3
  after=$(cpu_ticks "$pid")
  echo "window's CPU over 3 s after the pull: $((after - before)) ticks"
  local alive=yes
  [ -n "$after" ] || alive=no
  stop_window
  local stopped=$?
  show_log "$dir"
  plug || return 1
  [ "$alive" = yes ] || fail "the window ended when the adapter was pulled" || return 1
  [ $((after - before)) -lt 150 ] || fail "the window spins after the pull" || return 1
  return $stopped
}
