#!/usr/bin/env bash
# Builds everything for 64-bit Windows with mingw-w64, the window included
# (against Qt for Windows from scripts/build-qt-windows.sh, built into its
# cache when missing), and runs the tests under Wine: the unit tests, the
# Win32 serial backend on Wine COM ports whose far ends are pseudo-terminals
# driven from the Linux side, the registry store on Wine's registry, the
# command-line .exe and the window against the panel simulator, the window's
# Qt tests on the offscreen platform; then makes the installer
# (scripts/package-windows.sh) and installs, runs and uninstalls it silently.
#
#   bash scripts/test-windows.sh
#
# Needs the packages of scripts/install-deps.sh --test and --windows. Everything
# it makes stays in the build folder (ORVEX_WINDOWS_BUILD, default
# build-windows): GoogleTest built for Windows, the cross build, the native
# helpers and a fresh Wine prefix, removed again at the end. Exits non-zero
# when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${ORVEX_WINDOWS_BUILD:-$root/build-windows}
jobs=2
started=$SECONDS

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
toolchain=$root/cmake/mingw-w64-x86_64.cmake
sim_port=COM5
echo_port=COM12

source "$root/scripts/lib.sh"

"$root/scripts/install-deps.sh" --windows
# Qt for Windows: from its cache, or built into it (about half an hour once).
# ORVEX_QT_WINDOWS names a Qt for Windows of one's own instead.
qt=${ORVEX_QT_WINDOWS:-$("$root/scripts/build-qt-windows.sh" | tail -n 1)}

# --- GoogleTest for the target, from Debian's googletest sources -----------
gtest_prefix=$build/googletest-install
cmake -S /usr/src/googletest -B "$build/googletest" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$gtest_prefix" >/dev/null
cmake --build "$build/googletest" -j "$jobs"
cmake --install "$build/googletest" >/dev/null

# --- Native helpers: the panel simulator, the echo peer, the modem shim ----
native=$build/native
cmake -S . -B "$native" -G Ninja -DORVEX_BUILD_GUI=OFF -DBUILD_TESTING=OFF \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$native" -j "$jobs" --target orvex-gsm-sim
cc -O2 -Wall -Wextra -Werror -o "$native/echo_peer" tests/windows/echo_peer_posix.c
cc -O2 -Wall -Wextra -Werror -shared -fPIC -o "$native/wine-modem-shim.so" \
  scripts/wine-modem-shim.c -ldl

# --- The cross build with its tests ----------------------------------------
# Release: the code as it ships, and no debug information to write and link.
# Qt's qt-cmake loads the toolchain and finds the static Qt for Windows.
# One build folder per Qt: a build made against another Qt is never reused.
cross=$build/cross-$(basename "$qt")
"$qt/bin/qt-cmake" -S . -B "$cross" -G Ninja \
  -DQT_CHAINLOAD_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DGTest_DIR="$gtest_prefix/lib/cmake/GTest" \
  -DORVEX_BUILD_GUI=ON -DBUILD_TESTING=ON -DWARNINGS_AS_ERRORS=ON \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$wine" \
  -DORVEX_TEST_SIM_PORT="$sim_port" -DORVEX_TEST_ECHO_PORT="$echo_port" \
  -DORVEX_WINE_MODEM_SHIM="$native/wine-modem-shim.so" >/dev/null
cmake --build "$cross" -j "$jobs"
installer=$("$root/scripts/package-windows.sh" "$cross" | tail -n 1)
note "built in $((SECONDS - started)) s"

# --- A fresh Wine prefix and the far ends of its COM ports -----------------
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
# No .NET or HTML engine: nothing here needs them, and looking for them is slow.
export WINEDLLOVERRIDES="mscoree,mshtml="
"$wineserver" -k 2>/dev/null || true # left over from an interrupted run
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"

# Wine first, while the terminals at the far ends of its ports still exist.
stop_wine() { "$wineserver" -k 2>/dev/null || true; "$wineserver" -w 2>/dev/null; }
at_exit stop_wine
at_exit stop_pids
at_exit rm -rf "$WINEPREFIX"

# The COM ports are links of ours outside the prefix, which the far ends make
# to their terminals; Wine is given them as its own ports (wine-prefix.sh).
ports=$build/ports
rm -rf "$ports"
mkdir -p "$ports"
source "$root/scripts/wine-prefix.sh"
start_wine_prefix "$sim_port=$ports/${sim_port,,}" "$echo_port=$ports/${echo_port,,}"

# The first window program in a prefix starts Wine's desktop process, which
# keeps the standard handles it inherits: started here, and not by the first
# window test, it leaves ctest nothing to wait for after that test.
"$wine" "$cross/tests/gui/gui_dialogs_test.exe" -platform offscreen -functions \
  </dev/null >/dev/null 2>&1 || true

# Starts a far end whose first output line says it is ready, and waits for it.
start_far_end() {
  local name=$1 link=$2
  shift 2
  "$@" >"$build/$name.out" 2>"$build/$name.err" &
  pids+=($!)
  local tries=0
  until [ -s "$build/$name.out" ] && [ -L "$link" ]; do
    if ! kill -0 "${pids[-1]}" 2>/dev/null || [ $((tries += 1)) -gt 100 ]; then
      note "$name did not start:"
      cat "$build/$name.err" >&2
      exit 1
    fi
    sleep 0.1
  done
  note "$name on $(head -n1 "$build/$name.out") as $(basename "$link")"
}

start_far_end sim "$ports/${sim_port,,}" \
  "$native/tools/sim/orvex-gsm-sim" --link "$ports/${sim_port,,}" \
  --present 0123456789ABCDEF
start_far_end echo "$ports/${echo_port,,}" \
  "$native/echo_peer" "$ports/${echo_port,,}"

# Wine's own errors, if any, go with a failing test's output (a passing run
# has none).
status=0
WINEDEBUG=-all,err+all ctest --test-dir "$cross" --output-on-failure -j "$jobs" || status=$?

# The installer as an installer's laptop meets it: silent install, the
# installed tool, silent uninstall.
bash tests/windows/installer_test.sh "$wine" "$installer" || status=$?
note "done in $((SECONDS - started)) s"
exit "$status"
