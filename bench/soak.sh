#!/usr/bin/env bash
# The long run, accelerated: one fieldtrace-cli record process records HOURS
# of drive test (default 8) with three simulated analyzers, its clock running
# SCALE times as fast as the wall clock (--time-scale, default 24), so that
# eight hours of samples take twenty minutes. The first analyzer supplies the
# positions; the second drops its connection
# every 20000 exchanges (the engine reconnects); the third answers 5 % of the
# results as undefined and changes its attenuation now and then. One
# frequency each: a second frequency on one analyzer would make every
# analyzer wait for its settling, and the run would record fewer samples.
# Every interval the process's resident size, open file descriptors and
# threads are read from /proc; a table shows them over record time, then the
# growth from the end of the first record hour (when the buffers have filled)
# to the end. Afterwards every record file must open, hold every sample
# reported as written (--report), and convert to CSV.
# Exit status 1 when file handles or threads grow, the resident size grows by
# more than 10 % (and 4 MB), or a file check fails.
# Usage: bench/soak.sh [HOURS [SCALE]]   (on two cores the engine keeps one
# sample a second up to a SCALE of about 24; builds first; runs inside a
# private network namespace when it can make one; every process ends by itself)
set -euo pipefail
cd "$(dirname "$0")/.."
hours=${1:-8}
scale=${2:-24}
if [ -z "${SOAK_NAMESPACE:-}" ]; then
  cmake --build "${BUILD_DIR:-build}" -j2 --target fieldtrace-cli fieldtrace-analyzer-sim >/dev/null
  if unshare -n true 2>/dev/null; then
    exec unshare -n env SOAK_NAMESPACE=1 "$0" "$hours" "$scale"
  fi
  export SOAK_NAMESPACE=0
fi
[ "$SOAK_NAMESPACE" = 1 ] && ip link set lo up
source bench/lib.bash
record_seconds=$(awk -v h="$hours" 'BEGIN {printf "%d", h * 3600}')
real_seconds=$(awk -v r="$record_seconds" -v s="$scale" 'BEGIN {printf "%d", r / s + 1}')
limit=$((real_seconds + 300))

net=127.0.31
"$sim" --family Alvra --address $net.1 --seed 1 --settle-ms 20 --exit-after-seconds $limit >/dev/null 2>&1 &
pids+=($!)
"$sim" --family Alvra --address $net.2 --seed 2 --settle-ms 20 --drop-after 20000 --exit-after-seconds $limit >/dev/null 2>&1 &
pids+=($!)
"$sim" --family Alvra --address $net.3 --seed 3 --settle-ms 20 --undefined-share 0.05 --att-change-share 0.01 \
  --exit-after-seconds $limit >/dev/null 2>&1 &
pids+=($!)
sleep 0.3
mkdir "$work/out"
"$cli" record --analyzer $net.1 --analyzer $net.2 --analyzer $net.3 --gps $net.1 --standard "DVB-T / DVB-H" \
  --freq $net.1=474:A1 --freq $net.2=490:B1 --freq $net.3=506:C1 \
  --duration "$record_seconds" --time-scale "$scale" --out "$work/out" --report "$work/report" \
  >/dev/null 2>"$work/record.log" &
rec=$!
pids+=($rec)

echo "soak: $hours h of recording at $scale times the speed ($real_seconds s), pid $rec"
printf '%12s %8s %9s %6s %8s\n' "record time" "real s" "RSS MB" fds threads
interval=5
rows=16
every=$(( (real_seconds / rows) / interval )); [ "$every" -ge 1 ] || every=1
start=$SECONDS
n=0
: >"$work/readings"
while kill -0 "$rec" 2>/dev/null; do
  if status=$(cat "/proc/$rec/status" 2>/dev/null) && fds=$(ls "/proc/$rec/fd" 2>/dev/null | wc -l); then
    rss=$(echo "$status" | awk '/^VmRSS:/ {printf "%.1f", $2 / 1024}')
    threads=$(echo "$status" | awk '/^Threads:/ {print $2}')
    elapsed=$((SECONDS - start))
    if [ -n "$rss" ] && [ "$fds" -gt 0 ]; then
      echo "$((elapsed * scale)) $elapsed $rss $fds $threads" >>"$work/readings"
      if [ $((n % every)) -eq 0 ]; then
        printf '%12s %8d %9s %6d %8d\n' "$(awk -v s=$((elapsed * scale)) 'BEGIN {printf "%d:%02d", s / 3600, (s % 3600) / 60}')" \
          "$elapsed" "$rss" "$fds" "$threads"
      fi
    fi
  fi
  n=$((n + 1))
  sleep "$interval"
done
wait "$rec" && rc=0 || rc=$?
echo "recorder exit status $rc after $((SECONDS - start)) s; $(grep -c . "$work/readings") readings"

python3 - "$cli" "$work" "$record_seconds" <<'EOF'
import glob, json, os, subprocess, sys
cli, work, record_seconds = sys.argv[1], sys.argv[2], int(sys.argv[3])
readings = [tuple(float(x) for x in line.split()) for line in open(work + "/readings")]
# From the end of the first record hour (a shorter run: its last two thirds).
warm = [r for r in readings if r[0] >= 3600] or readings[len(readings) // 3:]
first, last = warm[0], readings[-1]
rss_peak = max(r[2] for r in readings)
fds = sorted({int(r[3]) for r in warm})
threads = sorted({int(r[4]) for r in warm})
print("after the first hour: RSS %.1f MB -> %.1f MB at the end (%+.1f MB, %+.1f %%), peak %.1f MB" %
      (first[2], last[2], last[2] - first[2], 100.0 * (last[2] - first[2]) / first[2], rss_peak))
print("file descriptors after the first hour: %s; threads: %s" % (fds, threads))
bad = []
if last[2] - first[2] > max(4.0, 0.10 * first[2]):
    bad.append("resident size grew")
if int(last[3]) > int(first[3]) or int(last[4]) > int(first[4]):
    bad.append("file descriptors or threads grew")

acked = {}
for line in open(work + "/report", encoding="utf-8", errors="replace"):
    path, _, count = line.rstrip("\n").rpartition(" ")
    if count.isdigit():
        acked[path] = max(acked.get(path, 0), int(count))
for path in sorted(glob.glob(work + "/out/*.dtr")):
    r = subprocess.run([cli, "info", path], capture_output=True, text=True)
    if r.returncode != 0:
        bad.append("unreadable: " + path)
        continue
    info = json.loads(r.stdout)
    statuses = info["statusCounts"]
    good = statuses.get("No error", 0)
    print("%s: %d samples (%d without error), %d skipped, %.1f MB; reported written %d" % (
        path.rsplit("/", 1)[1], info["sampleCount"], good, info["skippedSamples"],
        os.path.getsize(path) / 1e6, acked.get(path, 0)))
    if info["sampleCount"] < acked.get(path, 0) or info["skippedSamples"]:
        bad.append("samples lost or damaged: " + path)
csv = subprocess.run([cli, "csv"] + sorted(glob.glob(work + "/out/*.dtr")), capture_output=True, text=True)
if csv.returncode != 0:
    bad.append("CSV conversion failed: " + csv.stdout + csv.stderr)
for b in bad:
    print("FAIL: " + b)
sys.exit(1 if bad else 0)
EOF
