#!/usr/bin/env bash
# Coverage report (fieldtrace-cli report) against the GeoPackage export of the
# same record files with the same options in the same run: generated
# "DVB-T / DVB-H" drives, ten files on two frequencies, 500 000 samples.
# Prints the median wall time and peak memory of the report alone, of the
# report with its GeoPackage in one run (--gpkg) and of the export, and the
# ratios to the export (target for the report: time 2.0 or less).
# Usage: bench/report_pdf.sh [RUNS] [SAMPLES]   (default 3 runs, 500000 samples; ~2 GB of free disk)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
total=${2:-500000}
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target fieldtrace-cli >/dev/null
source bench/lib.bash

per=$((total / 10))
dir="$work/drives"
mkdir -p "$dir"
files=()
for seed in 1 2 3 4 5 6 7 8 9 10; do
  frequency=$((seed % 2 ? 474 : 618))
  files+=("$("$cli" generate --samples "$per" --seed "$seed" --frequency "$frequency" --description "Drive $seed" --out "$dir")")
done
options=(--threshold "Level=60")
declare -A times peaks
for ((i = 1; i <= runs; i++)); do
  rm -f "$dir"/out.* "$dir"/both.*
  read -r t p < <(measure "$cli" export "${files[@]}" -o "$dir/out.gpkg" "${options[@]}")
  times[export]+="$t " peaks[export]+="$p "
  read -r t p < <(measure "$cli" report "${files[@]}" -o "$dir/out.pdf" "${options[@]}")
  times[report]+="$t " peaks[report]+="$p "
  read -r t p < <(measure "$cli" report "${files[@]}" -o "$dir/both.pdf" --gpkg "$dir/both.gpkg" "${options[@]}")
  times[both]+="$t " peaks[both]+="$p "
done
med() { tr ' ' '\n' <<<"$1" | grep . | median; }
et=$(med "${times[export]}") ep=$(med "${peaks[export]}")
rt=$(med "${times[report]}") rp=$(med "${peaks[report]}")
bt=$(med "${times[both]}") bp=$(med "${peaks[both]}")
printf '%d samples in 10 files on 2 frequencies (%s bytes of record files), %d runs:\n' "$total" \
  "$(du -cb "${files[@]}" | tail -1 | cut -f1)" "$runs"
awk -v t="$et" -v p="$ep" -v s="$(stat -c %s "$dir/out.gpkg")" \
  'BEGIN {printf "  GeoPackage export:          median %.3f s, peak memory %.1f MB, file %.1f MB\n", t, p / 1024, s / 1e6}'
awk -v t="$rt" -v p="$rp" -v s="$(stat -c %s "$dir/out.pdf")" -v n="$(pdfinfo "$dir/out.pdf" 2>/dev/null | awk '/^Pages:/ {print $2}')" \
  'BEGIN {printf "  report (PDF):               median %.3f s, peak memory %.1f MB, file %.2f MB, %s pages\n", t, p / 1024, s / 1e6, n}'
awk -v t="$bt" -v p="$bp" \
  'BEGIN {printf "  report + GeoPackage (--gpkg): median %.3f s, peak memory %.1f MB\n", t, p / 1024}'
awk -v r="$rt" -v b="$bt" -v e="$et" -v rp="$rp" -v ep="$ep" \
  'BEGIN {printf "  ratio report / export: time %.2f (target 2.0 or less), peak memory %.2f\n", r / e, rp / ep
          printf "  ratio report + GeoPackage in one run / export: time %.2f\n", b / e}'
