#!/bin/bash
# Each import library of the SDK names mrv_sysinfo.dll and exactly the DLL's
# exports: one function stub and one __imp_ pointer for each (the libraries'
# own import descriptors aside).
#   check_import_libraries.sh SDK_DIR
set -uo pipefail
sdk="$1"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

exports=$(x86_64-w64-mingw32-objdump -p "$sdk/bin/mrv_sysinfo.dll" |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort)
[[ -n "$exports" ]] || fail "no exports read from the DLL"

for library in libmrv_sysinfo.dll.a mrv_sysinfo.lib; do
  file="$sdk/lib/$library"
  [[ -f "$file" ]] || { fail "$library is missing"; continue; }
  symbols=$(llvm-nm --defined-only "$file")
  functions=$(awk 'NF == 3 && $2 == "T" && $3 !~ /^__imp_/ {print $3}' <<<"$symbols" | sort)
  pointers=$(awk 'NF == 3 && $3 ~ /^__imp_/ {print substr($3, 7)}' <<<"$symbols" | sort)
  [[ "$functions" == "$exports" ]] || fail "$library has stubs for:"$'\n'"$functions"$'\n'"the DLL exports:"$'\n'"$exports"
  [[ "$pointers" == "$exports" ]] || fail "$library has __imp_ pointers for:"$'\n'"$pointers"$'\n'"the DLL exports:"$'\n'"$exports"
  grep -aq 'mrv_sysinfo\.dll' "$file" || fail "$library does not name mrv_sysinfo.dll"
done

if ((failures > 0)); then exit 1; fi
echo "import libraries ok: $(tr '\n' ' ' <<<"$exports")"
