#!/usr/bin/env bash
# Installs the Debian package on a fresh minimal Debian root, as a user would
# with apt-get, and runs the programs from their installed paths. Then, as an
# ordinary user of that root: settings written by one run are read by the
# next (fieldtrace-cli settings, and the desktop program offscreen inside the
# network lab, ended by SIGTERM as a shutdown ends it), they land in
# ~/.local/share/fieldtrace, and the default output directory ~/Fieldtrace is
# the user's to write. The root is made by debootstrap into a folder of the
# build directory (kept for the next run); needs root, network namespaces and
# Debian's mirror. Not part of CI: it downloads a few hundred MB the first time.
# Usage: packaging/install-check.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
lab=$PWD/scripts/lab.sh
command -v debootstrap >/dev/null || apt-get install -y -qq debootstrap >/dev/null
root=$build/install-root
work=$(mktemp -d)
cleanup() {
  for m in proc dev; do mountpoint -q "$root/$m" && umount -l "$root/$m"; done
  rm -rf "$work"
}
trap cleanup EXIT

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >cpack.log 2>&1) || { tail -5 "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/*.deb | head -1)
echo "package: $(basename "$deb") ($(du -k "$deb" | cut -f1) kB)"

if [[ ! -x $root/usr/bin/apt-get ]]; then
  rm -rf "$root"
  start=$(date +%s)
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >"$work/debootstrap.log" 2>&1 ||
    { tail -20 "$work/debootstrap.log"; exit 1; }
  echo "fresh root: debootstrap --variant=minbase bookworm in $(($(date +%s) - start)) s"
fi
# A root that has never seen the package: remove an earlier installation first.
chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq --autoremove fieldtrace >/dev/null 2>&1 || true
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
cp "$deb" "$root/tmp/"
chroot "$root" apt-get update -qq
before=$(chroot "$root" dpkg-query -W -f '.\n' | wc -l)
chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "/tmp/$(basename "$deb")" >"$work/install.log" 2>&1 ||
  { tail -20 "$work/install.log"; exit 1; }
after=$(chroot "$root" dpkg-query -W -f '.\n' | wc -l)
echo "apt-get install ./$(basename "$deb"): $((after - before)) packages installed with it"

chroot "$root" /usr/bin/fieldtrace-cli --help | head -3
chroot "$root" /usr/bin/fieldtrace-analyzer-sim --help >/dev/null
chroot "$root" sh -c 'ldd /usr/bin/fieldtrace | grep "not found"' && { echo "fieldtrace lacks libraries"; exit 1; }
for f in /usr/share/applications/fieldtrace.desktop /usr/share/icons/hicolor/scalable/apps/fieldtrace.svg \
  /usr/share/man/man1/fieldtrace.1.gz /usr/share/man/man1/fieldtrace-cli.1.gz; do
  [[ -e $root$f ]] || [[ -e $root${f%.gz} ]] || { echo "$f not installed"; exit 1; }
done
echo "installed and ran: fieldtrace-cli --help and fieldtrace-analyzer-sim --help from /usr/bin; every library of fieldtrace found"

# An ordinary user, made afresh so that no settings of an earlier check remain.
user=fieldtrace-user
home=/home/$user
chroot "$root" userdel -r "$user" >/dev/null 2>&1 || true
chroot "$root" useradd -m -s /bin/sh "$user"
runtime=/tmp/runtime-$user
rm -rf "${root:?}$runtime"
install -d -m 700 "$root$runtime"
chroot "$root" chown "$user:$user" "$runtime"
# as_user COMMAND...: a program of the fresh root, run as the user with a login's environment.
as_user() {
  chroot --userspec="$user:$user" "$root" env -i HOME="$home" USER="$user" PATH=/usr/bin:/bin LANG=C.UTF-8 \
    XDG_RUNTIME_DIR="$runtime" "$@"
}
export -f as_user
export user home root runtime
field() { python3 -c 'import json, sys; print(json.load(sys.stdin)[sys.argv[1]])' "$1"; }
fail() { echo "FAIL: $*"; exit 1; }

shown=$(as_user fieldtrace-cli settings)
data=$(field dataDirectory <<<"$shown")
output=$(field defaultOutputDirectory <<<"$shown")
[[ $data == "$home/.local/share/fieldtrace" ]] || fail "the data directory of $user is $data"
[[ $output == "$home/Fieldtrace" ]] || fail "the default output directory of $user is $output"
echo "as $user: data directory $data, default output directory $output"

# The first run saves; the desktop program reads and saves again; the next run reads.
as_user fieldtrace-cli settings --standard DVB-T2 --level-unit dBm >/dev/null
[[ -f $root$data/basic.ini ]] || fail "fieldtrace-cli settings saved no $data/basic.ini"
owner=$(chroot "$root" stat -c '%U %a' "$data")
[[ $owner == "$user 700" ]] || fail "$data: owner and mode $owner"
saved=$(stat -c %Y "$root$data/basic.ini")
sleep 1
# The desktop program searches every network it sees: only in the network lab's namespace.
export data output work
"$lab" --build "$build" --net 10.9.8 -- bash -c '
  as_user env QT_QPA_PLATFORM=offscreen fieldtrace >"$work/desktop.log" 2>&1 &
  pid=$!
  for _ in $(seq 300); do [ -f "$root$data/cad.ini" ] && [ -d "$root$output" ] && break; sleep 0.1; done
  kill -TERM $pid
  wait $pid
  echo "desktop exit status $?"' >"$work/lab.log" 2>&1 || fail "the desktop program in the lab: $(tail -5 "$work/lab.log")"
status=$(grep -o "desktop exit status [0-9]*" "$work/lab.log" | grep -o "[0-9]*$" || true)
[[ $status == 143 ]] || fail "fieldtrace ended with status '$status' on SIGTERM: $(tail -5 "$work/desktop.log")"
if grep -q "settings not saved" "$work/desktop.log"; then fail "$(grep "settings not saved" "$work/desktop.log")"; fi
[[ $(stat -c %Y "$root$data/basic.ini") -gt $saved ]] || fail "the desktop program did not save basic.ini at SIGTERM"
read_back=$(as_user fieldtrace-cli settings)
[[ $(field standard <<<"$read_back") == DVB-T2 && $(field levelUnit <<<"$read_back") == dBm ]] ||
  fail "the settings after the desktop run: $read_back"
echo "fieldtrace (offscreen, in the lab) read basic.ini and saved it again at SIGTERM (status 143); the next run reads DVB-T2, dBm"
echo "files of $user in $data: $(cd "$root$data" && ls | tr '\n' ' ')"

# Results go where the user may write.
as_user sh -c "test -d '$output' && test -w '$output' && touch '$output/probe' && rm '$output/probe'" ||
  fail "$output is not the user's to write"
echo "default output directory $output: made by the desktop program, writable by $user"
