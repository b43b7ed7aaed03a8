#!/usr/bin/env bash
# Times `fieldtrace-cli info` (which reads every sample) on a 100 000-sample
# "DVB-T / DVB-H" record file, intact and damaged three ways: one flipped bit
# in every sample (each skipped in place), a broken block header in every
# tenth sample (the reader searches for the next sample), and 50 MB of zeros
# (one long search). Prints the medians and the ratio to the intact file: the
# cost of damage should follow the bytes, never their square.
# Usage: bench/damaged_records.sh [RUNS]   (builds first; needs about 1.3 GB of free disk)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
scripts/build.sh >/dev/null
source bench/lib.bash

file=$("$cli" generate --standard "DVB-T / DVB-H" --samples 100000 --seed 1 --out "$work")
sample=$("$cli" info "$file" | python3 -c 'import json,sys; print(json.load(sys.stdin)["header"]["sampleFileSize"])')
python3 - "$file" "$work" "$sample" <<'PY'
import sys
path, work, size = sys.argv[1], sys.argv[2], int(sys.argv[3])
good = open(path, 'rb').read()
n = 100000
first = len(good) - n * size
def save(name, b):
    open(f"{work}/{name}.dtr", 'wb').write(b)
b = bytearray(good)
for k in range(n):
    b[first + k * size + 105] ^= 1          # a status byte of every sample
save('every-sample', b)
b = bytearray(good)
for k in range(0, n, 10):
    b[first + k * size + 100 + 424 + 8] ^= 1  # the tag of the value block of every tenth sample
save('every-tenth-header', b)
b = bytearray(good)
at = first + 20000 * size + 17
b[at:at + 50_000_000] = bytes(50_000_000)
save('zeros-50MB', b)
PY

intact=
for f in "$file" "$work/every-sample.dtr" "$work/every-tenth-header.dtr" "$work/zeros-50MB.dtr"; do
  times=()
  for ((i = 1; i <= runs; i++)); do
    t0=$(now); "$cli" info "$f" >"$work/info.json"; t1=$(now)
    times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}')")
  done
  med=$(printf '%s\n' "${times[@]}" | median)
  name=$(basename "$f" .dtr)
  [ -n "$intact" ] || { intact=$med; name=intact; }
  read -r read skipped < <(python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); print(d["sampleCount"], d["skippedSamples"])' "$work/info.json")
  awk -v t="$med" -v i="$intact" -v n="$runs" -v r="$read" -v s="$skipped" -v name="$name" \
    'BEGIN {printf "%-28s median %.3f s over %d runs, %.2f x intact (%d read, %d skipped)\n", name ":", t, n, t / i, r, s}'
done
