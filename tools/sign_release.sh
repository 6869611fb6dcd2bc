#!/bin/bash
# Authenticode-signs release modules with a deployer's certificate, by
# osslsigncode: a signed copy of each MODULE goes into DIR, the module itself
# stays as built (the unsigned bytes are the reproducible ones).
#   sign_release.sh --pfx FILE --pass-file FILE [--timestamp URL] --out DIR MODULE...
# --pass-file holds the PFX password. --timestamp names an RFC 3161
# time-stamp server; without it the signature has no time stamp and stops
# being valid when the certificate expires.
set -euo pipefail
usage() {
  echo "usage: sign_release.sh --pfx FILE --pass-file FILE [--timestamp URL] --out DIR MODULE..." >&2
  exit 2
}

pfx="" pass_file="" timestamp="" out=""
while (($# > 0)); do
  case "$1" in
    --pfx | --pass-file | --timestamp | --out) (($# >= 2)) || usage ;;&
    --pfx) pfx="$2"; shift 2 ;;
    --pass-file) pass_file="$2"; shift 2 ;;
    --timestamp) timestamp="$2"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    -*) usage ;;
    *) break ;;
  esac
done
[[ -n "$pfx" && -n "$pass_file" && -n "$out" && $# -gt 0 ]] || usage
for file in "$pfx" "$pass_file" "$@"; do
  [[ -f "$file" ]] || { echo "sign_release.sh: $file: no such file" >&2; exit 1; }
done

mkdir -p "$out"
for module in "$@"; do
  signed="$out/$(basename "$module")"
  if [[ "$(realpath "$module")" == "$(realpath -m "$signed")" ]]; then
    echo "sign_release.sh: $module would be overwritten; choose another --out" >&2
    exit 1
  fi
  rm -f "$signed"
  osslsigncode sign -pkcs12 "$pfx" -readpass "$pass_file" -h sha256 ${timestamp:+-ts "$timestamp"} \
               -in "$module" -out "$signed" >/dev/null
  echo "signed: $signed"
done
