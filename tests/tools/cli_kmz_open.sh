#!/usr/bin/env bash
# fieldtrace-cli kmz archives as viewers open them: "doc.kml" is the first KML
# entry and GDAL's KMZ reading (ogrinfo, Debian's gdal-bin) finds its layers;
# record files of every standard of every analyzer family convert with the
# command's defaults, and so do a file of a single sample and a drive standing
# still (channels without spread used to get no valid colour scale).
set -euo pipefail
source "$(dirname "$0")/lib.bash"

gdal=1
if ! command -v ogrinfo >/dev/null; then
  gdal=0
  echo "SKIP of the GDAL checks: ogrinfo is missing (Debian package gdal-bin; scripts/setup.sh installs it)" >&2
fi

# opens ARCHIVE: sound zip, "doc.kml" first of the KML entries, and GDAL lists
# the layers that "doc.kml" leads to: the spot-size folders and the channels.
opens() {
  local archive=$1 first layers
  unzip -tq "$archive" >/dev/null || fail "unzip -t $archive"
  first=$(unzip -Z1 "$archive" | awk '/\.kml$/ && !seen { print; seen = 1 }')
  [ "$first" = doc.kml ] || fail "the first KML entry of $archive is $first"
  [ "$gdal" -eq 1 ] || return 0
  layers=$(ogrinfo -ro -so "$archive" 2>&1) || fail "ogrinfo $archive: $layers"
  grep -q "^[0-9]*: Big spot$" <<<"$layers" || fail "ogrinfo finds no layer 'Big spot' in $archive: $layers"
  grep -q "^[0-9]*: Speed \[km/h\]$" <<<"$layers" || fail "ogrinfo finds no speed layer in $archive: $layers"
}

# convert FILE: fieldtrace-cli kmz FILE with no options succeeds and the archive opens.
convert() {
  "$cli" kmz "$1" >"$work/out" 2>"$work/err" || fail "kmz $1: $(cat "$work/err")"
  opens "${1%.dtr}.kmz"
}

# Every standard of every family, with some samples spoiled and a stretch without fix.
catalog_standards >"$work/standards"
[ "$(wc -l <"$work/standards")" -ge 10 ] || fail "the catalogue lists too few standards"
n=0
while IFS=$'\t' read -r -u 3 family standard; do
  n=$((n + 1))
  mkdir -p "$work/s$n"
  f=$("$cli" generate --family "$family" --standard "$standard" --samples 40 --seed "$n" --bad-status 0.1 \
    --no-fix 5:5 --out "$work/s$n") || fail "generate $family $standard"
  convert "$f"
done 3<"$work/standards"

# One sample: no spread in any channel, no speed.
mkdir -p "$work/one" "$work/still"
convert "$("$cli" generate --samples 1 --out "$work/one")"
# Standing still: every sample at one point, speed 0.
convert "$("$cli" generate --samples 20 --speed 0 --out "$work/still")"
grep -q "^Drive test results have been successfully written to$" "$work/out" || fail "message: $(cat "$work/out")"
echo "1 passed, 0 failed"
