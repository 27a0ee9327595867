# Shared by scripts/screenshots.sh and scripts/screenshots-windows.sh (sourced,
# on the virtual display): the panel they show, and finding, driving and
# photographing windows by their titles. shoot writes into $out.

# A panel with keys, numbers and flags set, as the simulator's state file.
write_panel_state() {
  local file=$1
  # A number as the panel keeps it: its characters in hexadecimal, 32 digits.
  panel_number() {
    local hex
    hex=$(printf '%s' "$1" | od -An -tx1 | tr -d ' \n' | tr a-f A-F)
    printf '%s%0*d' "$hex" $((32 - ${#hex})) 0
  }
  cat >"$file" <<STATE
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
STATE
}

window_id() {
  wmctrl -l 2>/dev/null | awk -v title="$1" '{ id = $1; $1 = $2 = $3 = ""; sub(/^ +/, ""); if ($0 == title) print id }' |
    head -n1
}

# The id of the window of that title, once it is there (at most 30 s).
await_window() {
  local id
  for _ in $(seq 1000); do
    id=$(window_id "$1")
    if [ -n "$id" ]; then
      echo "$id"
      return
    fi
    sleep 0.03
  done
  echo "$(basename "$0"): no window \"$1\" appeared" >&2
  exit 1
}

# The window with its frame (as the window manager gives its extents), cut
# from the whole screen into $out/FILE.
shoot() {
  local id=$1 file=$2 geometry
  geometry=$( (xwininfo -id "$id"; xprop -id "$id" _NET_FRAME_EXTENTS) |
    awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
         /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF }
         /_NET_FRAME_EXTENTS/ { gsub(/,/, ""); l = $(NF-3); r = $(NF-2); t = $(NF-1); b = $NF }
         END { printf "%dx%d+%d+%d", w + l + r, h + t + b, x - l, y - t }')
  /usr/bin/import -silent -window root -crop "$geometry" +repage -strip "png8:$out/$file"
  echo "$(basename "$0"): $out/$file ($geometry)"
}

# A real key press in the active window: synthetic events sent to a window
# id are unreliable. A window that has just appeared may refuse activation
# for a moment.
press() {
  for _ in 1 2 3 4 5; do
    # --sync waits for ever on a window that never becomes active.
    timeout 5 xdotool windowactivate --sync "$1" 2>/dev/null && break
    sleep 0.3
  done
  xdotool key "$2"
}
