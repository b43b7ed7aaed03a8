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
