#!/usr/bin/env bash
# Builds the libFuzzer targets of the image reader, of the record of the pages at risk and of the
# history of the flash with clang and runs each for a bounded time (FUZZ_SECONDS, 60 by default)
# from its seed corpus in tests/fuzz.
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
for target in reader:image journal:journal history:history; do
    mkdir "$work/${target%%:*}"
    LSAN_OPTIONS="suppressions=$PWD/tests/fuzz/qt-json.supp" \
        build-fuzz/tests/fuzz/vorlan-${target%%:*}-fuzzer -max_total_time="${FUZZ_SECONDS:-60}" \
        -timeout=10 -malloc_limit_mb=256 -print_final_stats=1 "$work/${target%%:*}" \
        "tests/fuzz/${target##*:}-corpus"
done
