#!/bin/bash
# Builds the bench tree (preset bench: Release, no sanitizers), runs the
# request benchmarks with repetitions and prints their medians, then, per
# sample machine, the library's own work per request: the whole request on
# the lean platform minus the same platform calls alone on it.
# Usage: tools/run_benchmarks.sh [REPETITIONS] [BUILD_TREE] [-- benchmark options]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
repetitions="${1:-9}"
tree="${2:-$root/build/bench}"
shift $(($# < 2 ? $# : 2))
[[ "${1:-}" == "--" ]] && shift

if [[ ! -f "$tree/CMakeCache.txt" ]]; then cmake --preset bench -B "$tree" >/dev/null; fi
cmake --build "$tree" --target request_benchmark -- -j2 >"$tree/benchmark-build.log" 2>&1 ||
  { cat "$tree/benchmark-build.log" >&2; exit 1; }

csv="$tree/request_benchmark.csv"
"$tree/benchmarks/request_benchmark" --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
  --benchmark_out="$csv" --benchmark_out_format=csv "$@" | grep -vE '_(mean|stddev|cv) '

echo
echo "Library's own work per request (median request/lean minus median platform_calls/lean):"
awk -F, '
  /_median"/ {
    name = $1; gsub(/"/, "", name); sub(/_median$/, "", name)
    n = split(name, part, "/"); machine = part[n]; kind = part[1] "/" part[2]
    real[kind, machine] = $3; cpu[kind, machine] = $4; allocs[kind, machine] = $11
    if (!(machine in seen)) { seen[machine] = 1; order[++machines] = machine }
  }
  END {
    printf "%-28s %12s %12s %8s\n", "machine", "real (us)", "cpu (us)", "allocs"
    for (i = 1; i <= machines; i++) {
      m = order[i]
      if (!(("request/lean", m) in real) || !(("platform_calls/lean", m) in real)) continue
      printf "%-28s %12.2f %12.2f %8d\n", m, real["request/lean", m] - real["platform_calls/lean", m],
             cpu["request/lean", m] - cpu["platform_calls/lean", m],
             allocs["request/lean", m] - allocs["platform_calls/lean", m]
    }
  }' "$csv"
