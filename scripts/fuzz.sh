#!/usr/bin/env bash
# Runs every libFuzzer target of a sanitizer build, each from its seed corpus
# (tests/fuzz/corpus/NAME, or the corpus of the target it shares its input
# with) and its growing work corpus (BUILD/fuzz/corpus/NAME), and prints the
# runs and runs per second of each. A finding (crash, hang, leak, sanitizer
# report) fails the script; its log and reproducer stay in BUILD/fuzz/.
#
#   scripts/fuzz.sh [SECONDS] [BUILD]
#       every target SECONDS (default 45) one after the other; BUILD defaults
#       to build-asan. This is what scripts/test.sh runs.
#   scripts/fuzz.sh --total SECONDS [--jobs N] [BUILD]
#       all targets in SECONDS of wall time in all, N at a time (default 1):
#       each target gets SECONDS * N / targets seconds. For long campaigns
#       outside CI; run it under nice on a shared machine.
set -euo pipefail
cd "$(dirname "$0")/.."

total=
jobs=1
if [[ ${1:-} == --total ]]; then
  total=${2:?--total needs the seconds}
  shift 2
  if [[ ${1:-} == --jobs ]]; then
    jobs=${2:?--jobs needs a number}
    shift 2
  fi
  build=${1:-build-asan}
else
  seconds=${1:-45}
  build=${2:-build-asan}
fi
targets=("$build"/fuzz/*Fuzz)
if [[ ! -x ${targets[0]} ]]; then
  echo "fuzz.sh: no fuzz targets in $build/fuzz (configure with -DMINDREL_FUZZ=ON)" >&2
  exit 2
fi
if [[ -n $total ]]; then
  seconds=$((total * jobs / ${#targets[@]}))
  ((seconds > 0)) || { echo "fuzz.sh: $total seconds are too few for ${#targets[@]} targets" >&2; exit 2; }
fi

# The table targets reach so much of the engine that libFuzzer's entropic
# schedule, which updates a frequency for every feature hit, costs more than
# the run itself; the plain schedule makes them several times faster.
declare -A extra=([TableOpenFuzz]="-entropic=0" [RepairFuzz]="-entropic=0")
# Targets that read the same input as another start from its seeds.
declare -A seedsOf=([RepairFuzz]=TableOpenFuzz)

# Runs one target; prints its line and answers 1 for a finding.
run_target() {
  local target=$1 name work log seeds=() corpus
  name=$(basename "$target")
  work=$build/fuzz/corpus/$name
  log=$build/fuzz/$name.log
  corpus=${seedsOf[$name]:-$name}
  mkdir -p "$work"
  [[ -d tests/fuzz/corpus/$corpus ]] && seeds=("tests/fuzz/corpus/$corpus")
  if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
     "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
               -artifact_prefix="$build/fuzz/$name-" ${extra[$name]:-} "$work" "${seeds[@]}" >"$log" 2>&1; then
    local runs
    runs=$(awk '/stat::number_of_executed_units/ {print $2}' "$log")
    printf '%-22s %12s runs %9s per second\n' "$name" "$runs" "$((runs / seconds))"
    return 0
  fi
  echo "$name: FINDING (log: $log)"
  tail -n 40 "$log"
  return 1
}

status=0
if ((jobs == 1)); then
  for target in "${targets[@]}"; do run_target "$target" || status=1; done
  exit "$status"
fi
export -f run_target
export build seconds
extras=$(declare -p extra seedsOf)
printf '%s\n' "${targets[@]}" |
  xargs -P "$jobs" -I{} bash -c "$extras"'; run_target "$1"' _ {} || status=1
exit "$status"
