#!/bin/bash
# Starts a Wine test session in the given folder: one Xvfb display, a private
# prefix with crash dialogs off, and a persistent wineserver. Writes
# session.env for run_in_wine.sh. Usage: start_session.sh DIR [--no-display]
set -euo pipefail
dir="$(mkdir -p "$1" && cd "$1" && pwd)"
mode="${2:-}"
"$(dirname "$0")/stop_session.sh" "$dir" 2>/dev/null || true

display=""
if [[ "$mode" != "--no-display" ]]; then
  rm -f "$dir/display"
  # -displayfd picks a free display number, so stale locks cannot collide.
  setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" </dev/null >"$dir/xvfb.log" 2>&1 &
  echo $! >"$dir/xvfb.pid"
  for _ in $(seq 100); do [[ -s "$dir/display" ]] && break; sleep 0.1; done
  [[ -s "$dir/display" ]] || { echo "Xvfb did not start" >&2; exit 1; }
  display=":$(tr -d '[:space:]' <"$dir/display")"
fi

cat >"$dir/session.env" <<ENV
export WINEPREFIX="$dir/prefix"
export WINEDEBUG=-all
export WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export DISPLAY="$display"
ENV
# shellcheck source=/dev/null
source "$dir/session.env"
[[ -n "$display" ]] || unset DISPLAY

mkdir -p "$WINEPREFIX"
# Daemons must not hold the caller's output open (ctest waits for it to close).
/usr/lib/wine/wineserver -p </dev/null >"$dir/wineserver.log" 2>&1
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  timeout 300 /usr/lib/wine/wine64 wineboot -i </dev/null >"$dir/wineboot.log" 2>&1
fi
# A crash must end the process instead of waiting in the debugger.
aedebug='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
timeout 60 /usr/lib/wine/wine64 reg add "$aedebug" /v Debugger /t REG_SZ /d false /f </dev/null >/dev/null 2>&1
timeout 60 /usr/lib/wine/wine64 reg add "$aedebug" /v Auto /t REG_SZ /d 1 /f </dev/null >/dev/null 2>&1
# Start from Wine's default adapter.
timeout 60 /usr/lib/wine/wine64 reg delete 'HKCU\Software\Wine\Direct3D' /f </dev/null >/dev/null 2>&1 || true
echo "Wine session ready in $dir (DISPLAY=${display:-none})"
