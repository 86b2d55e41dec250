#!/usr/bin/env bash
# Installs what is missing, builds (release preset) and runs every test.
# Usage: scripts/test.sh [preset]   (debug, release, asan, tsan; default release)
# The tsan preset builds and runs the tests of threaded code only (platform, serial, files, app).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-release}

scripts/deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j "$(nproc)"
