# The adapter pulled out in the middle of the tool's work: a clear failure
# that names the port and the step, nothing half written, and no hang.

# A panel with every number to dial, so that a read takes all eleven
# commands and a pull lands in the middle of it.
full_panel() {
  random_panel | sed 's/^dial\([1-6]\)=.*/dial\1=1/; s/^number\([1-6]\)=$/number\1=1/'
}

# The tool's debug log is a pipe: the tool, started, waits at its first
# log line until the pipe is opened here; grep then reads the log as it is
# written, and at the first line holding WORD the tool is stopped, the
# adapter pulled out, and the tool let go on, so the pull lands at that step
# however slow the machine. The pipe is kept drained until undrain.
pull_at() {
  local word=$1 log=$2 program=${pulled_program:-orvex-gsm-cli} pid="" i
  for ((i = 0; i < 300; i++)); do
    pid=$(procs "$program")
    [ -n "$pid" ] && break
    sleep 0.1
  done
  [ -n "$pid" ] || fail "the tool did not start within 30 s" || return 1
  exec {fd}<>"$log"
  if timeout 120 grep -q -m 1 -F -- "$word" <&"$fd"; then
    kill -STOP $pid
    pull 0
    await absent "$adapter" 20
    kill -CONT $pid
    echo "adapter pulled when the log showed $word"
  else
    fail "the log never showed $word"
  fi
  cat <&"$fd" >/dev/null &
  drain=$!
  exec {fd}<&-
}
undrain() { kill "$drain" 2>/dev/null; }

# Runs a command of the tool as the user in DIR with its debug log, the
# adapter pulled when the log shows WORD; waits for it (bounded): $status
# and $err_file as run() leaves them.
pulled_during() {
  local word=$1 dir=$2
  shift 2
  echo "\$ $* (adapter pulled at $word)"
  rm -f "$dir/log.txt" && mkfifo -m 600 "$dir/log.txt" && chown "$user" "$dir/log.txt"
  (cd "$dir" && as_user "$@" >"$out/bg.out" 2>"$err_file") &
  local tool=$!
  pull_at "$word" "$dir/log.txt"
  wait "$tool"
  status=$?
  undrain
  cat "$out/bg.out" "$err_file"
  echo "exit $status"
  await absent "$adapter" 20
}

scenario_adapter_pulled_during_a_read() {
  # On the guest's tmpfs: 9p makes no pipes.
  local dir=/tmp/pulled link
  link=$(by_id)
  mkdir -p "$dir" && chown "$user" "$dir"
  full_panel >"$dir/full.txt"
  run $cli -p "$link" write "$dir/full.txt"
  [ "$status" = 0 ] || fail "the full panel was not written" || return 1
  echo "kept" >"$dir/backup.txt" && chown "$user" "$dir/backup.txt"
  # After key 3: in the middle of the read.
  pulled_during "+T03" "$dir" $cli -d -p "$link" read -o "$dir/backup.txt"
  plug || return 1
  [ "$status" != 0 ] && [ "$status" != 124 ] || fail "read ended with exit $status" || return 1
  [ "$(cat "$dir/backup.txt")" = kept ] || fail "the file was changed by the failed read" || return 1
  grep -q "$link" "$err_file" || fail "the message does not name the port" || return 1
  grep -Eqi 'read|\+T0|\+s|\+H0' "$err_file" || fail "the message does not say what was going on" || return 1
}

scenario_adapter_pulled_during_a_verified_write() {
  # On the guest's tmpfs: 9p makes no pipes.
  local dir=/tmp/pulled link
  link=$(by_id)
  mkdir -p "$dir" && chown "$user" "$dir"
  full_panel >"$dir/full.txt"
  # After the flags: in the middle of the write, before the numbers.
  pulled_during "+s" "$dir" $cli -d -p "$link" write "$dir/full.txt"
  plug || return 1
  [ "$status" = 4 ] || fail "write ended with exit $status, not 4" || return 1
  grep -Eq '\+[A-Za-z][0-9]*' "$err_file" || fail "the message names no command" || return 1
  grep -qi 'write' "$err_file" && grep -qi 'again' "$err_file" ||
    fail "the message does not advise writing again" || return 1
}

scenario_adapter_pulled_during_write_repeat() {
  # On the guest's tmpfs: 9p makes no pipes.
  local dir=/tmp/pulled link
  link=$(by_id)
  mkdir -p "$dir" && chown "$user" "$dir"
  full_panel >"$dir/full.txt"
  rm -f "$dir/log.txt" && mkfifo -m 600 "$dir/log.txt" && chown "$user" "$dir/log.txt"
  (cd "$dir" && as_user $cli -d -p "$link" write "$dir/full.txt" --repeat >"$dir/repeat.out" 2>"$dir/repeat.err") &
  local tool=$!
  # The first panel pulled while it is written: counted failed.
  pull_at "+s" "$dir/log.txt" || return 1
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
  undrain
  cat "$dir/repeat.out" "$dir/repeat.err"
  echo "exit $status"
  [ $waited -lt 100 ] || fail "Ctrl-C did not end write --repeat within 20 s" || return 1
  grep -q '^1 ' "$dir/repeat.out" || fail "no line for the first panel" || return 1
  grep -q '^2 ' "$dir/repeat.out" || fail "no line for the panel after re-plugging" || return 1
  grep -q 'panels written: 2, verified: 1, failed: 1' "$dir/repeat.err" ||
    fail "the summary does not count one failed and one verified" || return 1
  [ "$status" != 0 ] || fail "write --repeat exit 0 with a failed panel" || return 1
}
