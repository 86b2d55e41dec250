#!/usr/bin/env bash
# Builds KovraPlotter (release preset) and runs it on its built-in demo board.
# With no display, it runs off-screen for a few seconds, saves a screenshot and the data
# as F9 and F8 would, prints their names and quits.
# Usage: scripts/run-demo.sh [more kovraplotter options]
set -euo pipefail
here=$PWD
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target kovraplotter
program=$PWD/build/release/src/app/kovraplotter
# The demo remembers its own settings, never the user's.
settings=$PWD/build/release/demo-settings.conf
# The program writes its files (debug.txt, screenshots, exports) where it was started from.
cd "$here"

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
    exec "$program" --demo --settings "$settings" "$@"
fi
echo "No display: running the demo off-screen for 5 seconds."
QT_QPA_PLATFORM=offscreen exec "$program" --demo --settings "$settings" --snapshot-after 5 "$@"
