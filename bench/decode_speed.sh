#!/usr/bin/env bash
# bench/decode_speed.sh [FILE]: the decoder's output rate on FILE (default: cc1plus),
# compressed at the default effort, beside gzip -d and zstd -d decompressing the same file
# to /dev/null, best of RUNS (default 7).
# Not a test: rates depend on the machine and on what else runs on it.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
file=${1:-/usr/lib/gcc/x86_64-linux-gnu/12/cc1plus}
runs=${RUNS:-7}
cmake --build "$repo/build" -j2 --target decode_speed >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bytes=$(stat -c %s "$file")

# best COMMAND...: the shortest wall time of $runs runs, in seconds.
best() {
  local shortest="" start end t
  for _ in $(seq "$runs"); do
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
    if [ -z "$shortest" ] || awk -v t="$t" -v s="$shortest" 'BEGIN { exit !(t < s) }'; then shortest=$t; fi
  done
  echo "$shortest"
}
rate() { awk -v b="$bytes" -v s="$1" 'BEGIN { printf "%.1f", b / s / 1e6 }'; }

gzip -9 -c "$file" >"$work/file.gz"
quorvel=$("$repo/build/bench/decode_speed" --effort 6 --runs "$runs" "$file" | sed -n 's/^decoded at \([0-9.]*\) MB\/s.*/\1/p')
gzip_seconds=$(best gzip -d -c "$work/file.gz")
printf '%-14s %10s %10s\n' decoder "MB/s out" "x gzip -d"
gzip_rate=$(rate "$gzip_seconds")
printf '%-14s %10s %10.2f\n' quorvel "$quorvel" "$(awk -v q="$quorvel" -v g="$gzip_rate" 'BEGIN { print q / g }')"
printf '%-14s %10s %10.2f\n' "gzip -d" "$gzip_rate" 1
if command -v zstd >/dev/null; then
  zstd -q -19 -c "$file" >"$work/file.zst"
  zstd_rate=$(rate "$(best zstd -q -d -c "$work/file.zst")")
  printf '%-14s %10s %10.2f\n' "zstd -d" "$zstd_rate" "$(awk -v z="$zstd_rate" -v g="$gzip_rate" 'BEGIN { print z / g }')"
fi
