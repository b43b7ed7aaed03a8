#!/usr/bin/env bash
# The coverage page's database target against a real PostgreSQL + PostGIS:
# a throwaway cluster (pglib.bash) on a Unix socket of its own, named to the
# GoogleTest cases that need it (FIELDTRACE_TEST_PG), which skip without it:
# the wizard behind the page and the page itself under Qt's offscreen platform.
set -euo pipefail
source "$(dirname "$0")/lib.bash" "$1"
source "$(dirname "$0")/pglib.bash"
trap 'pg_stop; rm -rf "$work"' EXIT
pg_start_or_skip "$work/pg"

mkdir -m 700 "$work/xdg"
run() {
  local program=$1 filter=$2
  local log="$work/$(basename "$program").log"
  FIELDTRACE_TEST_PG=$pg_dsn QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/xdg" \
    "$program" --gtest_filter="$filter" >"$log" 2>&1 || fail "$(basename "$program"): $(tail -60 "$log")"
  # Every case must have run against the server: a skip here is a fault.
  ! grep -q "SKIPPED \]" "$log" || fail "$(basename "$program"): cases skipped: $(grep "SKIPPED \]" "$log")"
  grep -q "PASSED" "$log" || fail "$(basename "$program"): no case ran"
  grep -E "^\[       OK \]" "$log"
}
run "$build/tests/test_coveragewizard" 'CoverageWizardDatabase.*'
run "$build/tests/test_ui" 'CoverageWindow.*Database*'
