#!/usr/bin/env bash
# The window's .exe live under Wine, on a virtual display with the openbox
# window manager, against the panel simulator (native) on COM2 of a fresh
# Wine prefix: the question at start-up, the whole-panel read, both pages, a
# write, the window's state in the registry at close and back at the next
# start, the debug log; against a panel that refuses "+s", after a start that
# read nothing, the question before the first write and the error box of the
# write over the main window, which must show its text on the screen; and
# against a panel whose read fails, the no-connection message's details.
# Takes docs/screenshot-windows-keys.png, -numbers.png, -write.png,
# -first-write.png, -error.png and -no-connection.png.
#
#   bash scripts/screenshots-windows.sh [OUTPUT_FOLDER]   default docs/
#   bash scripts/screenshots-windows.sh --check           the checks only
#
# ORVEX_WINDOWS_EXE: the window's .exe (default: built by
# scripts/package-windows.sh); ORVEX_SIM: the native simulator (default: built
# in BUILD_DIR, default build). Look at every picture before committing it.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--on-display" ]; then
  out=${1:-docs}
  [ "$out" = --check ] && out=""
  sim=${ORVEX_SIM:-}
  if [ -z "$sim" ]; then
    build=${BUILD_DIR:-build}
    cmake -S . -B "$build" -G Ninja >/dev/null
    cmake --build "$build" -j2 --target orvex-gsm-sim
    sim=$build/tools/sim/orvex-gsm-sim
  fi
  exe=${ORVEX_WINDOWS_EXE:-}
  if [ -z "$exe" ]; then
    installer=$(bash scripts/package-windows.sh | tail -n 1)
    exe=$(dirname "$installer")/installer-files/orvex-gsm.exe
  fi
  [ -n "$out" ] && mkdir -p "$out" && out=$(realpath "$out")
  exec bash tests/gui/wm/run_under_wm.sh bash "$0" --on-display "$out" "$(realpath "$exe")" \
    "$(realpath "$sim")"
fi

# From here on: on the virtual display, under the window manager.
out=$2
exe=$3
sim_program=$4
main_title='Настройка Охранной Панели "Orvex GSM"'
wait_title='Обмен данными'
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

scratch=$(mktemp -d)
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
sim_pid=""
failures=0
stop_all() {
  "$wineserver" -k 2>/dev/null || true
  [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap stop_all EXIT
trap 'echo "screenshots-windows: failed at line $LINENO" >&2' ERR

source scripts/lib.sh
check() {
  local what=$1
  shift
  if "$@"; then
    note "ok: $what"
  else
    note "FAILED: $what"
    failures=$((failures + 1))
  fi
}

source scripts/screenshot-lib.sh
write_panel_state "$scratch/panel.state"

# COM2 of the prefix is a link of ours, which each simulator makes to its
# terminal (see wine-prefix.sh).
source scripts/wine-prefix.sh
mkdir -p "$WINEPREFIX" "$scratch/work"
start_wine_prefix "COM2=$scratch/com2"

# The simulator on COM2 of the prefix; its command log tells what the window
# sent.
start_sim() {
  [ -z "$sim_pid" ] || { kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; }
  rm -f "$scratch/commands.log"
  "$sim_program" --link "$scratch/com2" --log "$scratch/commands.log" "$@" \
    >"$scratch/sim.out" 2>&1 &
  sim_pid=$!
  for _ in $(seq 100); do [ -L "$scratch/com2" ] && break; sleep 0.05; done
}

await_gone() {
  for _ in $(seq 1000); do
    [ -z "$(window_id "$1")" ] && return
    sleep 0.03
  done
}
# x y width height of a window's client area on the screen.
geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
    /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF } END { print x, y, w, h }'
}
# A click at x, y of a window's client area.
click() {
  local x y _
  read -r x y _ < <(geometry "$1")
  press "$1" shift
  xdotool mousemove --sync $((x + $2)) $((y + $3)) click 1
}
# Closes the main window and waits for the program to end (at most 20 s).
close_main() {
  wmctrl -i -c "$1"
  for _ in $(seq 400); do
    kill -0 "$window_pid" 2>/dev/null || break
    sleep 0.05
  done
  if kill -0 "$window_pid" 2>/dev/null; then
    note "FAILED: the window did not close"
    failures=$((failures + 1))
    kill "$window_pid" 2>/dev/null || true
  fi
  wait "$window_pid" 2>/dev/null || true
}
start_window() {
  (cd "$scratch/work" && exec "$wine" "$exe" "$@") >"$scratch/window.log" 2>&1 &
  window_pid=$!
}
saved() { "$wine" reg query 'HKCU\SOFTWARE\NolvarGSM\Forms\fOrvex' 2>/dev/null | tr -d '\r'; }
sent() { cut -f2 "$scratch/commands.log" 2>/dev/null | tr '\n' ' '; }
contains() { grep -qF -- "$1" <<<"$2"; }

# --- A first start in debug mode: the question, the read, both pages, a write.
start_sim --state "$scratch/panel.state" --delay 120
start_window DEBUG
question=$(await_window Confirm)
sleep 0.5
asked=$(wc -l <"$scratch/commands.log")
press "$question" Return
# The wait window is drawn before the read sends its first command: looked
# at the moment that command reaches the panel, it shows its picture (the
# panel takes 120 ms to answer, and the read far longer).
for _ in $(seq 2000); do
  [ "$(wc -l <"$scratch/commands.log")" -gt "$asked" ] && break
  sleep 0.005
done
wait_id=$(await_window "$wait_title")
colours=$(/usr/bin/import -silent -window "$wait_id" "$scratch/wait.png" 2>/dev/null &&
  /usr/bin/convert "$scratch/wait.png" -format '%k' info:)
check "the wait window is drawn when the first command goes out ($colours colours)" \
  [ "${colours:-0}" -gt 8 ]
# A fixed dialog: the window manager cannot make it larger.
read -r _ _ wait_width wait_height < <(geometry "$wait_id")
xdotool windowsize "$wait_id" 500 300 2>/dev/null || true
sleep 0.3
read -r _ _ width_after height_after < <(geometry "$wait_id")
check "the wait window keeps its size (${wait_width}x$wait_height, after a resize ${width_after}x$height_after)" \
  [ "${width_after}x$height_after" = "${wait_width}x$wait_height" ]
main=$(await_window "$main_title")
await_gone "$wait_title"
sleep 1
check "the read asked the panel for keys, flags and numbers" \
  contains "+T01 +T01 +T02 +T03 +T04 +s +H01 +H02 +H04 +H05" "$(sent)"
[ -z "$out" ] || shoot "$main" screenshot-windows-keys.png
# The numbers node of the settings tree (below the top strip, 153 pixels
# high, the group box's title and the first node).
click "$main" 60 193
sleep 1.5
[ -z "$out" ] || shoot "$main" screenshot-windows-numbers.png
# "Записать настройки в "Orvex GSM"".
before=$(wc -l <"$scratch/commands.log")
click "$main" 120 92
sleep 0.5
await_gone "$wait_title"
# Written, read back and compared: one box says so.
result=$(await_window Information)
sleep 0.5
[ -z "$out" ] || shoot "$result" screenshot-windows-write.png
check "the write sent the keys, flags and numbers" \
  contains "+s1B05" "$(tail -n +$((before + 1)) "$scratch/commands.log" | cut -f2 | tr '\n' ' ')"
check "the write read the panel back" \
  contains "+s +H01" "$(tail -n +$((before + 1)) "$scratch/commands.log" | cut -f2 | tr '\n' ' ')"
press "$result" Return
await_gone Information
xdotool windowsize "$main" 760 640
sleep 0.5
read -r _ _ width height < <(geometry "$main")
close_main "$main"
state=$(saved)
check "the state is in HKCU\\SOFTWARE\\NolvarGSM\\Forms\\fOrvex" contains 'cb1.Text    REG_SZ    COM2' "$state"
check "the debug log is in the current folder, in code page 1251" \
  bash -c 'f=$1/work/log.txt; [ -s "$f" ] && iconv -f CP1251 -t UTF-8 "$f" >/dev/null' _ "$scratch"

# --- A second start restores the state: the same port and size.
start_window
question=$(await_window Confirm)
press "$question" Escape
main=$(await_window "$main_title")
sleep 1
read -r _ _ width2 height2 < <(geometry "$main")
check "the next start restores the size (${width}x$height, now ${width2}x$height2)" \
  [ "${width2}x$height2" = "${width}x$height" ]
close_main "$main"

# --- The error box of a refused write, over the main window, on the screen.
start_sim --error-on +s --delay 200
start_window
question=$(await_window Confirm)
press "$question" Escape
main=$(await_window "$main_title")
sleep 1
click "$main" 120 92
# Nothing was read from this panel: the write names what it would write and
# asks first.
asked=$(await_window Confirm)
sleep 0.5
[ -z "$out" ] || shoot "$asked" screenshot-windows-first-write.png
press "$asked" Return
box=$(await_window Error)
sleep 0.5
[ -z "$out" ] || shoot "$box" screenshot-windows-error.png
read -r x y w h < <(geometry "$box")
import -silent -window root "$scratch/screen.png"
read -r light dark < <(convert "$scratch/screen.png" -crop "${w}x$h+$x+$y" +repage -colorspace gray \
  \( +clone -threshold 70% -format '%[fx:mean] ' -write info: +delete \) \
  -negate -threshold 69% -format '%[fx:mean]\n' info:)
check "the error box shows its text over the main window (light $light, dark $dark)" \
  awk -v l="$light" -v d="$dark" 'BEGIN { exit !(l > 0.5 && d > 0.002) }'
# A box that has just appeared may miss the first key.
for _ in 1 2 3; do
  press "$box" Return
  for _ in $(seq 100); do [ -z "$(window_id Error)" ] && break; sleep 0.03; done
  [ -z "$(window_id Error)" ] && break
done
close_main "$main"

# --- The panel answers but its read fails, on the port box's COM2 and again
# on the list's: the no-connection message's details say so, each port once.
start_sim --silent-on +T02
start_window
for _ in 1 2; do
  question=$(await_window Confirm)
  sleep 0.3
  press "$question" Return
  failed=$(await_window Error)
  sleep 0.3
  press "$failed" Return
  await_gone Error
done
none=$(await_window Confirm)
sleep 0.5
# Tab from Yes to the details button, which Space presses.
press "$none" Tab
xdotool key space
sleep 0.5
[ -z "$out" ] || shoot "$none" screenshot-windows-no-connection.png
# Return would press the focused details button: Alt+Y is "&Yes".
press "$none" alt+y
main=$(await_window "$main_title")
sleep 1
close_main "$main"

[ "$failures" -eq 0 ]
