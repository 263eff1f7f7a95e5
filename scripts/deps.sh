#!/usr/bin/env bash
# Installs the Debian packages Horavex needs, unless they are all present already.
#   scripts/deps.sh build   what building needs
#   scripts/deps.sh test    that, plus the tests' peers (chrony, xinetd, rdate, socat, nc, a private D-Bus
#                           with a mocked systemd-timedated, a private session bus with a panel's watcher),
#                           clang, a virtual screen for the windows, and
#                           what makes and checks the Debian package (dpkg-shlibdeps, lintian, validators)
set -euo pipefail

build_pkgs=(cmake ninja-build g++ libasio-dev libsimpleini-dev libgtest-dev libgmock-dev pkg-config libglib2.0-dev
  libwxgtk3.2-dev libgtk-3-dev wx3.2-i18n libcanberra-dev libasound2-dev libayatana-appindicator3-dev gettext)
test_pkgs=(chrony xinetd rdate socat netcat-openbsd libcap2-bin iproute2 clang libclang-rt-14-dev
  dbus-daemon python3-dbusmock python3-dbus python3-gi xvfb xauth xdotool imagemagick fonts-dejavu-core
  dpkg-dev file lintian desktop-file-utils appstream groff-base man-db mandoc systemd)

pkgs=("${build_pkgs[@]}")
[ "${1:-build}" = test ] && pkgs+=("${test_pkgs[@]}")

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

# Installing chrony or xinetd must not start their system services: a running chronyd would
# steer this machine's clock. Debian asks policy-rc.d before it starts a service.
policy=/usr/sbin/policy-rc.d
added_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
  $sudo chmod 755 "$policy"
  added_policy=1
fi
trap '[ $added_policy = 1 ] && $sudo rm -f "$policy"' EXIT

echo "Installing: ${missing[*]}"
$sudo apt-get update -q
# Without recommends: libasio-dev would otherwise pull in all of Boost.
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
