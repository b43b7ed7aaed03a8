#!/usr/bin/env bash
# Times `fieldtrace-cli csv` on a 100 000-sample "DVB-T / DVB-H" record file
# with every measurement; prints the median time over the runs and the CSV
# output rate (target: 50 MB/s or more on one core).
# Usage: bench/csv_convert.sh [RUNS]   (builds first; needs about 1 GB of free disk)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
BUILD_DIR=${BUILD_DIR:-build} scripts/build.sh >/dev/null
source bench/lib.bash

file=$("$cli" generate --standard "DVB-T / DVB-H" --samples 100000 --seed 1 --out "$work")
base=${file%.dtr}
times=()
for ((i = 1; i <= runs; i++)); do
  rm -f "$base - "*.csv
  t0=$(now); "$cli" csv "$file" >/dev/null; t1=$(now)
  times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}')")
done
out_bytes=$(cat "$base - "*.csv | wc -c)
in_bytes=$(stat -c %s "$file")
med=$(printf '%s\n' "${times[@]}" | median)
printf 'record file: %s bytes; CSV output: %s bytes in %s files\n' "$in_bytes" "$out_bytes" "$(ls "$base - "*.csv | wc -l)"
awk -v t="$med" -v n="$runs" -v b="$out_bytes" \
  'BEGIN {printf "csv: median %.3f s over %d runs (%.0f MB/s of CSV output; target 50 MB/s)\n", t, n, b / t / 1e6}'
