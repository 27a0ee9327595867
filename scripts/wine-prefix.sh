# Sourced by the scripts that run the Windows programs under Wine: makes the
# prefix $WINEPREFIX with one Wine server kept for the whole run (without it
# every program waits for a new one), using $wine and $wineserver.
#
#   start_wine_prefix [COMn=PATH ...]
#
# The prefix also gets Wine's own faces (Tahoma, MS Sans Serif, from Debian's
# fonts-wine) in its Fonts folder. Debian's Wine 8 looks for them under its
# data folder by a path it never resolves, so a new prefix has only the
# host's fontconfig faces: no Tahoma for "MS Shell Dlg", and Qt's message
# boxes fall back to a serif face. A Windows PC has these faces, and the
# programs are tested as they look there.
#
# Each COMn=PATH makes the device PATH (a terminal, or a link to one) the
# prefix's port COMn. Wine makes a prefix's ports itself whenever it starts:
# first those set under HKLM\Software\Wine\Ports (value COMn, data the Unix
# path), then the machine's own serial ports (/dev/ttyS*, /dev/ttyUSB*...)
# on the numbers left free, and it rewrites the links in dosdevices to match.
# A link made there by hand lasts only until Wine next starts on a machine
# with serial ports of its own, so the ports go into that key, and Wine starts
# again to make them.
start_wine_prefix() {
  "$wineserver" -p 2>/dev/null
  "$wine" wineboot -i >/dev/null 2>&1
  local fonts=$WINEPREFIX/drive_c/windows/Fonts face
  mkdir -p "$fonts"
  for face in /usr/share/wine/fonts/*.ttf; do
    [ -e "$face" ] && ln -sf "$face" "$fonts/"
  done
  [ $# -eq 0 ] || give_ports_to_wine "$@"
}

give_ports_to_wine() {
  local port name path
  for port in "$@"; do
    name=${port%%=*} path=${port#*=}
    "$wine" reg add 'HKLM\Software\Wine\Ports' /v "$name" /t REG_SZ /d "$path" /f >/dev/null 2>&1 || {
      echo "wine-prefix: Wine's registry did not take the port $name" >&2
      return 1
    }
  done
  # The ports are made when Wine's device manager starts: with the server's.
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w 2>/dev/null || true
  "$wineserver" -p 2>/dev/null
  "$wine" wineboot >/dev/null 2>&1
  for port in "$@"; do
    name=${port%%=*} path=${port#*=}
    local link=$WINEPREFIX/dosdevices/${name,,}
    if [ "$(readlink "$link" 2>/dev/null)" != "$path" ]; then
      echo "wine-prefix: Wine made $name ${link##*/} -> $(readlink "$link" 2>/dev/null || echo nothing), not $path" >&2
      return 1
    fi
  done
}
