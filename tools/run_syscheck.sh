#!/bin/bash
# The main job: builds the Windows modules, runs syscheck.exe under Wine (with
# a display, so DXGI finds Wine's adapter, and with gpu_architectures.json in
# its working directory), then shows its exit status, its report file if one
# was written and the document the library returns, pretty-printed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/install_dependencies.sh"

tree="$root/build/windows"
cmake --preset windows >/dev/null
cmake --build "$tree" --target mrv_sysinfo syscheck sysinfo_dump

run="$tree/run"
session="$tree/run-session"
rm -rf "$run" && mkdir -p "$run"
cp "$tree/bin/mrv_sysinfo.dll" "$tree/bin/syscheck.exe" "$tree/bin/sysinfo_dump.exe" "$run/"
if [[ -f "$root/data/gpu_architectures.json" ]]; then cp "$root/data/gpu_architectures.json" "$run/"; fi

"$root/tools/wine/start_session.sh" "$session" >/dev/null
trap '"$root/tools/wine/stop_session.sh" "$session"' EXIT
export MRV_WINE_DIR="$session"
cd "$run"

status=0
"$root/tools/wine/run_in_wine.sh" "$run/syscheck.exe" || status=$?
echo "syscheck.exe exit status: $status"
if [[ -f "$run/syscheck_report.txt" ]]; then
  echo "syscheck_report.txt:"
  cat "$run/syscheck_report.txt"
  echo
else
  echo "syscheck_report.txt: not written"
fi
echo "Capabilities document (a fresh request to the same library):"
"$root/tools/wine/run_in_wine.sh" "$run/sysinfo_dump.exe" --pretty
