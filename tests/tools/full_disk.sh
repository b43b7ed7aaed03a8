#!/usr/bin/env bash
# A disk that really fills up: a 2 MB tmpfs in a private mount (and network)
# namespace, nearly filled. A recording into it stops with "File write error"
# and keeps every sample it reported as written; a CSV and a KMZ conversion
# into it fail, say so, and leave no partial output behind.
set -euo pipefail
if [ -z "${FULL_DISK_INSIDE:-}" ]; then
  { [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null; } || { echo "needs root and unshare" >&2; exit 77; }
  exec unshare -m -n env FULL_DISK_INSIDE=1 bash "$0" "$@"
fi
source "$(dirname "$0")/lib.bash"
ip link set lo up
full="$work/full"
mkdir "$full"
mount --make-rprivate / 2>/dev/null || true
mount -t tmpfs -o size=2m tmpfs "$full"
trap 'umount "$full" 2>/dev/null || true; rm -rf "$work"' EXIT

# Leaves about $1 KiB free on the tmpfs.
fill_to() {
  rm -f "$full/filler"
  local avail
  avail=$(df -k --output=avail "$full" | tail -1 | tr -d ' ')
  [ "$avail" -gt "$1" ] && dd if=/dev/zero of="$full/filler" bs=1k count=$((avail - $1)) status=none
  return 0
}

# A recording (the measurement engine against a simulator) into the full disk.
mkdir "$full/rec"
fill_to 120
FIELDTRACE_FULL_DISK_DIR="$full/rec" "$build/tests/test_faults" --gtest_filter='WriteFaults.FullDisk*' \
  >"$work/rec.log" 2>&1 || fail "recording into a full disk: $(tail -20 "$work/rec.log")"
grep "full disk:" "$work/rec.log" || fail "the full-disk recording did not run: $(tail -5 "$work/rec.log")"
rm -rf "$full/rec"

# Conversions: the record file sits on the full disk, the outputs must go there too.
"$cli" generate --samples 400 --seed 3 --out "$work" >"$work/generated"
src=$(cat "$work/generated")
rm -f "$full/filler"
cp "$src" "$full/"
dtr="$full/$(basename "$src")"
fill_to 24
set +e
"$cli" csv "$dtr" >"$work/csv.out" 2>"$work/csv.err"; rc=$?
set -e
[ "$rc" -ne 0 ] || fail "csv into a full disk reported success"
echo "csv: exit $rc, $(cat "$work/csv.out" "$work/csv.err" | tr '\n' ' ')"
ls "$full"/*.csv >/dev/null 2>&1 && fail "csv left partial output: $(ls "$full")"
fill_to 24
set +e
"$cli" kmz "$dtr" -o "$full/out.kmz" >"$work/kmz.out" 2>"$work/kmz.err"; rc=$?
set -e
[ "$rc" -ne 0 ] || fail "kmz into a full disk reported success"
echo "kmz: exit $rc, $(cat "$work/kmz.out" "$work/kmz.err" | tr '\n' ' ')"
ls "$full"/*.kmz "$full"/*.tmp >/dev/null 2>&1 && fail "kmz left partial output: $(ls "$full")"
echo "full disk: recording, csv and kmz checked"
