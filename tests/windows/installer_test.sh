#!/usr/bin/env bash
# The Windows installer in a Wine prefix, as on an installer's laptop: a
# silent install puts the programs, the Start-menu shortcut and the entry in
# Add/Remove Programs in place; the installed tool starts; a silent uninstall
# takes all of it away again and leaves only the user's own settings.
#
#   bash tests/windows/installer_test.sh WINE INSTALLER
#
# Runs in the prefix of WINEPREFIX (scripts/test-windows.sh prepares it).
set -uo pipefail
wine=$1
installer=$2
version=$(basename "$installer" .exe)
version=${version#orvex-gsm-setup-}

drive_c=$WINEPREFIX/drive_c
program_dir="$drive_c/Program Files/Orvex GSM"
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Настройка Orvex GSM.lnk"
user_key='HKCU\SOFTWARE\NolvarGSM\Forms\fOrvex'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvexGSM'
failures=0

check() {
  local what=$1
  shift
  if "$@"; then
    printf 'installer: ok: %s\n' "$what"
  else
    printf 'installer: FAILED: %s\n' "$what"
    failures=$((failures + 1))
  fi
}
has() { grep -qF -- "$1" <<<"$2"; }
reg_query() { "$wine" reg query "$@" 2>/dev/null | tr -d '\r'; }
reg_has_key() { "$wine" reg query "$1" >/dev/null 2>&1; }
reg_lacks_key() { ! reg_has_key "$1"; }
# The port the window saved in the user's settings, empty when none is.
saved_port() { reg_query "$user_key" | sed -n 's/.*cb1\.Text *REG_SZ *//p'; }
# Everything of the prefix's drive C that is not Wine's own scratch.
drive_files() { (cd "$drive_c" && find . -path ./windows -prune -o -path './users/*/Temp' -prune -o -print | sort); }

before=$(drive_files)
"$wine" "$installer" /S
check "the silent install succeeds" [ $? -eq 0 ]
for file in orvex-gsm.exe orvex-gsm-cli.exe uninstall.exe; do
  check "Program Files holds $file" [ -f "$program_dir/$file" ]
done
check "the Start-menu shortcut is there" [ -f "$shortcut" ]
link_text=$(strings -a -el "$shortcut" 2>/dev/null)
check "the shortcut starts the installed window" has 'C:\Program Files\Orvex GSM\orvex-gsm.exe' "$link_text"
check "the shortcut starts it in the users' shared Documents" has 'C:\users\Public\Documents' "$link_text"
entry=$(reg_query "$uninstall_key")
check "Add/Remove Programs lists it with its version" has "DisplayVersion    REG_SZ    $version" "$entry"
check "Add/Remove Programs can remove it silently" has '\uninstall.exe" /S' "$entry"

cli_out=$("$wine" "$program_dir/orvex-gsm-cli.exe" --version 2>&1 | tr -d '\r')
check "the installed tool starts and tells its version ($cli_out)" has "$version" "$cli_out"

# The user's own settings, which the uninstall must leave: in place, and
# seen in place, before it runs.
"$wine" reg add "$user_key" /v cb1.Text /d COM9 /f >/dev/null 2>&1
port=$(saved_port)
check "the user's settings are in place before the uninstall (the port saved: ${port:-none})" \
  [ "$port" = COM9 ]
"$wine" "$program_dir/uninstall.exe" /S
# The uninstaller runs on from a copy of itself (Temp\~nsuN.tmp\Un.exe /S
# _?=C:\Program Files\Orvex GSM\) and returns at once: it is done when that
# copy has ended and what it removes is gone. Wine's desktop process keeps
# the prefix alive, so wineserver -w would wait for the deadline.
uninstaller_running() {
  local cmdline
  for cmdline in /proc/[0-9]*/cmdline; do
    [[ "$(tr '\0' ' ' <"$cmdline" 2>/dev/null)" == *'Un.exe /S _?=C:\Program Files\Orvex GSM'* ]] &&
      return 0
  done
  return 1
}
uninstalling() {
  uninstaller_running || [ -e "$program_dir" ] || [ -e "$shortcut" ] || reg_has_key "$uninstall_key"
}
deadline=$((SECONDS + 300))
while uninstalling && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.2; done
check "the uninstall removes the programs' folder" [ ! -e "$program_dir" ]
check "the uninstall removes the shortcut" [ ! -e "$shortcut" ]
check "the uninstall removes its entry in Add/Remove Programs" reg_lacks_key "$uninstall_key"
left=$(diff <(echo "$before") <(drive_files) | grep '^[<>]')
check "nothing else is left on drive C${left:+: $left}" [ -z "$left" ]
port=$(saved_port)
check "the user's settings stay (the port saved: ${port:-none})" [ "$port" = COM9 ]
"$wine" reg delete "$user_key" /v cb1.Text /f >/dev/null 2>&1

[ "$failures" -eq 0 ]
