#!/usr/bin/env bash
# The drive-test wizard in the network lab: search, check, validation, the
# analyzer's own computer, a whole drive test through the wizard's callbacks
# (test_drivetest's WizardLab cases), and fieldtrace-cli discover's JSON.
# Exits 77 (skipped) where this machine cannot build a lab.
set -euo pipefail
source "$(dirname "$0")/lib.bash"
tests="$build/tests/test_drivetest"
cli="$build/tools/cli/fieldtrace-cli"
trap 'rm -rf "$work"' EXIT

# Two networks with analyzers of two families, the usual faults, a host of no
# family, a silent host and an analyzer outside both networks.
two_networks=(--net 10.1.1 --net 10.2.2,pc=254
  --analyzer Alvra@10.1.1.20,serial=101234
  --analyzer Alvra@10.1.1.21,serial=100021,firmware=3.39
  --analyzer Alvra@10.2.2.30,serial=100030,missing-option=HW02
  --analyzer Belko@10.2.2.31,serial=200031
  --analyzer Alvra@10.2.2.32,serial=100032,drop-after=1
  --analyzer Alvra@10.1.1.40,mac=02:00:00:00:00:01,serial=300040
  --analyzer Alvra@10.1.1.50,silent
  --analyzer Alvra@10.9.9.9,serial=100099,settle-ms=100)
run_lab wizard "${two_networks[@]}" -- \
  sh -c "FIELDTRACE_DATA_DIR='$work' '$tests' --gtest_filter='WizardLab.*' && '$cli' discover --standard DVB-T2 >'$work/discover.json'"
grep -q "PASSED.* 3 tests" "$work/wizard.log" || fail "WizardLab cases did not all run: $(tail -10 "$work/wizard.log")"

python3 - "$work/discover.json" <<'PY' || fail "discover JSON: $(cat "$work/discover.json")"
import json, sys
d = json.load(open(sys.argv[1]))
assert d["rangeText"] == "10.1.1.[0..254]   or   10.2.2.[0..254]", d["rangeText"]
got = [(a["address"], a["status"], a["role"]) for a in d["analyzers"]]
want = [
    ("10.9.9.9", "OK", "Analyzer+GPS"),
    ("10.1.1.20", "OK", "Analyzer"),
    ("10.1.1.21", "Firmware version too low (3.39<3.40)", "Nothing"),
    ("10.2.2.30", "'RF Preselector' missing", "Nothing"),
    ("10.2.2.32", "Network communication error", "Nothing"),
    ("10.2.2.31", "'DVB-T2' not supported", "Nothing"),
]
assert got == want, got
first = d["analyzers"][0]
assert first["type"] == "Korvane Alvra, 100099" and first["family"] == "Alvra", first
assert first["serialNumber"] == "100099" and first["gpsDetected"] is True, first
assert first["inputs"] == ["50 Ohm", "75 Ohm"], first["inputs"]
assert "HW02" in first["options"] and first["firmwareVersion"], first
PY

# The PC carries an analyzer's adapter: its analyzer is 127.0.0.1, first.
own_net=(--net 10.1.1,mac=00:c0:3a:00:00:01 --analyzer Alvra@10.1.1.20,serial=101234)
# ... and a headless drive test starts the way the wizard does: every usable
# analyzer, the first with a GPS receiver as provider, frequencies by table position.
mkdir -p "$work/records"
run_lab own "${own_net[@]}" --local Alvra,serial=100777,settle-ms=100 -- sh -c "
  '$tests' --gtest_filter='WizardLabOwn.*' &&
  '$cli' record --discover --standard 'DVB-T / DVB-H' --freq 1=474:Own --freq 2=482:Remote --samples 3 \
    --out '$work/records' 2>'$work/record.err'"
files=$(ls "$work/records"/*.dtr 2>/dev/null | wc -l)
[ "$files" -eq 2 ] || fail "record --discover wrote $files record files: $(tail -5 "$work/record.err")"
for f in "$work/records"/*.dtr; do
  n=$("$cli" info "$f" | python3 -c 'import json,sys; print(json.load(sys.stdin)["sampleCount"])')
  [ "$n" -ge 3 ] || fail "$f holds $n samples"
done
printf '100777\n' >"$work/instrument-serial"
run_lab own_not_running "${own_net[@]}" -- \
  env FIELDTRACE_INSTRUMENT_SERIAL="$work/instrument-serial" "$tests" --gtest_filter='WizardLabOwn.*'
echo "lab wizard: search, check, drive test, own analyzer and discover passed"
