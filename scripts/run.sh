#!/usr/bin/env bash
# Builds the configurator and starts its window.
#
#   scripts/run.sh              the window against the panel simulator: the
#                               simulator runs on a pseudo-terminal and the
#                               window's port COM2 is mapped to it
#   scripts/run.sh PORT         the window alone, for a real panel on PORT
#                               (COM1 ... or a device path such as /dev/ttyUSB0):
#                               PORT becomes the saved port box text, which the
#                               window probes first, in the user's own settings
#   scripts/run.sh --xvfb ...   the same on a virtual display (xvfb-run), for
#                               a machine without one
#
# The simulator keeps the panel's memory in ~/.local/share/orvex-gsm-demo
# (or $XDG_DATA_HOME/orvex-gsm-demo), and the demo window keeps its settings
# in a config folder there, apart from the user's own. BUILD_DIR names the
# build folder (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

xvfb=0
if [ "${1:-}" = "--xvfb" ]; then
  xvfb=1
  shift
fi
port="${1:-}"

if [ "$xvfb" -eq 0 ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: there is no display (DISPLAY and WAYLAND_DISPLAY are not set)." >&2
  echo "run.sh: run it in a desktop session, or use a virtual one: scripts/run.sh --xvfb" >&2
  exit 1
fi

build="${BUILD_DIR:-build}"
if [ "$xvfb" -eq 1 ]; then
  bash scripts/install-deps.sh --xvfb
else
  bash scripts/install-deps.sh
fi
# The window and the simulator only: the test suite and its tools are the
# test command's (scripts/test.sh).
cmake -S . -B "$build" -G Ninja -DBUILD_TESTING=OFF
cmake --build "$build" -j2

window="$build/app/orvex-gsm"
sim="$build/tools/sim/orvex-gsm-sim"
cli="$build/tools/cli/orvex-gsm-cli"

# What this script started ends with it, however it ends.
children=()
stop_children() {
  for pid in "${children[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap stop_children EXIT
trap 'exit 130' INT TERM HUP

# Not xvfb-run -a: it looks only at lock files (see free_display).
start_window() {
  if [ "$xvfb" -eq 1 ]; then
    xvfb-run -n "$(free_display 99)" -s "-screen 0 1280x1024x24" "$window" &
  else
    "$window" &
  fi
  children+=("$!")
  wait "$!"
}

# The window probes the port in its port box first, and the box starts with
# the text saved at the end of the last run: the tool saves PORT there as the
# window saves it (under the settings store's lock, nothing else changed).
if [ -n "$port" ]; then
  reg="${XDG_CONFIG_HOME:-$HOME/.config}/NolvarGSM/user.reg"
  "$cli" set-port "$port" >/dev/null
  echo "run.sh: the window looks for the panel on $port first (port box text in $reg)"
  start_window
  exit
fi

demo="${XDG_DATA_HOME:-$HOME/.local/share}/orvex-gsm-demo"
mkdir -p "$demo/config/NolvarGSM"

# A key held to the reader, so that "Читать ключ" has something to read.
coproc SIM { exec "$sim" --state "$demo/panel.state" --present 0123456789ABCDEF; }
children+=("$SIM_PID")
if ! read -r -t 10 pty <&"${SIM[0]}" || [ -z "$pty" ]; then
  echo "run.sh: the panel simulator did not start" >&2
  exit 1
fi
echo "run.sh: panel simulator on $pty (memory in $demo/panel.state)"

# The settings store's port map sends COM2 to the simulator's terminal; the
# rest of the demo's settings file stays as the window left it.
XDG_CONFIG_HOME="$demo/config" "$cli" map COM2 "$pty" >/dev/null

XDG_CONFIG_HOME="$demo/config" start_window
