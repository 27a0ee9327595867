# Sourced by the scripts that run the Windows programs under Wine: makes the
# prefix $WINEPREFIX with one Wine server kept for the whole run (without it
# every program waits for a new one), using $wine and $wineserver.
#
# The prefix also gets Wine's own faces (Tahoma, MS Sans Serif, from Debian's
# fonts-wine) in its Fonts folder. Debian's Wine 8 looks for them under its
# data folder by a path it never resolves, so a new prefix has only the
# host's fontconfig faces: no Tahoma for "MS Shell Dlg", and Qt's message
# boxes fall back to a serif face. A Windows PC has these faces, and the
# programs are tested as they look there.
start_wine_prefix() {
  "$wineserver" -p 2>/dev/null
  "$wine" wineboot -i >/dev/null 2>&1
  local fonts=$WINEPREFIX/drive_c/windows/Fonts face
  mkdir -p "$fonts"
  for face in /usr/share/wine/fonts/*.ttf; do
    [ -e "$face" ] && ln -sf "$face" "$fonts/"
  done
  return 0
}
