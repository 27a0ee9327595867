#!/usr/bin/env bash
# Makes the Windows installer, orvex-gsm-setup-VERSION.exe: builds Qt for
# Windows when its cache is missing (scripts/build-qt-windows.sh, about half
# an hour once), cross-builds the window and the command-line tool, and packs
# them with NSIS (dist/windows/orvex-gsm.nsi). Prints the installer's path as
# its last line.
#
#   bash scripts/package-windows.sh [BUILD]
#
# BUILD: a cross build folder to take the programs from (scripts/test-windows.sh
# hands in its own); default ORVEX_WINDOWS_PACKAGE_BUILD or build-windows-package.
# The simulator is a POSIX program and is not in the installer.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
# Absolute: makensis reads the programs from the script's own folder.
build=$(realpath -m "${1:-${ORVEX_WINDOWS_PACKAGE_BUILD:-$root/build-windows-package}}")
jobs=2

"$root/scripts/install-deps.sh" --windows >&2
version=$(sed -n 's/^project(OrvexGsm VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

if [ $# -eq 0 ]; then
  qt=${ORVEX_QT_WINDOWS:-$("$root/scripts/build-qt-windows.sh" | tail -n 1)}
  # A build made against another Qt starts again.
  if [ "$(cat "$build/.qt-prefix" 2>/dev/null)" != "$qt" ]; then
    rm -rf "$build"
    mkdir -p "$build"
    echo "$qt" >"$build/.qt-prefix"
  fi
  "$qt/bin/qt-cmake" -S . -B "$build" -G Ninja \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DORVEX_BUILD_GUI=ON -DBUILD_TESTING=OFF >&2
fi
cmake --build "$build" -j "$jobs" --target orvex-gsm orvex-gsm-cli >&2

# The programs under their installed names, in one folder for makensis.
bin=$build/installer-files
rm -rf "$bin"
mkdir -p "$bin"
for program in orvex-gsm orvex-gsm-cli; do
  found=$(find "$build" -name "$program.exe" -not -path "$bin/*" | head -n 1)
  [ -n "$found" ] || {
    echo "package-windows: $program.exe was not built" >&2
    exit 1
  }
  cp "$found" "$bin/"
  x86_64-w64-mingw32-strip "$bin/$program.exe"
done

installer=$build/orvex-gsm-setup-$version.exe
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DBINDIR="$bin" \
  -DICON="$root/dist/icons/orvex-gsm.ico" -DOUTFILE="$installer" \
  "$root/dist/windows/orvex-gsm.nsi" >&2
echo "$installer"
