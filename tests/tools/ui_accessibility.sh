#!/usr/bin/env bash
# The desktop on the accessibility bus (AT-SPI) under Xvfb: every start task,
# the page buttons and the file selection's controls are found by their names
# and can be pressed (tests/tools/a11y_check.py). Skipped (77) where Xvfb, a
# D-Bus session or pyatspi are missing.
set -euo pipefail
source "$(dirname "$0")/lib.bash"
for tool in xvfb-run dbus-run-session; do
  command -v "$tool" >/dev/null || { echo "no $tool here"; exit 77; }
done
/usr/bin/python3 -c "import pyatspi" 2>/dev/null || { echo "no pyatspi here"; exit 77; }
checker="$(cd "$(dirname "$0")" && pwd)/a11y_check.py"
export XDG_RUNTIME_DIR="$work/xdg"
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# Debian's own Python: python3-pyatspi lives there, whatever python3 the PATH finds first.
set +e
dbus-run-session -- xvfb-run -a -s "-screen 0 1280x900x24" sh -c '
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb FIELDTRACE_A11Y_HOST="$1/done" \
    "$2/tests/test_ui" --gtest_filter=Accessibility.HostTheWindowForTheChecker >"$1/host.log" 2>&1 &
  host=$!
  /usr/bin/python3 "$3" "$1/done"
  rc=$?
  wait $host || rc=1
  exit $rc' sh "$work" "$build" "$checker" 2>"$work/check.log"
rc=$?
set -e
[ "$rc" -eq 0 ] || fail "accessibility (exit $rc): $(cat "$work/check.log") $(tail -5 "$work/host.log")"
echo "accessibility: start tasks, page buttons and the file table found and pressed through AT-SPI"
