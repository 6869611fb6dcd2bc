#!/bin/bash
# Runs both builds of the consumer example under Wine in the folder that holds
# them beside the three shipped files, and checks what they print against the
# document that the same DLL gives sysinfo_dump.exe there. The consumer reads
# the chosen adapter by its index; the expectation takes the adapter flagged
# recommended_for_llm. The library's log must show that the table was read:
# the DLL loads before main, from that working directory.
#   run_consumer.sh RUN_DIR SYSINFO_DUMP VERSION
set -euo pipefail
run="$1" dump="$2" version="$3"
wine="$(cd "$(dirname "$0")/../../.." && pwd)/tools/wine/run_in_wine.sh"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cd "$run"
cp "$dump" .
document=$("$wine" ./sysinfo_dump.exe)
expected=$(jq -r --arg version "$version" '
  "version: \($version)",
  "transcription: \(.capabilities.transcription.status)",
  "llm_server: \(.capabilities.llm_server.status)",
  "adapter: \([.gpus[] | select(.recommended_for_llm) | .name] | first // "none")"' <<<"$document")

for program in consumer.exe consumer_lld.exe; do
  rm -f library_log.txt
  printed=$(MRV_SYSINFO_LOG_FILE=library_log.txt "$wine" "./$program" | tr -d '\r') || fail "$program exited with $?"
  [[ "$printed" == "$expected" ]] || fail "$program printed:"$'\n'"$printed"$'\n'"expected:"$'\n'"$expected"
  grep -q 'Таблицы загружены успешно' library_log.txt 2>/dev/null || fail "$program: the library did not read the table"
done

if ((failures > 0)); then exit 1; fi
echo "$expected"
