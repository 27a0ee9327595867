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

# What this script started ends with it, however it ends.
children=()
stop_children() {
  for pid in "${children[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap stop_children EXIT
trap 'exit 130' INT TERM HUP

start_window() {
  if [ "$xvfb" -eq 1 ]; then
    xvfb-run -a -s "-screen 0 1280x1024x24" "$window" &
  else
    "$window" &
  fi
  children+=("$!")
  wait "$!"
}

# The window probes the port in its port box first, and the box starts with
# the text saved at the end of the last run: saving PORT there is the same as
# typing it into the box. The save follows the window's own: under the
# settings store's lock, everything but that one value kept as it is.
save_port_box_text() {
  local port=$1 reg=$2
  mkdir -p "$(dirname "$reg")"
  (
    if ! flock -w 5 9; then
      echo "run.sh: $reg stays locked by another program" >&2
      exit 1
    fi
    # The store's own rule: a file of blank lines is empty, any other starts
    # with REGEDIT4.
    local filled=0
    grep -q '[^[:space:]]' "$reg" 2>/dev/null && filled=1
    if [ "$filled" -eq 1 ] &&
      [ "$(head -n 1 "$reg" | sed 's/^\xEF\xBB\xBF//; s/[[:space:]]*$//')" != REGEDIT4 ]; then
      echo "run.sh: $reg is not a settings file (its first line is not REGEDIT4): type $port into the port box" >&2
      exit 1
    fi
    local text=${port//\\/\\\\}
    text=${text//\"/\\\"}
    {
      if [ "$filled" -eq 1 ]; then
        cat "$reg"
        # A last line without its line end still ends before what follows.
        [ -z "$(tail -c 1 "$reg")" ] || echo
      else
        echo REGEDIT4
      fi
    } | TEXT="$text" awk '
      function lower_trimmed(line) { sub(/^[ \t]+/, "", line); sub(/[ \t\r]+$/, "", line); return tolower(line) }
      BEGIN {
        key = "[hkey_current_user\\software\\nolvargsm\\forms\\forvex]"
        value = "\"cb1.Text\"=\"" ENVIRON["TEXT"] "\""
      }
      continued { continued = ($0 ~ /\\[ \t\r]*$/); next }
      /^[ \t]*\[/ {
        inkey = (lower_trimmed($0) == key)
        print
        if (inkey && !done) { print value; done = 1 }
        next
      }
      inkey && tolower($0) ~ /^[ \t]*"cb1\.text"[ \t]*=/ {
        # A byte list may go on over the lines that follow; a text may not.
        data = $0
        sub(/^[^=]*=[ \t]*/, "", data)
        continued = (data !~ /^"/ && data ~ /\\[ \t\r]*$/)
        next
      }
      { print }
      END { if (!done) { print ""; print "[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Forms\\fOrvex]"; print value } }
    ' >"$reg.run-sh.new"
    [ -e "$reg" ] && chmod --reference="$reg" "$reg.run-sh.new"
    mv "$reg.run-sh.new" "$reg"
  ) 9>"$reg.lock"
}

if [ -n "$port" ]; then
  reg="${XDG_CONFIG_HOME:-$HOME/.config}/NolvarGSM/user.reg"
  save_port_box_text "$port" "$reg"
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
reg="$demo/config/NolvarGSM/user.reg"
ports_key='[HKEY_CURRENT_USER\SOFTWARE\NolvarGSM\Ports]'
{
  if [ -s "$reg" ]; then
    # Everything but the old port map key, without trailing blank lines.
    PORTS_KEY="$ports_key" awk '
      /^\[/ { skip = (tolower($0) == tolower(ENVIRON["PORTS_KEY"])) }
      skip { next }
      /^[[:space:]]*$/ { blanks++; next }
      { for (; blanks > 0; blanks--) print ""; print }' "$reg"
  else
    echo "REGEDIT4"
  fi
  echo
  echo "$ports_key"
  echo "\"COM2\"=\"$pty\""
} > "$reg.new"
mv "$reg.new" "$reg"

XDG_CONFIG_HOME="$demo/config" start_window
