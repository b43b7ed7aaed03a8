#!/usr/bin/env bash
# usage: tests/fuzz/run.sh FUZZ_BUILD_DIR [SECONDS]
# For every fuzz target of FUZZ_BUILD_DIR: replays its committed corpus, then
# fuzzes for SECONDS (default 5) with new inputs kept in a temporary directory;
# with FUZZ_RUNS=N in the environment, for N executions instead. FUZZ_TARGETS
# (names, blank-separated) limits the run to those targets.
# One line per target: executions, exec/s, coverage, findings. Inputs that
# crash are kept under FUZZ_BUILD_DIR/fuzz-findings/ and their paths printed;
# the exit status is 1 when there is any.
set -uo pipefail
[ $# -ge 1 ] || { echo "usage: $0 FUZZ_BUILD_DIR [SECONDS]" >&2; exit 2; }
build=$(cd "$1" && pwd) || exit 2
seconds=${2:-5}
here=$(cd "$(dirname "$0")" && pwd)
findings_dir=$build/fuzz-findings
work=$(mktemp -d /tmp/fieldtrace-fuzzrun-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$findings_dir"

targets=("$build"/tests/fuzz/fuzz_*)
if [ -n "${FUZZ_TARGETS:-}" ]; then
    targets=()
    for name in $FUZZ_TARGETS; do targets+=("$build/tests/fuzz/fuzz_$name"); done
fi
[ -x "${targets[0]}" ] || { echo "run.sh: no fuzz targets in $build/tests/fuzz" >&2; exit 2; }

# Time-outs and memory limits count as findings, like crashes.
common=(-timeout=10 -rss_limit_mb=2048 -print_final_stats=1)
status=0
printf '%-16s %12s %9s %7s %s\n' target executions exec/s cov findings
for bin in "${targets[@]}"; do
    name=${bin##*/fuzz_}
    corpus=$here/corpus/$name
    mkdir -p "$work/$name" "$findings_dir/$name"
    found=()
    # 1. the committed corpus, every file once
    if ! "$bin" "${common[@]}" -runs=0 -artifact_prefix="$findings_dir/$name/" "$corpus" >"$work/$name.replay" 2>&1; then
        found+=("$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$work/$name.replay" | tail -1)")
    fi
    # 2. a bounded run; new inputs go to the first (temporary) directory
    execs=0 rate=0 cov=0
    if [ -n "${FUZZ_RUNS:-}" ] || [ "$seconds" -gt 0 ]; then
        bound=(-max_total_time="$seconds")
        [ -n "${FUZZ_RUNS:-}" ] && bound=(-runs="$FUZZ_RUNS")
        if ! "$bin" "${common[@]}" "${bound[@]}" -artifact_prefix="$findings_dir/$name/" \
            "$work/$name" "$corpus" >"$work/$name.run" 2>&1; then
            found+=("$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$work/$name.run" | tail -1)")
        fi
        execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.run" | tail -1)
        rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/$name.run" | tail -1)
        cov=$(grep -o 'cov: [0-9]*' "$work/$name.run" | tail -1 | cut -d' ' -f2)
    fi
    printf '%-16s %12s %9s %7s %s\n' "$name" "${execs:-?}" "${rate:-?}" "${cov:-?}" "${#found[@]}"
    for f in "${found[@]}"; do
        status=1
        echo "  FINDING $name: ${f:-(no input written; see below)}"
        cat "$work/$name.replay" "$work/$name.run" 2>/dev/null | grep -E 'ERROR:|SUMMARY:|#[0-9]+ 0x' |
            grep -vE 'fuzzer::|libc\.so|/nptl/|/stdlib/|/signal/' | head -10 | sed 's/^/    /'
    done
done
exit $status
