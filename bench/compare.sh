#!/usr/bin/env bash
# bench/compare.sh [WORKDIR]: packs the benchmark corpus with quorvel (native Expander), with
# zip -9 and with tar + gzip -9, extracts each into a fresh folder, checks that every tree is
# identical to the corpus, and prints sizes and times side by side with ratios against zip.
# REPEAT=n takes the best of n runs of each timing (default 3).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-$(mktemp -d)}
repeat=${REPEAT:-3}
corpus_script=${CORPUS_SCRIPT:-$repo/bench/corpus.sh}
quorvel=$repo/build/bin/quorvel

cmake -S "$repo" -B "$repo/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$repo/build" -j"$(nproc)" --target quorvel >/dev/null
mkdir -p "$work"
cd "$work"
if [ ! -d corpus ]; then bash "$corpus_script" corpus >/dev/null; fi

# best_time COMMAND...: runs the command $repeat times, prints the shortest wall time.
best_time() {
  local best="" start end t
  for _ in $(seq "$repeat"); do
    start=$(date +%s.%N)
    "$@"
    end=$(date +%s.%N)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
    if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
  done
  echo "$best"
}

pack_quorvel() { "$quorvel" pack -q --stub native -o corpus.sfx corpus; }
pack_zip() { rm -f corpus.zip; zip -q -9 -r corpus.zip corpus; }
pack_tar() { tar -cf - corpus | gzip -9 >corpus.tar.gz; }
fresh() { rm -rf "out-$1"; mkdir "out-$1"; }
extract_quorvel() { fresh quorvel; (cd out-quorvel && ../corpus.sfx </dev/null >/dev/null); }
extract_zip() { fresh zip; (cd out-zip && unzip -q ../corpus.zip); }
extract_tar() { fresh tar; (cd out-tar && tar -xzf ../corpus.tar.gz); }

declare -A size pack extract
for tool in quorvel zip tar; do
  pack[$tool]=$(best_time "pack_$tool")
  extract[$tool]=$(best_time "extract_$tool")
  diff -r corpus "out-$tool/corpus" >/dev/null || { echo "$tool: extracted tree differs from the corpus" >&2; exit 1; }
done
size[quorvel]=$(stat -c %s corpus.sfx)
size[zip]=$(stat -c %s corpus.zip)
size[tar]=$(stat -c %s corpus.tar.gz)

echo "corpus: $(find corpus -type f | wc -l) files, $(du -sb corpus | cut -f1) bytes; all three trees identical to it"
printf '%-16s %12s %8s %10s %8s %12s %8s\n' tool "size (B)" "x zip" "pack (s)" "x zip" "extract (s)" "x unzip"
for tool in quorvel zip tar; do
  case $tool in quorvel) name="quorvel pack";; zip) name="zip -9";; tar) name="tar + gzip -9";; esac
  awk -v name="$name" -v s="${size[$tool]}" -v sz="${size[zip]}" -v p="${pack[$tool]}" -v pz="${pack[zip]}" \
      -v e="${extract[$tool]}" -v ez="${extract[zip]}" \
      'BEGIN { printf "%-16s %12d %8.3f %10.2f %8.2f %12.3f %8.2f\n", name, s, s / sz, p, p / pz, e, e / ez }'
done
rm -rf out-quorvel out-zip out-tar
