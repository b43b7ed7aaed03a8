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

# Runs a conversion in the background, sends it Ctrl-C (SIGINT) as soon as a
# file matching glob exists (its output under way), and checks that it ends
# with exit status 130 and says that nothing was written.
interrupt_when() {
  local glob=$1 pid rc
  shift
  "$@" >/dev/null 2>"$work/err" &
  pid=$!
  for _ in $(seq 1 1000); do
    compgen -G "$glob" >/dev/null && break
    sleep 0.01
  done
  kill -INT "$pid"
  set +e; wait "$pid"; rc=$?; set -e
  [ "$rc" -eq 130 ] || fail "Ctrl-C: exit $rc ($(cat "$work/err"))"
  grep -q "cancelled; nothing was written" "$work/err" || fail "Ctrl-C message: $(cat "$work/err")"
}
