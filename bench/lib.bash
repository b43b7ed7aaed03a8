# Shared start of the benchmarks, sourced from the repository root after the
# build: sets build, cli, sim and a work directory; on exit every process whose
# id the benchmark added to pids is ended and the work directory removed.
# Also the two helpers every timing needs.
build=${BUILD_DIR:-build}
cli=$build/tools/cli/fieldtrace-cli
sim=$build/tools/sim/fieldtrace-analyzer-sim
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
now() { date +%s.%N; }

# One run of a fieldtrace-cli conversion: wall seconds and peak kB of a command that prints "peak memory: N kB" with --stats.
measure() {
  local t0 t1
  t0=$(now)
  "$@" --stats >/dev/null 2>"$work/stats"
  t1=$(now)
  printf '%s %s\n' "$(awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}')" "$(awk '/^peak memory:/ {print $3}' "$work/stats")"
}
