#!/bin/bash
# Checks the shipped modules as built: the DLL exports exactly its two
# functions, both modules import only DLLs of every Windows 10/11 machine,
# both carry an asInvoker manifest, the DLL a 1.0.0 version resource.
# Usage: check_modules.sh mrv_sysinfo.dll [syscheck.exe]
set -uo pipefail
objdump=x86_64-w64-mingw32-objdump
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

allowed_imports='^(KERNEL32|ADVAPI32|dxgi|msvcrt|api-ms-win-crt-[a-z0-9-]+|ucrtbase)\.dll$'

check_imports() {
  local module="$1" name
  while read -r name; do
    [[ "$name" =~ $allowed_imports ]] || fail "$(basename "$module") imports $name"
  done < <("$objdump" -p "$module" | sed -n 's/^\s*DLL Name: //p')
}

check_manifest() {
  local module="$1"
  grep -aq 'requestedExecutionLevel level="asInvoker"' "$module" || fail "$(basename "$module") has no asInvoker manifest"
}

dll="$1"
exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
[[ "$exports" == "get_library_version get_system_capabilities_json " ]] || fail "DLL exports: '$exports'"
check_imports "$dll"
check_manifest "$dll"
grep -qx '1\.0\.0' <<<"$(strings -el "$dll")" || fail "DLL has no 1.0.0 version string"
# Read whole outputs first: grep -q would close the pipe under pipefail.
dll_headers=$("$objdump" -p "$dll")
grep -qE '^\s*DLL$' <<<"$dll_headers" || fail "not a DLL"
grep -q 'pei-x86-64' <<<"$("$objdump" -f "$dll")" || fail "DLL is not 64-bit"

if [[ -n "${2:-}" ]]; then
  exe="$2"
  check_imports "$exe"
  check_manifest "$exe"
  grep -q 'Subsystem.*(Windows CUI)' <<<"$("$objdump" -p "$exe")" || fail "syscheck is not a console program"
  grep -q 'pei-x86-64' <<<"$("$objdump" -f "$exe")" || fail "syscheck is not 64-bit"
fi

if ((failures > 0)); then exit 1; fi
echo "modules ok"
