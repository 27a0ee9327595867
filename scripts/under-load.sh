#!/usr/bin/env bash
# Runs a command several times in a row under the load a busy machine gives
# the tests, all three at once: a compile (this tree, again and again, in a
# build folder of its own), disk writes with fsync in the temporary folder
# where the tests keep their files, and process spawning. The proof that the
# tests hold under load (docs/design.md).
#
#   bash scripts/under-load.sh [-n RUNS] COMMAND [ARGUMENT...]   (default 5 runs)
#
# Stops at the first run that fails, with its status; prints each run's time
# and the load average at its end. The load ends with the script.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

usage() {
  echo "usage: $0 [-n RUNS] COMMAND [ARGUMENT...]   (RUNS: 1 or more)" >&2
  exit 2
}
runs=5
if [ "${1:-}" = -n ]; then
  runs=${2:-}
  shift 2 || usage
  [[ "$runs" =~ ^[1-9][0-9]*$ ]] || usage
fi
[ $# -gt 0 ] || usage

scratch=$(mktemp -d)
# Each load runs in a process group of its own, so that its current child
# (the compiler, dd) ends with it. Job control gives each background job its
# group as it is started (setsid made it later, so a load stopped at once
# could escape the kill and be waited for for ever).
set -m
loads=()
stop_loads() {
  local pid
  for pid in "${loads[@]}"; do kill -- "-$pid" 2>/dev/null || true; done
  for pid in "${loads[@]}"; do wait "$pid" 2>/dev/null || true; done
}
at_exit stop_loads
at_exit rm -rf "$scratch"
start_load() {
  bash -c "$1" >/dev/null 2>&1 &
  loads+=($!)
}

cmake -S . -B build-load -G Ninja -DBUILD_TESTING=OFF >/dev/null
start_load 'while :; do cmake --build build-load --clean-first -j 2; done'
start_load "while :; do dd if=/dev/zero of='$scratch/load' bs=1M count=256 conv=fsync status=none; done"
start_load 'while :; do /bin/true; done'
# The command itself runs as before, in the script's own group.
set +m
note "load started: compile, dd with fsync, process spawning"

for ((run = 1; run <= runs; run++)); do
  begun=$SECONDS
  status=0
  "$@" || status=$?
  note "run $run of $runs: status $status in $((SECONDS - begun)) s, load average $(cut -d' ' -f1-3 /proc/loadavg)"
  [ "$status" -eq 0 ] || exit "$status"
done
note "$runs runs of \"$*\" passed under load"
