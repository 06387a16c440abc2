#!/usr/bin/env bash
# Builds the project and runs vorlan-bench against the driver simulator, headless.
# The figures go to build/vorlan-bench.json as well.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
QT_QPA_PLATFORM=offscreen sim/vorlan-sim build/bench/vorlan-bench build/vorlan-bench.json
