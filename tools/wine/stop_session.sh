#!/bin/bash
# Ends the Wine test session of the given folder.
dir="$1"
if [[ -f "$dir/session.env" ]]; then
  # shellcheck source=/dev/null
  (source "$dir/session.env"; /usr/lib/wine/wineserver -k 2>/dev/null; /usr/lib/wine/wineserver -w 2>/dev/null) || true
fi
if [[ -f "$dir/xvfb.pid" ]]; then
  kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
  rm -f "$dir/xvfb.pid"
fi
rm -f "$dir/session.env"
