#!/usr/bin/env bash
# The window in the network lab: test_ui's DesktopLab cases find three
# simulated analyzers with the window's own search and run whole drive tests
# through the pages (offscreen). Exits 77 (skipped) where this machine cannot
# build a lab.
set -euo pipefail
source "$(dirname "$0")/lib.bash"
tests="$build/tests/test_ui"
run_lab desktop --net 10.4.4 \
  --analyzer "Alvra@10.4.4.21,serial=101234" \
  --analyzer "Alvra@10.4.4.22,serial=101235,gps=disconnected" \
  --analyzer "Alvra@10.4.4.23,serial=101236,gps-receiver=Korvane GNX-P1" -- \
  env QT_QPA_PLATFORM=offscreen FIELDTRACE_DATA_DIR="$work" "$tests" --gtest_filter='DesktopLab.*'
grep "OK \]" "$work/desktop.log"
echo "desktop lab: the window's drive tests passed"
