#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything with warnings as errors
# and runs the whole suite, makes the Debian package of that build and checks
# it installed and purged, then runs the serial tests under ThreadSanitizer,
# every fuzz target once over its seed corpus, and the whole suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer, then the Windows build of
# everything, the window included, with its tests and the installer's under
# Wine, and last the Debian package's programs and the Windows installer's on
# real serial drivers (Debian's kernel under QEMU).
#
#   bash scripts/test.sh           every stage, in the order below
#   bash scripts/test.sh STAGE     that stage alone (the packages first):
#                                  deps suite package tsan fuzz asan windows drivers
#
# A stage that fails ends the run, which then names it and the command that
# repeats it alone. The package and drivers stages take the build that the
# suite stage made; the drivers stage takes the Windows programs from the
# windows stage's build, or builds them alone (with Qt for Windows from its
# cache, or built into it first, about half an hour once).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

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

stage_deps() { scripts/install-deps.sh --test; }
stage_suite() { run_suite build; }
# The Debian package of that build: checked, installed, used and purged.
stage_package() { bash scripts/test-package.sh build; }
# The serial component and its event thread under ThreadSanitizer.
stage_tsan() {
  cmake -S . -B build-tsan -G Ninja -DWARNINGS_AS_ERRORS=ON -DBUILD_TESTING=ON -DENABLE_TSAN=ON -DCMAKE_BUILD_TYPE=Debug
  cmake --build build-tsan -j "$jobs" --target test_serial test_integration
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --test-dir build-tsan --output-on-failure -j "$jobs" -R '^(Serial|PanelPort|EventLine)'
}
# Every fuzz target once over its corpus (clang, libFuzzer, ASan+UBSan).
stage_fuzz() { bash fuzz/replay.sh; }
stage_asan() {
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_suite build-asan -DENABLE_SANITIZERS=ON -DCMAKE_BUILD_TYPE=Debug
}
# Everything cross-built for Windows (Qt for Windows from its cache), its
# tests and the installer's run under Wine.
stage_windows() { bash scripts/test-windows.sh; }
# The serial code on real drivers: that package in a Debian guest under QEMU,
# and the Windows installer's programs under Wine in the same guest.
stage_drivers() {
  local qt cross installer
  qt=${ORVEX_QT_WINDOWS:-$(scripts/build-qt-windows.sh | tail -n 1)}
  cross=${ORVEX_WINDOWS_BUILD:-build-windows}/cross-$(basename "$qt")
  if [ -f "$cross/build.ninja" ]; then
    installer=$(bash scripts/package-windows.sh "$cross" | tail -n 1)
  else
    installer=$(ORVEX_QT_WINDOWS=$qt bash scripts/package-windows.sh | tail -n 1)
  fi
  ORVEX_DRIVERS_WINDOWS=$installer bash scripts/test-drivers.sh build
}

stages=(deps suite package tsan fuzz asan windows drivers)
declare -A titles=(
  [deps]="packages" [suite]="suite" [package]="Debian package" [drivers]="real drivers"
  [tsan]="ThreadSanitizer" [fuzz]="fuzz corpora" [asan]="ASan+UBSan suite"
  [windows]="Windows under Wine"
)

current=""
report_failed_stage() {
  [ "$exit_status" -ne 0 ] && [ -n "$current" ] || return 0
  printf "test.sh: stage '%s' failed; repeat it alone with: bash scripts/test.sh %s\n" \
    "${titles[$current]}" "$current" >&2
}
at_exit report_failed_stage

run_stage() {
  current=$1
  printf '\n=== test.sh: %s\n' "${titles[$1]}"
  "stage_$1"
  current=""
}

case "${1:-}" in
  "")
    for stage in "${stages[@]}"; do run_stage "$stage"; done
    ;;
  *)
    if [ $# -ne 1 ] || [ -z "${titles[$1]:-}" ]; then
      [ $# -eq 1 ] && echo "test.sh: no stage is called '$1'" >&2
      echo "usage: $0 [STAGE]   STAGE: ${stages[*]}" >&2
      exit 2
    fi
    [ "$1" = deps ] || run_stage deps
    run_stage "$1"
    ;;
esac
