#!/usr/bin/env bash
# Renders every page of the desktop with realistic content into
# docs/screenshots/*.png, and at an analyzer's screen size into
# docs/screenshots/small/*.png, under Xvfb (a real X server, so that fonts
# and styles are those a user sees). Installs what it needs, builds first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh >/dev/null
out=${1:-docs/screenshots}
mkdir -p "$out"
export XDG_RUNTIME_DIR=$(mktemp -d)
# A throwaway PostGIS for the coverage page's database target (Unix socket only).
source tests/tools/pglib.bash
pgtmp=$(mktemp -d)
trap 'pg_stop; rm -rf "$XDG_RUNTIME_DIR" "$pgtmp"' EXIT
if pg_start "$pgtmp/pg"; then
  export FIELDTRACE_SCREENS_PG=$pg_dsn
else
  echo "screenshots: no PostgreSQL with PostGIS here; the database target is not shot" >&2
fi
# Small-screen variants: an analyzer's own 1024 x 600 screen, of which a
# title bar and a panel leave the window 1024 x 540.
small="$out/small"
mkdir -p "$small"
xvfb-run -a -s "-screen 0 1280x900x24" build/tools/screens/fieldtrace-screenshots "$out"
xvfb-run -a -s "-screen 0 1024x600x24" build/tools/screens/fieldtrace-screenshots --size 1024x540 "$small"
# The drive-test pages with live content: a drive test through the window
# with three simulated analyzers, inside the network lab (needs root).
for run in "1280x900 1100x760 $out" "1024x600 1024x540 $small"; do
  read -r screen size dir <<<"$run"
  scripts/lab.sh --net 10.6.6 \
    --analyzer "Alvra@10.6.6.21,serial=1234.5678k22/101234,seed=1" \
    --analyzer "Alvra@10.6.6.22,serial=1234.5678k22/101235,seed=2,gps=disconnected" \
    --analyzer "Alvra@10.6.6.23,serial=1234.5678k22/101236,seed=3,gps=disconnected" -- \
    xvfb-run -a -s "-screen 0 ${screen}x24" build/tools/pilot/fieldtrace-pilot --record-seconds 25 --size "$size" --shots "$dir"
done
