#!/usr/bin/env bash
# Renders every page of the desktop with realistic content into
# docs/screenshots/*.png, under Xvfb (a real X server, so that fonts and
# styles are those a user sees). Installs what it needs, builds first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh >/dev/null
out=${1:-docs/screenshots}
mkdir -p "$out"
export XDG_RUNTIME_DIR=$(mktemp -d)
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
xvfb-run -a -s "-screen 0 1280x900x24" build/tools/screens/fieldtrace-screenshots "$out"
