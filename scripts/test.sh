#!/usr/bin/env bash
# Builds the project and runs every test, headless, against the driver simulator: the image
# reader's fuzzer for a minute, the whole suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, the whole suite as it ships, the README's quick start as printed,
# the fleet playbook, and the Debian package's check.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
scripts/fuzz.sh

cmake -S . -B build-sanitize -DVORLAN_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-sanitize -j"$(nproc)"
(cd build-sanitize && ctest --output-on-failure -j"$(nproc)")

(cd build && ctest --output-on-failure -j"$(nproc)")
tests/readme-commands.sh quick-start .
scripts/fleet-test.sh
scripts/package.sh
