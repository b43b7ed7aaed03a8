# Shared start of the end-to-end scripts, sourced with the build directory as
# $1 (not itself a test: CTest runs the *.sh beside it). Sets cli, sim and a
# work directory removed on exit (a script that starts processes sets its own
# EXIT trap and removes "$work" there), and fail().
build=$1
cli="$build/tools/cli/fieldtrace-cli"
sim="$build/tools/sim/fieldtrace-analyzer-sim"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Prints "family<TAB>standard" for every standard of every family of the catalogue.
catalog_standards() {
  "$cli" catalog | python3 -c '
import json, sys
for family in json.load(sys.stdin)["families"]:
    for standard in family["standards"]:
        print(family["modelName"] + "\t" + standard["name"])'
}

# run_lab NAME LAB-ARGS... -- COMMAND...: runs the command in a network lab
# (scripts/lab.sh) with its output in $work/NAME.log; fails the test unless
# the command passed, skips it (77) where no lab can be built here.
lab="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/lab.sh"
run_lab() {
  local name=$1
  shift
  set +e
  "$lab" --build "$build" "$@" >"$work/$name.log" 2>&1
  local rc=$?
  set -e
  if [ "$rc" -eq 77 ]; then
    echo "no network lab possible here: $(tail -1 "$work/$name.log")"
    exit 77
  fi
  [ "$rc" -eq 0 ] || fail "$name (exit $rc): $(tail -40 "$work/$name.log")"
  if grep -q "SKIPPED" "$work/$name.log"; then fail "$name: cases skipped inside the lab"; fi
}
