# Shared start of the benchmarks that time fieldtrace-cli, sourced from the
# repository root after the build: sets cli and a work directory removed on
# exit, and the two helpers every timing needs.
cli=${BUILD_DIR:-build}/tools/cli/fieldtrace-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
now() { date +%s.%N; }
