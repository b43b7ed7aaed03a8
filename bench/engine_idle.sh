#!/usr/bin/env bash
# What a drive test with three analyzers costs while it waits: three simulated
# analyzers (127.0.0.2-4, inside a private network namespace), recorded by
# fieldtrace-cli record with --idle-seconds IDLE and then RECORD seconds of
# recording. Prints, for the idle and the recording phase, the CPU time of the
# whole fieldtrace-cli process (utime + stime from /proc/PID/stat at the phase
# boundaries: the program announces "Idle", "Monitoring" and "Recording" on
# stderr; the recording is stopped with Ctrl-C after RECORD seconds) in percent
# of one core, and
# its context switches per second; then the median and the largest spacing of
# the sample starts read back from the record files.
# Usage: bench/engine_idle.sh [IDLE [RECORD]]   (seconds; defaults 30 and 60)
# Needs root for the namespace (unshare -n). Ends its own processes by pid;
# every process ends by itself at the latest IDLE + RECORD + 300 s after start.
set -euo pipefail
cd "$(dirname "$0")/.."
idle=${1:-30}
record=${2:-60}
if [ -z "${ENGINE_BENCH_NAMESPACE:-}" ]; then
  scripts/build.sh >/dev/null
  exec unshare -n env ENGINE_BENCH_NAMESPACE=1 "$0" "$idle" "$record"
fi
ip link set lo up
source bench/lib.bash
starts=$build/bench/fieldtrace-sample-starts
limit=$((idle + record + 300))

for n in 2 3 4; do
  "$sim" --family Alvra --address 127.0.0.$n --seed $n --exit-after-seconds $limit >/dev/null 2>"$work/sim$n.log" &
  pids+=($!)
done
sleep 0.5
mkdir "$work/out"
"$cli" record --analyzer 127.0.0.2 --analyzer 127.0.0.3 --analyzer 127.0.0.4 --gps 127.0.0.2 \
  --standard "DVB-T / DVB-H" --freq 127.0.0.2=474:A --freq 127.0.0.3=482:B --freq 127.0.0.4=490:C \
  --idle-seconds "$idle" --duration $limit --out "$work/out" >"$work/stdout" 2>"$work/stderr" &
rec=$!
pids+=($rec)
# The recording ends by itself after IDLE + RECORD seconds; this ends it should it hang.
# The watchdog waits interruptibly, so that the clean-up ends it (and its sleep) at once.
(sleep $limit & s=$!; trap 'kill $s 2>/dev/null; exit 0' TERM; wait $s; kill -INT $rec 2>/dev/null || true) &
pids+=($!)
ticks=$(getconf CLK_TCK)

# "wall cpu-ticks context-switches" of the recording process, now.
probe() {
  local stat switches=0 f
  stat=$(cut -d')' -f2- "/proc/$rec/stat")
  for f in /proc/$rec/task/*/status; do
    switches=$((switches + $(awk '/^(non)?voluntary_ctxt_switches/ {s += $2} END {print s + 0}' "$f" 2>/dev/null || echo 0)))
  done
  echo "$(date +%s.%N) $(echo "$stat" | awk '{print $12 + $13}') $switches"
}
# Waits for a phase line on stderr (at most the time limit), then probes.
at_line() {
  for _ in $(seq 1 $((limit * 20))); do
    if grep -q "$1" "$work/stderr"; then probe; return 0; fi
    kill -0 "$rec" 2>/dev/null || break
    sleep 0.05
  done
  echo "engine_idle: no '$1' from fieldtrace-cli record:" >&2
  tail -5 "$work/stderr" >&2
  exit 1
}
idle_start=$(at_line "^Idle for")
idle_end=$(at_line "^Monitoring")
record_start=$(at_line "^Recording")
# The end of the recording phase is measured here, before Ctrl-C stops it as Stop does.
sleep "$record"
record_end=$(probe)
kill -INT "$rec"
wait "$rec" || { echo "engine_idle: fieldtrace-cli record failed:" >&2; tail -5 "$work/stderr" >&2; exit 1; }

report() {  # report NAME "START" "END"
  echo "$2 $3" | awk -v name="$1" -v hz="$ticks" '{
    secs = $4 - $1
    printf "%-10s %8.1f s   cpu %6.2f %% of one core   %8.1f context switches/s\n",
           name, secs, 100 * ($5 - $2) / hz / secs, ($6 - $3) / secs }'
}
echo "fieldtrace-cli record, three simulated analyzers (DVB-T / DVB-H, one frequency each):"
report idle "$idle_start" "$idle_end"
report recording "$record_start" "$record_end"
"$starts" "$work"/out/*.dtr
