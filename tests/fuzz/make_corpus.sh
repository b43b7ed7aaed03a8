#!/usr/bin/env bash
# usage: tests/fuzz/make_corpus.sh BUILD_DIR
# Writes the seed corpora of the fuzz targets into tests/fuzz/corpus/<target>/
# from the project's own writers: record files from `fieldtrace-cli generate`,
# settings files from fieldtrace-seeds (the modules' save functions), and
# reply lines in the forms the analyzers (and the simulator) send. Inputs kept
# there as reproducers of findings (names starting with "finding-") stay.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
corpus=$here/corpus
cli=$build/tools/cli/fieldtrace-cli
seeds=$build/tests/fuzz/fieldtrace-seeds
[ -x "$cli" ] && [ -x "$seeds" ] || { echo "build fieldtrace-cli and fieldtrace-seeds in $build first" >&2; exit 2; }

targets=(record record_raw basic_ini signals antennas_ini cad_ini cas fs_ini legacy_colours antenna_csv
         identity coordinates values echo_list peak_list scpi_session)
for t in "${targets[@]}"; do
    mkdir -p "$corpus/$t"
    find "$corpus/$t" -type f ! -name 'finding-*' -delete
done

# Record files (no .dtr suffix, which the repository ignores): a few short
# ones of different standards and units.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
gen() {  # name, then generate options
    local name=$1; shift
    mkdir -p "$work/$name"
    local file
    file=$("$cli" generate --out "$work/$name" "$@" 2>/dev/null)
    cp "$file" "$corpus/record/$name"
    cp "$file" "$corpus/record_raw/$name"
}
gen dvbt --standard "DVB-T / DVB-H" --samples 3 --seed 1
gen atsc --standard "ATSC" --samples 2 --seed 2 --level-unit dBm --distance-unit mi --no-fix 0:1
gen analog --standard "Analog TV" --samples 2 --seed 3 --antenna Yagi --kfactor 12.5 --bad-status 0.5
gen dab --standard "DAB" --samples 1 --seed 4 --level-unit dBuV/m --antenna Dipole --kfactor -3
# A record cut inside its last sample.
head -c -150 "$corpus/record/dvbt" > "$corpus/record/cut"
cp "$corpus/record/cut" "$corpus/record_raw/cut"

"$seeds" "$corpus"
mv "$corpus/fs_ini/fs.ini" "$corpus/fs_ini/plain.ini"

# Reply lines; the file's bytes are the reply (no line feed unless it is part of the input form).
line() { printf '%s' "$2" > "$corpus/$1/$3"; }
line identity $'Korvane,Alvra,1234.5678k22/101234,3.45\nHW02\n3.40' alvra
line identity $'Korvane,Cendra,1234.5678k22/100007,1.00\nHW05/HW06\n1.15' cendra
line identity $'HW02,FW07,FW04\nFW07\n2' options
line identity $'Korvane,,,\nFW00\n' empty-fields
line coordinates '48,8,13.2' dms
line coordinates '-0,30,0.0' negative-zero
line coordinates '11.575' decimal
line values $'CALC:DTV:RES? BBV\n1.2e-05' number
line values $'CALC:DTV:RES? BBV\n---' no-value
line values $'CALC:DTV:RES? BBV\n99.1e+36,1' overrange
line values $'CALC:DTV:RES? BBV\n-113,"Undefined header;CALC:DTV:RES? BBV"' error
line values $'Q?\n{}' empty-graph
# echo lists: first byte picks axis and transfer kind (see fuzz_echo_list.cpp)
printf '\x00%s' '0.00,0.000,-12.50,34.200,-20.00,-300.000' > "$corpus/echo_list/kind1"
printf '\x08%s' '0.00,0.000,1,-12.50,34.200,2,-20.00,-300.000,0' > "$corpus/echo_list/kind3"
printf '\x10%s' '0.00,0.000,1,-12.50,34.200,2,-20.00,-300.000,0' > "$corpus/echo_list/kind4"
printf '\x01%s' '---' > "$corpus/echo_list/none"
printf '\x00%s' '{{0.00,0.000000e+00,1},{-12.50,3.420000e-05,2},{-20.00,-3.000000e-04,3}}' > "$corpus/peak_list/three"
printf '\x01%s' '{}' > "$corpus/peak_list/empty"
printf '\x03%s' '{{-30,-0.000100,2}}' > "$corpus/peak_list/reversed-axis"
# What an analyzer sends over a session: replies to the target's queries in turn.
printf 'Korvane,Alvra,1234.5678k22/101234,3.45\n1.2e-05\n1\nRF\n' > "$corpus/scpi_session/replies"
printf 'Korvane,Alvra,1234.5678k22/101234,3.45\r\n-113,"Undefined header;CALC:DTV:RES? BBV"\n0\nRF2\n' > "$corpus/scpi_session/errors"
printf 'Korvane,Alvra,1234.5678k22/101234,3.45' > "$corpus/scpi_session/no-line-feed"
head -c 12000 /dev/zero | tr '\0' 'x' > "$corpus/scpi_session/long-line"

du -sh "$corpus" | cut -f1 | sed 's/^/corpus size /'
