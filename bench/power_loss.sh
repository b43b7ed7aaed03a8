#!/usr/bin/env bash
# The long power-loss run: KILLS SIGKILLs of the recorder (two simulated
# analyzers, three frequencies) and as many of the settings saver, inside a
# private network namespace; prints kills, acknowledged samples checked and
# lost (must be 0). About 6 s per kill.
# Usage: bench/power_loss.sh [KILLS] [SEED]   (default 200; builds first; needs root for unshare)
set -euo pipefail
cd "$(dirname "$0")/.."
kills=${1:-200}
seed=${2:-14}
cmake --build "${BUILD_DIR:-build}" -j2 --target fieldtrace-cli fieldtrace-analyzer-sim fieldtrace-save-loop >/dev/null
export POWER_LOSS_SECONDS=$((kills * 15))
exec unshare -n sh -c "ip link set lo up && exec bash tests/tools/power_loss.sh '${BUILD_DIR:-build}' $kills $seed"
