# The adapter pulled out in the middle of the tool's work: a clear failure
# that names the port and the step, nothing half written, and no hang.

# A panel with every number to dial, so that a read takes all eleven
# commands and a pull lands in the middle of it.
full_panel() {
  random_panel | sed 's/^dial\([1-6]\)=.*/dial\1=1/; s/^number\([1-6]\)=$/number\1=1/'
}

# Starts a command as the user in the background, asks the host to pull the
# adapter AFTER ms after the tool opened it, and waits for the command
# (bounded): $status and $err_file as run() leaves them.
pulled_during() {
  local after=$1
  shift
  echo "\$ $* (adapter pulled ${after} ms after the tool opened it)"
  as_user "$@" >"$out/bg.out" 2>"$err_file" &
  local tool=$!
  await_open orvex-gsm-cli "$adapter"
  pull "$after"
  wait "$tool"
  status=$?
  cat "$out/bg.out" "$err_file"
  echo "exit $status"
  await absent "$adapter" 20
}

scenario_adapter_pulled_during_a_read() {
  local dir=$out/pulled link
  link=$(by_id)
  mkdir -p "$dir" && chown "$user" "$dir"
  full_panel >"$dir/full.txt"
  run $cli -p "$link" write "$dir/full.txt"
  [ "$status" = 0 ] || fail "the full panel was not written" || return 1
  echo "kept" >"$dir/backup.txt" && chown "$user" "$dir/backup.txt"
  pulled_during 400 $cli -p "$link" read -o "$dir/backup.txt"
  plug || return 1
  [ "$status" != 0 ] && [ "$status" != 124 ] || fail "read ended with exit $status" || return 1
  [ "$(cat "$dir/backup.txt")" = kept ] || fail "the file was changed by the failed read" || return 1
  grep -q "$link" "$err_file" || fail "the message does not name the port" || return 1
  grep -Eqi 'read|\+T0|\+s|\+H0' "$err_file" || fail "the message does not say what was going on" || return 1
}

scenario_adapter_pulled_during_a_verified_write() {
  local dir=$out/pulled link
  link=$(by_id)
  mkdir -p "$dir" && chown "$user" "$dir"
  full_panel >"$dir/full.txt"
  pulled_during 1000 $cli -p "$link" write "$dir/full.txt"
  plug || return 1
  [ "$status" = 4 ] || fail "write ended with exit $status, not 4" || return 1
  grep -Eq '\+[A-Za-z][0-9]*' "$err_file" || fail "the message names no command" || return 1
  grep -qi 'write' "$err_file" && grep -qi 'again' "$err_file" ||
    fail "the message does not advise writing again" || return 1
}

scenario_adapter_pulled_during_write_repeat() {
  local dir=$out/pulled link
  link=$(by_id)
  mkdir -p "$dir" && chown "$user" "$dir"
  full_panel >"$dir/full.txt"
  as_user $cli -p "$link" write "$dir/full.txt" --repeat >"$dir/repeat.out" 2>"$dir/repeat.err" &
  local tool=$!
  # The first panel pulled while it is written: counted failed.
  await_open orvex-gsm-cli "$adapter" || return 1
  pull 1500
  await absent "$adapter" 20 || return 1
  sleep 3
  # Put back: the next panel is written and verified.
  plug || return 1
  local i
  for ((i = 0; i < 150; i++)); do
    grep -q '^2 ' "$dir/repeat.out" && break
    sleep 0.2
  done
  # Ctrl-C, to the tool itself.
  kill -INT $(procs orvex-gsm-cli) 2>/dev/null
  local waited=0
  while procs orvex-gsm-cli >/dev/null && [ $waited -lt 100 ]; do
    sleep 0.2
    waited=$((waited + 1))
  done
  kill -KILL $(procs orvex-gsm-cli) 2>/dev/null
  wait "$tool"
  status=$?
  cat "$dir/repeat.out" "$dir/repeat.err"
  echo "exit $status"
  [ $waited -lt 100 ] || fail "Ctrl-C did not end write --repeat within 20 s" || return 1
  grep -q '^1 ' "$dir/repeat.out" || fail "no line for the first panel" || return 1
  grep -q '^2 ' "$dir/repeat.out" || fail "no line for the panel after re-plugging" || return 1
  grep -q 'panels written: 2, verified: 1, failed: 1' "$dir/repeat.err" ||
    fail "the summary does not count one failed and one verified" || return 1
  [ "$status" != 0 ] || fail "write --repeat exit 0 with a failed panel" || return 1
}
