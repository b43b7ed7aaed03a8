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
