#!/usr/bin/env bash
# Makes the screenshots in docs/ of the real program, on a virtual display
# with the openbox window manager, against the panel simulator: the question
# at start-up, the wait window during the whole-panel read, the keys page
# after it, the numbers page, the panel compared with a saved copy, the box
# after a whole-panel write; after a start that did not read the panel, the
# question before the first write; and with no panel, the no-connection
# message with its details.
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

source scripts/screenshot-lib.sh

# A panel with keys, numbers and flags set, answering a little slowly so that
# the wait window stays long enough to be seen.
write_panel_state "$scratch/panel.state"
coproc SIM { exec "$sim_program" --state "$scratch/panel.state" --delay 120; }
sim_pid=$SIM_PID
children+=("$sim_pid")
read -r -t 10 pty <&"${SIM[0]}"

# COM2 is the simulator's terminal, written by the project's own store code.
XDG_CONFIG_HOME="$scratch/config" "$cli_program" map COM2 "$pty" >/dev/null

# A copy of the panel saved some time ago by the tool: since then key 2 was
# replaced, a number changed and event 4 no longer dials.
"$cli_program" --port "$pty" read -o "$scratch/site-12.txt"
sed -i 's/^key2=.*/key2=A1B2C3D4E5F60718/; s/^number2=.*/number2=+79035556677/; s/^dial4=1/dial4=0/' \
  "$scratch/site-12.txt"

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

# The panel compared with that copy: "Сравнить панель с файлом…", the second
# column of the top strip (its group box at 296, 24; the button at 8, 88 in
# it), then the file typed into the file dialog.
xdotool mousemove --sync $((x + 296 + 8 + 112)) $((y + 24 + 88 + 12)) click 1
dialog=$(await_window "Сравнить панель с файлом")
sleep 0.5
press "$dialog" ctrl+a
xdotool type --delay 20 "$scratch/site-12.txt"
xdotool key Return
result=$(await_window Warning)
sleep 0.5
shoot "$result" screenshot-compare.png
press "$result" Return
sleep 0.5

# "Записать настройки в "Orvex GSM"" (at 8, 80 in the top strip): written,
# read back, compared, and said in one box.
xdotool windowactivate --sync "$main"
xdotool mousemove --sync $((x + 8 + 112)) $((y + 80 + 12)) click 1
result=$(await_window Information)
sleep 0.5
shoot "$result" screenshot-write.png
press "$result" Return
sleep 0.5

wmctrl -i -c "$main"
sleep 0.5

# A start whose question is answered No: the pages hold nothing read from
# this panel, so the write first names what it would write.
XDG_CONFIG_HOME="$scratch/config" LC_ALL=C.UTF-8 "$window_program" >>"$scratch/window.log" 2>&1 &
children+=("$!")
question=$(await_window Confirm)
sleep 0.3
press "$question" Escape
main=$(await_window "$main_title")
sleep 0.5
read -r x y < <(xwininfo -id "$main" |
  awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x, y }')
xdotool windowactivate --sync "$main"
xdotool mousemove --sync $((x + 8 + 112)) $((y + 80 + 12)) click 1
asked=$(await_window Confirm)
sleep 0.5
shoot "$asked" screenshot-first-write.png
press "$asked" Escape
sleep 0.5
wmctrl -i -c "$main"
sleep 0.5

# A panel that answers the probe but not key 2: the read fails twice (on the
# port box's COM2, then on the list's), and the no-connection message's
# details, shown by Tab from Yes to the details button, say so.
kill "$sim_pid" 2>/dev/null || true
wait "$sim_pid" 2>/dev/null || true
coproc SIM2 { exec "$sim_program" --state "$scratch/panel.state" --silent-on +T02; }
sim_pid=$SIM2_PID
children+=("$sim_pid")
read -r pty <&"${SIM2[0]}"
XDG_CONFIG_HOME="$scratch/config" "$cli_program" map COM2 "$pty" >/dev/null
XDG_CONFIG_HOME="$scratch/config" LC_ALL=C.UTF-8 "$window_program" >>"$scratch/window.log" 2>&1 &
children+=("$!")
gone() {
  for _ in $(seq 300); do
    [ -z "$(window_id "$1")" ] && return
    sleep 0.03
  done
}
for _ in 1 2; do
  question=$(await_window Confirm)
  sleep 0.3
  press "$question" Return
  failed=$(await_window Error)
  sleep 0.3
  press "$failed" Return
  gone Error
done
none=$(await_window Confirm)
sleep 0.3
press "$none" Tab
xdotool key space
sleep 0.5
shoot "$none" screenshot-no-connection.png
# Return would press the focused details button: Alt+Y is "&Yes".
press "$none" alt+y
main=$(await_window "$main_title")
sleep 0.5
wmctrl -i -c "$main"
sleep 0.5
