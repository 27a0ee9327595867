#!/usr/bin/env bash
# Makes the Debian package from a build folder and checks it as a user's
# machine would meet it: the package's contents and dependencies, the desktop
# entry (desktop-file-validate), the metainfo (appstreamcli, offline), the
# manual pages and the completion as installed; then installs it with apt,
# runs the installed tool against the installed panel simulator, purges it
# and checks that nothing it installed is left behind.
#
#   bash scripts/test-package.sh [BUILD_DIR]     (default build, already built)
#
# Runs as root (or with sudo). A package orvex-gsm installed before is purged.
# Exits non-zero at the first failed check.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
started=$SECONDS
package=orvex-gsm

source scripts/lib.sh
export DEBIAN_FRONTEND=noninteractive

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no configured build in $build"
deb=$build/${package}_${version}_$(dpkg --print-architecture).deb

work=$(mktemp -d)
ours=0
# A failed check leaves no package behind.
purge_ours() { [ "$ours" -eq 0 ] || $sudo apt-get purge -y -q "$package" >/dev/null 2>&1; }
at_exit stop_pids
at_exit rm -rf "$work"
at_exit purge_ours

# --- The package -------------------------------------------------------------
rm -f "$build"/${package}_*.deb
(cd "$build" && cpack -G DEB >"$build/cpack.log" 2>&1) || { cat "$build/cpack.log" >&2; fail "cpack"; }
[ -f "$deb" ] || fail "cpack did not make $(basename "$deb")"
note "made $(basename "$deb") ($(($(stat -c %s "$deb") / 1024)) KiB)"

# The programs and nothing else in bin: no test program, no benchmark.
programs=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -n 's|^\./usr/bin/\(.\+\)|\1|p' | sort | xargs)
[ "$programs" = "orvex-gsm orvex-gsm-cli orvex-gsm-sim" ] || fail "programs in the package: $programs"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in fonts-dejavu-core libqt6widgets6 libc6; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done

# Debian's own checks: no error or warning from lintian, and the programs
# built with the usual hardening (lintian tells only some of it).
lintian --fail-on error,warning "$deb" >"$build/lintian.log" 2>&1 ||
  { cat "$build/lintian.log" >&2; fail "lintian"; }
dpkg-deb -x "$deb" "$work/tree"
for program in "$work"/tree/usr/bin/*; do
  name=${program##*/}
  # Each output taken whole: grep -q leaves at the first match, and under
  # pipefail the writer it leaves behind would fail the check.
  headers=$(readelf -lW "$program") dynamic=$(readelf -dW "$program")
  grep -q GNU_RELRO <<<"$headers" || fail "$name: no read-only relocations (relro)"
  grep -Eq 'BIND_NOW|FLAGS_1.*NOW' <<<"$dynamic" || fail "$name: not bound at start (now)"
  symbols=$(readelf --dyn-syms -W "$program")
  grep -q '__stack_chk_fail' <<<"$symbols" || fail "$name: no stack protector"
  grep -Eq '__[a-z0-9_]+_chk(@|$| )' <<<"$symbols" || fail "$name: no fortified C library calls"
done
[ -f "$work/tree/usr/share/doc/$package/copyright" ] || fail "no copyright file"

# The metainfo with what it refers to (desktop entry, icon) as the package
# lays them out.
appstreamcli validate-tree --no-net "$work/tree" || fail "appstreamcli validate-tree"

# --- Installed with apt --------------------------------------------------------
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
  note "purging the $package installed before"
  $sudo apt-get purge -y -q "$package" >/dev/null
fi
$sudo apt-get install -y -q --no-install-recommends "$deb" >/dev/null 2>"$build/apt-install.err" ||
  { cat "$build/apt-install.err" >&2; fail "apt-get install"; }
ours=1
installed=$(dpkg -L "$package")

desktop=$(grep '^/usr/share/applications/.*\.desktop$' <<<"$installed")
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
for icon in /usr/share/icons/hicolor/{16x16,48x48,256x256}/apps/orvex-gsm.png \
  /usr/share/icons/hicolor/scalable/apps/orvex-gsm.svg; do
  [ -f "$icon" ] || fail "no icon $icon"
done

# Each program's manual page, of this version, formatted without a warning.
for page in orvex-gsm orvex-gsm-cli orvex-gsm-sim; do
  file=/usr/share/man/man1/$page.1.gz
  grep -q "\"$package $version\"" <<<"$(zcat "$file")" || fail "$file is not of version $version"
done
while IFS= read -r file; do
  warnings=$(zcat "$file" | groff -K utf8 -man -Tutf8 -ww -z 2>&1)
  [ -z "$warnings" ] || fail "$file: $warnings"
done < <(grep '^/usr/share/man/man1/.' <<<"$installed")

# The completion as bash-completion loads it offers the commands.
offered=$(bash -c '
  source /usr/share/bash-completion/bash_completion
  source /usr/share/bash-completion/completions/orvex-gsm-cli
  COMP_WORDS=(orvex-gsm-cli -p COM5 "") COMP_CWORD=3 COMP_LINE="orvex-gsm-cli -p COM5 " COMP_POINT=22
  _orvex_gsm_cli orvex-gsm-cli "" COM5
  echo "${COMPREPLY[*]}"')
[ "$offered" = "probe scan read write diff set read-key ports map unmap set-port" ] || fail "completion offered: $offered"

# The installed tool reads the installed simulator, in a home of its own.
/usr/bin/orvex-gsm-cli --version | grep -qF "$version" || fail "orvex-gsm-cli --version does not say $version"
/usr/bin/orvex-gsm-sim --link "$work/panel" </dev/null >"$work/sim.out" 2>"$work/sim.err" &
pids+=($!)
for _ in $(seq 100); do
  [ -L "$work/panel" ] && break
  kill -0 "${pids[-1]}" 2>/dev/null || fail "orvex-gsm-sim did not start: $(cat "$work/sim.err")"
  sleep 0.1
done
HOME=$work XDG_CONFIG_HOME=$work/config /usr/bin/orvex-gsm-cli --port "$work/panel" read >"$work/panel.txt" ||
  fail "the installed orvex-gsm-cli could not read the installed simulator"
grep -q '^key1=' "$work/panel.txt" || fail "the read has no key1: $(head -c 400 "$work/panel.txt")"
stop_pids

# --- Purged without a trace ----------------------------------------------------
$sudo apt-get purge -y -q "$package" >/dev/null
ours=0
! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
  fail "$package is still installed"
left=()
while IFS= read -r path; do
  if [ -L "$path" ] || [ -f "$path" ]; then
    left+=("$path")
  elif [ -d "$path" ] && [ -z "$(ls -A "$path")" ] && ! dpkg -S "$path" >/dev/null 2>&1; then
    left+=("$path/") # an empty folder nobody else owns: ours
  fi
done <<<"$installed"
[ ${#left[@]} -eq 0 ] || fail "left behind after the purge: ${left[*]}"

note "done in $((SECONDS - started)) s"
