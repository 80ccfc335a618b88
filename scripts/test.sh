#!/bin/sh
# Builds everything and runs every test: the release build with the Expanders (the Windows
# one under Wine: the shipped i686 build where this machine runs 32-bit programs, its x86_64
# twin under 64-bit Wine where it cannot), with warnings as errors; then the tests again
# under AddressSanitizer and UBSan, the native end-to-end cases against a sanitizer build of
# the native Expander; then each fuzz target under libFuzzer for 15 seconds.
set -eu
cd "$(dirname "$0")/.."
jobs=$(nproc)
scripts/deps.sh test

# A fresh build tree uses Ninja; an existing one keeps the generator it was made with.
generator() { [ -f "$1/CMakeCache.txt" ] || echo "-GNinja"; }

echo "== release build ($(generator build | sed 's/-G//;s/^$/existing build tree/'))"
cmake -S . -B build $(generator build) -DCMAKE_BUILD_TYPE=Release -DQUORVEL_WERROR=ON -DQUORVEL_TESTS=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"
cat build/wine/decision

echo "== sanitizer build"
cmake -S . -B build-asan $(generator build-asan) -DQUORVEL_SANITIZE=ON -DQUORVEL_TESTS=ON -DCMAKE_BUILD_TYPE=Debug \
  -DQUORVEL_STUB_DIR="$PWD/build/bin" >/dev/null
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"
cat build-asan/wine/decision

echo "== fuzz targets, 15 seconds each"
rm -rf build-fuzz/brief-corpus
fuzz/run.sh 15 "$PWD/build-fuzz/brief-corpus"
