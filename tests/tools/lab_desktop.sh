#!/usr/bin/env bash
# The window in the network lab: test_ui's DesktopLab cases find three
# simulated analyzers with the window's own search and run whole drive tests
# through the pages (offscreen). Exits 77 (skipped) where this machine cannot
# build a lab.
set -euo pipefail
source "$(dirname "$0")/lib.bash"
lab="$(cd "$(dirname "$0")/../.." && pwd)/scripts/lab.sh"
tests="$build/tests/test_ui"
set +e
"$lab" --build "$build" --net 10.4.4 \
  --analyzer "Alvra@10.4.4.21,serial=101234" \
  --analyzer "Alvra@10.4.4.22,serial=101235,gps=disconnected" \
  --analyzer "Alvra@10.4.4.23,serial=101236,gps-receiver=Korvane GNX-P1" -- \
  env QT_QPA_PLATFORM=offscreen FIELDTRACE_DATA_DIR="$work" "$tests" --gtest_filter='DesktopLab.*' >"$work/lab.log" 2>&1
rc=$?
set -e
if [ "$rc" -eq 77 ]; then
  echo "no network lab possible here: $(tail -1 "$work/lab.log")"
  exit 77
fi
[ "$rc" -eq 0 ] || fail "DesktopLab (exit $rc): $(tail -60 "$work/lab.log")"
grep -q "SKIPPED" "$work/lab.log" && fail "DesktopLab cases skipped inside the lab: $(grep SKIPPED "$work/lab.log")"
grep "OK \]" "$work/lab.log"
echo "desktop lab: the window's drive tests passed"
