#!/usr/bin/env bash
# Builds the fuzz targets with clang in their own build folder and runs every
# target once over each input of its seed corpus (fuzz/corpus/<target>/).
# Fails when a target crashes, breaks a property, hangs, or has no corpus.
#   fuzz/replay.sh            (build folder: build-fuzz at the repository root)
#   FUZZ_BUILD_DIR=... fuzz/replay.sh
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build-fuzz}"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DBUILD_FUZZERS=ON -DBUILD_TESTING=OFF \
  >/dev/null
cmake --build "$build" -j2 --target fuzzers

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
status=0
while read -r target; do
  [ -n "$target" ] || continue
  corpus="$root/fuzz/corpus/$target"
  inputs=("$corpus"/*)
  if [ ! -e "${inputs[0]}" ]; then
    echo "FAIL  $target: no seed inputs in fuzz/corpus/$target"
    status=1
    continue
  fi
  # Each input once, by name: nothing is written into the corpus, and a
  # failure names the input that caused it.
  if "$build/fuzz/$target" -timeout=60 -rss_limit_mb=2048 -artifact_prefix="$scratch/" \
    "${inputs[@]}" >"$scratch/$target.log" 2>&1; then
    echo "ok    $target (${#inputs[@]} inputs)"
  else
    echo "FAIL  $target"
    grep -E "^Running: |ERROR|property broken|SUMMARY" "$scratch/$target.log" | tail -n 5 || true
    tail -n 30 "$scratch/$target.log"
    status=1
  fi
done <"$build/fuzz/targets.txt"
exit "$status"
