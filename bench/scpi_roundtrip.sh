#!/usr/bin/env bash
# Round-trip time of SCPI queries through a session on loopback (median, 99th
# percentile, slowest, stalls of 20 ms or more), and the CPU time a session
# spends waiting 10 x 400 ms for replies that never come.
# The queries go to fieldtrace-analyzer-sim when it is built (family Alvra on
# 127.0.0.2, a free port, "*IDN?"), else to an echo peer inside the benchmark.
# Usage: bench/scpi_roundtrip.sh [COUNT]   (builds first; COUNT defaults to 10000)
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-10000}
scripts/build.sh >/dev/null
build=${BUILD_DIR:-build}
bench=$build/bench/fieldtrace-scpi-bench
sim=$build/tools/sim/fieldtrace-analyzer-sim
if [ ! -x "$bench" ]; then
  echo "scpi_roundtrip: $bench is not built" >&2
  exit 1
fi

if [ ! -x "$sim" ]; then
  exec "$bench" --count "$count"
fi

log=$(mktemp)
# The simulator ends by itself after 10 minutes should this script be killed.
"$sim" --family Alvra --address 127.0.0.2 --port 0 --exit-after-seconds 600 >"$log" 2>&1 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; rm -f "$log"' EXIT
port=""
for _ in $(seq 100); do
  port=$(sed -n 's/.*listening on 127\.0\.0\.2:\([0-9][0-9]*\).*/\1/p' "$log")
  [ -n "$port" ] && break
  kill -0 "$sim_pid" 2>/dev/null || break
  sleep 0.05
done
if [ -z "$port" ]; then
  echo "scpi_roundtrip: the simulator did not start:" >&2
  cat "$log" >&2
  exit 1
fi
"$bench" --count "$count" --peer "127.0.0.2:$port" --query '*IDN?'
