#!/usr/bin/env bash
# The analyzer fault matrix: for each fault of the simulator, a recording
# with three analyzers where only the first one (which also supplies the GPS
# positions) has the fault; the two others are healthy. Prints one table:
#   samples   samples the faulty analyzer stored; spoiled = stored without
#             values, with the reason of a reinitialisation as status;
#             flagged = "Attenuation adaption was required" (values kept)
#   undef     its samples with "No error" that hold an undefined value ("---")
#   no fix    its samples without a GPS fix
#   back after  longest time from a spoiled sample to the next good one (s)
#   others    samples of the two healthy analyzers, how many of them spoiled,
#             and their longest gap between samples (s): more than 1 s means
#             the faulty analyzer held them up
#   lost      samples reported as written (--report) that the files lack
# A row fails when a written sample is lost, a healthy analyzer stops (fewer
# samples than a quarter of the seconds, or a gap of more than 15 s), or a
# file does not convert; the exit status is then 1.
# Usage: bench/fault_matrix.sh [SECONDS]   (recording time per fault, default 45;
# builds first; runs inside a private network namespace when it can make one)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-45}
if [ -z "${FAULT_MATRIX_NAMESPACE:-}" ]; then
  cmake --build "${BUILD_DIR:-build}" -j2 --target fieldtrace-cli fieldtrace-analyzer-sim >/dev/null
  if unshare -n true 2>/dev/null; then
    exec unshare -n env FAULT_MATRIX_NAMESPACE=1 "$0" "$seconds"
  fi
  export FAULT_MATRIX_NAMESPACE=0
fi
[ "$FAULT_MATRIX_NAMESPACE" = 1 ] && ip link set lo up
source bench/lib.bash

# name | options of the faulty simulator. The recording starts about 7 s after
# the simulators do, so a drop at 30 s falls into the recording.
faults=(
  "none|"
  "latency 150 ms|--latency-ms 150"
  "latency 600 ms|--latency-ms 600"
  "no reply 0.5 %|--no-reply-share 0.005"
  "drop at 30 s|--drop-at-seconds 30"
  "drop every 600 exchanges|--drop-after 600"
  "undefined results 20 %|--undefined-share 0.2"
  "attenuation changes 10 %|--att-change-share 0.1"
  "no fix 50 %|--no-fix-share 0.5"
)

analyse() {
  python3 - "$1" "$2" "$3" <<'EOF'
import csv, glob, os, sys
out, report, name = sys.argv[1:4]

def rows(tag):
    paths = glob.glob(os.path.join(out, "* %s - Measurements.csv" % tag))
    if len(paths) != 1:
        return None
    with open(paths[0], encoding="utf-8", newline="") as f:
        r = list(csv.reader(f))
    head, body = r[0], r[1:]
    first_value = head.index("GPS Speed [km/h]") + 1
    samples = []
    for row in body:
        h, m, s = int(row[4]), int(row[5]), int(row[6])
        samples.append({"t": h * 3600 + m * 60 + s, "status": row[7], "fix": row[8] == "1",
                        "undef": "---" in row[first_value:]})
    return samples

def longest_gap(samples):
    times = [s["t"] for s in samples]
    return max([b - a for a, b in zip(times, times[1:])] or [0])

FLAGGED = "Attenuation adaption was required"

def spoiled(s):
    return s["status"] not in ("No error", FLAGGED)

def back_after(samples):
    worst, since = 0, None
    for s in samples:
        if spoiled(s):
            since = s["t"] if since is None else since
        elif since is not None:
            worst, since = max(worst, s["t"] - since), None
    if since is not None or not any(not spoiled(s) for s in samples):
        return "never"
    return worst

acked = {}
for line in open(report, encoding="utf-8", errors="replace"):
    path, _, count = line.rstrip("\n").rpartition(" ")
    if count.isdigit():
        acked[path] = max(acked.get(path, 0), int(count))
lost = 0
for path, count in acked.items():
    have = 0
    conf = path[:-4] + " - Measurements.csv"
    if os.path.exists(conf):
        with open(conf, encoding="utf-8") as f:
            have = sum(1 for _ in f) - 1
    lost += max(0, count - have)

a, b, c = rows("A1"), rows("B1"), rows("C1")
if a is None or b is None or c is None:
    print("%-26s  conversion failed" % name)
    sys.exit(1)
others = b + c
undef = sum(s["status"] == "No error" and s["undef"] for s in a)
nofix = sum(not s["fix"] for s in a)
gap = max(longest_gap(b), longest_gap(c))
print("%-26s %7d %7d %7d %5d %6d %10s %7d %7d %8d %5d" % (
    name, len(a), sum(map(spoiled, a)), sum(s["status"] == FLAGGED for s in a), undef, nofix, back_after(a),
    len(others), sum(map(spoiled, others)), gap, lost))
for s in others:
    if spoiled(s):
        print("    healthy analyzer spoiled: " + s["status"])
# A healthy analyzer that stopped, or a written sample that is gone, fails the row.
expected = int(os.environ["SECONDS_RECORDED"])
sys.exit(1 if lost or min(len(b), len(c)) < expected // 4 or gap > 15 else 0)
EOF
}

printf '%-26s %7s %7s %7s %5s %6s %10s %7s %7s %8s %5s\n' fault samples spoiled flagged undef "no fix" "back after" \
  others spoiled "max gap" lost
status=0
base=14
for entry in "${faults[@]}"; do
  name=${entry%%|*}
  options=${entry#*|}
  base=$((base + 1))
  net=127.0.$base
  out=$work/$base
  mkdir -p "$out"
  # shellcheck disable=SC2086  # the options are words
  "$sim" --family Alvra --address $net.1 --seed 1 --exit-after-seconds $((seconds + 120)) $options >/dev/null 2>"$out/simA.log" &
  pids+=($!)
  "$sim" --family Alvra --address $net.2 --seed 2 --exit-after-seconds $((seconds + 120)) >/dev/null 2>"$out/simB.log" &
  pids+=($!)
  "$sim" --family Alvra --address $net.3 --seed 3 --exit-after-seconds $((seconds + 120)) >/dev/null 2>"$out/simC.log" &
  pids+=($!)
  sleep 0.3
  "$cli" record --analyzer $net.1 --analyzer $net.2 --analyzer $net.3 --gps $net.1 --standard "DVB-T / DVB-H" \
    --freq $net.1=474:A1 --freq $net.2=490:B1 --freq $net.3=506:C1 --duration "$seconds" \
    --out "$out" --report "$out/report" >/dev/null 2>"$out/record.log" || true
  "$cli" csv "$out"/*.dtr >/dev/null 2>&1 || true
  SECONDS_RECORDED=$seconds analyse "$out" "$out/report" "$name" || status=1
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  pids=()
done
exit $status
