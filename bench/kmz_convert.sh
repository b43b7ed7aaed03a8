#!/usr/bin/env bash
# Converts 200 000 "DVB-T / DVB-H" samples (one record file, every measurement)
# into a KMZ archive with the wizard's default scope and prints: the conversion
# time (median), the archive size, the uncompressed bytes of all entries, the
# time zlib alone needs to deflate those bytes at the default level on one core
# (the floor), the ratio conversion / floor, and the peak memory; then the
# deflated size of the entries in the archive beside what zlib's default level
# makes of the same entries one by one, so a faster deflate cannot hide a
# worse one.
# Usage: bench/kmz_convert.sh [RUNS]   (builds fieldtrace-cli first; needs about 1 GB of free disk)
# The floor deflates all entries as one raw stream with Python's zlib module,
# which calls the system's zlib; run on an otherwise idle machine.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target fieldtrace-cli >/dev/null
source bench/lib.bash
python=/usr/bin/python3
[ -x "$python" ] || python=python3

record=$("$cli" generate --samples 200000 --seed 1 --out "$work")
archive="$work/bench.kmz"
times=() peaks=()
for ((i = 1; i <= runs; i++)); do
  rm -f "$archive"
  t0=$(now)
  "$cli" kmz "$record" -o "$archive" --stats >/dev/null 2>"$work/stats"
  t1=$(now)
  times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}')")
  peaks+=("$(awk '/^peak memory:/ {print $3}' "$work/stats")")
done
conversion=$(printf '%s\n' "${times[@]}" | median)
peak=$(printf '%s\n' "${peaks[@]}" | sort -n | tail -1)
size=$(stat -c %s "$archive")
entries=$(awk '/^entries:/ {print $2}' "$work/stats")
bytes=$(awk '/^uncompressed bytes:/ {print $3}' "$work/stats")

unzip -p "$archive" >"$work/entries.bin"
[ "$(stat -c %s "$work/entries.bin")" -eq "$bytes" ] || { echo "entry bytes do not add up" >&2; exit 1; }
floor=$("$python" - "$work/entries.bin" "$runs" <<'PY'
import sys, time, zlib
data = open(sys.argv[1], 'rb').read()
best = None
for _ in range(int(sys.argv[2])):
    start = time.perf_counter()
    z = zlib.compressobj(zlib.Z_DEFAULT_COMPRESSION, zlib.DEFLATED, -zlib.MAX_WBITS, 8)
    z.compress(data)
    z.flush()
    took = time.perf_counter() - start
    best = took if best is None else min(best, took)
print(best)
PY
)
printf 'record file: 200000 samples, %s bytes\n' "$(stat -c %s "$record")"
awk -v t="$conversion" -v n="$runs" 'BEGIN {printf "conversion: median %.3f s over %d runs\n", t, n}'
printf 'archive: %s bytes, %s entries\n' "$size" "$entries"
printf 'uncompressed entries: %s bytes\n' "$bytes"
awk -v f="$floor" -v b="$bytes" 'BEGIN {printf "zlib floor (default level, one core): %.3f s (%.0f MB/s)\n", f, b / f / 1e6}'
awk -v t="$conversion" -v f="$floor" 'BEGIN {printf "ratio conversion / floor: %.2f (target 1.0 or less)\n", t / f}'
awk -v k="$peak" 'BEGIN {printf "peak memory: %.1f MB\n", k / 1024}'
"$python" - "$archive" <<'PY'
import sys, zipfile, zlib
archive = zipfile.ZipFile(sys.argv[1])
ours = zlib_sizes = 0
for info in archive.infolist():
    ours += info.compress_size
    z = zlib.compressobj(zlib.Z_DEFAULT_COMPRESSION, zlib.DEFLATED, -zlib.MAX_WBITS, 8)
    zlib_sizes += len(z.compress(archive.read(info)) + z.flush())
print("deflated entries: %d bytes; zlib's default level, entry by entry: %d bytes (%+.1f %%)"
      % (ours, zlib_sizes, 100.0 * (ours - zlib_sizes) / zlib_sizes))
PY
