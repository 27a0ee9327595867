#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything with warnings as errors
# and runs the whole suite, makes the Debian package of that build and checks
# it installed and purged, runs that package's programs on real serial drivers
# (Debian's kernel under QEMU), then runs the serial tests under ThreadSanitizer and
# the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer,
# and last the Windows build of everything, the window included, with its tests
# and the installer's under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --test

jobs=2
run_suite() {
  local dir=$1
  shift
  # Tests on by name: a build folder that run.sh configured without them
  # gets them back.
  cmake -S . -B "$dir" -G Ninja -DWARNINGS_AS_ERRORS=ON -DBUILD_TESTING=ON "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

run_suite build
# The Debian package of that build: checked, installed, used and purged.
bash scripts/test-package.sh build
# The serial code on real drivers: that package in a Debian guest under QEMU.
bash scripts/test-drivers.sh build
# The serial component and its event thread under ThreadSanitizer.
cmake -S . -B build-tsan -G Ninja -DWARNINGS_AS_ERRORS=ON -DBUILD_TESTING=ON -DENABLE_TSAN=ON -DCMAKE_BUILD_TYPE=Debug
cmake --build build-tsan -j "$jobs" --target test_serial test_integration
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir build-tsan --output-on-failure -j "$jobs" -R '^(Serial|PanelPort|EventLine)'
# Every fuzz target once over its corpus (clang, libFuzzer, ASan+UBSan).
bash fuzz/replay.sh
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite build-asan -DENABLE_SANITIZERS=ON -DCMAKE_BUILD_TYPE=Debug
# Everything cross-built for Windows (Qt for Windows from its cache), its
# tests and the installer's run under Wine.
bash scripts/test-windows.sh
