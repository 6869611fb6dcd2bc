#!/bin/bash
# Counts the instructions (callgrind's Ir) of one capabilities request on each
# sample machine of the benchmarks: the whole request, the same platform calls
# alone on the lean fake, and the difference, which is the library's own work.
# A count, unlike a time, barely moves on a busy machine, so a regression of a
# few percent shows. Builds the bench tree (preset bench) unless given one.
# Usage: tools/callgrind_request.sh [BUILD_TREE] [--annotate MACHINE]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tree="${1:-$root/build/bench}"
annotate=""
if [[ "${2:-}" == "--annotate" ]]; then annotate="${3:?machine name}"; fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
work_log="$work/build.log"

if [[ ! -f "$tree/CMakeCache.txt" ]]; then cmake --preset bench -B "$tree" >/dev/null; fi
cmake --build "$tree" --target request_instructions -- -j2 >"$work_log" 2>&1 || { cat "$work_log" >&2; exit 1; }
program="$tree/benchmarks/request_instructions"

request='mrv::collect_capabilities_document*'
calls='mrv::make_request_platform_calls*'

# inclusive_ir OUT FUNCTION: the function's inclusive Ir in a callgrind output file.
inclusive_ir() {
  callgrind_annotate --inclusive=yes --threshold=100 "$1" 2>/dev/null |
    awk -v f="${2%\*}" 'index($0, f) { gsub(",", "", $1); print $1; exit }'
}

# measure MACHINE COUNT: runs COUNT requests and COUNT rounds of calls under callgrind.
measure() {
  local out="$work/$1.$2.out"
  valgrind --tool=callgrind --callgrind-out-file="$out" --collect-atstart=no \
    --toggle-collect="$request" --toggle-collect="$calls" "$program" "$1" "$2" >/dev/null 2>"$work/valgrind.log" ||
    { cat "$work/valgrind.log" >&2; exit 1; }
  echo "$(inclusive_ir "$out" "$request") $(inclusive_ir "$out" "$calls")"
}

# One request and eleven: the difference over ten leaves out what only the
# first request pays (lazy symbol binding, first-touch of tables).
printf '%-28s %14s %14s %14s\n' machine "request Ir" "calls-only Ir" "library Ir"
for machine in $("$program" --list); do
  read -r one_request one_calls < <(measure "$machine" 1)
  read -r many_request many_calls < <(measure "$machine" 11)
  request_ir=$(((many_request - one_request) / 10))
  calls_ir=$(((many_calls - one_calls) / 10))
  printf '%-28s %14d %14d %14d\n' "$machine" "$request_ir" "$calls_ir" "$((request_ir - calls_ir))"
done

if [[ -n "$annotate" ]]; then
  out="$work/annotate.out"
  valgrind --tool=callgrind --callgrind-out-file="$out" --collect-atstart=no \
    --toggle-collect="$request" "$program" "$annotate" 10 >/dev/null 2>&1
  echo
  echo "Where the instructions of 10 requests on $annotate go (inclusive):"
  callgrind_annotate --inclusive=yes --threshold=99 "$out" | sed -n '/^Ir/,$p' | head -60
fi
