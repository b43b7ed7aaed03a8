#!/usr/bin/env bash
# fieldtrace-cli csv, list, info and kmz on awkward input: every standard of
# every family (the bounds-checked build aborts on an out-of-range access),
# outputs Python's csv module reads back as UTF-8, a damaged sample, a FIFO
# named like a record file, and files described alike listed newest first.
set -euo pipefail
source "$(dirname "$0")/lib.bash"

# checkcsv DIR SAMPLES...: every CSV file of each DIR decodes as UTF-8 and
# reads as CSV; its measurements file has SAMPLES rows, and in it and every
# graph file each sample row has the header row's fields (a graph row more
# when it holds its points). One Python run for all: it is slow to start.
checkcsv() {
  python3 - "$@" <<'PY' || fail "CSV check of $*"
import csv, glob, os, sys
args = sys.argv[1:]
for d, n in zip(args[::2], args[1::2]):
    paths = sorted(glob.glob(os.path.join(glob.escape(d), '*.csv')))
    assert len(paths) >= 2, (d, paths)
    for path in paths:
        with open(path, encoding='utf-8', newline='') as f:
            rows = list(csv.reader(f, strict=True))
        if path.endswith(' - Configuration.csv'):
            continue
        head = rows.index(next(r for r in rows if r[:1] == ['Sample']))
        width = len(rows[head])
        measurements = path.endswith(' - Measurements.csv')
        for r in rows[head + 1:]:
            assert len(r) == width or (not measurements and len(r) > width), (path, r)
        if measurements:
            assert len(rows) - 1 == int(n), (path, len(rows) - 1, n)
PY
}

# Every standard of every family, with 0, 1 and 3 samples, a bad status now and then.
catalog_standards >"$work/standards"
[ "$(wc -l <"$work/standards")" -ge 19 ] || fail "catalogue lists too few standards"
i=0
converted=()
while IFS=$'\t' read -r family standard; do
  for n in 0 1 3; do
    i=$((i + 1))
    mkdir -p "$work/std$i"
    f=$("$cli" generate --family "$family" --standard "$standard" --samples "$n" --bad-status 0.5 \
         --description "s$i" --out "$work/std$i") || fail "generate $family / $standard"
    "$cli" csv "$f" >"$work/out" 2>"$work/err" || fail "csv $family / $standard, $n samples: $(cat "$work/err")"
    "$cli" info "$f" >/dev/null || fail "info $family / $standard"
    converted+=("$work/std$i" "$n")
  done
done <"$work/standards"
checkcsv "${converted[@]}"

# A description holding a comma is a valid file name and one field.
mkdir "$work/comma"
f=$("$cli" generate --samples 3 --description 'Ch21, north' --firmware 'v"3,4"' --level-unit dBuV --out "$work/comma")
"$cli" csv "$f" >/dev/null
python3 - "$work/comma/2026-06-01  10-00-00  Ch21, north - Configuration.csv" \
          "$work/comma/2026-06-01  10-00-00  Ch21, north - Measurements.csv" <<'PY' || fail "description with a comma"
import csv, sys
conf = list(csv.reader(open(sys.argv[1], encoding='utf-8', newline='')))
assert ['Description', 'Ch21, north'] in conf, conf
assert ['Firmware version', 'v"3,4"'] in conf, conf
head = next(csv.reader(open(sys.argv[2], encoding='utf-8', newline='')))
assert 'Level [dB\u00b5V]' in head, head
PY

# One flipped bit in sample 21 of 50: 49 rows, and every message says one sample was skipped.
mkdir "$work/damaged"
f=$("$cli" generate --samples 50 --description damaged --out "$work/damaged")
read -r sampleBytes first < <("$cli" info "$f" | python3 -c '
import json, os, sys
d = json.load(sys.stdin); size = d["header"]["sampleFileSize"]
print(size, os.path.getsize(sys.argv[1]) - 50 * size)' "$f")
python3 - "$f" $((first + 20 * sampleBytes + 100 + 210)) <<'PY'
import sys
path, at = sys.argv[1], int(sys.argv[2])
b = bytearray(open(path, 'rb').read()); b[at] ^= 0x08; open(path, 'wb').write(b)
PY
"$cli" csv "$f" >"$work/out" || fail "csv of the damaged file"
tail -n 1 "$work/out" | grep -qx "1 damaged sample was skipped." || fail "csv message: $(cat "$work/out")"
checkcsv "$work/damaged" 49
"$cli" info "$f" | python3 -c '
import json, sys
d = json.load(sys.stdin)
assert d["sampleCount"] == 49 and d["skippedSamples"] == 1 and d["unreadBytes"] == 0, d' || fail "info of the damaged file"
"$cli" kmz "$f" -o "$work/damaged/out.kmz" >"$work/out" || fail "kmz of the damaged file"
tail -n 1 "$work/out" | grep -qx "1 damaged sample was skipped." || fail "kmz message: $(cat "$work/out")"
"$cli" list "$work/damaged" | python3 -c '
import json, sys
e = json.load(sys.stdin)["entries"]
assert len(e) == 1 and e[0]["sampleCount"] == 50, e' || fail "list of the damaged file"

# info's last sample is the last complete one, not the damaged sample after it.
size=$(stat -c %s "$f")
head -c $((size - sampleBytes)) "$f" >"$work/damaged/first49.dtr"
python3 - "$f" $((size - sampleBytes + 100 + 424 + 100 + 3)) <<'PY'
import sys
path, at = sys.argv[1], int(sys.argv[2])
b = bytearray(open(path, 'rb').read()); b[at] ^= 0x01; open(path, 'wb').write(b)
PY
"$cli" info "$f" >"$work/a.json"
"$cli" info "$work/damaged/first49.dtr" >"$work/b.json"
python3 - "$work/a.json" "$work/b.json" <<'PY' || fail "info's last sample"
import json, sys
a, b = (json.load(open(p)) for p in sys.argv[1:])
assert a["sampleCount"] == 48 and a["skippedSamples"] == 2, a["sampleCount"]
assert a["lastSample"] == b["lastSample"], (a["lastSample"], b["lastSample"])
PY

# A FIFO named like a record file: list, csv and info return at once.
mkdir "$work/fifo"
mkfifo "$work/fifo/x.dtr"
"$cli" generate --samples 2 --description real --out "$work/fifo" >/dev/null
timeout 10 "$cli" list "$work/fifo" >"$work/out" || fail "list with a FIFO: exit $?"
python3 -c 'import json,sys; e=json.load(open(sys.argv[1]))["entries"]; assert [x["description"] for x in e] == ["real"], e' \
  "$work/out" || fail "list with a FIFO lists: $(cat "$work/out")"
set +e
timeout 10 "$cli" csv "$work/fifo/x.dtr" >/dev/null 2>"$work/err"; rc=$?
set -e
[ "$rc" -eq 1 ] || fail "csv of a FIFO: exit $rc"
grep -q "Could not open file" "$work/err" || fail "csv of a FIFO: $(cat "$work/err")"
set +e
timeout 10 "$cli" info "$work/fifo/x.dtr" >/dev/null 2>&1; rc=$?
set -e
[ "$rc" -eq 1 ] || fail "info of a FIFO: exit $rc"

# Four files described alike: newest first by time, which the created text in
# "dd.mm.yyyy" order does not give.
mkdir "$work/alike"
for start in "2026-05-31 23:00:00" "2027-01-15 08:00:00" "2026-06-02 09:00:00" "2026-07-01 07:30:00"; do
  "$cli" generate --samples 2 --description Ch21 --start "$start" --out "$work/alike" >/dev/null
done
"$cli" list "$work/alike" | python3 -c '
import json, sys
got = [e["created"] for e in json.load(sys.stdin)["entries"]]
want = ["15.01.2027 08:00:00", "01.07.2026 07:30:00", "02.06.2026 09:00:00", "31.05.2026 23:00:00"]
assert got == want, got' || fail "newest first"
echo "1 passed, 0 failed"
