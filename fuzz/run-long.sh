#!/usr/bin/env bash
# Fuzzes each target for SECONDS (default 600), one target at a time on one
# core, and reports how many inputs each ran and what it found.
#   fuzz/run-long.sh [SECONDS] [TARGET...]      (default: every target)
# Working files stay outside the repository, in FUZZ_WORK_DIR (default
# /tmp/orvex-fuzz-long): <target>/corpus grows from run to run on top of the
# seeds in fuzz/corpus/<target>, <target>/findings keeps crashing inputs,
# <target>/fuzz-0.log the fuzzer's output, summary.txt the table below.
# A finding goes into fuzz/corpus/<target>/ only once the fault is fixed.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-600}"
[ $# -gt 0 ] && shift
build="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
work="${FUZZ_WORK_DIR:-${TMPDIR:-/tmp}/orvex-fuzz-long}"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DBUILD_FUZZERS=ON -DBUILD_TESTING=OFF \
  >/dev/null
cmake --build "$build" -j2 --target fuzzers >/dev/null

if [ $# -gt 0 ]; then
  targets=("$@")
else
  mapfile -t targets < <(grep -v '^$' "$build/fuzz/targets.txt")
fi

mkdir -p "$work"
summary="$work/summary.txt"
{
  echo "# $(date -u '+%Y-%m-%d %H:%M UTC'), ${seconds} s per target, $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo '?')"
  printf '%-22s %12s %9s %8s  %s\n' target execs exec/s corpus result
} | tee "$summary"

status=0
for target in "${targets[@]}"; do
  dir="$work/$target"
  mkdir -p "$dir/corpus" "$dir/findings"
  rm -f "$dir/fuzz-0.log"
  # -jobs=1 -workers=1: one fuzzing process, its output in fuzz-0.log.
  (cd "$dir" && "$build/fuzz/$target" "$dir/corpus" "$root/fuzz/corpus/$target" \
    -max_total_time="$seconds" -jobs=1 -workers=1 -print_final_stats=1 -timeout=60 \
    -rss_limit_mb=2048 -artifact_prefix="$dir/findings/" >/dev/null 2>&1) || true

  log="$dir/fuzz-0.log"
  execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)"
  if [ -z "$execs" ]; then  # no final statistics: take the last status line
    execs="$(grep -oE '^#[0-9]+' "$log" | tail -n 1 | tr -d '#')"
    rate='?'
  fi
  corpus="$(find "$dir/corpus" -type f | wc -l)"
  if grep -qE 'ERROR: |property broken|Test unit written' "$log"; then
    unit="$(sed -n 's/.*Test unit written to \([^ ]*\).*/\1/p' "$log" | tail -n 1)"
    result="FOUND ${unit:-(see $log)}"
    status=1
  else
    result=ok
  fi
  printf '%-22s %12s %9s %8s  %s\n' "$target" "${execs:-?}" "${rate:-?}" "$corpus" "$result" |
    tee -a "$summary"
done
exit "$status"
