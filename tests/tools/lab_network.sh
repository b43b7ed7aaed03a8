#!/usr/bin/env bash
# The network lab (scripts/lab.sh): the system network access checked inside
# it (test_platform's NetworkLab cases: addresses, sweep, neighbour table,
# adapters), and the lab leaving no namespace or process behind after a
# failing command, a bad option and Ctrl-C. Exits 77 (skipped) where this
# machine cannot build a lab.
set -euo pipefail
source "$(dirname "$0")/lib.bash"
lab="$(cd "$(dirname "$0")/../.." && pwd)/scripts/lab.sh"
serial=labtest$$  # marks the simulators of this script
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Nothing of the lab run with pid $1 may be left: no namespace, no simulator.
assert_clean() {
  if ip netns list | grep -q "^ftlab$1-"; then fail "$2: namespaces left: $(ip netns list | grep "^ftlab$1-" | tr '\n' ' ')"; fi
  if ps -eo args | grep -q -- "[-]-serial=$serial"; then fail "$2: simulators left"; fi
}

# run_lab LOG LAB-ARGS... -- COMMAND...: runs the lab in the background
# (SIGINT restored, so that it can be interrupted like Ctrl-C); sets lab_pid.
run_lab() {
  local log=$1
  shift
  env --default-signal=INT "$lab" --build "$build" "$@" >"$log" 2>&1 &
  lab_pid=$!
  pids+=($lab_pid)
}
finish_lab() {  # sets rc
  set +e; wait "$lab_pid"; rc=$?; set -e
}

# Two networks, the PC with an analyzer's MAC on the first; analyzers of the
# three families, a foreign-MAC host, a silent one and a static neighbour
# outside both networks.
run_lab "$work/lab.log" --net 10.1.1,mac=00:c0:3a:0a:0b:01 --net 10.2.2,pc=254 \
  --analyzer Alvra@10.1.1.20,serial=$serial --analyzer Belko@10.1.1.21,serial=$serial \
  --analyzer Cendra@10.2.2.30,serial=$serial,gps=nofix --analyzer Alvra@10.1.1.40,mac=02:00:00:00:00:01,serial=$serial \
  --analyzer Belko@10.9.9.9,serial=$serial --analyzer Alvra@10.2.2.50,silent \
  -- "$build/tests/test_platform" --gtest_filter='NetworkLab.*'
finish_lab
if [ "$rc" -eq 77 ]; then
  echo "no network lab possible here: $(tail -1 "$work/lab.log")"
  exit 77
fi
[ "$rc" -eq 0 ] || fail "NetworkLab cases (exit $rc): $(tail -30 "$work/lab.log")"
grep -q "PASSED.* 4 tests" "$work/lab.log" || fail "NetworkLab cases did not all run: $(tail -10 "$work/lab.log")"
if grep -q "SKIPPED" "$work/lab.log"; then fail "NetworkLab cases skipped inside the lab"; fi
assert_clean "$lab_pid" "after a passing command"

# The command's exit status comes through, and nothing is left behind.
run_lab "$work/fail.log" --net 10.1.1 --analyzer Alvra@10.1.1.20,serial=$serial -- sh -c 'exit 3'
finish_lab
[ "$rc" -eq 3 ] || fail "failing command: exit $rc, expected 3: $(tail -3 "$work/fail.log")"
assert_clean "$lab_pid" "after a failing command"

# Bad options are refused before anything runs; only 10.x exists in the lab.
while IFS='|' read -r args why; do
  # shellcheck disable=SC2086
  run_lab "$work/bad.log" $args -- touch "$work/ran"
  finish_lab
  [ "$rc" -eq 2 ] || fail "$why: exit $rc, expected 2: $(tail -3 "$work/bad.log")"
  [ ! -e "$work/ran" ] || fail "$why: the command ran"
  assert_clean "$lab_pid" "$why"
done <<'CASES'
--net 192.168.1|a network outside 10.x
--net 10.1.1 --analyzer Alvra@192.168.1.5|an analyzer outside 10.x
--net 10.1.1 --analyzer Alvra@10.1.1.1|an analyzer on the PC's address
--net 10.1.1 --analyzer Alvra@10.1.1.20 --analyzer Belko@10.1.1.20|two analyzers on one address
--net 10.1.1 --analyzer Nobody@10.1.1.20|an unknown family
--net 10.1.1 --analyzer Alvra@10.1.1.20,mac=01:00:5e:00:00:01|a multicast MAC
--net 10.1.1,pc=255|a PC host number outside 1..254
--analyzer Alvra@10.1.1.20|no network
CASES

# Ctrl-C while the command runs: the command is stopped, and so is the lab.
run_lab "$work/int.log" --net 10.1.1 --analyzer Belko@10.1.1.20,serial=$serial \
  -- sh -c 'echo $$ >"$0.tmp" && mv "$0.tmp" "$0" && exec sleep 60' "$work/command.pid"
for _ in $(seq 1 300); do
  [ -s "$work/command.pid" ] && break
  kill -0 "$lab_pid" 2>/dev/null || break
  sleep 0.1
done
[ -s "$work/command.pid" ] || fail "the command never started: $(tail -3 "$work/int.log")"
command_pid=$(cat "$work/command.pid")
kill -INT "$lab_pid"
for _ in $(seq 1 150); do
  kill -0 "$lab_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$lab_pid" 2>/dev/null && fail "the lab did not end within 15 s of SIGINT"
finish_lab
[ "$rc" -eq 130 ] || fail "SIGINT: exit $rc, expected 130"
if [ -e "/proc/$command_pid" ] && ! grep -q ') Z' "/proc/$command_pid/stat" 2>/dev/null; then
  fail "the command outlived the lab"
fi
assert_clean "$lab_pid" "after SIGINT"

# Without root no lab can be built: skipped, and the command never runs.
if command -v setpriv >/dev/null; then
  set +e
  setpriv --reuid=65534 --regid=65534 --clear-groups "$lab" --build "$build" --net 10.1.1 -- touch "$work/ran" 2>"$work/user.log"
  rc=$?
  set -e
  [ "$rc" -eq 77 ] || fail "without root: exit $rc, expected 77: $(cat "$work/user.log")"
  [ ! -e "$work/ran" ] || fail "without root: the command ran"
fi
echo "lab_network: ok"
