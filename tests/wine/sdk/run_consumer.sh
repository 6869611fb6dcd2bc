#!/bin/bash
# Runs both builds of the consumer example under Wine and checks what they
# print against the document: the expectation takes the adapter flagged
# recommended_for_llm, the consumer reads best_gpu_index.
# - In the folder with the three shipped files, against the document that the
#   same DLL gives sysinfo_dump.exe there; the library's log must show that
#   the table was read (the DLL loads before main, in that working directory).
# - Against the scripted library double: a document choosing the second of
#   two adapters, whose names need unescaping and hold non-ASCII text; the
#   same document grown between the two calls; no document at all.
#   run_consumer.sh CONSUMER_DIR SYSINFO_DUMP VERSION   (build_consumer.sh's OUT)
set -uo pipefail
consumer="$1" dump="$2" version="$3"
wine="$(cd "$(dirname "$0")/../../.." && pwd)/tools/wine/run_in_wine.sh"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect VERSION < DOCUMENT
expect() {
  jq -r --arg version "$1" '
    "version: \($version)",
    "transcription: \(.capabilities.transcription.status)",
    "llm_server: \(.capabilities.llm_server.status)",
    "adapter: \([.gpus[] | select(.recommended_for_llm) | .name] | first // "none")"'
}

# run_case NAME EXPECTED_STATUS EXPECTED_OUTPUT [VARIABLE=VALUE...]: both
# programs in the working directory; with table_log set, the library's log
# must show that the table was read.
table_log=""
run_case() {
  local name="$1" status="$2" expected="$3" program printed result
  shift 3
  for program in consumer.exe consumer_lld.exe; do
    rm -f library_log.txt library_double_log.txt
    printed=$(env "$@" "$wine" "./$program" 2>stderr.txt | tr -d '\r')
    result=$?
    ((result == status)) || fail "$name: $program exited with $result, not $status: $(cat stderr.txt)"
    [[ "$printed" == "$expected" ]] ||
      fail "$name: $program printed:"$'\n'"$printed"$'\n'"expected:"$'\n'"$expected"$'\n'"$(cat stderr.txt)"
    if [[ -n "$table_log" ]] && ! grep -q 'Таблицы загружены успешно' library_log.txt 2>/dev/null; then
      fail "$name: $program: the library did not read the table"
    fi
  done
}

cd "$consumer/run" || exit 1
cp "$dump" .
document=$("$wine" ./sysinfo_dump.exe) || fail "sysinfo_dump.exe exited with $?"
table_log=yes
run_case "shipped DLL" 0 "$(expect "$version" <<<"$document")" MRV_SYSINFO_LOG_FILE=library_log.txt
table_log=""

cd "$consumer/double" || exit 1
adapter='{"architecture": "", "bandwidth_from_nvml": false, "current_vram_usage_bytes": 0, "dedicated_vram_bytes": 0,
  "has_nvml_support": false, "is_discrete": true, "is_mobile": false, "memory_bandwidth_gbs": 0.0, "memory_type": "",
  "name": "", "recommended_for_llm": false, "score": 0, "shared_vram_bytes": 0, "vendor_id": 4318, "vram_budget_bytes": 0}'
jq -c --argjson adapter "$adapter" '
  .gpus = [$adapter + {name: "Intel(R) UHD Graphics {\"]},", is_discrete: false},
           $adapter + {name: "NVIDIA \"GeForce\" RTX 4090 \\ Ноутбук ✓", recommended_for_llm: true}]
  | .capabilities.llm_server += {best_gpu_index: 1, status: "ok"}
  | .capabilities.transcription.status = "minimal"' <<<"$document" >chosen.json
chosen=$(expect "$version" <chosen.json)
[[ "$chosen" == *"adapter: NVIDIA \"GeForce\" RTX 4090 \\ Ноутбук ✓" ]] || fail "chosen.json was not made: $chosen"
grep -qF '\"GeForce\"' chosen.json || fail "chosen.json has no escaped quotes"

echo chosen.json >library_double_script.txt
run_case "chosen adapter" 0 "$chosen"
printf '%s\n' "$(echo "$document" | tr -d '\r')" >small.json
printf 'small.json\nchosen.json\n' >library_double_script.txt
run_case "document grown between the calls" 0 "$chosen"
echo 'nothing 0' >library_double_script.txt
run_case "no document" 1 "version: $version"

if ((failures > 0)); then exit 1; fi
echo "consumer ok"
