#!/usr/bin/env bash
# Times `fieldtrace-cli generate` of 100 000 "DVB-T / DVB-H" samples with every
# measurement, and `fieldtrace-cli info` on the result; prints the medians.
# Usage: bench/record_files.sh [RUNS]   (builds first; needs about 1 GB of free disk)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
scripts/build.sh >/dev/null
source bench/lib.bash

gen_times=() info_times=()
for ((i = 1; i <= runs; i++)); do
  rm -f "$work"/*.dtr
  t0=$(now); file=$("$cli" generate --standard "DVB-T / DVB-H" --samples 100000 --seed 1 --out "$work"); t1=$(now)
  "$cli" info "$file" >"$work/info.json"; t2=$(now)
  gen_times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}')")
  info_times+=("$(awk -v a="$t1" -v b="$t2" 'BEGIN {print b - a}')")
done
bytes=$(stat -c %s "$file")
samples=$(grep -o '"sampleCount": [0-9]*' "$work/info.json" | grep -o '[0-9]*$')
gen_med=$(printf '%s\n' "${gen_times[@]}" | median)
info_med=$(printf '%s\n' "${info_times[@]}" | median)
printf 'record file: %s samples, %s bytes\n' "$samples" "$bytes"
awk -v t="$gen_med" -v n="$runs" -v b="$bytes" 'BEGIN {printf "generate: median %.3f s over %d runs (%.0f MB/s)\n", t, n, b / t / 1e6}'
awk -v t="$info_med" -v n="$runs" -v b="$bytes" 'BEGIN {printf "info:     median %.3f s over %d runs (%.0f MB/s)\n", t, n, b / t / 1e6}'
