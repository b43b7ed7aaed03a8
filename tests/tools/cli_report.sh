#!/usr/bin/env bash
# fieldtrace-cli report end to end: the text of the PDF (pdftotext) holds
# every number of the GeoPackage written from the same files and options
# (the summary by class, the medians of medians and the worst cells from its
# cells, the sample counts of its drives, the share above the threshold from
# its samples), every font is embedded (pdffonts), and hostile input, an
# existing target and Ctrl-C get a one-line error and leave no file behind.
set -euo pipefail
source "$(dirname "$0")/lib.bash" "$1"
command -v pdftotext >/dev/null || { echo "poppler-utils missing (scripts/setup.sh)"; exit 77; }

d="$work/d"
mkdir -p "$d" "$work/out" "$work/n" "$work/big"
a=$("$cli" generate --samples 900 --seed 21 --description A --no-fix 300:20 --bad-status 0.05 --out "$d")
b=$("$cli" generate --samples 700 --seed 22 --description B --frequency 618 --out "$d")
options=(--threshold "Level=62 dBµV" --cell-size 50 --min-samples 4)

# The report alone, and the GeoPackage of 'export' with the same options.
"$cli" report "$a" "$b" -o "$work/out/alone.pdf" "${options[@]}" >"$work/msg"
grep -q "^Report written to $work/out/alone.pdf ([0-9]* pages)\.$" "$work/msg" || fail "final message: $(cat "$work/msg")"
"$cli" export "$a" "$b" -o "$work/out/export.gpkg" "${options[@]}" >/dev/null
# One run writing both.
"$cli" report "$a" "$b" -o "$work/out/both.pdf" --gpkg "$work/out/both.gpkg" "${options[@]}" >"$work/msg"
grep -q "^Report written to .*both.pdf ([0-9]* pages)\. Coverage written to .*both.gpkg (samples 1600, " "$work/msg" ||
  fail "final message of both: $(cat "$work/msg")"

check() {  # check PDF GPKG: every number of the report equals the GeoPackage's
  pdftotext -layout "$1" "$work/text"
  python3 - "$work/text" "$2" 4 <<'PY'
import re, sqlite3, sys
text = open(sys.argv[1], encoding="utf-8").read()
db = sqlite3.connect(sys.argv[2])
min_samples = int(sys.argv[3])
pages = text.split("\f")
# A group's heading; a table's rows on a later page are headed "… (continued)".
heading = r"\n(\d+\.\d+) MHz · (?![^\n]*\(continued\))[^\n]*\n"
errors = []
def expect(what, got, want):
    if got != want:
        errors.append(f"{what}: report {got!r}, GeoPackage {want!r}")
def g4(v): return "%.4g" % v
def share(v): return "–" if v is None else "%.1f %%" % (100 * v)

summary = db.execute("SELECT frequency_mhz, channel, cells_good, cells_acceptable, cells_poor, cells_insufficient, "
                     "cells_unclassified, cells, distance_good_km, distance_acceptable_km, distance_poor_km, "
                     "distance_insufficient_km, distance_unclassified_km, distance_km, covered_cell_share, "
                     "covered_distance_share, positioned_samples, stationary_samples_left_out "
                     "FROM coverage_summary ORDER BY fid").fetchall()
freqs = list(dict.fromkeys(r[0] for r in summary))
assert len(freqs) == 2, freqs

def lower_better(channel): return "BER" in channel or "PER" in channel
def medians(freq, channel):
    rows = db.execute("SELECT cell_id, median, n, class FROM cells WHERE frequency_mhz = ? AND channel = ? AND n >= ?",
                      (freq, channel, min_samples)).fetchall()
    return rows

# The summary by class: per group the channels in the GeoPackage's order.
body = text[text.index("\nSummary by class\n"):text.index("\nWorst cells\n")]
groups = re.split(heading, body)[1:]
assert len(groups) == 2 * len(freqs), len(groups)
for k, freq in enumerate(freqs):
    expect("group", float(groups[2 * k]), freq)
    part = groups[2 * k + 1]
    head = re.search(r"(\d+) positioned samples · (\d+) taken standing still left out", part)
    rows = [r for r in summary if r[0] == freq]
    expect(f"{freq} positioned", (int(head[1]), int(head[2])), (rows[0][16], rows[0][17]))
    cells = re.findall(r"^(.*?) +cells +((?:\d+ +){6})(\S+(?: %)?) *(\S*)$", part, re.M)
    kms = re.findall(r"^ +km +((?:\d+\.\d\d +){6})(\S+(?: %)?) *$", part, re.M)
    expect(f"{freq} channel rows", (len(cells), len(kms)), (len(rows), len(rows)))
    for row, c, km in zip(rows, cells, kms):
        ch = row[1]
        if not ch.startswith(c[0].split("  ")[0].strip()):
            errors.append(f"{freq}: row {c[0]!r} is not channel {ch!r}")
        expect(f"{freq} {ch} cells", c[1].split(), [str(v) for v in row[2:8]])
        expect(f"{freq} {ch} covered cells", c[2], share(row[14]))
        expect(f"{freq} {ch} km", km[0].split(), ["%.2f" % v for v in row[8:14]])
        expect(f"{freq} {ch} covered km", km[1], share(row[15]))
        m = sorted(r[1] for r in medians(freq, ch))
        want = "–" if not m else g4(m[len(m) // 2] if len(m) % 2 else (m[len(m) // 2 - 1] + m[len(m) // 2]) / 2)
        expect(f"{freq} {ch} median of medians", c[3], want)

# The worst cells: per group and channel the five worst medians of the cells layer.
worst = text[text.index("\nWorst cells\n"):]
line = re.compile(r"^ *(\S.*?)? +([1-5]) +(\d+-\d+-\d+-\d+) +(-?\d+\.\d+) +(-?\d+\.\d+) +(\S+) +(\d+) +(\S+) *$", re.M)
blocks = {}
current = -1
channel = -1
for piece in re.split(heading, worst)[1:]:
    if re.fullmatch(r"\d+\.\d+", piece):
        current += 1
        channel = -1
        continue
    for m in line.finditer(piece):
        if m[2] == "1":
            channel += 1
        blocks.setdefault((current, channel), []).append(m)
for k, freq in enumerate(freqs):
    for c, row in enumerate(r for r in summary if r[0] == freq):
        ch = row[1]
        found = blocks.get((k, c), [])
        cells = {r[0]: r for r in medians(freq, ch)}
        ordered = sorted(cells.values(), key=lambda r: -r[1] if lower_better(ch) else r[1])[:5]
        expect(f"{freq} {ch} worst medians", [m[6] for m in found], [g4(r[1]) for r in ordered])
        for m in found:
            cell = cells.get(m[3])
            if cell is None:
                errors.append(f"{freq} {ch}: worst cell {m[3]} has no row with {min_samples} values")
                continue
            expect(f"{freq} {ch} {m[3]} median, n, class", (m[6], int(m[7]), m[8]),
                   (g4(cell[1]), cell[2], cell[3] or "–"))

# The drives: samples and damaged samples of every file.
title = pages[0]
for name, count, skipped in db.execute("SELECT file, sample_count, skipped_samples FROM drives ORDER BY fid"):
    expect(f"{name} samples", re.search(re.escape(" ".join(name.split())) + r"\n(?:.*\n){3}.*· (\d+) samples, (\d+) damaged", title).groups(),
           (str(count), str(skipped)))
total = db.execute("SELECT SUM(sample_count) FROM drives").fetchone()[0]
expect("samples together", re.search(r"Together: \d+ record files, (\d+) samples", title)[1], str(total))

# The level's distribution: the counted samples and the share meeting the threshold.
for k, freq in enumerate(freqs):
    page = next(p for p in pages if "Distributions" in p and ("%.6f MHz" % freq) in p)
    counted = db.execute("SELECT COUNT(level_dbuv), SUM(level_dbuv >= 62) FROM samples WHERE frequency_mhz = ? "
                         "AND status = 'No error' AND stationary = 0", (freq,)).fetchone()
    expect(f"{freq} level samples", re.search(r"Level \[dBµV\]\s+(\d+) samples", page)[1], str(counted[0]))
    expect(f"{freq} level share", re.search(r"≥ 62: (\S+) % of the samples", page)[1],
           "%.1f" % (100 * counted[1] / counted[0]))

if errors:
    print("\n".join(errors[:20]))
    sys.exit(1)
PY
}
check "$work/out/alone.pdf" "$work/out/export.gpkg" || fail "the report alone differs from export's GeoPackage"
check "$work/out/both.pdf" "$work/out/both.gpkg" || fail "the report differs from the GeoPackage of its run"

# Every font embedded; the page count as the final message says.
pdffonts "$work/out/both.pdf" >"$work/fonts"
[ "$(tail -n +3 "$work/fonts" | wc -l)" -ge 1 ] || fail "no fonts listed: $(cat "$work/fonts")"
tail -n +3 "$work/fonts" | awk '$(NF-4) != "yes" { bad = 1 } END { exit bad }' || fail "a font not embedded: $(cat "$work/fonts")"
pages=$(pdfinfo "$work/out/both.pdf" | awk '/^Pages:/ {print $2}')
grep -q "($pages pages)" "$work/msg" || fail "$pages pages but: $(cat "$work/msg")"
[ "$(pdfinfo "$work/out/both.pdf" | awk '/^Page size:/ {print $3, $5}')" = "595 842" ] || fail "not A4"

# Hostile input: exit status, one line on stderr, nothing left in the output folder.
expect() {
  local status=$1; shift
  set +e; "$@" >/dev/null 2>"$work/err"; local rc=$?; set -e
  [ "$rc" -eq "$status" ] || fail "expected exit $status, got $rc: $* ($(cat "$work/err"))"
  [ "$(grep -cv "^QStandardPaths:" "$work/err")" -eq 1 ] || fail "one-line error for $*: $(cat "$work/err")"
}
nofix=$("$cli" generate --samples 50 --seed 23 --description NoFix --no-fix 0:50 --out "$work/n")
before=$(ls "$work/out")
expect 2 "$cli" report -o "$work/out/x.pdf"
expect 2 "$cli" report "$a"
expect 1 "$cli" report "$nofix" -o "$work/out/x.pdf"
grep -q "do not contain any valid GPS coordinate" "$work/err" || fail "no-position message: $(cat "$work/err")"
expect 1 "$cli" report "$a" -o "$work/out/x.pdf" --threshold "Field strength=56"
expect 1 "$cli" report "$a" -o /proc/x.pdf
expect 1 "$cli" report "$a" -o "$work/out/missing/x.pdf"
expect 1 "$cli" report "$a" -o "$work/out/x.gpkg"
expect 1 "$cli" report "$a" -o "$work/out/x.pdf" --gpkg "$work/out/x.geojson"
expect 1 "$cli" report "$a" -o "$work/out/x.pdf" --gpkg /proc/x.gpkg
expect 1 "$cli" report "$a" -o "$work/out/x.pdf" --profile "no such profile"
expect 2 "$cli" report "$a" -o "$work/out/x.pdf" --profile x --auto
expect 2 "$cli" report "$a" -o "$work/out/x.pdf" --gpkg "$work/out/x.pdf"
expect 1 "$cli" report "$work/missing.dtr" -o "$work/out/x.pdf"
cp "$work/out/both.pdf" "$work/pdf.before"
expect 1 "$cli" report "$a" -o "$work/out/both.pdf"
grep -q "exists already" "$work/err" || fail "existing target message: $(cat "$work/err")"
cmp -s "$work/out/both.pdf" "$work/pdf.before" || fail "an existing report was changed"
# An existing GeoPackage stops the run before the report is written.
expect 1 "$cli" report "$a" -o "$work/out/y.pdf" --gpkg "$work/out/both.gpkg"
[ "$(ls "$work/out")" = "$before" ] || fail "files left behind: $(ls "$work/out")"
# --overwrite replaces both once both are complete.
"$cli" report "$a" -o "$work/out/both.pdf" --gpkg "$work/out/both.gpkg" --overwrite "${options[@]}" >/dev/null
cmp -s "$work/out/both.pdf" "$work/pdf.before" && fail "--overwrite kept the old report"
[ "$(ls "$work/out")" = "$before" ] || fail "--overwrite left files: $(ls "$work/out")"

# Ctrl-C during the run: exit 130, neither file left behind.
big=$("$cli" generate --samples 20000 --seed 24 --description big --out "$work/big")
interrupt_when "$work/out/big.partial-*.gpkg" "$cli" report "$big" -o "$work/out/big.pdf" --gpkg "$work/out/big.gpkg"
[ "$(ls "$work/out")" = "$before" ] || fail "an interrupted report left files: $(ls "$work/out")"
echo "1 passed, 0 failed"
