#!/usr/bin/env bash
# Opens a KMZ archive in a web globe, CesiumJS (KmlDataSource.load in headless
# Chromium), and prints what it loaded against what the archive holds:
# documents loaded, placemarks loaded, failed requests (every request that
# failed or answered 4xx/5xx, every document the globe dropped) and console
# errors. Exits non-zero unless nothing failed and every placemark is there.
# Without an archive it converts two generated record files (two frequencies)
# into one archive first.
# Usage: bench/kmz_cesium.sh [--samples N] [ARCHIVE.kmz]   (default 300 samples per file)
# Installs what it needs when it is missing: Debian's chromium, nodejs and npm
# (root), and the npm packages cesium and playwright-core into the build
# directory (no browser download: Debian's /usr/bin/chromium is used).
# Everything is served on 127.0.0.1 and every other address is refused.
set -euo pipefail
cd "$(dirname "$0")/.."
samples=300
archive=
while [ $# -gt 0 ]; do
  case $1 in
    --samples) samples=$2; shift 2 ;;
    -h | --help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) archive=$(realpath "$1"); shift ;;
  esac
done
build=${BUILD_DIR:-build}
modules=$(realpath -m "$build/kmz-cesium")

need=()
command -v chromium >/dev/null || need+=(chromium)
command -v node >/dev/null || need+=(nodejs)
command -v npm >/dev/null || need+=(npm)
if [ "${#need[@]}" -gt 0 ]; then
  [ "$(id -u)" -eq 0 ] || { echo "kmz_cesium: needs ${need[*]} (apt-get install as root)" >&2; exit 1; }
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi
if [ ! -f "$modules/node_modules/cesium/Build/Cesium/Cesium.js" ] ||
  [ ! -f "$modules/node_modules/playwright-core/index.mjs" ]; then
  mkdir -p "$modules"
  PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm install --prefix "$modules" --no-audit --no-fund --silent \
    cesium@1.140.0 playwright-core@1.65.2 >/dev/null
fi

if [ -z "$archive" ]; then
  cmake -S . -B "$build" -G Ninja >/dev/null
  cmake --build "$build" --target fieldtrace-cli >/dev/null
fi
source bench/lib.bash

if [ -z "$archive" ]; then
  mkdir -p "$work/a" "$work/b"
  first=$("$cli" generate --samples "$samples" --seed 1 --frequency 474 --description Ch21 --out "$work/a")
  second=$("$cli" generate --samples "$samples" --seed 2 --frequency 522 --description Ch27 --out "$work/b")
  archive="$work/drive.kmz"
  "$cli" kmz "$first" "$second" -o "$archive" >/dev/null
fi

# What the archive holds: the KML documents reachable from doc.kml through
# links, and the placemarks in them.
read -r documents placemarks < <(python3 - "$archive" <<'PY'
import posixpath, re, sys, zipfile
archive = zipfile.ZipFile(sys.argv[1])
names = set(archive.namelist())
seen, todo, placemarks = set(), ['doc.kml'], 0
while todo:
    name = todo.pop()
    if name in seen or name not in names:
        continue
    seen.add(name)
    text = archive.read(name).decode('utf-8')
    placemarks += len(re.findall(r'<Placemark[ >]', text))
    folder = posixpath.dirname(name)
    for href in re.findall(r'<href>([^<]*\.kml)</href>', text):
        todo.append(posixpath.normpath(posixpath.join(folder, href)))
print(len(seen), placemarks)
PY
)

t0=$(now)
node bench/kmz_cesium.mjs "$modules/node_modules" "$archive" "$work/profile" "$placemarks" >"$work/result.json"
t1=$(now)
python3 - "$documents" "$placemarks" "$work/result.json" "$(awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}')" <<'PY'
import json, sys
documents, placemarks, got = int(sys.argv[1]), int(sys.argv[2]), json.load(open(sys.argv[3]))
failures, errors = got['failures'], got['consoleErrors']
print('documents loaded: %d of %d' % (got['documents'], documents))
print('placemarks loaded: %d of %d' % (got['placemarks'], placemarks))
# Balloon images counted apart: one whose source names no entry of the archive
# is fetched from the web server beside it, and fails there.
images = [f for f in failures if '.bmp' in f]
print('failed requests: %d (balloon images: %d, everything else: %d)'
      % (len(failures), len(images), len(failures) - len(images)))
print('console errors: %d' % len(errors))
print('load time: %.1f s' % float(sys.argv[4]))
for line in (failures[:5] + errors[:5]):
    print('  ' + line[:200])
ok = not failures and not errors and got['placemarks'] == placemarks and got['documents'] == documents
sys.exit(0 if ok else 1)
PY
