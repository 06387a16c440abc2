#!/usr/bin/env bash
# Builds the image reader's libFuzzer target with clang and runs it for a bounded time
# (FUZZ_SECONDS, 60 by default) from the seed corpus in tests/fuzz/corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! echo 'extern "C" int LLVMFuzzerTestOneInput(const char *, long) { return 0; }' |
    clang++ -x c++ -fsanitize=fuzzer -o /dev/null - 2>/dev/null; then
    echo "fuzz.sh: clang with libFuzzer is not available; fuzzing skipped"
    exit 0
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DVORLAN_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build-fuzz/tests/fuzz/vorlan-reader-fuzzer -max_total_time="${FUZZ_SECONDS:-60}" -timeout=10 \
    -malloc_limit_mb=256 -print_final_stats=1 "$work" tests/fuzz/corpus
