#!/usr/bin/env bash
# Builds the Debian package of Horavex: build/package/package/horavex_<version>_<arch>.deb.
# A build tree of its own, with Debian's hardening flags (dpkg-buildflags), installed under /usr by
# CPack; the package's dependencies come from the binaries (dpkg-shlibdeps).
#   scripts/package.sh            then, as root:  apt install ./build/package/package/horavex_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
# dpkg-shlibdeps computes the dependencies; CPack finds the binaries it asks about with file.
missing=()
for p in dpkg-dev file; do
  dpkg-query -W -f='${Status}' $p 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# CMake reads no CPPFLAGS: the preprocessor's flags (_FORTIFY_SOURCE) go with the compiler's.
CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  LDFLAGS=$(dpkg-buildflags --get LDFLAGS) \
  scripts/build.sh build/package -DCMAKE_INSTALL_PREFIX=/usr -DHORAVEX_TESTS=OFF -DHORAVEX_BENCH=OFF
(cd build/package && cpack --config CPackConfig.cmake)
ls build/package/package/*.deb
