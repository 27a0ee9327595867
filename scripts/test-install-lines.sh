#!/usr/bin/env bash
# Runs README's install lines as a new user types them, in the order given:
# the code blocks of its "Install" section in a fresh clone of this checkout,
# then the code block that each installer's guide in docs/ ("For installers:
# the panel on Linux" and its Russian twin) gives for the laptop, in a folder
# that holds only the copied package. After each line that installs or removes, checks
# what it should have done. Leaves the system as it found it (the package
# purged, the /usr/local install removed).
#
#   bash scripts/test-install-lines.sh
#
# As root or a user with sudo, on Debian 12 with a working apt. As root where
# sudo is not installed (a fresh root), "sudo" in a line runs the command
# itself, as a root user would type it without the word.
set -euo pipefail
cd "$(dirname "$0")/.."
checkout=$(pwd)
started=$SECONDS

source scripts/lib.sh
export DEBIAN_FRONTEND=noninteractive

# The lines inside ``` fences between the heading $2 and the next heading of
# the same level; with $3, only the first block after the line starting $3.
block_lines() {
  awk -v heading="$2" -v after="${3-}" '
    $0 == heading { inside = 1; armed = (after == ""); next }
    inside && /^## / { exit }
    !inside { next }
    !armed && index($0, after) == 1 { armed = 1; next }
    armed && /^```/ { if (fenced) { fenced = 0; if (after != "") exit } else fenced = 1; next }
    armed && fenced && NF { print }
  ' "$1"
}

work=$(mktemp -d)
uninstall_all() {
  $sudo apt-get purge -y -q orvex-gsm >/dev/null 2>&1 || true
  local manifest=$work/clone/build-package/install_manifest.txt
  [ ! -f "$manifest" ] || $sudo xargs rm -f <"$manifest"
}
at_exit uninstall_all
at_exit rm -rf "$work"

# A root shell without sudo: the word is dropped, the command runs as typed.
shim=""
if [ "$(id -u)" -eq 0 ] && ! command -v sudo >/dev/null; then
  shim='sudo() { "$@"; }'
fi

# Each line as typed at a shell prompt in folder $1, stopping at the first
# that fails; then the check that belongs to what the line did. apt's
# questions are answered yes, as the user at the prompt would.
run_lines() {
  local folder=$1 line
  shift
  for line in "$@"; do
    note "\$ $line    (in $folder)"
    (cd "$folder" && bash -c "set -e; $shim
$line" < <(yes)) || fail "the line \"$line\" failed"
    check_after "$line"
  done
}

check_after() {
  case $1 in
    *"apt install ./"*)
      dpkg-query -W -f='${Status}' orvex-gsm 2>/dev/null | grep -q "install ok installed" ||
        fail "the package is not installed after \"$1\""
      /usr/bin/orvex-gsm-cli --version | grep -q '^orvex-gsm-cli ' || fail "the installed tool does not run"
      [ -x /usr/bin/orvex-gsm ] || fail "the window is not installed"
      ;;
    *"apt purge orvex-gsm"*)
      if dpkg-query -W -f='${Status}' orvex-gsm 2>/dev/null | grep -q ' installed'; then
        fail "orvex-gsm is still installed after \"$1\""
      fi
      [ ! -e /usr/bin/orvex-gsm-cli ] || fail "/usr/bin/orvex-gsm-cli is left after \"$1\""
      ;;
    *"cmake --install build-package"*)
      /usr/local/bin/orvex-gsm-cli --version | grep -q '^orvex-gsm-cli ' ||
        fail "/usr/local/bin/orvex-gsm-cli does not run after \"$1\""
      [ -x /usr/local/bin/orvex-gsm ] || fail "/usr/local/bin/orvex-gsm is missing"
      ;;
    *"install_manifest.txt"*)
      [ ! -e /usr/local/bin/orvex-gsm-cli ] && [ ! -e /usr/local/bin/orvex-gsm ] ||
        fail "the /usr/local install is left after \"$1\""
      ;;
    *"find /usr/local"*"-delete"*)
      local left
      left=$(comm -13 "$work/local-folders" <(local_folders) | xargs)
      [ -z "$left" ] || fail "folders the /usr/local install made are left after \"$1\": $left"
      ;;
  esac
}

# The folders under /usr/local, one a line, sorted.
local_folders() { find /usr/local -type d | sort; }

# The text of the section that starts with the heading $2, up to the next
# heading of the same level.
section_text() {
  awk -v heading="$2" '$0 == heading { inside = 1; next } inside && /^## / { exit } inside' "$1"
}

dpkg-query -W -f='${Status}' orvex-gsm 2>/dev/null | grep -q "install ok installed" &&
  fail "orvex-gsm is installed already: purge it first, the lines start from a machine without it"

# A fresh clone: no build folder of the checkout's can stand in for the one
# the lines make.
git clone -q --no-hardlinks "$checkout" "$work/clone"
local_folders >"$work/local-folders"
mapfile -t install < <(block_lines README.md "## Install")
[ ${#install[@]} -ge 3 ] || fail "README's Install section has no install lines"
run_lines "$work/clone" "${install[@]}"

# The guides: the package file copied to a laptop's folder, installed there,
# then removed as the guide says.
deb=$(ls "$work/clone"/build-package/orvex-gsm_*.deb)
for pair in "docs/installers-en.md|## For installers: the panel on Linux" \
  "docs/installers-ru.md|## Монтажнику: панель на Linux"; do
  file=${pair%%|*} guide=${pair#*|}
  grep -qxF "$guide" "$file" || fail "$file has no heading \"$guide\""
  first=$(grep -m1 -A12 -F "$guide" "$file" | grep -o -m1 '^\*\*[^*]*\*\*' || true)
  mapfile -t lines < <(block_lines "$file" "$guide" "$first")
  [ ${#lines[@]} -ge 1 ] || fail "no install lines in \"$guide\" ($file)"
  mkdir -p "$work/laptop"
  rm -f "$work/laptop"/*
  cp "$deb" "$work/laptop/"
  run_lines "$work/laptop" "${lines[@]}"
  # The guide says how to remove it in its text, not in a block: the
  # package, what apt brought along with it, and where the user's settings
  # stay.
  # Taken whole first: grep -q leaves at the first match, and under pipefail
  # the writer it leaves behind would fail the check.
  text=$(section_text "$file" "$guide")
  for removal in 'sudo apt purge orvex-gsm' 'sudo apt autoremove' '~/.config/NolvarGSM'; do
    grep -qF "$removal" <<<"$text" ||
      fail "\"$guide\" ($file) does not say \"$removal\""
  done
  run_lines "$work/laptop" "sudo apt purge orvex-gsm"
done
note "README's install lines passed as written ($((SECONDS - started)) s)"
