#!/usr/bin/env bash
# fieldtrace-cli record against two simulated analyzers on loopback
# addresses: the files read back with info, Ctrl-C stops like Stop, and
# --idle-seconds and SIGUSR1 (Pause / Record) drive the other states.
set -euo pipefail
source "$(dirname "$0")/lib.bash"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

"$sim" --family Alvra --address 127.0.12.11 --seed 1 --settle-ms 100 --exit-after-seconds 300 2>"$work/sim1.log" & pids+=($!)
"$sim" --family Alvra --address 127.0.12.12 --seed 2 --settle-ms 100 --exit-after-seconds 300 2>"$work/sim2.log" & pids+=($!)
sleep 0.5

mkdir "$work/out"
"$cli" record --analyzer 127.0.12.11 --analyzer 127.0.12.12 --gps 127.0.12.11 --standard "DVB-T / DVB-H" \
  --level-unit dBuV --freq "127.0.12.11=474:Ch21:Bandwidth [MHz]=8" --freq 127.0.12.12=482:Ch22 \
  --samples 4 --out "$work/out" >"$work/stdout" 2>"$work/stderr" || fail "record: $(tail -5 "$work/stderr")"
grep -q "All drive test results have been successfully written to" "$work/stdout" || fail "stop message: $(cat "$work/stdout")"
n=$(ls "$work/out"/*.dtr | wc -l)
[ "$n" -eq 2 ] || fail "expected 2 record files, found $n"
for f in "$work/out"/*.dtr; do
  "$cli" info "$f" | python3 -c '
import json, sys
d = json.load(sys.stdin)
assert d["sampleCount"] >= 4, d["sampleCount"]
assert d["values"][0]["longName"] == "Level [dB\u00b5V]", d["values"][0]
i = {(e["group"], e["key"]): e["value"] for e in d["info"]}
assert i[("File", "Standard")] == "DVB-T / DVB-H"
assert i[("TV Analyzer", "Bandwidth [MHz]")] == "8"
assert i[("TV Analyzer", "Type")] == "Korvane Alvra"
' || fail "info of $f"
done

# Ctrl-C stops the recording as Stop does: files closed and readable, exit 0.
mkdir "$work/int"
"$cli" record --analyzer 127.0.12.11 --gps 127.0.12.11 --standard "DVB-T / DVB-H" --freq 127.0.12.11=474:Ch21 \
  --duration 120 --out "$work/int" >"$work/stdout2" 2>"$work/stderr2" &
rec=$!
for _ in $(seq 1 300); do
  f=$(ls "$work/int"/*.dtr 2>/dev/null | head -1 || true)
  [ -n "$f" ] && [ "$(stat -c %s "$f")" -gt 20000 ] && break
  sleep 0.1
done
kill -INT "$rec"
set +e; wait "$rec"; rc=$?; set -e
[ "$rc" -eq 0 ] || fail "Ctrl-C: exit $rc ($(tail -3 "$work/stderr2"))"
grep -q "successfully written" "$work/stdout2" || fail "Ctrl-C stop message"
"$cli" info "$(ls "$work/int"/*.dtr)" | python3 -c 'import json,sys; d=json.load(sys.stdin); assert d["sampleCount"] >= 1 and d["unreadBytes"] == 0, d'

# Idle first, then Record, Pause (SIGUSR1), Record (SIGUSR1), Stop (Ctrl-C).
# Each phase is announced on stderr; waits are bounded.
wait_line() {  # wait_line FILE PATTERN COUNT: until COUNT lines match, at most 60 s
  for _ in $(seq 1 600); do
    [ "$(grep -c "$2" "$1" || true)" -ge "$3" ] && return 0
    kill -0 "$rec" 2>/dev/null || break
    sleep 0.1
  done
  fail "no '$2' (x$3) on stderr: $(tail -3 "$1")"
}
samples_in() { "$cli" info "$1" | python3 -c 'import json,sys; print(json.load(sys.stdin)["sampleCount"])'; }
mkdir "$work/pause"
"$cli" record --analyzer 127.0.12.11 --gps 127.0.12.11 --standard "DVB-T / DVB-H" --freq 127.0.12.11=474:Ch21 \
  --idle-seconds 2 --duration 120 --out "$work/pause" >"$work/stdout3" 2>"$work/stderr3" &
rec=$!
wait_line "$work/stderr3" "^Idle for 2 s" 1
ls "$work/pause"/*.dtr >/dev/null 2>&1 && fail "a record file exists while idle"
wait_line "$work/stderr3" "^Monitoring" 1
wait_line "$work/stderr3" "^Recording" 1
f=""
for _ in $(seq 1 300); do
  f=$(ls "$work/pause"/*.dtr 2>/dev/null | head -1 || true)
  [ -n "$f" ] && [ "$(samples_in "$f")" -ge 2 ] && break
  sleep 0.2
done
[ -n "$f" ] || fail "no record file after Record"
kill -USR1 "$rec"
wait_line "$work/stderr3" "^Paused" 1
sleep 1.5  # a sample in progress is still completed
before=$(samples_in "$f")
sleep 3
after=$(samples_in "$f")
[ "$before" -eq "$after" ] || fail "samples taken while paused: $before -> $after"
kill -USR1 "$rec"
wait_line "$work/stderr3" "^Recording" 2
for _ in $(seq 1 300); do
  [ "$(samples_in "$f")" -gt "$after" ] && break
  sleep 0.2
done
[ "$(samples_in "$f")" -gt "$after" ] || fail "no samples after the second Record"
kill -INT "$rec"
set +e; wait "$rec"; rc=$?; set -e
[ "$rc" -eq 0 ] || fail "Stop after Pause/Record: exit $rc ($(tail -3 "$work/stderr3"))"
[ "$(ls "$work/pause"/*.dtr | wc -l)" -eq 1 ] || fail "Record after Pause made a new file"
grep -qF "$f" "$work/stdout3" || fail "stop report without $f: $(cat "$work/stdout3")"

# Bad command lines: one line, exit 2.
set +e
"$cli" record --analyzer 127.0.12.11 --standard "DVB-T / DVB-H" --out "$work" >/dev/null 2>"$work/err"; rc=$?
set -e
[ "$rc" -eq 2 ] || fail "no --samples/--duration: exit $rc"
set +e
"$cli" record --analyzer 127.0.12.11 --standard "DVB-T / DVB-H" --freq 127.0.12.11=474:Ch21 --samples 1 \
  --idle-seconds -1 --out "$work" >/dev/null 2>"$work/err"; rc=$?
set -e
[ "$rc" -eq 2 ] && [ "$(wc -l <"$work/err")" -eq 1 ] || fail "negative --idle-seconds: exit $rc"
echo "1 passed, 0 failed"
