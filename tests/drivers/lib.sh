# What the scenarios share: talking to the host, waiting with a bound, the
# user, and random panels. Sourced by scenarios.sh in the guest.

adapter=/dev/ttyUSB0
uart=/dev/ttyS1
user=installer
cli=orvex-gsm-cli
out=/orvex-tests/out

# The processes running PROGRAM (the base root has no procps; only the
# scenarios' user runs the project's programs).
# A Windows program (NAME.exe) runs as Wine's loader: found by its command line.
procs() {
  case "$1" in
    *.exe)
      # Builtins only: a program started per process takes seconds under TCG.
      local dir first found=""
      for dir in /proc/[0-9]*; do
        first=""
        read -r -d '' first 2>/dev/null <"$dir/cmdline"
        [[ "$first" == *"$1" ]] && found+="${dir#/proc/} "
      done
      [ -n "$found" ] && echo $found
      ;;
    *) pidof "$1" ;;
  esac
}

# One line to the host on the console: a request or a result.
# On a line of its own: a probe of COM1 (the console) may have left text.
to_host() { printf '\n@@orvex %s\n' "$*" >/dev/ttyS0; }

# Complains on standard error (the scenario's log) and fails.
fail() {
  echo "FAILED: $*" >&2
  return 1
}

# Until PATH exists (present) or not (absent); at most SECONDS.
await() {
  local what=$1 path=$2 limit=${3:-20} i
  for ((i = 0; i < limit * 5; i++)); do
    if [ "$what" = present ]; then [ -e "$path" ] && return 0; else [ -e "$path" ] || return 0; fi
    sleep 0.2
  done
  fail "$path not $what after ${limit}s"
}

# The adapter out of its socket (after MS milliseconds) and back, by the
# host's QEMU monitor.
pull() {
  to_host pull "${1:-0}"
}
plug() {
  to_host plug
  await present "$adapter" 30 || return 1
  udevadm settle --timeout=20
  await present "$(by_id)" 10
}

by_id() { ls /dev/serial/by-id/usb-QEMU_QEMU_USB_SERIAL_* 2>/dev/null | head -n 1; }

# A command as the normal user with the groups /etc/group gives now (as a
# new login would), bounded.
as_user() {
  timeout "${limit:-60}" setpriv --reuid="$user" --regid="$user" --init-groups \
    env HOME="/home/$user" USER="$user" XDG_CONFIG_HOME="/home/$user/.config" PATH="$PATH" "$@"
}

# Until the user's PROGRAM holds DEVICE open (the tool started and opened
# the port); at most SECONDS (30).
await_open() {
  local program=$1 device=$2 seconds=${3:-30} i pid fd
  for ((i = 0; i < seconds * 5; i++)); do
    for pid in $(procs "$program"); do
      for fd in /proc/"$pid"/fd/*; do
        [ "$(readlink "$fd" 2>/dev/null)" = "$device" ] && return 0
      done
    done
    sleep 0.2
  done
  fail "$program did not open $device within $seconds s"
}

# Runs a command as the user, bounded: its output in $output, its exit
# status in $status, its standard error in $err_file; all three logged.
err_file=$out/last.err
run() {
  output=$(as_user "$@" 2>"$err_file")
  status=$?
  echo "\$ $* -> exit $status"
  [ -z "$output" ] || echo "$output"
  cat "$err_file"
}

hex_digits() { tr -dc '0-9A-F' </dev/urandom | head -c "$1"; }

# A settings file with random keys, numbers and flags. Numbers are 0 to 15
# characters of digits and "+".
random_panel() {
  local i n
  for i in 1 2 3 4; do echo "key$i=$(hex_digits 16)"; done
  for i in 1 2 3 4 5 6; do
    n=$((RANDOM % 16))
    echo "number$i=$(tr -dc '0-9+' </dev/urandom | head -c "$n")"
  done
  for i in 1 2 3 4 5 6; do echo "dial$i=$((RANDOM % 2))"; done
  for i in 1 2 3 4 5 6; do echo "day$i=$((RANDOM % 2))"; done
}

# The settings of a file without its comments, to compare two of them.
settings_of() { grep -v '^#' "$1" | grep -v '^$'; }
