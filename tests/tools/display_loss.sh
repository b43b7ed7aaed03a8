#!/usr/bin/env bash
# The display goes away under a recording window (a closed remote session, a
# crashed X server): inside the network lab, fieldtrace-pilot records three
# simulated analyzers through the window under Xvfb, the X server is killed,
# and the program must end in order: no abort ("terminate called", status
# 134), a non-zero status, and record files that read back whole. Exits 77
# (skipped) where this machine has no lab or no Xvfb.
set -euo pipefail
source "$(dirname "$0")/lib.bash"
pilot="$build/tools/pilot/fieldtrace-pilot"

if [ "${2:-}" = "--inside" ]; then
  # In the lab's PC namespace. Xvfb picks a free display itself.
  out=$3
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x900x24 3>"$out/display" 2>"$out/xvfb.log" &
  xvfb=$!
  for _ in $(seq 50); do [ -s "$out/display" ] && break; sleep 0.1; done
  [ -s "$out/display" ] || { echo "Xvfb did not start: $(tail -3 "$out/xvfb.log")"; kill "$xvfb"; exit 1; }
  mkdir -p "$out/rec"
  # TMPDIR: the pilot ends by exit() when the display goes, before its own temporary folder is removed.
  DISPLAY=:$(cat "$out/display") XDG_RUNTIME_DIR=$out TMPDIR=$out "$pilot" --record-seconds 600 --output "$out/rec" \
    >"$out/pilot.out" 2>"$out/pilot.err" &
  pid=$!
  # Recording for a few samples: the first file holds at least three (the
  # analyzer with two frequencies takes turns between its files).
  for _ in $(seq 180); do
    first=$(ls "$out/rec"/*.dtr 2>/dev/null | head -1 || true)
    if [ -n "$first" ] && [ "$("$cli" info "$first" 2>/dev/null | python3 -c 'import json,sys; print(json.load(sys.stdin)["sampleCount"])' 2>/dev/null || echo 0)" -ge 3 ]; then
      break
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 1
  done
  kill "$xvfb"
  for _ in $(seq 120); do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
  if kill -0 "$pid" 2>/dev/null; then
    kill -9 "$pid"
    echo "the window did not end within 60 s of losing its display"
  fi
  set +e
  wait "$pid"
  echo "exit status $?" >"$out/status"
  exit 0
fi

command -v Xvfb >/dev/null || { echo "no Xvfb here"; exit 77; }
[ -x "$pilot" ] || fail "no $pilot"
run_lab display --net 10.7.7 \
  --analyzer "Alvra@10.7.7.21,serial=101234,seed=1" \
  --analyzer "Alvra@10.7.7.22,serial=101235,seed=2,gps=disconnected" \
  --analyzer "Alvra@10.7.7.23,serial=101236,seed=3,gps=disconnected" -- \
  bash "$0" "$build" --inside "$work"
[ -s "$work/status" ] || fail "the pilot did not end: $(tail -20 "$work/display.log")"
status=$(sed 's/exit status //' "$work/status")
errors=$(tail -5 "$work/pilot.err")
grep -q "terminate called" "$work/pilot.err" && fail "aborted when the display went away: $errors"
[ "$status" -ne 134 ] || fail "aborted (status 134): $errors"
[ "$status" -ne 0 ] || fail "a lost display ended the program with status 0"
[ "$status" -lt 128 ] || fail "ended by signal $((status - 128)): $errors"

files=("$work/rec"/*.dtr)
[ -e "${files[0]}" ] || fail "no record files: $(tail -20 "$work/display.log") $errors"
for f in "${files[@]}"; do
  "$cli" info "$f" >"$work/info.json" 2>"$work/info.err" || fail "$(basename "$f"): $(cat "$work/info.err")"
  python3 - "$work/info.json" <<'PY' || fail "$(basename "$f") is not whole: $(head -c 300 "$work/info.json")"
import json, sys
d = json.load(open(sys.argv[1]))
assert d["sampleCount"] >= 1, d["sampleCount"]
assert d["skippedSamples"] == 0 and d["unreadBytes"] == 0, (d["skippedSamples"], d["unreadBytes"])
PY
done
echo "display lost while recording: exit status $status, no abort; ${#files[@]} record files whole ($(grep -o 'X11 connection broke[^.]*' "$work/pilot.err" | head -1))"
