#!/usr/bin/env bash
# The campaign database against the GeoPackage export of the same record
# files in the same run: 500 000 generated DVB-T samples in 10 files are
# imported into a throwaway PostgreSQL + PostGIS cluster (tests/tools/pglib.bash,
# a Unix socket of its own, removed at the end), the coverage is computed by
# the database over them, and the same files are exported to a GeoPackage.
# Prints medians: samples imported per second (target 50 000/s or more on
# 2 cores), the coverage query (target 10 s or less), and both against the
# GeoPackage export.
# Usage: bench/campaign_import.sh [RUNS [SAMPLES]]   (default 3 runs, 500000
# samples; about 1.6 GB of free disk for the record files)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
total=${2:-500000}
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target fieldtrace-cli >/dev/null
source bench/lib.bash
source tests/tools/pglib.bash
trap 'pg_stop; cleanup' EXIT
pg_start "$work/pg"

per=$((total / 10))
mkdir "$work/d"
files=()
for seed in 1 2 3 4 5 6 7 8 9 10; do
  files+=("$("$cli" generate --samples "$per" --seed "$seed" --description "Drive $seed" --serial "10$seed" --out "$work/d")")
done
thresholds=(--threshold "Level=60" --threshold "MER RMS=18")
seconds() {
  local t0 t1
  t0=$(now)
  "$@" >/dev/null
  t1=$(now)
  awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}'
}
imports=() coverages=() exports=()
for ((i = 1; i <= runs; i++)); do
  pg_sql_db postgres "DROP DATABASE IF EXISTS campaign" >/dev/null
  pg_sql_db postgres "CREATE DATABASE campaign" >/dev/null
  pg_sql "CREATE EXTENSION postgis" >/dev/null
  imports+=("$(seconds "$cli" campaign --db "$pg_dsn" --import "${files[@]}")")
  [ "$(pg_sql "SELECT count(*) FROM samples")" = "$total" ] || { echo "the import did not store every sample" >&2; exit 1; }
  coverages+=("$(seconds "$cli" campaign --db "$pg_dsn" --coverage "${thresholds[@]}")")
  rm -f "$work/out.gpkg"
  exports+=("$(seconds "$cli" export "${files[@]}" -o "$work/out.gpkg" "${thresholds[@]}")")
done
it=$(printf '%s\n' "${imports[@]}" | median)
ct=$(printf '%s\n' "${coverages[@]}" | median)
et=$(printf '%s\n' "${exports[@]}" | median)
printf '%d samples in 10 files (%s bytes of record files), %d runs, medians:\n' "$total" \
  "$(du -cb "${files[@]}" | tail -1 | cut -f1)" "$runs"
awk -v t="$it" -v n="$total" 'BEGIN {printf "  import into PostGIS:     %.3f s, %.0f samples/s (target 50000 or more)\n", t, n / t}'
awk -v t="$ct" -v c="$(pg_sql "SELECT count(*) FROM cells")" \
  'BEGIN {printf "  coverage in PostGIS:     %.3f s, %d cell rows (target 10 s or less)\n", t, c}'
awk -v t="$et" 'BEGIN {printf "  GeoPackage export:       %.3f s (samples, cells and tables from the files)\n", t}'
awk -v a="$it" -v b="$ct" -v e="$et" \
  'BEGIN {printf "  ratio to the export: import %.2f, coverage %.2f, import + coverage %.2f\n", a / e, b / e, (a + b) / e}'
printf '  database size: %s\n' "$(pg_sql "SELECT pg_size_pretty(pg_database_size('campaign'))")"
