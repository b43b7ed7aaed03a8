#!/usr/bin/env bash
# Power loss: records with two simulated analyzers (three frequencies) and
# kills the recorder with SIGKILL at random moments; after each kill every
# record file must open and hold every sample the recorder reported as
# written (--report). Then kills a settings saver at random moments: each
# settings file must be the old or the new content, never a broken one.
# The recorder's clock runs POWER_LOSS_TIME_SCALE (10) times as fast: the
# preparation's settling takes a tenth of the time and samples are written
# ten times a second, so that more kills fall among the writes.
# Usage: power_loss.sh BUILD [KILLS] [SEED]  (KILLS 10 by default; at most
# POWER_LOSS_SECONDS (150) of recorder kills, then as many saver kills)
set -euo pipefail
source "$(dirname "$0")/lib.bash"
kills=${2:-10}
seed=${3:-14}
saver="$build/tests/fieldtrace-save-loop"
[ -x "$saver" ] || { echo "fieldtrace-save-loop not built" >&2; exit 77; }
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
RANDOM=$seed

"$sim" --family Alvra --address 127.0.9.21 --seed 1 --settle-ms 50 --exit-after-seconds 3600 >/dev/null 2>"$work/sim1.log" & pids+=($!)
"$sim" --family Alvra --address 127.0.9.22 --seed 2 --settle-ms 50 --exit-after-seconds 3600 >/dev/null 2>"$work/sim2.log" & pids+=($!)
sleep 0.5

# Checks every record file against the report; prints "<samples checked> <lost>".
check_round() {
  python3 - "$cli" "$1" "$2" <<'EOF'
import glob, json, os, subprocess, sys
cli, out, report = sys.argv[1:4]
acked = {}
# Killed before the report was created: nothing was acknowledged.
for line in (open(report, encoding="utf-8", errors="replace") if os.path.exists(report) else []):
    parts = line.rstrip("\n").rsplit(" ", 1)
    if len(parts) == 2 and parts[1].isdigit():
        acked[parts[0]] = max(acked.get(parts[0], 0), int(parts[1]))
checked = lost = 0
for path in sorted(glob.glob(out + "/*.dtr")):
    r = subprocess.run([cli, "info", path], capture_output=True, text=True)
    want = acked.get(path, 0)
    if r.returncode != 0:
        # Killed before the descriptive part was out: nothing of it was acknowledged.
        if want:
            print("unreadable with %d acknowledged samples: %s" % (want, path), file=sys.stderr)
            lost += want
        continue
    have = json.loads(r.stdout)["sampleCount"]
    checked += want
    if have < want:
        print("%s: %d samples, %d acknowledged" % (path, have, want), file=sys.stderr)
        lost += want - have
for path in acked:
    if not glob.glob(path):
        lost += acked[path]
print(checked, lost)
EOF
}

total_checked=0; total_lost=0; done_kills=0
deadline=$((SECONDS + ${POWER_LOSS_SECONDS:-150}))
round=0
while [ "$done_kills" -lt "$kills" ] && [ "$SECONDS" -lt "$deadline" ]; do
  round=$((round + 1))
  out="$work/rec$round"; mkdir "$out"
  "$cli" record --analyzer 127.0.9.21 --analyzer 127.0.9.22 --gps 127.0.9.21 --standard "DVB-T / DVB-H" \
    --freq 127.0.9.21=474:A1 --freq 127.0.9.21=482:A2 --freq 127.0.9.22=490:B1 \
    --duration 6000 --time-scale "${POWER_LOSS_TIME_SCALE:-10}" --timeout-ms 400 --out "$out" --report "$out/report" \
    >/dev/null 2>"$out/stderr" &
  rec=$!
  # One kill per run: mostly while samples are written, one run in eight
  # earlier (during the checks, the preparation or the creation of the files).
  if [ $((RANDOM % 8)) -ne 0 ]; then
    for _ in $(seq 1 200); do [ -s "$out/report" ] && break; sleep 0.05; done
    sleep "$((RANDOM % 3)).$((RANDOM % 10))$((RANDOM % 10))"
  else
    sleep "$((RANDOM % 2)).$((RANDOM % 10))"
  fi
  kill -KILL "$rec" 2>/dev/null || true
  wait "$rec" 2>/dev/null || true
  done_kills=$((done_kills + 1))
  if ! read -r c l < <(check_round "$out" "$out/report" 2>>"$work/lost.log"); then
    cat "$work/lost.log" >&2
    fail "the check of round $round printed nothing"
  fi
  total_checked=$((total_checked + c)); total_lost=$((total_lost + l))
  rm -rf "$out"
done

# Settings files: a saver killed at random moments, the files checked after each kill.
settings_kills=0; broken=0
sdir="$work/settings"; mkdir "$sdir"
while [ "$settings_kills" -lt "$kills" ] && [ "$SECONDS" -lt "$((deadline + 30))" ]; do
  "$saver" --seconds 30 "$sdir" >"$work/saver.out" 2>&1 &
  sp=$!
  for _ in $(seq 1 100); do grep -q ready "$work/saver.out" && break; sleep 0.02; done
  sleep "0.0$((RANDOM % 10))$((RANDOM % 10))"
  kill -KILL "$sp" 2>/dev/null || true
  wait "$sp" 2>/dev/null || true
  settings_kills=$((settings_kills + 1))
  "$saver" --check "$sdir" >>"$work/broken.log" || broken=$((broken + 1))
done

echo "power loss: $done_kills recorder kills, $total_checked acknowledged samples checked, $total_lost lost;" \
  "$settings_kills settings-saver kills, $broken broken settings files"
[ -s "$work/lost.log" ] && cat "$work/lost.log" >&2
[ -s "$work/broken.log" ] && cat "$work/broken.log" >&2
[ "$total_lost" -eq 0 ] || fail "acknowledged samples lost"
[ "$broken" -eq 0 ] || fail "a settings file was broken by a kill"
[ "$total_checked" -gt 0 ] || fail "no acknowledged sample was checked (did the recordings start?)"
[ "$done_kills" -ge "$kills" ] || fail "only $done_kills of $kills kills within the time"
