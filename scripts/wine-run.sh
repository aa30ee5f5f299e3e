#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's own prefix, without a
# display: wine-run.sh PROGRAM.exe ARGS...
# The prefix is $MINDREL_WINEPREFIX (the build sets it to its own wine/
# folder), else build-windows/wine of this repository; it is made on first
# use.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
export WINEPREFIX="${MINDREL_WINEPREFIX:-$here/build-windows/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
unset DISPLAY WAYLAND_DISPLAY
wine=/usr/lib/wine/wine64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # Several tests may start at once; one of them makes the prefix.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then "$wine" wineboot --init >/dev/null 2>&1; fi
  flock -u 9
fi
exec "$wine" "$@"
