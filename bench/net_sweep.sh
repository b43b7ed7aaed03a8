#!/usr/bin/env bash
# What discovery's sweep costs: inside the network lab (two /24 networks,
# three simulated analyzers), RUNS sweeps of every host 0..254 of both
# networks (510 echoes from one socket) through the system network access with
# the discovery's time-out, each from an empty neighbour table. Prints the
# median wall time and CPU time (user + system) of a sweep and the hosts that
# answered (the three analyzers and the PC's own two addresses).
# Usage: bench/net_sweep.sh [RUNS [TIMEOUT_MS]]   (defaults 5 and 1000; builds first; needs root)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
timeout_ms=${2:-1000}
scripts/build.sh >/dev/null
source bench/lib.bash
build=${BUILD_DIR:-build}

set +e
scripts/lab.sh --build "$build" --net 10.1.1 --net 10.2.2 \
  --analyzer Alvra@10.1.1.20 --analyzer Belko@10.1.1.21 --analyzer Cendra@10.2.2.30 \
  -- sh -c 'for i in $(seq "$1"); do ip -4 neigh flush all && "$2" "$3" || exit 1; done' sh \
  "$runs" "$build/bench/fieldtrace-net-sweep" "$timeout_ms" >"$work/runs" 2>"$work/lab.log"
rc=$?
set -e
if [ "$rc" -ne 0 ]; then
  echo "net_sweep: the lab run failed (exit $rc): $(tail -3 "$work/lab.log")" >&2
  exit "$rc"
fi
echo "sweep of 2 x 255 hosts, time-out $timeout_ms ms, $runs runs:"
awk '{print $1}' "$work/runs" | median | awk '{printf "  wall  median %.3f s\n", $1}'
awk '{print $2}' "$work/runs" | median | awk '{printf "  cpu   median %.3f s (user + system)\n", $1}'
awk '{printf "  run %d: wall %.3f s, cpu %.3f s, answered %d of %d\n", NR, $1, $2, $3, $4}' "$work/runs"

# The whole search as the wizard runs it (fieldtrace-cli discover: sweep,
# neighbour table, SCPI check of the three analyzers, validation), in the same lab.
set +e
scripts/lab.sh --build "$build" --net 10.1.1 --net 10.2.2 \
  --analyzer Alvra@10.1.1.20 --analyzer Belko@10.1.1.21 --analyzer Cendra@10.2.2.30 \
  -- sh -c 'for i in $(seq "$1"); do ip -4 neigh flush all; python3 -c "
import resource, subprocess, sys, time
t = time.monotonic()
rc = subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
r = resource.getrusage(resource.RUSAGE_CHILDREN)
print(time.monotonic() - t, r.ru_utime + r.ru_stime, rc)" "$2" discover || exit 1; done' sh \
  "$runs" "$build/tools/cli/fieldtrace-cli" >"$work/discover" 2>"$work/lab2.log"
rc=$?
set -e
if [ "$rc" -ne 0 ]; then
  echo "net_sweep: the discover lab run failed (exit $rc): $(tail -3 "$work/lab2.log")" >&2
  exit "$rc"
fi
echo "fieldtrace-cli discover (search, check of 3 analyzers, validation), $runs runs:"
awk '{print $1}' "$work/discover" | median | awk '{printf "  wall  median %.3f s\n", $1}'
awk '{print $2}' "$work/discover" | median | awk '{printf "  cpu   median %.3f s (user + system)\n", $1}'
