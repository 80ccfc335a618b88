#!/usr/bin/env bash
# bench/compare.sh [WORKDIR]: packs the benchmark corpus with quorvel (native Expander), with
# zip -9 and with tar + gzip -9, extracts each into a fresh folder, checks that every tree is
# identical to the corpus, and prints sizes, times, CPU time (user + system) and peak memory
# side by side with ratios against zip. REPEAT=n takes the best of n runs of each timing
# (default 3); COPIES=n packs a folder holding n copies of the corpus (default 1), to see
# that the packer's memory does not grow with the input; EFFORT=n sets quorvel's effort.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-$(mktemp -d)}
repeat=${REPEAT:-3}
copies=${COPIES:-1}
effort=${EFFORT:-6}
corpus_script=${CORPUS_SCRIPT:-$repo/bench/corpus.sh}
quorvel=$repo/build/bin/quorvel

cmake -S "$repo" -B "$repo/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$repo/build" -j2 --target quorvel >/dev/null
mkdir -p "$work"
cd "$work"
if [ ! -d corpus ]; then bash "$corpus_script" corpus >/dev/null; fi
input=corpus
if [ "$copies" -gt 1 ]; then
  input=corpus-x$copies
  if [ ! -d "$input" ]; then
    for i in $(seq "$copies"); do mkdir -p "$input/copy$i" && cp -r corpus/. "$input/copy$i/"; done
  fi
fi

# shellcheck source=timing.sh
source "$repo/bench/timing.sh"
declare -A wall cpu peak size

rm -f corpus.zip
for _ in $(seq "$repeat"); do
  timed pack_quorvel "$quorvel" pack -q -"$effort" --stub native -o corpus.sfx "$input"
  timed pack_zip zip -q -9 -r corpus.zip "$input"
  rm -f corpus.zip  # zip would add to it
done
zip -q -9 -r corpus.zip "$input"
for _ in $(seq "$repeat"); do timed pack_tar sh -c "tar -cf - '$input' | gzip -9 >corpus.tar.gz"; done
# A run's tree is moved aside, not deleted, before the next run: a file system without a
# journal passes over the inodes freed in the last minute whenever it makes a file, which
# would slow the next extraction by more than the programs differ (see extract_speed.sh).
spent=0
for tool in quorvel zip tar; do
  for _ in $(seq "$repeat"); do
    if [ -d "out-$tool" ]; then mkdir -p spent && mv "out-$tool" "spent/$((spent += 1))"; fi
    mkdir "out-$tool"
    sync
    case $tool in
      quorvel) timed extract_quorvel sh -c 'cd out-quorvel && ../corpus.sfx </dev/null >/dev/null';;
      zip) timed extract_zip unzip -q corpus.zip -d out-zip;;
      tar) timed extract_tar tar -xzf corpus.tar.gz -C out-tar;;
    esac
  done
  diff -r "$input" "out-$tool/$input" >/dev/null || { echo "$tool: extracted tree differs from the corpus" >&2; exit 1; }
done
size[quorvel]=$(stat -c %s corpus.sfx)
size[zip]=$(stat -c %s corpus.zip)
size[tar]=$(stat -c %s corpus.tar.gz)

echo "$input: $(find "$input" -type f | wc -l) files, $(du -sb "$input" | cut -f1) bytes; all three trees identical to it;" \
  "best of $repeat; load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-16s %12s %7s %9s %9s %7s %10s %12s %8s\n' tool "size (B)" "x zip" "pack (s)" "CPU (s)" "x zip" "peak (MB)" \
  "extract (s)" "x unzip"
for tool in quorvel zip tar; do
  case $tool in quorvel) name="quorvel pack -$effort";; zip) name="zip -9";; tar) name="tar + gzip -9";; esac
  awk -v name="$name" -v s="${size[$tool]}" -v sz="${size[zip]}" -v p="${wall[pack_$tool]}" \
      -v c="${cpu[pack_$tool]}" -v cz="${cpu[pack_zip]}" -v m="${peak[pack_$tool]}" \
      -v e="${wall[extract_$tool]}" -v ez="${wall[extract_zip]}" \
      'BEGIN { printf "%-16s %12d %7.3f %9.2f %9.2f %7.2f %10.1f %12.3f %8.2f\n",
               name, s, s / sz, p, c, c / cz, m / 1024, e, e / ez }'
done
rm -rf out-quorvel out-zip out-tar spent time.out
