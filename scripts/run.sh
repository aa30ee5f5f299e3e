#!/usr/bin/env bash
# Installs what is missing, builds Mindrel and runs it. Without a configured
# family-tree folder a demo tree is made first (once the tree maker exists).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/Mindrel "$@"
fi
echo "run: no display found; starting Mindrel offscreen for a moment" >&2
QT_QPA_PLATFORM=offscreen timeout 3 build/bin/Mindrel "$@" || true
