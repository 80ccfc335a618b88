#!/bin/sh
# The main job: builds both Expanders, makes a self-extracting file from a small archive
# (a folder DOCS with two text files, the second starting from the first) and runs it in a
# fresh folder, then shows what it made.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target expander expander_win32 >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp build/bin/expander "$work/docs.sfx"
# TotalSize, empty comment, empty run command, no password, then one block of 91 bytes.
printf '\144\120\000\000\000\000\000' >>"$work/docs.sfx"
printf 'DOCS\\.\000' >>"$work/docs.sfx"
printf '*\003A.TXT\000' >>"$work/docs.sfx"
for i in 1 2 3; do printf '\000\000\000\000\000\000\300\001' >>"$work/docs.sfx"; done
printf '\006\000\000\000\000\256\135\254\120\025' >>"$work/docs.sfx"
printf '*\003B.TXT\000' >>"$work/docs.sfx"
for i in 1 2 3; do printf '\000\000\000\000\000\000\300\001' >>"$work/docs.sfx"; done
printf '\010\000\000\000\001\006\000\253\124\005\000\117' >>"$work/docs.sfx"
chmod +x "$work/docs.sfx"

mkdir "$work/out"
echo "running $(wc -c <"$work/docs.sfx")-byte self-extracting file in a fresh folder:"
(cd "$work/out" && ../docs.sfx </dev/null)
echo "exit code $?; extracted:"
(cd "$work/out" && find . -mindepth 1 | sort | while read -r f; do
  if [ -f "$f" ]; then printf '%s  %s bytes  "%s"\n' "$f" "$(wc -c <"$f")" "$(cat "$f")"; else echo "$f/"; fi
done)
