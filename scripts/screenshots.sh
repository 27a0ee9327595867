#!/usr/bin/env bash
# Makes the screenshots in docs/ of the real program, on a virtual display
# with the openbox window manager, against the panel simulator: the question
# at start-up, the wait window during the whole-panel read, the keys page
# after it, and the numbers page.
#
#   scripts/screenshots.sh [OUTPUT_FOLDER]     default docs/
#
# BUILD_DIR names the build folder (default build). Look at every picture
# before committing it.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--on-display" ]; then
  out="${1:-docs}"
  build="${BUILD_DIR:-build}"
  bash scripts/install-deps.sh
  cmake -S . -B "$build" -G Ninja >/dev/null
  cmake --build "$build" -j2 --target orvex-gsm orvex-gsm-sim orvex-gsm-cli
  mkdir -p "$out"
  exec bash tests/gui/wm/run_under_wm.sh bash "$0" --on-display "$(realpath "$out")" "$build"
fi

# From here on: on the virtual display, under the window manager.
out="$2"
build="$3"
window_program="$build/app/orvex-gsm"
sim_program="$build/tools/sim/orvex-gsm-sim"
cli_program="$build/tools/cli/orvex-gsm-cli"
main_title='Настройка Охранной Панели "Orvex GSM"'
wait_title='Обмен данными'

scratch=$(mktemp -d)
children=()
stop_children() {
  for pid in "${children[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap stop_children EXIT

# A number as the panel keeps it: its characters in hexadecimal, 32 digits.
panel_number() {
  local hex
  hex=$(printf '%s' "$1" | od -An -tx1 | tr -d ' \n' | tr a-f A-F)
  printf '%s%0*d' "$hex" $((32 - ${#hex})) 0
}

# A panel with keys, numbers and flags set, answering a little slowly so that
# the wait window stays long enough to be seen.
cat >"$scratch/panel.state" <<EOF
key1=0123456789ABCDEF
key2=1122334455667788
key3=0000000000000000
key4=0000000000000000
dial=1B
h24=05
number1=$(panel_number "+79161234567")
number2=$(panel_number "+79031112233")
number4=$(panel_number "112")
number5=$(panel_number "+74952223344")
EOF
coproc SIM { exec "$sim_program" --state "$scratch/panel.state" --delay 120; }
children+=("$SIM_PID")
read -r -t 10 pty <&"${SIM[0]}"

# COM2 is the simulator's terminal, written by the project's own store code.
XDG_CONFIG_HOME="$scratch/config" "$cli_program" map COM2 "$pty" >/dev/null

window_id() {
  wmctrl -l 2>/dev/null | awk -v title="$1" '{ id = $1; $1 = $2 = $3 = ""; sub(/^ +/, ""); if ($0 == title) print id }' |
    head -n1
}

await_window() {
  local id
  for _ in $(seq 500); do
    id=$(window_id "$1")
    if [ -n "$id" ]; then
      echo "$id"
      return
    fi
    sleep 0.02
  done
  echo "screenshots.sh: no window \"$1\" appeared" >&2
  exit 1
}

# The window with its frame (as the window manager gives its extents), cut
# from the whole screen.
shoot() {
  local id=$1 file=$2 geometry
  geometry=$( (xwininfo -id "$id"; xprop -id "$id" _NET_FRAME_EXTENTS) |
    awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
         /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF }
         /_NET_FRAME_EXTENTS/ { gsub(/,/, ""); l = $(NF-3); r = $(NF-2); t = $(NF-1); b = $NF }
         END { printf "%dx%d+%d+%d", w + l + r, h + t + b, x - l, y - t }')
  /usr/bin/import -silent -window root -crop "$geometry" +repage -strip "png8:$out/$file"
  echo "screenshots.sh: $out/$file ($geometry)"
}

# A real key press in the active window: synthetic events sent to a window
# id are unreliable.
press() {
  xdotool windowactivate --sync "$1"
  xdotool key "$2"
}

XDG_CONFIG_HOME="$scratch/config" LC_ALL=C.UTF-8 "$window_program" >"$scratch/window.log" 2>&1 &
children+=("$!")

question=$(await_window Confirm)
sleep 0.3
shoot "$question" screenshot-question.png
press "$question" Return

wait_window=$(await_window "$wait_title")
sleep 0.4
shoot "$wait_window" screenshot-wait.png

main=$(await_window "$main_title")
sleep 0.5
shoot "$main" screenshot-keys.png

# The numbers node of the settings tree, clicked where it lies in the window
# (below the top strip, 153 pixels high, the group box's title and the first
# node).
read -r x y < <(xwininfo -id "$main" |
  awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x, y }')
xdotool windowactivate --sync "$main"
xdotool mousemove --sync $((x + 60)) $((y + 153 + 40)) click 1
sleep 2
shoot "$main" screenshot-numbers.png

wmctrl -i -c "$main"
sleep 0.5
