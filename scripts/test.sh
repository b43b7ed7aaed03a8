#!/usr/bin/env bash
# The test command: installs what is needed, builds, and runs every test under CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
# Most tests wait for simulated analyzers in real time, one sample a second,
# and leave the cores idle: twice as many tests as cores keep them busy.
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j"$((2 * $(nproc)))" "$@"
