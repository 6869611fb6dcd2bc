#!/bin/bash
# Checks the shipped modules as built: the DLL exports exactly its two
# functions, both modules import only DLLs of every Windows 10/11 machine,
# both carry an asInvoker manifest, syscheck's also with UTF-8 as its active
# code page (its narrow paths hold any folder name), the DLL a 1.0.0 version
# resource, and no static initialiser of the DLL sets up a mutex (the request
# lock is constant-initialised; only the C++ runtime's exception-memory pool,
# __gnu_cxx::__freeres, makes one at load).
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

# Needs the symbols of the build tree: a stripped module fails the check.
check_static_initialisers() {
  local module="$1" listing initialisers offenders
  listing=$("$objdump" -d --no-show-raw-insn "$module")
  initialisers=$(grep -cE '^[0-9a-f]+ <[^>]*_GLOBAL__sub_I_' <<<"$listing")
  ((initialisers > 0)) || { fail "$(basename "$module") has no symbols of static initialisers"; return; }
  offenders=$(awk '/^[0-9a-f]+ <.*>:$/ {fn = $2} /call.*<pthread_mutex_init>/ && fn ~ /_GLOBAL__sub_I_/ {print fn}' \
    <<<"$listing" | grep -v '_GLOBAL__sub_I__ZN9__gnu_cxx9__freeresEv')
  [[ -z "$offenders" ]] || fail "$(basename "$module"): static initialisers call pthread_mutex_init: $offenders"
}

dll="$1"
exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
[[ "$exports" == "get_library_version get_system_capabilities_json " ]] || fail "DLL exports: '$exports'"
check_imports "$dll"
check_manifest "$dll"
check_static_initialisers "$dll"
grep -qx '1\.0\.0' <<<"$(strings -el "$dll")" || fail "DLL has no 1.0.0 version string"
# Read whole outputs first: grep -q would close the pipe under pipefail.
dll_headers=$("$objdump" -p "$dll")
grep -qE '^\s*DLL$' <<<"$dll_headers" || fail "not a DLL"
grep -q 'pei-x86-64' <<<"$("$objdump" -f "$dll")" || fail "DLL is not 64-bit"

if [[ -n "${2:-}" ]]; then
  exe="$2"
  check_imports "$exe"
  check_manifest "$exe"
  grep -aq '<activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">UTF-8</activeCodePage>' "$exe" ||
    fail "syscheck's manifest does not make UTF-8 its active code page"
  grep -q 'Subsystem.*(Windows CUI)' <<<"$("$objdump" -p "$exe")" || fail "syscheck is not a console program"
  grep -q 'pei-x86-64' <<<"$("$objdump" -f "$exe")" || fail "syscheck is not 64-bit"
fi

if ((failures > 0)); then exit 1; fi
echo "modules ok"
