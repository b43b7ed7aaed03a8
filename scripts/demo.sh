#!/usr/bin/env bash
# The main job, headless for now: installs what it needs, builds, starts two
# simulated analyzers on loopback addresses, records a drive test of about a
# minute with fieldtrace-cli record, converts the record files to CSV and to
# one KMZ archive, and prints where the files are.
# Usage: scripts/demo.sh [OUTPUT_DIR] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh >/dev/null
build=${BUILD_DIR:-build}
cli=$build/tools/cli/fieldtrace-cli
sim=$build/tools/sim/fieldtrace-analyzer-sim
out=$(realpath -m "${1:-demo-output}")
seconds=${2:-60}
mkdir -p "$out"

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

# Two analyzers of the first family on their own loopback addresses; the
# first carries the GPS receiver.
"$sim" --family Alvra --address 127.0.0.2 --serial 1234.5678k22/101234 --seed 1 --exit-after-seconds $((seconds + 180)) &
pids+=($!)
"$sim" --family Alvra --address 127.0.0.3 --serial 1234.5678k22/101235 --seed 2 --exit-after-seconds $((seconds + 180)) &
pids+=($!)
sleep 0.5

"$cli" record --analyzer 127.0.0.2 --analyzer 127.0.0.3 --gps 127.0.0.2 --standard "DVB-T / DVB-H" \
  --level-unit dBm --freq 127.0.0.2=474:Ch21 --freq 127.0.0.2=482:Ch22 --freq 127.0.0.3=474:Ch21b \
  --duration "$seconds" --out "$out"

echo
files=()
while IFS= read -r f; do files+=("$f"); done < <(ls -t "$out"/*.dtr | head -3)
"$cli" csv "${files[@]}"
echo
# Every measurement on the map, with the wizard's defaults.
"$cli" kmz "${files[@]}" -o "$out/drive-test.kmz"
echo
echo "Record files, CSV files and the KMZ archive are in: $out"
ls -1 "$out"
