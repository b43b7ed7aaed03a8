#!/usr/bin/env bash
# The main job. Installs what it needs and builds, then starts the network
# lab: three simulated analyzers of the first family on their own addresses
# and hardware addresses on a private network that exists only for this run
# (network namespaces; needs root).
#
#   with a display (DISPLAY or WAYLAND_DISPLAY set), or with --window:
#       opens fieldtrace inside the lab; its hardware page finds the three
#       analyzers as it would in the car. Close the window to end the demo.
#   with --xvfb: runs a whole drive test through the window under Xvfb (the
#       pilot clicks through the pages), saves a screenshot of every page and
#       converts the record files to CSV and KMZ.
#   without a display, or with --headless: records a drive test with
#       fieldtrace-cli record --discover inside the lab and converts the record
#       files to CSV and to one KMZ archive.
#
# Where no lab can be built (no root, no network namespaces), the headless
# drive test runs against simulators on loopback addresses instead.
# Usage: scripts/demo.sh [--window|--xvfb|--headless] [OUTPUT_DIR] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
mode=
case ${1:-} in
  --window | --xvfb | --headless) mode=${1#--}; shift ;;
  -h | --help) sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
if [[ -z $mode ]]; then
  if [[ -n ${DISPLAY:-}${WAYLAND_DISPLAY:-} ]]; then mode=window; else mode=headless; fi
fi
scripts/setup.sh
scripts/build.sh >/dev/null
build=${BUILD_DIR:-build}
cli=$build/tools/cli/fieldtrace-cli
sim=$build/tools/sim/fieldtrace-analyzer-sim
out=$(realpath -m "${1:-demo-output}")
seconds=${2:-60}
mkdir -p "$out"
stamp=$(mktemp)  # the record files of this run are newer
trap 'rm -f "$stamp"' EXIT

# The car's network: the PC at 10.77.1.1, three analyzers; the first carries the GPS receiver.
lab=(scripts/lab.sh --build "$build" --net 10.77.1
  --analyzer "Alvra@10.77.1.21,serial=1234.5678k22/101234,seed=1"
  --analyzer "Alvra@10.77.1.22,serial=1234.5678k22/101235,seed=2,gps=disconnected"
  --analyzer "Alvra@10.77.1.23,serial=1234.5678k22/101236,seed=3,gps=disconnected")

# run_in_lab COMMAND...: the command's status; 77 when no lab can be built here.
run_in_lab() {
  set +e
  "${lab[@]}" -- "$@"
  local rc=$?
  set -e
  return $rc
}

convert() {
  local files=()
  while IFS= read -r f; do files+=("$f"); done < <(find "$out" -maxdepth 1 -name '*.dtr' -newer "$stamp" | sort)
  if ((${#files[@]} == 0)); then echo "demo: no record file was written" >&2; exit 1; fi
  echo
  "$cli" csv "${files[@]}"
  echo
  # Every measurement on the map, with the wizard's defaults.
  "$cli" kmz "${files[@]}" -o "$out/drive-test.kmz"
  echo
  echo "Record files, CSV files and the KMZ archive are in: $out"
  ls -1 "$out"
}

# Without a lab: two simulators on loopback addresses, named explicitly (nothing is searched).
headless_loopback() {
  local pids=()
  trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done' RETURN
  "$sim" --family Alvra --address 127.0.0.2 --serial 1234.5678k22/101234 --seed 1 --exit-after-seconds $((seconds + 180)) &
  pids+=($!)
  "$sim" --family Alvra --address 127.0.0.3 --serial 1234.5678k22/101235 --seed 2 --exit-after-seconds $((seconds + 180)) &
  pids+=($!)
  sleep 0.5
  "$cli" record --analyzer 127.0.0.2 --analyzer 127.0.0.3 --gps 127.0.0.2 --standard "DVB-T / DVB-H" \
    --level-unit dBm --freq 127.0.0.2=474:Ch21 --freq 127.0.0.2=482:Ch22 --freq 127.0.0.3=474:Ch21b \
    --duration "$seconds" --out "$out"
}

status=0
case $mode in
  window)
    echo "Opening fieldtrace inside the network lab (analyzers at 10.77.1.21-23). Close the window to end."
    run_in_lab "$build/src/fieldtrace" || status=$?
    if ((status == 77)); then echo "demo: no network lab possible here (root and network namespaces needed)" >&2; fi
    exit $status ;;
  xvfb)
    export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
    run_in_lab xvfb-run -a -s "-screen 0 1280x900x24" "$build/tools/pilot/fieldtrace-pilot" \
      --record-seconds "$seconds" --output "$out" --shots "$out/screenshots" || status=$?
    if ((status == 77)); then echo "demo: no network lab possible here (root and network namespaces needed)" >&2; fi
    ((status == 0)) || exit $status
    convert ;;
  headless)
    # The first analyzer of the table (the GPS provider) measures two channels, the others one each.
    run_in_lab "$cli" record --discover --standard "DVB-T / DVB-H" --level-unit dBm \
      --freq 1=474:Ch21 --freq 1=482:Ch22 --freq 2=474:Ch21b --freq 3=498:Ch24 \
      --duration "$seconds" --out "$out" || status=$?
    if ((status == 77)); then
      echo "demo: no network lab possible here; recording from simulators on loopback addresses instead" >&2
      status=0
      headless_loopback || status=$?
    fi
    ((status == 0)) || exit $status
    convert ;;
esac
