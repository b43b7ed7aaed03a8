#!/usr/bin/env bash
# The Debian package: CPack builds it from the build directory; it holds the
# three programs, the desktop entry, the icon and the man pages, depends only
# on Debian packages, and its programs run from an unpacked copy.
set -euo pipefail
source "$(dirname "$0")/lib.bash"
build=$(cd "$build" && pwd)
command -v cpack >/dev/null && command -v dpkg-deb >/dev/null || { echo "no cpack or dpkg-deb here"; exit 77; }
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >cpack.log 2>&1) || fail "cpack: $(tail -5 "$work/cpack.log")"
deb=$(ls "$work"/_CPack_Packages/*/DEB/*.deb "$work"/*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "no package written: $(tail -5 "$work/cpack.log")"
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/fieldtrace ./usr/bin/fieldtrace-cli ./usr/bin/fieldtrace-analyzer-sim \
  ./usr/share/applications/fieldtrace.desktop ./usr/share/icons/hicolor/scalable/apps/fieldtrace.svg \
  ./usr/share/man/man1/fieldtrace.1 ./usr/share/man/man1/fieldtrace-cli.1 ./usr/share/man/man1/fieldtrace-analyzer-sim.1; do
  grep -qx -- "$f" <<<"$contents" || fail "$f missing from the package"
done
depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libminizip1 libdeflate0 qt6-qpa-plugins; do
  grep -q "$p" <<<"$depends" || fail "Depends lacks $p: $depends"
done
# Every dependency is a package Debian knows.
for p in $(tr ',' '\n' <<<"$depends" | sed 's/(.*//; s/ //g'); do
  apt-cache show "$p" >/dev/null 2>&1 || fail "dependency $p is not a Debian package"
done
dpkg-deb -x "$deb" "$work/root"
"$work/root/usr/bin/fieldtrace-cli" --help | grep -q "discover" || fail "the packaged fieldtrace-cli does not run"
"$work/root/usr/bin/fieldtrace-analyzer-sim" --help | grep -q -- "--family" || fail "the packaged simulator does not run"
desktop-file-validate "$work/root/usr/share/applications/fieldtrace.desktop" 2>/dev/null || true
echo "package: $(basename "$deb") with $(wc -l <<<"$contents") entries; Depends: $depends"
