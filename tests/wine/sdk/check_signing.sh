#!/bin/bash
# tools/sign_release.sh with a throw-away self-made certificate: the signed
# copies verify against that certificate (no trusted chain asked for) and
# carry no time stamp, the modules themselves stay unsigned and unchanged, a
# signed copy altered afterwards fails to verify, and a wrong password signs
# nothing.
#   check_signing.sh MODULE_DIR   (holds mrv_sysinfo.dll and syscheck.exe)
set -uo pipefail
modules="$1"
sign="$(cd "$(dirname "$0")/../../.." && pwd)/tools/sign_release.sh"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=mrv_sysinfo test signer" \
        -addext extendedKeyUsage=codeSigning -keyout key.pem -out cert.pem 2>/dev/null
printf 'throw away\n' >pass.txt
openssl pkcs12 -export -inkey key.pem -in cert.pem -out signer.pfx -passout file:pass.txt
before=$(cd "$modules" && sha256sum mrv_sysinfo.dll syscheck.exe)

"$sign" --pfx signer.pfx --pass-file pass.txt --out signed "$modules/mrv_sysinfo.dll" "$modules/syscheck.exe" >/dev/null ||
  fail "sign_release.sh exited with $?"
for module in mrv_sysinfo.dll syscheck.exe; do
  report=$(osslsigncode verify -CAfile cert.pem -in "signed/$module" 2>&1) || fail "signed $module does not verify:"$'\n'"$report"
  grep -q 'Timestamp is not available' <<<"$report" || fail "signed $module has a time stamp"
  osslsigncode verify -CAfile cert.pem -in "$modules/$module" >/dev/null 2>&1 && fail "$module itself verifies as signed"
done
[[ "$(cd "$modules" && sha256sum mrv_sysinfo.dll syscheck.exe)" == "$before" ]] || fail "the unsigned modules changed"

# One byte of the code changed after signing.
cp signed/syscheck.exe altered.exe
text_offset=$(x86_64-w64-mingw32-objdump -h altered.exe | awk '$2 == ".text" {print $6}')
printf '\xcc' | dd of=altered.exe bs=1 seek=$((16#$text_offset + 16)) conv=notrunc status=none
osslsigncode verify -CAfile cert.pem -in altered.exe >/dev/null 2>&1 && fail "an altered signed module verifies"

printf 'wrong\n' >wrong.txt
"$sign" --pfx signer.pfx --pass-file wrong.txt --out wrong "$modules/syscheck.exe" >/dev/null 2>&1 &&
  fail "sign_release.sh signed with a wrong password"
[[ ! -e wrong/syscheck.exe ]] || fail "a wrong password left wrong/syscheck.exe"

if ((failures > 0)); then exit 1; fi
echo "signing ok"
