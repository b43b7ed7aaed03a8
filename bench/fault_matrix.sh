#!/usr/bin/env bash
# The analyzer fault matrix: for each fault of the simulator, a recording
# with three analyzers where only the first one (which also supplies the GPS
# positions) has the fault; the two others are healthy. Prints one table:
#   samples   samples the faulty analyzer stored; spoiled = stored without
#             values, with the reason of a reinitialisation as status;
#             flagged = "Attenuation adaption was required" (values kept)
#   good %    its good samples (values kept) per second recorded
#   undef     its samples with "No error" that hold an undefined value ("---")
#   no fix    its samples without a GPS fix
#   good gap  its longest time between the starts of two good samples (s)
#   recovered for a dropped connection: the longest time from the moment the
#             simulator takes connections again to the start of the next good
#             sample (s)
#   others    samples of the two healthy analyzers, how many of them spoiled,
#             their samples per second recorded, and their longest gap
#             between sample starts (s): more than about 1 s means the faulty
#             analyzer held them up
#   lost      samples reported as written (--report) that the files lack
#   targets   "ok", or the aims the row missed: healthy analyzers' gap at most
#             2 s and 90 % of the seconds (not for latency rows: an analyzer
#             slower than a second per sample paces everyone), good samples of
#             0.5 % lost replies 80 %, of 2 % 50 %, back within 5 s of a drop
#             (a power cycle loses the analyzer's setup: it is prepared again
#             from the start, which takes longer)
# Every stored sample of every analyzer must carry the start, end and
# position of the others of its sample (the lock-step); "lock-step broken"
# follows the row otherwise.
# A row fails when a written sample is lost, a healthy analyzer stops (a gap
# of more than 15 s, or fewer samples than a quarter of the seconds where no
# latency paces the lock-step), the lock-step breaks or a file does not
# convert; the exit status is then 1.
# Usage: bench/fault_matrix.sh [SECONDS]   (recording time per fault, default 45;
# builds first; runs inside a private network namespace when it can make one)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-45}
if [ -z "${FAULT_MATRIX_NAMESPACE:-}" ]; then
  cmake --build "${BUILD_DIR:-build}" -j2 --target fieldtrace-cli fieldtrace-analyzer-sim fieldtrace-sample-starts >/dev/null
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
  "no reply 2 %|--no-reply-share 0.02"
  "drop at 30 s|--drop-at-seconds 30"
  "drop every 600 exchanges|--drop-after 600"
  "power cycle 30 s, 3 s off|--drop-at-seconds 30 --drop-down-seconds 3 --drop-resets"
  "undefined results 20 %|--undefined-share 0.2"
  "attenuation changes 10 %|--att-change-share 0.1"
  "no fix 50 %|--no-fix-share 0.5"
)

analyse() {
  python3 - "$1" "$2" "$3" <<'EOF'
import csv, datetime, glob, os, re, subprocess, sys
out, report, name = sys.argv[1:4]
starts_tool = os.environ["STARTS"]
seconds = int(os.environ["SECONDS_RECORDED"])
FLAGGED = "Attenuation adaption was required"

def samples(tag):
    paths = glob.glob(os.path.join(out, "* %s.dtr" % tag))
    if len(paths) != 1:
        return None
    text = subprocess.run([starts_tool, "--list", paths[0]], capture_output=True).stdout.decode("latin-1")
    result = []
    for line in text.splitlines():
        start, end, fix, lat, lon, status = line.split("\t", 5)
        result.append({"start": float(start), "end": float(end), "fix": fix == "1", "pos": (lat, lon),
                       "status": status})
    return result

# Samples with "No error" whose conversion holds an undefined value ("---").
def undefined(tag):
    paths = glob.glob(os.path.join(out, "* %s - Measurements.csv" % tag))
    if len(paths) != 1:
        return 0
    with open(paths[0], encoding="utf-8", newline="") as f:
        r = list(csv.reader(f))
    first_value = r[0].index("GPS Speed [km/h]") + 1
    return sum(row[7] == "No error" and "---" in row[first_value:] for row in r[1:])

def good(s):
    return s["status"] in ("No error", FLAGGED)

def longest_gap(times):
    return max([b - a for a, b in zip(times, times[1:])] or [0.0])

# The date-time value of the records: seconds since 1900 in local time.
def date_time(epoch):
    return (datetime.datetime.fromtimestamp(epoch) - datetime.datetime(1900, 1, 1)).total_seconds()

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

a, b, c = samples("A1"), samples("B1"), samples("C1")
if not a or not b or not c:
    print("%-26s  no record files" % name)
    sys.exit(1)
others = b + c
gap = max(longest_gap([s["start"] for s in b]), longest_gap([s["start"] for s in c]))
share_others = 100.0 * min(len(b), len(c)) / seconds
good_a = [s for s in a if good(s)]
share_good = 100.0 * len(good_a) / seconds
# The recording runs from the first to the last sample of the healthy analyzers.
first = min(s["start"] for s in others)
last = max(s["start"] for s in others)
good_gap = longest_gap([first] + [s["start"] for s in good_a] + [last])

# Drops as the simulator logged them ("[   30.001] connection dropped ..."), and
# when it took connections again ("listening again"; at once without a time off).
with open(os.path.join(out, "simA.log"), encoding="latin-1") as f:
    log = f.read()
origin = re.search(r"clock started at ([0-9.]+)", log)
sim0 = date_time(float(origin.group(1))) if origin else 0.0
def logged(what):
    return [sim0 + float(m.group(1)) for m in re.finditer(r"\[\s*([0-9.]+)\] " + what, log)]
drops = [d for d in logged("connection dropped") if first <= d <= last]
listening = logged("listening again")
recovered = "-"
if drops:
    waits = []
    for d in drops:
        ready = min([t for t in listening if t >= d] or [d])
        after = [s["start"] for s in good_a if s["start"] >= ready]
        waits.append(after[0] - ready if after else float("inf"))
    recovered = "%.1f" % max(waits)

# The lock-step: every analyzer that stored a sample stored its start with the same end and position.
by_start, broken = {}, 0
for s in a + others:
    broken += by_start.setdefault(s["start"], (s["end"], s["pos"])) != (s["end"], s["pos"])
starts_others = {o["start"] for o in others}
broken += sum(s["start"] not in starts_others for s in a)

missed = []
if not name.startswith("latency"):
    if gap > 2.0:
        missed.append("gap")
    if share_others < 90.0:
        missed.append("others %")
aims = {"no reply 0.5 %": 80.0, "no reply 2 %": 50.0}
if name in aims and share_good < aims[name]:
    missed.append("good %")
if name.startswith("drop") and recovered != "-" and float(recovered) > 5.0:
    missed.append("recovered")

print("%-26s %7d %6.0f %7d %7d %5d %6d %8.1f %9s %7d %7d %8.0f %7.2f %5d  %s" % (
    name, len(a), share_good, sum(not good(s) for s in a), sum(s["status"] == FLAGGED for s in a), undefined("A1"),
    sum(not s["fix"] for s in a), good_gap, recovered, len(others), sum(not good(s) for s in others), share_others,
    gap, lost, ", ".join(missed) or "ok"))
for s in others:
    if not good(s):
        print("    healthy analyzer spoiled: " + s["status"])
if broken:
    print("    lock-step broken: %d samples" % broken)
# A healthy analyzer that stopped, a written sample that is gone or a broken lock-step fails the row.
# (An analyzer that needs longer than a second per sample paces everyone: latency rows record fewer.)
stopped = gap > 15 or (min(len(b), len(c)) < seconds // 4 and not name.startswith("latency"))
sys.exit(1 if lost or broken or stopped else 0)
EOF
}

printf '%-26s %7s %6s %7s %7s %5s %6s %8s %9s %7s %7s %8s %7s %5s  %s\n' fault samples "good %" spoiled flagged \
  undef "no fix" "good gap" recovered others spoiled "others %" "max gap" lost targets
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
  "$sim" --family Alvra --address $net.1 --verbose --seed 1 --exit-after-seconds $((seconds + 120)) $options >/dev/null 2>"$out/simA.log" &
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
  STARTS=$build/bench/fieldtrace-sample-starts SECONDS_RECORDED=$seconds analyse "$out" "$out/report" "$name" ||
    status=1
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  pids=()
done
exit $status
