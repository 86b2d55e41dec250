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
# The program writes its files (debug.txt, screenshots, exports) where it was started from.
cd "$here"

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
    exec "$program" --demo "$@"
fi
echo "No display: running the demo off-screen for 5 seconds."
QT_QPA_PLATFORM=offscreen exec "$program" --demo --snapshot-after 5 "$@"
