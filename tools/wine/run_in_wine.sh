#!/bin/bash
# Runs one Windows program under Wine inside the test session that
# start_session.sh set up (private prefix, persistent wineserver, Xvfb).
# The session folder comes from MRV_WINE_DIR, else from the nearest
# "wine/session.env" above the working directory.
set -euo pipefail
session_dir="${MRV_WINE_DIR:-}"
if [[ -z "$session_dir" ]]; then
  dir="$PWD"
  while [[ "$dir" != "/" && ! -f "$dir/wine/session.env" ]]; do dir="$(dirname "$dir")"; done
  session_dir="$dir/wine"
fi
if [[ ! -f "$session_dir/session.env" ]]; then
  echo "run_in_wine: no Wine session (run tools/wine/start_session.sh first)" >&2
  exit 125
fi
# shellcheck source=/dev/null
source "$session_dir/session.env"
exec timeout --kill-after=5 "${MRV_WINE_TIMEOUT:-120}" /usr/lib/wine/wine64 "$@"
