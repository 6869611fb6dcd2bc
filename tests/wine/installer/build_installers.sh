#!/bin/bash
# Builds the installer example for the installer tests, for each target into
# OUT_DIR/TARGET: from what ships (this tree installed with --strip), from
# syscheck.exe beside the scripted library double as mrv_sysinfo.dll, and
# from the double with one more section that fails.
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

# build TARGET DELIVERABLES OUTFILE [commands after the script]
build() {
  local select=()
  # x86-unicode is the example's default: built without naming it.
  [[ "$1" == x86-unicode ]] || select=(-DTARGET="$1")
  "$makensis" -V2 "${select[@]}" -DDELIVERABLES="$2" -DOUTFILE="$out/$1/$3" "$script" "${@:4}"
}

for target in x86-unicode amd64-unicode; do
  mkdir -p "$out/$target"
  build "$target" "$out/shipped/bin" syscheck_check.exe
  build "$target" "$out/double" syscheck_check_double.exe
  # Commands after the script come after its own: a section that aborts
  # stands for an install that fails once the check has let it go on.
  build "$target" "$out/double" syscheck_check_failing.exe -XSection -XAbort -XSectionEnd
done
