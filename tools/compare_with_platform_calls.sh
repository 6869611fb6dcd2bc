#!/bin/bash
# Times syscheck.exe end to end under Wine against platform_calls_only.exe,
# which makes only the platform calls that one syscheck run makes the library
# do (NVML load attempt, two collections) and nothing else. The two run
# alternately in one Wine session with a display (so DXGI finds Wine's
# adapter) and the adapter table in the working directory, as syscheck is
# run for real. Prints both medians and their ratio. With --stripped the
# copies lose their debug information first, as a shipped build would (the
# RelWithDebInfo modules are several times larger, which Wine pays for when it
# maps them).
# Usage: tools/compare_with_platform_calls.sh [--stripped] [RUNS_EACH] [BUILD_TREE]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
stripped=""
if [[ "${1:-}" == "--stripped" ]]; then stripped=1; shift; fi
runs="${1:-20}"
tree="$(realpath -m "${2:-$root/build/windows}")"

if [[ ! -f "$tree/CMakeCache.txt" ]]; then cmake --preset windows -B "$tree" >/dev/null; fi
cmake --build "$tree" --target mrv_sysinfo syscheck platform_calls_only -- -j2 >"$tree/compare-build.log" 2>&1 ||
  { cat "$tree/compare-build.log" >&2; exit 1; }

run="$tree/compare-run"
session="$tree/compare-session"
rm -rf "$run" && mkdir -p "$run"
cp "$tree/bin/mrv_sysinfo.dll" "$tree/bin/syscheck.exe" "$tree/bin/platform_calls_only.exe" "$run/"
if [[ -f "$root/data/gpu_architectures.json" ]]; then cp "$root/data/gpu_architectures.json" "$run/"; fi
if [[ -n "$stripped" ]]; then x86_64-w64-mingw32-strip "$run"/*.dll "$run"/*.exe; fi

"$root/tools/wine/start_session.sh" "$session" >/dev/null
trap '"$root/tools/wine/stop_session.sh" "$session"' EXIT
export MRV_WINE_DIR="$session"
cd "$run"

# run_once PROGRAM: prints the wall time of one run in microseconds. syscheck
# answers with 0, 1 or 2; anything else means the run did not happen.
run_once() {
  local start end status=0
  start=$(date +%s%N)
  "$root/tools/wine/run_in_wine.sh" "$run/$1" </dev/null >/dev/null 2>&1 || status=$?
  end=$(date +%s%N)
  if ((status > 2)); then
    echo "$1 failed with exit status $status" >&2
    exit 1
  fi
  echo $(((end - start) / 1000))
}

# quartiles: prints the lower quartile, the median and the upper quartile of numbers on stdin.
quartiles() {
  sort -n | awk '{ v[NR] = $1 }
    function at(q,   i) { i = 1 + q * (NR - 1); return v[int(i)] + (i - int(i)) * (v[int(i) + 1] - v[int(i)]) }
    END { print at(0.25), at(0.5), at(0.75) }'
}

# One unmeasured run of each: the first loads Wine's own modules from disk.
run_once syscheck.exe >/dev/null
run_once platform_calls_only.exe >/dev/null

syscheck_times=()
calls_times=()
for ((i = 0; i < runs; i++)); do
  syscheck_times+=("$(run_once syscheck.exe)")
  calls_times+=("$(run_once platform_calls_only.exe)")
done

read -r syscheck_low syscheck_median syscheck_high < <(printf '%s\n' "${syscheck_times[@]}" | quartiles)
read -r calls_low calls_median calls_high < <(printf '%s\n' "${calls_times[@]}" | quartiles)
awk -v s="$syscheck_median" -v c="$calls_median" -v n="$runs" -v stripped="$stripped" \
    -v sl="$syscheck_low" -v sh="$syscheck_high" -v cl="$calls_low" -v ch="$calls_high" 'BEGIN {
  printf "runs each:                  %d (alternating, one Wine session)\n", n
  printf "modules:                    %s\n", stripped ? "stripped" : "as built"
  printf "syscheck.exe median:        %.1f ms (quartiles %.1f to %.1f)\n", s / 1000, sl / 1000, sh / 1000
  printf "platform_calls_only median: %.1f ms (quartiles %.1f to %.1f)\n", c / 1000, cl / 1000, ch / 1000
  printf "ratio:                      %.3f\n", s / c
}'
