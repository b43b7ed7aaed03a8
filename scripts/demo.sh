#!/usr/bin/env bash
# The main job, headless for now: installs what it needs, builds, writes a
# drive test of about ten minutes as a record file through the record writer,
# prints its summary and where the files are.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh >/dev/null
cli=${BUILD_DIR:-build}/tools/cli/fieldtrace-cli
out=${1:-$PWD/demo-output}
mkdir -p "$out"
file=$("$cli" generate --standard "DVB-T / DVB-H" --samples 600 --seed 1 --no-fix 200:15 --bad-status 0.02 \
        --level-unit dBuV --frequency 474 --description "Ch21 demo" --out "$out")
"$cli" info "$file" | python3 -c '
import json, sys
d = json.load(sys.stdin)
print("standard:   ", next(e["value"] for e in d["info"] if e["key"] == "Standard"))
print("samples:    ", d["sampleCount"], "(with GPS fix:", str(d["fixCount"]) + ")")
print("from - to:  ", d["firstSample"]["cycleStart"]["text"], "-", d["lastSample"]["cycleEnd"]["text"])
print("measurements:", ", ".join(v["longName"] for v in d["values"]))
print("status:     ", ", ".join("%s: %d" % kv for kv in d["statusCounts"].items()))
'
echo "record file: $file"
echo "output directory: $out"
