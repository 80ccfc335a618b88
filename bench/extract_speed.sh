#!/usr/bin/env bash
# bench/extract_speed.sh [--instructions] [WORKDIR]: how fast archives are read back, on
# three corpora, each packed with `quorvel pack --stub native` at the default effort: the
# whole benchmark corpus, its headers only (many small text files) and cc1plus alone (one
# large program); CORPORA="corpus headers cc1plus" picks some:
#   quorvel test     against the native Expander's own extraction (the .sfx run in an empty
#                    folder with no input),
#   quorvel extract  against unzip (of zip -9 -r), tar + gzip -d, and tar + zstd -d where
#                    zstd is installed.
# The runs are interleaved, REPEAT rounds of each (default 5); it prints the minimum and the
# median wall time, the ratio of each minimum to unzip's, and each program's peak resident
# memory. --instructions adds valgrind callgrind instruction counts of one run each.
# The extracted trees are checked against the corpus once. Not a test: timings depend on
# the machine and on what else runs on it.
set -euo pipefail
instructions=no
if [ "${1:-}" = --instructions ]; then instructions=yes; shift; fi
repo=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-$(mktemp -d)}
repeat=${REPEAT:-5}
corpus_script=${CORPUS_SCRIPT:-$repo/bench/corpus.sh}
quorvel=$repo/build/bin/quorvel

cmake -S "$repo" -B "$repo/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$repo/build" -j2 --target quorvel >/dev/null
mkdir -p "$work"
work=$(cd "$work" && pwd)
cd "$work"
if [ ! -d corpus ]; then bash "$corpus_script" corpus >/dev/null; fi

# Peak memory: GNU time where it is, else a small wrapper around wait4.
if [ -x /usr/bin/time ]; then
  peak_wrapper() { /usr/bin/time -o "$1" -f %M "${@:2}"; }
else
  cat >peak.c <<'EOF'
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
int main(int argc, char **argv) {
  pid_t child = fork();
  if (child == 0) { execvp(argv[2], argv + 2); _exit(127); }
  int status; struct rusage usage;
  wait4(child, &status, 0, &usage);
  FILE *out = fopen(argv[1], "w");
  fprintf(out, "%ld\n", usage.ru_maxrss);
  fclose(out);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
EOF
  cc -O2 -o peak peak.c
  peak_wrapper() { "$work/peak" "$@"; }
fi

# The corpora: the whole one, its headers, and cc1plus alone, each a folder of its name.
make_corpus() {
  case $1 in
    corpus) ;;
    headers) mkdir -p headers && cp -r corpus/cxx corpus/linux headers/;;
    cc1plus) mkdir -p cc1plus && cp corpus/cc1plus cc1plus/;;
    *) echo "unknown corpus $1 (corpus, headers or cc1plus)" >&2; exit 2;;
  esac
}

pack_corpus() {
  echo "packing $name..." >&2
  [ -d "$name" ] || make_corpus "$name"
  # Packed anew whenever quorvel, with the Expander inside it, is newer than the archive.
  [ "$name.sfx" -nt "$quorvel" ] || "$quorvel" pack -q --stub native -o "$name.sfx" "$name"
  [ -f "$name.zip" ] || zip -q -9 -r "$name.zip" "$name"
  [ -f "$name.tar.gz" ] || tar -cf - "$name" | gzip -9 >"$name.tar.gz"
  if [ "${tools[-1]}" = tar_zstd ] && [ ! -f "$name.tar.zst" ]; then
    tar -cf - "$name" | zstd -q -19 -T0 -o "$name.tar.zst"
  fi
}

tools=(quorvel_test expander quorvel_extract unzip tar_gzip)
if command -v zstd >/dev/null; then tools+=(tar_zstd); fi

# An empty folder "out", the last run's tree written back and moved aside before the clock
# starts. Not deleted: a file system without a journal (like ext4 without one) passes over
# the inodes freed in the last minute whenever it makes a new one, so a tree deleted right
# before a run slows whichever program runs next by more than the programs differ. The trees
# moved aside are removed at the end.
spent=0
fresh() {
  if [ -d out ]; then mkdir -p spent && mv out "spent/$((spent += 1))"; fi
  mkdir out
  sync
}
# Each runs one reading in "out", its peak memory written to $1.
run_quorvel_test() { peak_wrapper "$1" "$quorvel" test "$name.sfx" >/dev/null; }
run_expander() { (cd out && peak_wrapper "$1" "../$name.sfx" </dev/null >/dev/null); }
run_quorvel_extract() { peak_wrapper "$1" "$quorvel" extract -q -d out "$name.sfx"; }
run_unzip() { (cd out && peak_wrapper "$1" unzip -q "../$name.zip"); }
run_tar_gzip() { (cd out && peak_wrapper "$1" tar -xzf "../$name.tar.gz"); }
run_tar_zstd() { (cd out && peak_wrapper "$1" tar -I 'zstd -d' -xf "../$name.tar.zst"); }

# Wall times of one tool: the smallest and the median.
minimum() { tr ' ' '\n' <<<"$1" | grep . | sort -g | head -n 1; }
median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
label() {
  case $1 in
    quorvel_test) echo "quorvel test";;
    expander) echo "native Expander (.sfx)";;
    quorvel_extract) echo "quorvel extract";;
    unzip) echo "unzip";;
    tar_gzip) echo "tar + gzip -d";;
    tar_zstd) echo "tar + zstd -d";;
  esac
}

# Instructions of one run, by callgrind.
count() {
  local out=$work/callgrind.out
  valgrind --tool=callgrind --callgrind-out-file="$out" "$@" >/dev/null 2>&1 </dev/null
  awk '/^(summary|totals):/ { print $2; exit }' "$out"
  rm -f "$out"
}

bench_corpus() {
  local name=$1
  local -A times peak
  pack_corpus
  # The trees each extraction gives are the corpus.
  for tool in expander quorvel_extract unzip; do
    fresh
    "run_$tool" "$work/peak.$tool"
    diff -r "$name" "out/$name" >/dev/null || { echo "$tool: extracted tree differs from $name" >&2; exit 1; }
  done

  echo "timing $repeat interleaved rounds..." >&2
  for _ in $(seq "$repeat"); do
    for tool in "${tools[@]}"; do
      fresh
      start=$(date +%s.%N)
      "run_$tool" "$work/peak.$tool"
      end=$(date +%s.%N)
      times[$tool]+="$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }') "
      kilobytes=$(tail -n 1 "$work/peak.$tool")
      if [ -z "${peak[$tool]:-}" ] || [ "$kilobytes" -gt "${peak[$tool]}" ]; then peak[$tool]=$kilobytes; fi
    done
  done
  rm -rf out spent

  echo
  echo "$name: $(find "$name" -type f | wc -l) files, $(du -sb "$name" | cut -f1) bytes;" \
    "$name.sfx $(stat -c %s "$name.sfx") B, $name.zip $(stat -c %s "$name.zip") B; $repeat rounds"
  unzip_min=$(minimum "${times[unzip]}")
  printf '%-24s %9s %11s %8s %14s\n' "reading" "min (s)" "median (s)" "x unzip" "peak RSS (MB)"
  for tool in "${tools[@]}"; do
    awk -v name="$(label "$tool")" -v lo="$(minimum "${times[$tool]}")" -v mid="$(median "${times[$tool]}")" \
        -v u="$unzip_min" -v kb="${peak[$tool]}" \
        'BEGIN { printf "%-24s %9.3f %11.3f %8.2f %14.1f\n", name, lo, mid, lo / u, kb / 1024 }'
  done
  awk -v t="$(minimum "${times[quorvel_test]}")" -v e="$(minimum "${times[expander]}")" \
      -v x="$(minimum "${times[quorvel_extract]}")" -v u="$unzip_min" \
      'BEGIN { printf "quorvel test / Expander: %.2f   quorvel extract / unzip: %.2f\n", t / e, x / u }'

  if [ $instructions = yes ]; then
    command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 1; }
    echo "instructions (callgrind, one run each):"
    fresh
    printf '  %-24s %15s\n' "quorvel test" "$(count "$quorvel" test "$name.sfx")"
    printf '  %-24s %15s\n' "native Expander (.sfx)" "$(cd out && count "../$name.sfx")"
    fresh
    printf '  %-24s %15s\n' "quorvel extract" "$(count "$quorvel" extract -q -d out "$name.sfx")"
    fresh
    printf '  %-24s %15s\n' "unzip" "$(cd out && count unzip -q "../$name.zip")"
    rm -rf out spent
  fi
}

for name in ${CORPORA:-corpus headers cc1plus}; do bench_corpus "$name"; done
