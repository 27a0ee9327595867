#!/usr/bin/env bash
# Runs a program on a virtual X display of its own (Xvfb) under a real window
# manager (openbox), as a desktop user would run the window, and stops both
# afterwards. The program gets DISPLAY and QT_QPA_PLATFORM=xcb; its exit
# status is the script's.
#
#   run_under_wm.sh PROGRAM [ARGUMENT...]
set -euo pipefail

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

# Xvfb takes a free display number itself and writes it out once it listens,
# so that tests running side by side never share a display. In a chroot the
# abstract X sockets are the host's, so a display number free in the root may
# still lead a client to another server: when openbox cannot open the display,
# the pair starts again on a new one (three tries), and each failure is shown.
start_display() {
  local _
  rm -f "$scratch/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$scratch/display" \
    >"$scratch/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 200); do
    [ -s "$scratch/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.05
  done
  if ! [ -s "$scratch/display" ]; then
    echo "$0: Xvfb did not start" >&2
    cat "$scratch/xvfb.log" >&2
    return 1
  fi
  export DISPLAY=":$(head -n1 "$scratch/display")"

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
for _ in 1 2 3; do
  if start_display; then
    started=yes
    break
  fi
  stop_display
done
[ "$started" = yes ] || exit 1

export QT_QPA_PLATFORM=xcb
status=0
"$@" || status=$?
exit "$status"
