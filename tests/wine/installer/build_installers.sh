#!/bin/bash
# Builds the installer example twice for the installer tests: from what ships
# (this tree installed with --strip) and from syscheck.exe beside the scripted
# library double as mrv_sysinfo.dll.
#   build_installers.sh MAKENSIS CMAKE SCRIPT BUILD_TREE OUT_DIR
set -euo pipefail
makensis="$1" cmake="$2" script="$3" tree="$4" out="$5"
if [[ ! -x "$makensis" ]]; then
  echo "makensis was not found when this tree was configured ($makensis):" \
       "run tools/install_dependencies.sh, then configure again" >&2
  exit 1
fi

rm -rf "$out"
mkdir -p "$out/double"
"$cmake" --install "$tree" --prefix "$out/shipped" --strip >/dev/null
cp "$tree/bin/syscheck.exe" "$tree/bin/gpu_architectures.json" "$out/double/"
cp "$tree/bin/syscheck_library_double.dll" "$out/double/mrv_sysinfo.dll"

"$makensis" -V2 -DDELIVERABLES="$out/shipped/bin" -DOUTFILE="$out/syscheck_check.exe" "$script"
"$makensis" -V2 -DDELIVERABLES="$out/double" -DOUTFILE="$out/syscheck_check_double.exe" "$script"
