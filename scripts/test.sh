#!/bin/sh
# Builds everything and runs every test: the release build with both Expanders (the
# Windows one under Wine), then the unit tests again under AddressSanitizer and UBSan.
set -eu
cd "$(dirname "$0")/.."
jobs=$(nproc)
scripts/deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-asan -DQUORVEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"
