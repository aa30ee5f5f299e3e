#!/usr/bin/env bash
# Installs what is missing, builds Mindrel and runs it. When no family-tree
# folder is configured yet, a demo tree with anniversaries around today is made
# in the data folder and configured first. With a display Mindrel opens its
# window; without one the alerts are printed by mindrel-list.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh

data="${MINDREL_DATA_DIR:-${XDG_DATA_HOME:-$HOME/.local/share}/Mindrel}"
ini="$data/Mindrel.INI"
demo="$data/Demo tree"
mkdir -p "$data"

if ! grep -qiE '^[[:space:]]*NDBs[[:space:]]*=[[:space:]]*[1-9]' "$ini" 2>/dev/null; then
  if [ ! -f "$demo/People.dat" ]; then
    build/bin/mktree "$demo" --people 400 --today "$(date +%F)"
  fi
  # Point the settings at the demo tree, keeping every other setting. Trying
  # the demo is no reason to start at every log-on: unless the settings
  # already say otherwise, the log-on start stays off.
  start='\nStart=no'
  if grep -qiE '^[[:space:]]*Start[[:space:]]*=' "$ini" 2>/dev/null; then start=''; fi
  if grep -qi '^\[Prefs\]' "$ini" 2>/dev/null; then
    sed -i -E '/^[[:space:]]*(NDBs|DB[0-9]+)[[:space:]]*=/Id' "$ini"
    sed -i "/^\[Prefs\]/I a NDBs=1\nDB0=\"$demo\"$start" "$ini"
  else
    printf "[Prefs]\nNDBs=1\nDB0=\"%s\"$start\n" "$demo" >> "$ini"
  fi
  echo "run: configured the demo family tree in $demo" >&2
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/Mindrel "$@"
fi
exec build/bin/mindrel-list
