#!/usr/bin/env bash
# Builds the project and runs every test, headless, against the driver simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
cd build
ctest --output-on-failure -j"$(nproc)"
