#!/bin/sh
# The main job: builds both Expanders and the packer, packs a sample folder into a
# self-extracting file, runs it in a fresh folder and shows what it made.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target quorvel >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sample="$work/sample"
mkdir -p "$sample/docs" "$sample/empty folder" "$sample/src"
printf 'Quorvel Expander sample\r\n' >"$sample/readme.txt"
cp README.md "$sample/docs/README.md"
cp src/archive/*.hpp "$sample/src/"
: >"$sample/docs/empty.txt"

build/bin/quorvel pack --stub native --comment "Quorvel sample archive" \
  -o "$work/sample.sfx" "$sample"
echo "packed $(find "$sample" | wc -l) entries into $(wc -c <"$work/sample.sfx") bytes: sample.sfx"

mkdir "$work/out"
echo "running sample.sfx in a fresh folder:"
(cd "$work/out" && ../sample.sfx </dev/null) || echo "exit code $?"
echo "extracted:"
(cd "$work/out" && find . -mindepth 1 | sort | while read -r f; do
  if [ -d "$f" ]; then echo "  $f/"; else echo "  $f  ($(wc -c <"$f") bytes)"; fi
done)
diff -r "$sample" "$work/out/sample" && echo "identical to the packed folder"
