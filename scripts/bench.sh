#!/usr/bin/env bash
# Builds the release preset and runs every benchmark (or those named).
# Usage: scripts/bench.sh [kovra_bench_name ...]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh xvfb
cmake --preset release >/dev/null
cmake --build --preset release
if [[ $# -eq 0 ]]; then
    set -- build/release/bench/kovra_bench_*
else
    set -- "${@/#/build/release/bench/}"
fi
for bench in "$@"; do
    echo "== $(basename "$bench")"
    "$bench"
done
