#!/usr/bin/env bash
# A checked build and test run: "address" builds with AddressSanitizer and
# UndefinedBehaviorSanitizer (clang, the fuzzing configuration: the fuzz
# targets are built too, for tests/fuzz/run.sh), "thread" with
# ThreadSanitizer (gcc), into build-address/ or build-thread/ (optimised
# lightly, -O1), then runs the CTest tests whose names match REGEX (default:
# all). Any report fails the test that caused it. Installs what it needs first.
# Usage: scripts/sanitize.sh address|thread [REGEX [TARGET...]]
#   TARGETs: what to build (default: every test program and the tools the tests run)
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-}
case $kind in
  address | thread) ;;
  *) echo "usage: scripts/sanitize.sh address|thread [REGEX [TARGET...]]" >&2; exit 2 ;;
esac
regex=${2:-.}
shift $(($# < 2 ? $# : 2))
scripts/setup.sh
dir=${SANITIZE_BUILD_DIR:-build-$kind}
if [ "$kind" = address ]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
    -DFIELDTRACE_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
else
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
    -DFIELDTRACE_SANITIZE="$kind" >/dev/null
fi
targets=("$@")
if ((${#targets[@]} == 0)) && [ "$kind" = address ]; then
  targets=(all)
elif ((${#targets[@]} == 0)); then
  mapfile -t targets < <(cmake --build "$dir" --target help | sed -n 's/^\(test_[a-z_]*\): .*/\1/p')
  targets+=(fieldtrace-cli fieldtrace-analyzer-sim)
fi
start=$(date +%s)
cmake --build "$dir" -j"$(nproc)" --target "${targets[@]}"
echo "sanitize ($kind): built ${#targets[@]} targets in $(($(date +%s) - start)) s"
# Leaks of the toolkit's singletons at exit are not ours; everything else stops the test.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
# The tests mostly wait on simulated analyzers: under ASan twice as many as
# cores run at once; ThreadSanitizer's slowdown makes them need their core.
jobs=$(nproc)
[ "$kind" = address ] && jobs=$((2 * jobs))
ctest --test-dir "$dir" --output-on-failure -j"$jobs" -R "$regex" -E '^tools\.'
