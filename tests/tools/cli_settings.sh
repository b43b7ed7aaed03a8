#!/usr/bin/env bash
# fieldtrace-cli settings: the data directory and the basic settings as the
# desktop's basic page starts with them; a change is saved to basic.ini (the
# data directory made on the way) and read back by the next run; an output
# directory that has gone falls back to the default; bad input gets one line.
set -euo pipefail
source "$(dirname "$0")/lib.bash"
export FIELDTRACE_DATA_DIR=$work/data/fieldtrace
json() { python3 -c "import json,sys; d=json.load(open('$1')); print(d['$2'])"; }

"$cli" settings >"$work/first.json"
[ "$(json "$work/first.json" dataDirectory)" = "$FIELDTRACE_DATA_DIR" ] || fail "data directory: $(cat "$work/first.json")"
[ "$(json "$work/first.json" basicFileRead)" = False ] || fail "read a basic.ini that does not exist"
[ ! -e "$work/data" ] || fail "showing the settings made the data directory"

mkdir "$work/out"
"$cli" settings --standard DVB-T2 --level-unit dBuV/m --distance-unit mi --output-dir "$work/out/" >"$work/saved.json"
[ "$(json "$work/saved.json" saved)" = True ] || fail "not saved: $(cat "$work/saved.json")"
[ -f "$FIELDTRACE_DATA_DIR/basic.ini" ] || fail "no basic.ini in the data directory"

"$cli" settings >"$work/next.json"
python3 - "$work/next.json" "$work/out" <<'PY' || fail "not read back: $(cat "$work/next.json")"
import json, sys
d = json.load(open(sys.argv[1]))
assert d["basicFileRead"] and not d["saved"], d
assert (d["standard"], d["levelUnit"], d["distanceUnit"]) == ("DVB-T2", "dB\u00b5V/m", "miles [mi]"), d
assert d["outputDirectory"] == sys.argv[2], d["outputDirectory"]
PY
rmdir "$work/out"
"$cli" settings >"$work/gone.json"
[ "$(json "$work/gone.json" outputDirectory)" = "$FIELDTRACE_DATA_DIR" ] ||
  fail "an output directory that has gone: $(json "$work/gone.json" outputDirectory)"
[ "$(json "$work/gone.json" standard)" = DVB-T2 ] || fail "the other settings were lost"

# Bad input: one line, status 2; a data directory that cannot be made: status 1.
for bad in "--standard Teletext" "--level-unit dBW" "--distance-unit yards" "--output-dir $work/none" "extra"; do
  set +e
  # shellcheck disable=SC2086
  "$cli" settings $bad >/dev/null 2>"$work/err"
  rc=$?
  set -e
  [ "$rc" -eq 2 ] && [ "$(wc -l <"$work/err")" -eq 1 ] || fail "settings $bad: exit $rc, $(cat "$work/err")"
done
touch "$work/file"
set +e
FIELDTRACE_DATA_DIR=$work/file/fieldtrace "$cli" settings --standard DVB-T2 >/dev/null 2>"$work/err"
rc=$?
set -e
[ "$rc" -eq 1 ] && [ "$(wc -l <"$work/err")" -eq 1 ] && grep -q "Not a directory" "$work/err" ||
  fail "an impossible data directory: exit $rc, $(cat "$work/err")"
echo "settings: saved to $FIELDTRACE_DATA_DIR/basic.ini and read back; a vanished output directory falls back"
