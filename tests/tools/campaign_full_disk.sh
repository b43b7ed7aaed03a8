#!/usr/bin/env bash
# The campaign database's disk fills up during an import: the throwaway
# cluster (pglib.bash) lives on a small tmpfs in a private mount (and
# network) namespace, nearly filled before a large file is imported. The
# import fails with one line and stores nothing of that file; the file
# before it stays, and once there is room again the same file imports whole.
set -euo pipefail
if [ -z "${CAMPAIGN_FULL_DISK_INSIDE:-}" ]; then
  { [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null; } || { echo "needs root and unshare" >&2; exit 77; }
  exec unshare -m -n env CAMPAIGN_FULL_DISK_INSIDE=1 bash "$0" "$@"
fi
source "$(dirname "$0")/lib.bash" "$1"
source "$(dirname "$0")/pglib.bash"
ip link set lo up
mount --make-rprivate / 2>/dev/null || true
disk="$work/disk"
mkdir "$disk"
mount -t tmpfs -o size=160m tmpfs "$disk"
trap 'pg_stop; umount "$disk" 2>/dev/null || true; rm -rf "$work"' EXIT
pg_start_or_skip "$disk/pg"
campaign() { "$cli" campaign --db "$pg_dsn" "$@"; }

mkdir "$work/d"
small=$("$cli" generate --samples 300 --seed 1 --description small --out "$work/d")
big=$("$cli" generate --samples 40000 --seed 2 --description big --out "$work/d")
campaign --import "$small" >/dev/null || fail "import before the disk fills"
# Leave about 3 MB: the big file's rows and index need several times that.
avail=$(df -k --output=avail "$disk" | tail -1 | tr -d ' ')
dd if=/dev/zero of="$disk/filler" bs=1k count=$((avail - 3000)) status=none
set +e
campaign --import "$big" >"$work/out" 2>"$work/err"
rc=$?
set -e
rm -f "$disk/filler"
echo "import into a full disk: exit $rc, $(cat "$work/err")"
[ "$rc" -eq 1 ] || fail "import into a full disk: exit $rc"
[ "$(wc -l <"$work/err")" -eq 1 ] || fail "more than one line: $(cat "$work/err")"
grep -q "big.dtr failed and nothing of it was stored" "$work/err" || fail "message: $(cat "$work/err")"
# A server that could not write its log stops; it recovers once there is room.
if ! pg_sql "SELECT 1" >/dev/null 2>&1; then
  for _ in $(seq 1 100); do pg_restart 2>/dev/null && break; sleep 0.2; done
fi
[ "$(pg_sql "SELECT string_agg(description, ',') FROM drives")" = small ] || fail "drives after the full disk"
[ "$(pg_sql "SELECT count(*) FROM samples")" = 300 ] || fail "samples of the failed file stayed"
campaign --import "$big" >/dev/null || fail "import once there is room again"
[ "$(pg_sql "SELECT count(*) FROM samples")" = 40300 ] || fail "the second import is not whole"
echo "1 passed, 0 failed"
