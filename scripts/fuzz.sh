#!/usr/bin/env bash
# Builds the fuzzers of the interpreter and the line reader with clang and runs them, 60 seconds
# in all unless told otherwise.
# Usage: scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/deps.sh clang libclang-rt-14-dev
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
# Both fuzzers share the time, each from its own seeds.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in interpreter line_reader; do
    mkdir -p "$work/$target"
    cp tests/fuzz/corpus/$target/* "$work/$target/"
    build/fuzz/tests/fuzz/kovra_fuzz_$target -max_total_time="$(( (seconds + 1) / 2 ))" \
        -max_len=4096 -print_final_stats=1 "$work/$target"
done
