#!/usr/bin/env bash
# Installs every build, test and run dependency of Fieldtrace from Debian.
# Idempotent: packages already present are left as they are.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev
  qt6-base-dev
  zlib1g-dev libminizip-dev libdeflate-dev
  nlohmann-json3-dev
  fonts-liberation2
  libgdal-dev python3-gdal tzdata
  libxml2-utils unzip gdal-bin python3
  locales iproute2 iputils-ping
  xvfb xauth at-spi2-core python3-pyatspi dbus
  help2man dpkg-dev file
  poppler-utils
  clang libclang-rt-14-dev
  libssl-dev postgresql postgresql-15-postgis-3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  $SUDO apt-get update -qq
  # The PostgreSQL server is for the tests' throwaway clusters only: no
  # package may start a system service while it installs (policy-rc.d 101).
  guard=""
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' | $SUDO tee /usr/sbin/policy-rc.d >/dev/null
    $SUDO chmod 755 /usr/sbin/policy-rc.d
    guard=1
  fi
  set +e
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  rc=$?
  set -e
  [ -z "$guard" ] || $SUDO rm -f /usr/sbin/policy-rc.d
  [ "$rc" -eq 0 ] || exit "$rc"
fi

# A comma-decimal locale for the tests that prove numbers do not follow the user's locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf8$'; then
  $SUDO sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen 2>/dev/null || true
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
