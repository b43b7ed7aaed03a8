#!/usr/bin/env bash
# fieldtrace-cli kmz end to end: archives that unzip and xmllint accept, links
# that resolve, the options, command-line errors, failures and Ctrl-C.
set -euo pipefail
source "$(dirname "$0")/lib.bash"

# check ARCHIVE: unzip -t, every entry in the archive's root, every KML entry
# well-formed (xmllint), every href and every balloon image exactly the name of
# an entry (a web globe looks them up among the entry names as they stand),
# every styleUrl a style of its own document, every BMP sound.
check() {
  local archive=$1 dir
  unzip -tq "$archive" >/dev/null || fail "unzip -t $archive"
  dir=$(mktemp -d -p "$work")
  unzip -q "$archive" -d "$dir"
  find "$dir" -name '*.kml' -print0 | xargs -0 xmllint --noout || fail "xmllint $archive"
  python3 - "$dir" <<'PY' || fail "links or bitmaps of $archive"
import os, re, struct, sys
root = sys.argv[1]
names = set()
for d, _, files in os.walk(root):
    for f in files:
        names.add(os.path.relpath(os.path.join(d, f), root))
bad = [n + ': not in the root' for n in sorted(names) if '/' in n]
for n in sorted(names):
    data = open(os.path.join(root, n), 'rb').read()
    if n.endswith('.bmp'):
        if data[:2] != b'BM' or struct.unpack_from('<I', data, 2)[0] != len(data):
            bad.append(n + ': header')
        w, h = struct.unpack_from('<ii', data, 18)
        if struct.unpack_from('<HH', data, 26) != (1, 32) or 54 + w * h * 4 != len(data):
            bad.append(n + ': size')
        continue
    if not n.endswith('.kml'):
        continue
    text = data.decode('utf-8')
    for href in re.findall(r'<href>([^<]*)</href>', text):
        if href not in names:
            bad.append(n + ' -> ' + href)
    own = set(re.findall(r'<Style id="([^"]*)">', text))
    for url in re.findall(r'<styleUrl>([^<]*)</styleUrl>', text):
        if not url.startswith('#') or url[1:] not in own:
            bad.append(n + ' -> ' + url)
    for src in re.findall(r'src="([^"]*)"', text):
        if src not in names:
            bad.append(n + ' -> image ' + src)
if bad:
    print('\n'.join(bad[:10]), file=sys.stderr)
    sys.exit(1)
PY
}

expect_status() {  # expect_status STATUS COMMAND...: runs it, stderr to $work/err
  local want=$1 rc
  shift
  set +e; "$@" >"$work/out" 2>"$work/err"; rc=$?; set -e
  [ "$rc" -eq "$want" ] || fail "exit $rc instead of $want: $* ($(head -c 300 "$work/err"))"
}

mkdir -p "$work/a" "$work/b" "$work/c" "$work/d"
f=$("$cli" generate --samples 1500 --seed 3 --bad-status 0.2 --no-fix 0:40 --description "R&D" --out "$work/a")

# Defaults: the archive beside the record file, named after it; the final message on stdout.
expect_status 0 "$cli" kmz "$f"
kmz="${f%.dtr}.kmz"
[ -f "$kmz" ] || fail "no archive beside the record file"
grep -q "^Drive test results have been successfully written to$" "$work/out" || fail "message: $(cat "$work/out")"
grep -qF "$kmz." "$work/out" || fail "archive name in the message"
check "$kmz"
unzip -p "$kmz" doc.kml | grep -q "<name>2026-06-01  10-00-00  R&#38;D</name>" || fail "escaped name in doc.kml"
[ "$(unzip -l "$kmz" | grep -c ' BW[0-9]*_.*\.bmp')" -eq 9 ] || fail "one legend per channel, worst only, big spot"
[ "$(unzip -l "$kmz" | grep -c ' [MS][AB][0-9]*_')" -eq 0 ] || fail "only the worst value by default"

# Options: channels by number and by name, no graphs or parameters, two indicators, low zoom, dBm.
expect_status 0 "$cli" kmz "$f" -o "$work/b/opt.kmz" --channels "1,MER RMS [dB]" --graphs none --parameters none \
  --indicators worst,best --zoom low --unit dBm
check "$work/b/opt.kmz"
listing=$(unzip -l "$work/b/opt.kmz")
grep -q " SB3_" <<<"$listing" || fail "best layer of channel 3"
grep -q " BW0_" <<<"$listing" && fail "speed was not selected"
grep -q " G0_" <<<"$listing" && fail "no graph was selected"
unzip -p "$work/b/opt.kmz" "root_*.kml" | grep -q "<name>Level \[dBm\]</name>" || fail "level in dBm"
unzip -p "$work/b/opt.kmz" "root_*.kml" | grep -q "<name>Best value indicator</name>" || fail "kind folders"
unzip -p "$work/b/opt.kmz" "[BMS][WAB]*.kml" | grep -q "Parameter" && fail "parameter table without parameters"
unzip -p "$work/b/opt.kmz" "[BMS][WAB]*.kml" | grep -c "Receiver Status" >/dev/null || fail "no balloon in the layer documents"

# Several files: one archive "...Multi-file export.kmz" in the folder of the first.
g=$("$cli" generate --samples 300 --seed 4 --frequency 690 --description second --out "$work/a")
expect_status 0 "$cli" kmz "$f" "$g" --level-offset 2=-3.5
multi=$(ls "$work/a"/*"Multi-file export.kmz")
check "$multi"
unzip -p "$multi" doc.kml | grep -q "<b>Manual level offset</b></td><td NOWRAP>---</td><td NOWRAP>-3.50</td>" ||
  fail "manual offset in the file table"

# Across the 180 degree meridian: a small area whose east edge lies west of its west edge.
h=$("$cli" generate --samples 400 --seed 5 --lon 179.99 --lat -17 --out "$work/c")
expect_status 0 "$cli" kmz "$h"
check "${h%.dtr}.kmz"
unzip -p "${h%.dtr}.kmz" doc.kml | python3 -c '
import re, sys
t = sys.stdin.read()
east = float(re.search(r"<east>([^<]*)</east>", t).group(1)); west = float(re.search(r"<west>([^<]*)</west>", t).group(1))
assert east < 0 < west and west - east > 359, (east, west)'

# All samples at one point: two coarse levels, the second reusing the first one's
# balloon, which each of its documents holds itself.
p=$("$cli" generate --samples 30 --seed 6 --speed 0 --description still --out "$work/d")
expect_status 0 "$cli" kmz "$p" --channels 1,2
check "${p%.dtr}.kmz"
[ "$(unzip -Z1 "${p%.dtr}.kmz" | grep -c "^D_")" -eq 0 ] || fail "style documents"
unzip -p "${p%.dtr}.kmz" "BW1_-0_*.kml" | grep -c "<styleUrl>#BS_1</styleUrl>" >/dev/null || fail "own style of level 0"
unzip -p "${p%.dtr}.kmz" "BW1_-00_*.kml" | grep -c "<Style id=\"D_-0_BS_1\">" >/dev/null || fail "level 1 must repeat the style of level 0"

# Help and command-line errors: one line, exit 2.
"$cli" kmz --help | grep -q -- "--manual-kfactor" || fail "help"
expect_status 2 "$cli" kmz
[ "$(wc -l <"$work/err")" -eq 1 ] || fail "one-line error without files: $(cat "$work/err")"
for args in "--zoom far" "--indicators none" "--indicators x" "--unit V" "--channels 99" "--graphs Nothing" \
  "--manual-kfactor 3=1" "--level-offset x" "--bogus" "--profile a/b" "--channels none" "--deflate-threads -1"; do
  # shellcheck disable=SC2086
  expect_status 2 "$cli" kmz $args "$f"
  [ "$(wc -l <"$work/err")" -eq 1 ] || fail "one-line error for '$args': $(cat "$work/err")"
done
expect_status 2 "$cli" kmz "$f" --unit dBuV/m
grep -q "requires a manual k-factor assignment for entry #1" "$work/err" || fail "k-factor message"
expect_status 0 "$cli" kmz "$f" --unit dBuV/m --manual-kfactor 1=12.5 -o "$work/b/fs.kmz"

# Failures: exit 1 with the message, no archive.
expect_status 1 "$cli" kmz "$work/missing.dtr"
grep -q "^Drive test result file conversion failure:$" "$work/err" || fail "failure message: $(cat "$work/err")"
expect_status 1 "$cli" kmz "$f" -o "$work/no/such/dir/x.kmz"
grep -q "Could not write the file." "$work/err" || fail "write failure message"
expect_status 1 "$cli" kmz "$f" --profile "No such profile"

# Ctrl-C while the archive is written: exit 130, no archive left behind.
big=$("$cli" generate --samples 60000 --seed 7 --description big --out "$work/d")
out="$work/d/interrupted.kmz"
"$cli" kmz "$big" -o "$out" >/dev/null 2>"$work/err" &
pid=$!
for _ in $(seq 1 600); do
  [ -e "$out" ] && break
  sleep 0.02
done
[ -e "$out" ] || fail "the archive never appeared"
kill -INT "$pid"
set +e; wait "$pid"; rc=$?; set -e
[ "$rc" -eq 130 ] || fail "Ctrl-C: exit $rc"
grep -q "aborted by user" "$work/err" || fail "Ctrl-C message: $(cat "$work/err")"
[ -e "$out" ] && fail "an interrupted conversion left its archive"
echo "1 passed, 0 failed"
