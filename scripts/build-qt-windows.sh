#!/usr/bin/env bash
# Builds Qt for 64-bit Windows once and keeps it: Debian's own qt6-base
# source, cross-built with the mingw-w64 -posix compilers as a static Qt with
# what the window uses (Core, Gui, Widgets, Test; the windows and offscreen
# platform plugins). The host's moc, rcc and uic (Debian's qt6-base-dev-tools,
# the same version) do the code generation, so nothing is built twice.
#
#   bash scripts/build-qt-windows.sh        # prints the prefix as its last line
#
# The prefix lives outside the tree, keyed by the Qt version and the options:
#   ${ORVEX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvex-gsm}/qt-VERSION-mingw-HASH
# A complete prefix (its stamp file is written last) is used as it is, even
# when it is read-only; a half-built one is removed and built again. A build
# takes about half an hour on two cores and needs about 1.5 GB in the
# temporary folder, which is removed afterwards.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${ORVEX_JOBS:-2}

# The host's Qt version: the host tools must be of the same version.
qt_version=6.4.2
host_cmake_dir=/usr/lib/x86_64-linux-gnu/cmake

# Everything that decides what the prefix holds; its hash names the prefix.
options=(
  -DCMAKE_BUILD_TYPE=Release
  -DBUILD_SHARED_LIBS=OFF
  -DQT_BUILD_EXAMPLES=OFF
  -DQT_BUILD_TESTS=OFF
  -DQT_HOST_PATH=/usr
  -DQT_HOST_PATH_CMAKE_DIR=$host_cmake_dir
  # Debian's repacked source has no wintab.h.
  -DFEATURE_tabletevent=OFF
  # The windows plugin compiles its dynamic OpenGL code even with OpenGL off.
  -DFEATURE_dynamicgl=OFF
  -DINPUT_opengl=no
  -DFEATURE_opengl=OFF
  # What the window does not use.
  -DFEATURE_network=OFF
  -DFEATURE_sql=OFF
  -DFEATURE_dbus=OFF
  -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF
  -DFEATURE_vulkan=OFF
  -DFEATURE_icu=OFF
  -DFEATURE_direct2d=OFF
  # Qt 6.4 builds the DirectWrite 3 font database only with Direct2D, while
  # the windows plugin calls it whenever DirectWrite 3 is on: it uses the
  # GDI font database instead, as it does by default.
  -DFEATURE_directwrite3=OFF
  -DFEATURE_jpeg=OFF
  -DFEATURE_sql_sqlite=OFF
  # Qt's own copies of the libraries, so the .exe needs no DLL beside it.
  -DFEATURE_system_zlib=OFF
  -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_png=OFF
  -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_freetype=OFF
)
hash=$( (echo "$qt_version" && printf '%s\n' "${options[@]}" && cat "$root/cmake/mingw-w64-x86_64.cmake") |
  sha256sum | cut -c1-10)
cache=${ORVEX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvex-gsm}
prefix=$cache/qt-$qt_version-mingw-$hash
stamp=$prefix/.orvex-complete

# The last line of standard output is the prefix: notes go to standard error.
note_fd=2
source "$root/scripts/lib.sh"

# A complete prefix is all a caller needs; it may be read-only (CI hands it in).
if [ -f "$stamp" ]; then
  echo "$prefix"
  exit 0
fi

started=$SECONDS
"$root/scripts/install-deps.sh" --windows >&2

# Debian's source of the host's Qt. When the system has no source entries,
# they are made from its own binary ones (the same URIs, suites and
# components, as deb-src), so the source comes from whatever mirror the
# machine is set up for.
source_entries() {
  local f sources
  mapfile -t sources < <(apt_binary_sources)
  for f in "${sources[@]}"; do
    [[ $f == *.list ]] || continue
    sed -n 's/^[[:space:]]*deb\([[:space:]]\)/deb-src\1/p' "$f"
  done >"$1.list"
  for f in "${sources[@]}"; do
    [[ $f == *.sources ]] || continue
    # One stanza a paragraph; a stanza with Types "deb" becomes "deb-src".
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
      /(^|\n)Enabled:[ \t]*no/ { next }
      match($0, /(^|\n)Types:[^\n]*/) {
        types = substr($0, RSTART, RLENGTH)
        if (types !~ /[ \t]deb([ \t]|$)/) next
        sub(/Types:[^\n]*/, "Types: deb-src")
        print
      }' "$f"
  done >"$1.sources"
}
if ! apt-get source --print-uris -qq qt6-base >/dev/null 2>&1; then
  entries=$(mktemp -d)
  source_entries "$entries/orvex-qt-source"
  for kind in list sources; do
    if [ -s "$entries/orvex-qt-source.$kind" ]; then
      $sudo cp "$entries/orvex-qt-source.$kind" "/etc/apt/sources.list.d/orvex-qt-source.$kind"
    fi
  done
  rm -rf "$entries"
  $sudo apt-get update -q >&2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/orvex-qt-windows.XXXXXX")
at_exit rm -rf "$work"
cd "$work"
note "fetching Debian's qt6-base source into $work"
apt-get source -q --download-only "qt6-base=$qt_version+dfsg-10" >&2 ||
  apt-get source -q --download-only qt6-base >&2
dpkg-source -x qt6-base_"$qt_version"*.dsc src >&2
src_version=$(sed -n 's/^set(QT_REPO_MODULE_VERSION "\(.*\)")/\1/p' src/.cmake.conf)
if [ "$src_version" != "$qt_version" ]; then
  note "the source is Qt $src_version, not $qt_version as the host tools"
  exit 1
fi

# The toolchain goes into the prefix: Qt's qt-cmake loads it from there,
# wherever the tree that uses the prefix is.
rm -rf "$prefix"
mkdir -p "$prefix/lib/cmake"
cp "$root/cmake/mingw-w64-x86_64.cmake" "$prefix/lib/cmake/orvex-mingw-w64-x86_64.cmake"

note "configuring"
cmake -S src -B build -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/orvex-mingw-w64-x86_64.cmake" \
  -DCMAKE_INSTALL_PREFIX="$prefix" "${options[@]}" >"$work/configure.log" 2>&1 || {
  tail -n 60 "$work/configure.log" >&2
  exit 1
}
grep -E '^(Qt Gui|Qt Widgets|  Windows|Build shared)' "$work/configure.log" >&2 || true
note "building with $jobs jobs"
cmake --build build -j "$jobs" >"$work/build.log" 2>&1 || {
  tail -n 60 "$work/build.log" >&2
  exit 1
}
cmake --install build >/dev/null
elapsed=$((SECONDS - started))
printf 'qt %s, options hash %s, built in %d s on %s\n' "$qt_version" "$hash" "$elapsed" \
  "$(date -u +%Y-%m-%dT%H:%MZ)" >"$stamp"
note "built in $elapsed s"
echo "$prefix"
