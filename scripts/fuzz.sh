#!/usr/bin/env bash
# Builds the interpreter fuzzer with clang and runs it (60 seconds unless told otherwise).
# Usage: scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/deps.sh clang libclang-rt-14-dev
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp tests/fuzz/corpus/interpreter/* "$work/"
build/fuzz/tests/fuzz/kovra_fuzz_interpreter -max_total_time="$seconds" -max_len=4096 \
    -print_final_stats=1 "$work"
