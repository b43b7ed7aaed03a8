#!/usr/bin/env bash
# What the window costs while it records: inside the network lab (three
# simulated analyzers of the first family), fieldtrace-pilot runs a drive test
# through the window under Xvfb (a real X server that paints) and prints the
# CPU share of one core that the window's process (pages, live view and
# measurement threads) used in each 10 s window of recording, and its median.
# Usage: bench/ui_cpu.sh [SECONDS]   (default 120; builds first; needs root)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-120}
scripts/build.sh >/dev/null
source bench/lib.bash
build=${BUILD_DIR:-build}
export XDG_RUNTIME_DIR=$work
set +e
scripts/lab.sh --build "$build" --net 10.5.5 \
  --analyzer "Alvra@10.5.5.21,serial=101234,seed=1" \
  --analyzer "Alvra@10.5.5.22,serial=101235,seed=2,gps=disconnected" \
  --analyzer "Alvra@10.5.5.23,serial=101236,seed=3,gps=disconnected" -- \
  xvfb-run -a -s "-screen 0 1280x900x24" "$build/tools/pilot/fieldtrace-pilot" --record-seconds "$seconds" --cpu \
  >"$work/out" 2>"$work/err"
rc=$?
set -e
if [ "$rc" -ne 0 ]; then
  echo "ui_cpu: the pilot failed (exit $rc): $(tail -5 "$work/err")" >&2
  exit "$rc"
fi
grep -E "^recording|^window process" "$work/out"
