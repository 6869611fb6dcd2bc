#!/bin/bash
# Windows headers belong to the Windows side of the platform seam, the host's
# loader and the test programs that run under Wine; everything else must
# stay portable. Usage: check_windows_headers.sh SOURCE_DIR
set -uo pipefail
cd "$1" || exit 2
allowed='^(tests/wine/|tools/)|(^|/)windows(/|_)[^/]*$|(^|/)windows/'
offenders=$(git ls-files -co --exclude-standard -- '*.h' '*.hpp' '*.c' '*.cpp' |
  xargs grep -lE '^\s*#\s*include\s*[<"](windows|dxgi[0-9_]*|winioctl|intrin)\.h[>"]' 2>/dev/null |
  grep -vE "$allowed")
if [[ -n "$offenders" ]]; then
  echo "Windows headers outside the Windows side of the seam:"
  echo "$offenders"
  exit 1
fi
echo "Windows headers only where allowed"
