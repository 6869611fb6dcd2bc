#!/bin/bash
# The release zip, made by cpack from this tree into OUT: one top folder with
# the SDK layout, README.txt and SHA256SUMS; the sums cover every other file
# and hold; entries in name order, all at one time, 755 for folders and
# modules and 644 for the rest; the modules stripped, with no time in their
# PE header and no path of the source or build tree. Leaves the zip unpacked in OUT/unpacked.
#   check_release_zip.sh CPACK TREE SOURCE_DIR OUT VERSION
set -uo pipefail
cpack="$1" tree=$(realpath "$2") source=$(realpath "$3") out=$(realpath -m "$4") version="$5"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$out"
mkdir -p "$out"
"$cpack" --config "$tree/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; exit 1; }
top="mrv_sysinfo-$version-win64"
zip="$out/$top.zip"

files="README.txt SHA256SUMS bin/gpu_architectures.json bin/mrv_sysinfo.dll bin/syscheck.exe include/mrv_sysinfo.h
lib/cmake/mrv_sysinfo/mrv_sysinfoConfig.cmake lib/cmake/mrv_sysinfo/mrv_sysinfoConfigVersion.cmake
lib/libmrv_sysinfo.dll.a lib/mrv_sysinfo.lib"
# shellcheck disable=SC2086
expected=$(printf "$top/%s\n" $files)
listed=$(unzip -Z1 "$zip" | grep -v '/$')
[[ "$listed" == "$expected" ]] || fail "the zip holds, in this order:"$'\n'"$listed"

time=$(date -u -d "@${SOURCE_DATE_EPOCH:-315576060}" +%Y%m%d.%H%M%S)
while read -r mode _ _ _ _ _ stamp name; do
  [[ "$stamp" == "$time" ]] || fail "$name has time $stamp, not $time"
  case "$name" in
    */ | *.dll | *.exe) [[ "$mode" == ?rwxr-xr-x ]] || fail "$name has mode $mode" ;;
    *) [[ "$mode" == -rw-r--r-- ]] || fail "$name has mode $mode" ;;
  esac
done < <(TZ=UTC zipinfo -T "$zip" | grep -E '^[-d]')

unzip -q "$zip" -d "$out/unpacked" || fail "unzip failed"
cd "$out/unpacked/$top" || exit 1
sha256sum --quiet --strict -c SHA256SUMS || fail "SHA256SUMS does not hold"
summed=$(awk '{print $2}' SHA256SUMS)
[[ "$summed" == "$(grep -vx SHA256SUMS <<<"$(tr ' ' '\n' <<<"$files")")" ]] ||
  fail "SHA256SUMS covers:"$'\n'"$summed"

for module in bin/mrv_sysinfo.dll bin/syscheck.exe; do
  x86_64-w64-mingw32-objdump -h "$module" | grep -q '\.debug_' && fail "$module is not stripped"
  stamp=$(TZ=UTC x86_64-w64-mingw32-objdump -p "$module" | sed -n 's/^Time\/Date\t\+//p')
  [[ "$stamp" == "Thu Jan  1 00:00:00 1970" ]] || fail "$module has the time $stamp in its PE header"
  for path in "$source" "$tree"; do
    grep -aqF "$path" "$module" && fail "$module holds the path $path"
  done
done

if ((failures > 0)); then exit 1; fi
echo "release zip ok: $zip ($(stat -c %s "$zip") bytes)"
