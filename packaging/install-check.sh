#!/usr/bin/env bash
# Installs the Debian package on a fresh minimal Debian root, as a user would
# with apt-get, and runs the programs from their installed paths. The root is
# made by debootstrap into a folder of the build directory (kept for the next
# run); needs root and Debian's mirror. Not part of CI: it downloads a few
# hundred MB the first time.
# Usage: packaging/install-check.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
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
