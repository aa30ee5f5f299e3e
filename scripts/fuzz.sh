#!/usr/bin/env bash
# Runs every libFuzzer target of a sanitizer build for SECONDS each (default
# 45), one after the other, each from its seed corpus (tests/fuzz/corpus/NAME)
# and its growing work corpus (BUILD/fuzz/corpus/NAME), and prints the runs and
# runs per second of each. A finding (crash, hang, leak, sanitizer report)
# fails the script; its log and reproducer stay in BUILD/fuzz/.
#
#   scripts/fuzz.sh [SECONDS] [BUILD]      BUILD defaults to build-asan
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-45}
build=${2:-build-asan}
targets=("$build"/fuzz/*Fuzz)
if [[ ! -x ${targets[0]} ]]; then
  echo "fuzz.sh: no fuzz targets in $build/fuzz (configure with -DMINDREL_FUZZ=ON)" >&2
  exit 2
fi

# The table target reaches so much of the engine that libFuzzer's entropic
# schedule, which updates a frequency for every feature hit, costs more than
# the run itself; the plain schedule makes it several times faster.
declare -A extra=([TableOpenFuzz]="-entropic=0")

status=0
for target in "${targets[@]}"; do
  name=$(basename "$target")
  work=$build/fuzz/corpus/$name
  log=$build/fuzz/$name.log
  mkdir -p "$work"
  seeds=()
  [[ -d tests/fuzz/corpus/$name ]] && seeds=("tests/fuzz/corpus/$name")
  if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
     "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
               -artifact_prefix="$build/fuzz/$name-" ${extra[$name]:-} "$work" "${seeds[@]}" >"$log" 2>&1; then
    runs=$(awk '/stat::number_of_executed_units/ {print $2}' "$log")
    printf '%-22s %12s runs %9s per second\n' "$name" "$runs" "$((runs / seconds))"
  else
    echo "$name: FINDING (log: $log)"
    tail -n 40 "$log"
    status=1
  fi
done
exit "$status"
