#!/usr/bin/env bash
# fieldtrace-cli export end to end, checked with GDAL's own tools: ogrinfo
# lists the four layers with their field types, the QGIS styles are found in
# layer_styles by a plain SQLite reader, an ogr2ogr round trip of the cells
# to GeoJSON equals the program's own GeoJSON cell for cell, and hostile
# input gets a one-line error and leaves no file behind.
set -euo pipefail
source "$(dirname "$0")/lib.bash" "$1"

d="$work/d"
mkdir -p "$d" "$work/out" "$work/n" "$work/big"
a=$("$cli" generate --samples 600 --seed 11 --description A --no-fix 200:20 --bad-status 0.05 --out "$d")
b=$("$cli" generate --samples 400 --seed 12 --description B --frequency 482 --out "$d")
gpkg="$work/out/coverage.gpkg"
"$cli" export "$a" "$b" -o "$gpkg" --threshold "Level=60 dBµV" --cell-size 50 >"$work/msg"
grep -q "^Coverage written to $gpkg (samples 1000, cells [0-9]*, drives 2, coverage_summary [0-9]*)\.$" "$work/msg" ||
  fail "final message: $(cat "$work/msg")"

# The four layers and their field types, as GDAL reads them.
ogrinfo -ro -so -al "$gpkg" >"$work/info"
for layer in "samples (Point)" "cells (Polygon)" "drives (None)" "coverage_summary (None)"; do
  ogrinfo -ro -q "$gpkg" | grep -q ": $layer$" || fail "layer $layer missing"
done
for field in "time_utc: DateTime" "gap_filled: Integer(Boolean)" "level_dbuv: Real" "status: String" \
             "cell_id: String" "n: Integer" "median: Real" "stddev: Real" "share_ok: Real" \
             "location_probability: Real" "class: String" "channel: String" "frequency_mhz: Real" \
             "standard: String" "serial_number: String" "k_factor_db_m: Real" "skipped_samples: Integer64" \
             "cells_good: Integer64" "distance_poor_km: Real" "covered_distance_share: Real"; do
  grep -q "^${field%%:*}: ${field#*: } " "$work/info" || fail "field $field: $(grep "^${field%%:*}:" "$work/info")"
done
[ "$(ogrinfo -ro -q "$gpkg" -sql "SELECT COUNT(*) AS c FROM samples WHERE gap_filled = 1" | awk '/c \(Integer\)/ {print $4}')" = 20 ] ||
  fail "the filled-in stretch is not marked"

# The styles, found as QGIS finds them: default rows per layer and geometry column.
python3 - "$gpkg" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
rows = db.execute("SELECT f_table_catalog, f_table_schema, f_table_name, f_geometry_column, styleQML "
                  "FROM layer_styles WHERE useAsDefault = 1 ORDER BY f_table_name").fetchall()
assert [r[2] for r in rows] == ["cells", "samples"], rows
for catalog, schema, table, column, qml in rows:
    assert catalog == "" and schema == "" and column == "geom", (catalog, schema, column)
    assert qml.startswith("<!DOCTYPE qgis") and "categorizedSymbol" in qml, qml[:80]
assert 'attr="class"' in rows[0][4] and 'value="poor"' in rows[0][4]
PY

# ogr2ogr's GeoJSON of the cells equals ours, cell for cell.
own="$work/out/cells.geojson"
"$cli" export "$a" "$b" -o "$own" --threshold "Level=60 dBµV" --cell-size 50 >/dev/null
ogr2ogr -f GeoJSON -lco RFC7946=YES -lco COORDINATE_PRECISION=7 "$work/out/round.geojson" "$gpkg" cells
python3 - "$own" "$work/out/round.geojson" <<'PY'
import json, sys
def cells(path):
    features = json.load(open(path))["features"]
    return {(f["properties"]["cell_id"], f["properties"]["frequency_mhz"], f["properties"]["channel"]): f
            for f in features}
ours, theirs = cells(sys.argv[1]), cells(sys.argv[2])
assert len(ours) > 50 and ours.keys() == theirs.keys(), (len(ours), len(theirs))
for key, f in ours.items():
    g = theirs[key]
    assert f["properties"] == g["properties"], (key, f["properties"], g["properties"])
    assert f["geometry"] == g["geometry"], key
PY

# --no-threshold drops a default: the sync channel is then judged without one.
"$cli" export "$a" -o "$work/out/plain.geojson" --no-threshold Sync >/dev/null
python3 - "$work/out/plain.geojson" <<'PY'
import json, sys
sync = [f["properties"] for f in json.load(open(sys.argv[1]))["features"] if f["properties"]["channel"] == "Sync"]
assert sync and all(p["threshold"] is None and p["class"] is None for p in sync), sync[:1]
PY
rm "$work/out/plain.geojson"

# Hostile input: exit status, one line on stderr, nothing left in the output folder.
expect() {
  local status=$1; shift
  set +e; "$@" >/dev/null 2>"$work/err"; local rc=$?; set -e
  [ "$rc" -eq "$status" ] || fail "expected exit $status, got $rc: $* ($(cat "$work/err"))"
  [ "$(wc -l <"$work/err")" -eq 1 ] || fail "one-line error for $*: $(cat "$work/err")"
}
nofix=$("$cli" generate --samples 50 --seed 13 --description NoFix --no-fix 0:50 --out "$work/n")
before=$(ls "$work/out")
expect 2 "$cli" export -o "$work/out/x.gpkg"
expect 1 "$cli" export "$nofix" -o "$work/out/x.gpkg"
grep -q "do not contain any valid GPS coordinate" "$work/err" || fail "no-position message: $(cat "$work/err")"
expect 1 "$cli" export "$a" -o "$work/out/x.gpkg" --threshold "Field strength=56"
grep -q "No channel 'Field strength'" "$work/err" || fail "unknown channel message: $(cat "$work/err")"
expect 1 "$cli" export "$a" -o "$work/out/x.gpkg" --threshold "Level=56 W"
expect 1 "$cli" export "$a" -o "$work/out/x.gpkg" --no-threshold "Field strength"
expect 1 "$cli" export "$a" -o /proc/x.gpkg
grep -q "The folder '/proc' is not writable" "$work/err" || fail "unwritable folder message: $(cat "$work/err")"
expect 1 "$cli" export "$a" -o "$work/out/missing/x.gpkg"
expect 1 "$cli" export "$a" -o "$work/out/x.shp"
expect 1 "$cli" export "$work/missing.dtr" -o "$work/out/x.gpkg"
cp "$gpkg" "$work/gpkg.before"
expect 1 "$cli" export "$a" -o "$gpkg"
grep -q "exists already" "$work/err" || fail "existing target message: $(cat "$work/err")"
cmp -s "$gpkg" "$work/gpkg.before" || fail "an existing target was changed"
expect 2 "$cli" export "$a" -o "$work/out/x.gpkg" --cell-size 30
[ "$(ls "$work/out")" = "$before" ] || fail "files left behind: $(ls "$work/out")"

# Ctrl-C while the samples are written: exit 130, nothing left behind.
big=$("$cli" generate --samples 15000 --seed 14 --description big --out "$work/big")
interrupt_when "$work/out/big.partial-*.gpkg" "$cli" export "$big" -o "$work/out/big.gpkg"
[ "$(ls "$work/out")" = "$before" ] || fail "an interrupted export left files: $(ls "$work/out")"
echo "1 passed, 0 failed"
