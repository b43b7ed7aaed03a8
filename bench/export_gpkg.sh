#!/usr/bin/env bash
# GeoPackage export (fieldtrace-cli export) against the KMZ conversion of the
# same record files in the same run: generated "DVB-T / DVB-H" drives, ten
# files of one frequency, 500 000 samples and 50 000 samples. Prints per size
# the median wall time and the peak memory of each, and the ratios export /
# KMZ (targets: time 1.0 or less, peak memory 1.5 or less).
# Usage: bench/export_gpkg.sh [RUNS]   (default 3; needs about 2 GB of free disk)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target fieldtrace-cli >/dev/null
source bench/lib.bash

for total in 500000 50000; do
  per=$((total / 10))
  dir="$work/$total"
  mkdir -p "$dir"
  files=()
  for seed in 1 2 3 4 5 6 7 8 9 10; do
    files+=("$("$cli" generate --samples "$per" --seed "$seed" --description "Drive $seed" --out "$dir")")
  done
  gpkg_times=() gpkg_peaks=() kmz_times=() kmz_peaks=()
  for ((i = 1; i <= runs; i++)); do
    rm -f "$dir/out.gpkg" "$dir/out.kmz"
    read -r t p < <(measure "$cli" export "${files[@]}" -o "$dir/out.gpkg" --threshold "Level=60")
    gpkg_times+=("$t") gpkg_peaks+=("$p")
    read -r t p < <(measure "$cli" kmz "${files[@]}" -o "$dir/out.kmz")
    kmz_times+=("$t") kmz_peaks+=("$p")
  done
  gt=$(printf '%s\n' "${gpkg_times[@]}" | median)
  kt=$(printf '%s\n' "${kmz_times[@]}" | median)
  gp=$(printf '%s\n' "${gpkg_peaks[@]}" | median)
  kp=$(printf '%s\n' "${kmz_peaks[@]}" | median)
  printf '%d samples in 10 files (%s bytes of record files), %d runs:\n' "$total" "$(du -cb "${files[@]}" | tail -1 | cut -f1)" "$runs"
  awk -v t="$gt" -v p="$gp" -v s="$(stat -c %s "$dir/out.gpkg")" \
    'BEGIN {printf "  GeoPackage export: median %.3f s, peak memory %.1f MB, file %.1f MB\n", t, p / 1024, s / 1e6}'
  awk -v t="$kt" -v p="$kp" -v s="$(stat -c %s "$dir/out.kmz")" \
    'BEGIN {printf "  KMZ conversion:    median %.3f s, peak memory %.1f MB, file %.1f MB\n", t, p / 1024, s / 1e6}'
  awk -v a="$gt" -v b="$kt" -v c="$gp" -v d="$kp" \
    'BEGIN {printf "  ratio export / KMZ: time %.2f (target 1.0 or less), peak memory %.2f (target 1.5 or less)\n", a / b, c / d}'
  rm -rf "$dir"
done
