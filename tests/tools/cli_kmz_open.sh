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

# Two frequencies in one archive, two indicators: every placemark names a style
# of its own document (a web globe reads each linked document on its own), and
# GDAL lists every layer folder of the navigation document, in its order: the
# spot sizes, the indicators and the channels, a repeated name with " (#n)".
mkdir -p "$work/two/a" "$work/two/b"
first=$("$cli" generate --samples 100 --seed 1 --frequency 474 --description Ch21 --out "$work/two/a")
second=$("$cli" generate --samples 100 --seed 2 --frequency 522 --description Ch27 --out "$work/two/b")
"$cli" kmz "$first" "$second" -o "$work/two/two.kmz" --indicators worst,average >/dev/null 2>"$work/err" ||
  fail "kmz of two files: $(cat "$work/err")"
opens "$work/two/two.kmz"
[ "$(unzip -Z1 "$work/two/two.kmz" | grep -c "^D_")" -eq 0 ] || fail "the archive still holds style documents"
foreign=$(unzip -p "$work/two/two.kmz" '*.kml' | grep -o "<styleUrl>[^#<][^<]*</styleUrl>" | head -1 || true)
[ -z "$foreign" ] || fail "a placemark names a style in another entry: $foreign"
if [ "$gdal" -eq 1 ]; then
  ogrinfo -ro -so "$work/two/two.kmz" 2>&1 | sed -n 's/^[0-9]*: //p' | sed 's/^root_[0-9A-F]\{16\}$/root_STAMP/' >"$work/layers"
  {
    echo root_STAMP
    declare -A seen
    named() { local n=$1; seen[$n]=$((${seen[$n]:-0} + 1)); [ "${seen[$n]}" -eq 1 ] && echo "$n" || echo "$n (#${seen[$n]})"; }
    for spot in "Big spot" "Medium spot" "Small spot"; do
      named "$spot"
      for kind in Worst Average; do
        named "$kind value indicator"
        for channel in "Speed [km/h]" "Level [dBµV]" Sync "MER RMS [dB]" "MER Peak [dB]" "BER before Viterbi [10-6]" \
          "BER before Reed Solomon [10-6]" "BER after Reed Solomon [10-6]" "PER [10-6]"; do
          named "$channel"
        done
      done
    done
  } >"$work/expected"
  diff "$work/expected" "$work/layers" >"$work/layers.diff" || fail "GDAL's layers differ: $(head -5 "$work/layers.diff")"
fi
echo "1 passed, 0 failed"
