#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds rotor twice and runs the whole test suite in each build: once with g++, once with
# clang under AddressSanitizer and UndefinedBehaviorSanitizer. Both builds treat warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

# The layout (.clang-format) is checked first; ROTOR_CHECK_FORMAT=0 skips it.
if [ "${ROTOR_CHECK_FORMAT:-1}" = 1 ]; then
    echo "== Layout (.clang-format)"
    scripts/check-format.sh
fi

echo "== Build and test (g++)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ -DROTOR_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

echo "== Build and test (clang, AddressSanitizer + UndefinedBehaviorSanitizer, fuzz targets)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DROTOR_SANITIZE=ON \
      -DROTOR_FUZZ=ON -DROTOR_WERROR=ON >/dev/null
cmake --build build-asan -j "$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -j "$jobs")
