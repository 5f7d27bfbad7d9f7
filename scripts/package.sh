#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package of rotor into dist/: a Release build of its own (build-package, no
# tests) with Debian's compiler and linker flags, installed and packed by CPack's DEB generator.
# ROTOR_WERROR=ON in the environment makes its warnings errors (scripts/check-package.sh does).
set -euo pipefail
cd "$(dirname "$0")/.."
# dpkg-dev: dpkg-shlibdeps and dpkg-buildflags; file: how CPack finds the programs to look at.
scripts/setup.sh dpkg-dev file

# Hardened as Debian's own packages are (fortified functions, full RELRO, PIE).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

rm -rf build-package/_CPack_Packages
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ -DROTOR_TESTS=OFF \
      -DROTOR_WERROR="${ROTOR_WERROR:-OFF}" \
      -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build build-package -j "$(nproc)"
if ! (cd build-package && cpack -G DEB) >build-package/cpack.log 2>&1; then
    cat build-package/cpack.log >&2
    exit 1
fi

mkdir -p dist
rm -f dist/rotor_*.deb
cp build-package/rotor_*.deb dist/
echo "dist/$(basename build-package/rotor_*.deb)"
