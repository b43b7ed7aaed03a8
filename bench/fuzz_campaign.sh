#!/usr/bin/env bash
# A long fuzzing campaign: builds the fuzz configuration (clang, libFuzzer,
# ASan+UBSan) into build-fuzz/, then runs every target for SECONDS (default
# 600) after replaying its committed corpus. Prints per target the
# executions, exec/s, coverage (edges) and findings, then the total
# executions and the wall time. Findings stay under build-fuzz/fuzz-findings/.
# Usage: bench/fuzz_campaign.sh [SECONDS_PER_TARGET]
#        FUZZ_RUNS=10000000 bench/fuzz_campaign.sh   (a count of executions per target instead)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
build=${FUZZ_BUILD_DIR:-build-fuzz}
start=$(date +%s)
cmake -S . -B "$build" -G Ninja -DFIELDTRACE_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
mapfile -t targets < <(cmake --build "$build" --target help | sed -n 's/^\(fuzz_[a-z_]*\): .*/\1/p')
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}" >/dev/null
built=$(date +%s)

status=0
table=$(tests/fuzz/run.sh "$build" "$seconds") || status=$?
echo "$table"
echo "$table" | awk 'NR > 1 && $2 ~ /^[0-9]+$/ {n += $2; f += $5} END {printf "total executions %d, findings %d\n", n, f}'
echo "build $((built - start)) s, campaign $(($(date +%s) - built)) s"
exit $status
