#!/bin/bash
# Runs one libFuzzer target for a bounded time: run_fuzzer.sh FUZZER SEEDS WORK SECONDS.
# New inputs go to WORK/corpus (the seeds in the source tree stay as they
# are), a crashing input to WORK/artifacts. Prints one line with the figures.
set -uo pipefail
fuzzer="$1" seeds="$2" work="$3" seconds="$4"
mkdir -p "$work/corpus" "$work/artifacts"
log="$work/last_run.log"

"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/" "$work/corpus" "$seeds" >"$log" 2>&1
status=$?

runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$log" | tail -1)
corpus=$(grep -oE 'corp: [0-9]+/[0-9]+[a-zA-Z]*' "$log" | tail -1)
echo "$(basename "$fuzzer"): ${runs:-?} executions in ${seconds} s, ${corpus:-corp: ?}, exit status $status"
if [[ $status -ne 0 ]]; then
  tail -60 "$log"
  echo "crashing input (if any) in $work/artifacts/"
fi
exit $status
