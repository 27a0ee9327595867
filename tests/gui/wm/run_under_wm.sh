#!/usr/bin/env bash
# Runs a program on a virtual X display of its own (Xvfb) under a real window
# manager (openbox), as a desktop user would run the window, and stops both
# afterwards. The program gets DISPLAY, QT_QPA_PLATFORM=xcb and
# ORVEX_TEST_WM_PID, the window manager's process (a test may pause it, as a
# slow desktop); its exit status is the script's.
#
#   run_under_wm.sh PROGRAM [ARGUMENT...]
set -euo pipefail
source "$(dirname "$0")/../../../scripts/lib.sh"

if [ $# -lt 1 ]; then
  echo "usage: $0 PROGRAM [ARGUMENT...]" >&2
  exit 2
fi
for tool in Xvfb openbox wmctrl; do
  if ! command -v "$tool" >/dev/null; then
    echo "$0: $tool is missing (scripts/install-deps.sh installs it)" >&2
    exit 1
  fi
done

scratch=$(mktemp -d)
xvfb_pid=""
wm_pid=""
stop_display() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "$wm_pid" ] && wait "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && wait "$xvfb_pid" 2>/dev/null || true
  wm_pid=""
  xvfb_pid=""
}
stop() {
  stop_display
  rm -rf "$scratch"
}
trap stop EXIT
trap 'exit 130' INT TERM HUP

# A display number that nothing holds (free_display): neither a lock file
# nor, as in a chroot that shares its host's network, an abstract socket.
# Another display started at the same moment may still take it first: when
# Xvfb or openbox cannot start on it, the pair starts again on the next free
# one (five tries), and each failure is shown.
start_display() {
  local _ n=$1
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
  xvfb_pid=$!
  # Ours once its lock file holds its process id and its socket is there.
  listening() {
    [ "$(tr -d ' ' 2>/dev/null <"/tmp/.X$n-lock")" = "$xvfb_pid" ] && [ -S "/tmp/.X11-unix/X$n" ]
  }
  for _ in $(seq 200); do
    listening && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.05
  done
  if ! listening || ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "$0: Xvfb did not start on :$n" >&2
    cat "$scratch/xvfb.log" >&2
    return 1
  fi
  export DISPLAY=":$n"

  # openbox with its Debian defaults, not a developer's own configuration.
  mkdir -p "$scratch/config"
  XDG_CONFIG_HOME="$scratch/config" XDG_CACHE_HOME="$scratch" openbox >"$scratch/wm.log" 2>&1 &
  wm_pid=$!
  for _ in $(seq 200); do
    wmctrl -m >/dev/null 2>&1 && return 0
    kill -0 "$wm_pid" 2>/dev/null || break
    sleep 0.05
  done
  wmctrl -m >/dev/null 2>&1 && return 0
  echo "$0: openbox did not start on $DISPLAY" >&2
  cat "$scratch/wm.log" "$scratch/xvfb.log" >&2
  return 1
}

started=no
display=$(free_display)
for _ in 1 2 3 4 5; do
  if start_display "$display"; then
    started=yes
    break
  fi
  stop_display
  display=$(free_display $((display + 1)))
done
[ "$started" = yes ] || exit 1

export QT_QPA_PLATFORM=xcb ORVEX_TEST_WM_PID=$wm_pid
status=0
"$@" || status=$?
exit "$status"
