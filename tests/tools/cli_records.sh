#!/usr/bin/env bash
# fieldtrace-cli generate and info end to end: determinism by seed, the JSON
# summary, refused files and command-line errors.
set -euo pipefail
source "$(dirname "$0")/lib.bash"

mkdir -p "$work/a" "$work/b"
f1=$("$cli" generate --samples 300 --seed 7 --no-fix 10:20 --bad-status 0.1 --level-unit dBuV --out "$work/a")
f2=$("$cli" generate --samples 300 --seed 7 --no-fix 10:20 --bad-status 0.1 --level-unit dBuV --out "$work/b")
cmp -s "$f1" "$f2" || fail "same seed must give the same file"
"$cli" generate --samples 300 --seed 8 --out "$work/b" --description other >/dev/null
cmp -s "$f1" "$work/b/2026-06-01  10-00-00  other.dtr" && fail "another seed must give another file"

"$cli" info "$f1" >"$work/info.json"
python3 - "$work/info.json" <<'PY'
import json, sys
d = json.load(open(sys.argv[1]))
assert d["sampleCount"] == 300, d["sampleCount"]
assert d["fixCount"] == 280, d["fixCount"]
assert d["unreadBytes"] == 0
assert d["values"][0]["longName"] == "Level [dB\u00b5V]", d["values"][0]
assert d["header"]["valueCount"] == len(d["values"]) > 1
assert sum(d["statusCounts"].values()) == 300
assert d["statusCounts"]["No error"] < 300
assert d["firstSample"]["cycleStart"]["text"] == "01.06.2026 10:00:00"
keys = [(e["group"], e["key"]) for e in d["info"]]
assert keys[0] == ("File", "Description") and keys[-1] == ("Software", "Version"), keys
PY

# A power loss cuts the file inside a sample: info reads up to the last complete one.
size=$(stat -c %s "$f1")
head -c $((size - 500)) "$f1" >"$work/cut.dtr"
"$cli" info "$work/cut.dtr" | python3 -c 'import json,sys; d=json.load(sys.stdin); assert d["sampleCount"] == 299 and d["unreadBytes"] > 0, d["sampleCount"]'

# Refused files: the reader's message on stderr, exit status 1.
head -c 100 "$f1" >"$work/hundred.dtr"
if "$cli" info "$work/hundred.dtr" >/dev/null 2>"$work/err"; then fail "a 100-byte file must be refused"; fi
grep -q "Could not open file" "$work/err" || fail "message: $(cat "$work/err")"
head -c 5000 /dev/urandom >"$work/random.dtr"
set +e; "$cli" info "$work/random.dtr" >/dev/null 2>"$work/err"; rc=$?; set -e
[ "$rc" -eq 1 ] || fail "random bytes: exit $rc"

# Command-line errors: one line, exit 2.
set +e
"$cli" generate --samples x >/dev/null 2>"$work/err"; rc=$?
set -e
[ "$rc" -eq 2 ] || fail "bad number: exit $rc"
[ "$(wc -l <"$work/err")" -eq 1 ] || fail "one-line error expected"
set +e; "$cli" generate --standard "No such" --out "$work" >/dev/null 2>&1; rc=$?; set -e
[ "$rc" -eq 1 ] || fail "unknown standard: exit $rc"
set +e; "$cli" generate --level-unit dBuV/m --out "$work" >/dev/null 2>&1; rc=$?; set -e
[ "$rc" -eq 2 ] || fail "field strength without antenna: exit $rc"
"$cli" generate --level-unit dBuV/m --antenna HL223 --kfactor 12.5 --samples 3 --out "$work" --description ant >/dev/null
"$cli" info "$work/2026-06-01  10-00-00  ant.dtr" | python3 -c '
import json,sys; d=json.load(sys.stdin); i={(e["group"],e["key"]):e["value"] for e in d["info"]}
assert i[("Antenna","Type")] == "HL223" and i[("Antenna","K-Factor [dB/m]")] == "12.50", i'
"$cli" generate --help | grep -q -- "--samples" || fail "help"
echo "1 passed, 0 failed"
