#!/usr/bin/env bash
# bench/extract_speed.sh [--instructions] [--syscalls] [--drop-caches] [--into DIR] [WORKDIR]:
# how fast archives are read back, on corpora each packed with `quorvel pack --stub native`
# at the default effort: the whole benchmark corpus, its headers only (many small text files),
# cc1plus alone (one large program), and, asked for by name, a copy of /usr/include (its
# links left out); CORPORA="corpus headers cc1plus" (the default) picks some:
#   quorvel test     against the native Expander's own extraction (the .sfx run in an empty
#                    folder with no input),
#   quorvel extract  against unzip (of zip -9 -r), tar xf of the uncompressed tree (the cost
#                    of making the files alone), tar + gzip -d, and tar + zstd -d where zstd
#                    is installed.
# The extractions go to DIR (default: WORKDIR), so that the same archives can be timed on a
# disk and on a tmpfs (e.g. --into /dev/shm/x). The runs are interleaved, REPEAT rounds of
# each (default 5); it prints the minimum and the median wall time, the ratio of each
# median to unzip's and to tar xf's, and each program's peak resident memory.
# --instructions adds valgrind callgrind instruction counts of one run each; --syscalls the
# system calls per file of one run each of quorvel extract, the Expander, unzip and tar xf
# (strace -c -f), with the most frequent of them. --drop-caches (root only) empties the page
# cache before each run and reads the archives and programs back in: on a virtual machine
# whose memory is backed only once touched, the page cache that the kept trees fill slows
# later rounds of every program by up to two times.
# The extracted trees are checked against the corpus once. Not a test: timings depend on
# the machine and on what else runs on it.
set -euo pipefail
instructions=no
syscalls=no
drop_caches=no
into=
while [ $# -gt 0 ]; do
  case $1 in
    --instructions) instructions=yes; shift;;
    --syscalls) syscalls=yes; shift;;
    --drop-caches) drop_caches=yes; shift;;
    --into) into=${2:?--into needs a folder}; shift 2;;
    --into=*) into=${1#--into=}; shift;;
    -*) echo "unknown option $1" >&2; exit 2;;
    *) break;;
  esac
done
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
into=${into:-$work}
mkdir -p "$into"
into=$(cd "$into" && pwd)

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
    # The packer leaves links to folders out, and zip and tar would keep the others as links.
    include) cp -r /usr/include include && find include -type l -delete;;
    *) echo "unknown corpus $1 (corpus, headers, cc1plus or include)" >&2; exit 2;;
  esac
}

pack_corpus() {
  echo "packing $name..." >&2
  [ -d "$name" ] || make_corpus "$name"
  # Packed anew whenever quorvel, with the Expander inside it, is newer than the archive.
  [ "$name.sfx" -nt "$quorvel" ] || "$quorvel" pack -q --stub native -o "$name.sfx" "$name"
  [ -f "$name.zip" ] || zip -q -9 -r "$name.zip" "$name"
  [ -f "$name.tar" ] || tar -cf "$name.tar" "$name"
  [ -f "$name.tar.gz" ] || gzip -9 <"$name.tar" >"$name.tar.gz"
  if [ "${tools[-1]}" = tar_zstd ] && [ ! -f "$name.tar.zst" ]; then
    tar -cf - "$name" | zstd -q -19 -T0 -o "$name.tar.zst"
  fi
}

tools=(quorvel_test expander quorvel_extract unzip tar tar_gzip)
if command -v zstd >/dev/null; then tools+=(tar_zstd); fi

# An empty folder "out" in the folder extracted into, the last run's tree moved aside (to
# "spent" beside it) before the clock starts. Not deleted on a disk: a file system without a
# journal (like ext4 without one) passes over the inodes freed in the last minutes whenever
# it makes a new one, so a tree deleted right before a run slows whichever program runs next
# by more than the programs differ. The trees moved aside are removed at the end. On a tmpfs
# it is deleted: kept there, the trees fill the memory and slow every later run.
out=$into/out
spent=0
fresh() {
  if [ -d "$out" ] && [ "$(stat -f -c %T "$into")" = tmpfs ]; then rm -rf "$out"; fi
  if [ -d "$out" ]; then mkdir -p "$into/spent" && mv "$out" "$into/spent/$$.$((spent += 1))"; fi
  mkdir "$out"
  sync
  if [ $drop_caches = yes ]; then
    echo 1 >/proc/sys/vm/drop_caches
    cat "$work/$name".* "$quorvel" "$(command -v unzip)" "$(command -v tar)" >/dev/null
  fi
}
# Each runs one reading in "$out", its peak memory written to $1; a wrapper before the
# program (peak_wrapper, or strace) is given as $1 and its argument as $2.
run_quorvel_test() { "$1" "$2" "$quorvel" test "$work/$name.sfx" >/dev/null; }
run_expander() { (cd "$out" && "$1" "$2" "$work/$name.sfx" </dev/null >/dev/null); }
run_quorvel_extract() { "$1" "$2" "$quorvel" extract -q -d "$out" "$work/$name.sfx"; }
run_unzip() { (cd "$out" && "$1" "$2" unzip -q "$work/$name.zip"); }
run_tar() { (cd "$out" && "$1" "$2" tar -xf "$work/$name.tar"); }
run_tar_gzip() { (cd "$out" && "$1" "$2" tar -xzf "$work/$name.tar.gz"); }
run_tar_zstd() { (cd "$out" && "$1" "$2" tar -I 'zstd -d' -xf "$work/$name.tar.zst"); }

# Wall times of one tool: the smallest and the median.
minimum() { tr ' ' '\n' <<<"$1" | grep . | sort -g | head -n 1; }
median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
label() {
  case $1 in
    quorvel_test) echo "quorvel test";;
    expander) echo "native Expander (.sfx)";;
    quorvel_extract) echo "quorvel extract";;
    unzip) echo "unzip";;
    tar) echo "tar xf (no compression)";;
    tar_gzip) echo "tar + gzip -d";;
    tar_zstd) echo "tar + zstd -d";;
  esac
}

# Instructions of one run, by callgrind, written to $1.
callgrind_wrapper() { valgrind --tool=callgrind --callgrind-out-file="$1" "${@:2}" >/dev/null 2>&1 </dev/null; }
instructions_of() { awk '/^(summary|totals):/ { print $2; exit }' "$1"; }

# System calls of one run, by strace -c, written to $1; per file, the total and the most
# frequent.
strace_wrapper() { strace -f -c -o "$1" "${@:2}"; }
# The number of files comes from bench_corpus.
calls_per_file() {
  awk -v files="$files" '
    $NF == "total" { total = $4 }
    $1 ~ /^[0-9.]+$/ && $NF != "total" { calls[$NF] = $4 }
    END {
      printf "%6.2f", total / files
      n = 0
      for (c in calls) order[++n] = c
      for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (calls[order[j]] > calls[order[i]]) { t = order[i]; order[i] = order[j]; order[j] = t }
      for (i = 1; i <= n && i <= 7; i++) printf "%s %s %.2f", (i == 1 ? "   " : ","), order[i], calls[order[i]] / files
      printf "\n"
    }' "$1"
}

# One run of each tool named under a wrapper, a line each: what `report` makes of the
# wrapper's output.
one_run_each() {
  local wrapper=$1 report=$2
  for tool in "${@:3}"; do
    fresh
    "run_$tool" "$wrapper" "$work/run.out"
    printf '  %-24s %s\n' "$(label "$tool")" "$("$report" "$work/run.out")"
    rm -f "$work/run.out"
  done
}

bench_corpus() {
  local name=$1
  local -A times peak
  pack_corpus
  local files
  files=$(find "$name" -type f | wc -l)
  # The trees each extraction gives are the corpus.
  for tool in expander quorvel_extract unzip tar; do
    fresh
    "run_$tool" peak_wrapper "$work/peak.$tool"
    diff -r "$name" "$out/$name" >/dev/null || { echo "$tool: extracted tree differs from $name" >&2; exit 1; }
  done

  echo "timing $repeat interleaved rounds into $into..." >&2
  for _ in $(seq "$repeat"); do
    for tool in "${tools[@]}"; do
      fresh
      start=$(date +%s.%N)
      "run_$tool" peak_wrapper "$work/peak.$tool"
      end=$(date +%s.%N)
      times[$tool]+="$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }') "
      kilobytes=$(tail -n 1 "$work/peak.$tool")
      if [ -z "${peak[$tool]:-}" ] || [ "$kilobytes" -gt "${peak[$tool]}" ]; then peak[$tool]=$kilobytes; fi
    done
  done

  echo
  echo "$name: $files files, $(du -sb "$name" | cut -f1) bytes;" \
    "$name.sfx $(stat -c %s "$name.sfx") B, $name.zip $(stat -c %s "$name.zip") B; $repeat rounds into $into" \
    "($(stat -f -c %T "$into"))"
  unzip_mid=$(median "${times[unzip]}")
  tar_mid=$(median "${times[tar]}")
  printf '%-24s %9s %11s %8s %8s %14s\n' "reading" "min (s)" "median (s)" "x unzip" "x tar xf" "peak RSS (MB)"
  for tool in "${tools[@]}"; do
    awk -v name="$(label "$tool")" -v lo="$(minimum "${times[$tool]}")" -v mid="$(median "${times[$tool]}")" \
        -v u="$unzip_mid" -v t="$tar_mid" -v kb="${peak[$tool]}" \
        'BEGIN { printf "%-24s %9.3f %11.3f %8.2f %8.2f %14.1f\n", name, lo, mid, mid / u, mid / t, kb / 1024 }'
  done
  awk -v t="$(median "${times[quorvel_test]}")" -v e="$(median "${times[expander]}")" \
      -v x="$(median "${times[quorvel_extract]}")" -v u="$unzip_mid" \
      'BEGIN { printf "quorvel test / Expander: %.2f   quorvel extract / unzip: %.2f (medians)\n", t / e, x / u }'

  if [ $syscalls = yes ]; then
    command -v strace >/dev/null || { echo "strace is not installed" >&2; exit 1; }
    echo "system calls per file (strace -c -f, one run each):"
    one_run_each strace_wrapper calls_per_file quorvel_extract expander unzip tar
  fi
  if [ $instructions = yes ]; then
    command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 1; }
    echo "instructions (callgrind, one run each):"
    one_run_each callgrind_wrapper instructions_of quorvel_test expander quorvel_extract unzip
  fi
}

# Removed at the end only: removing a tree slows the file creation of the runs right after it.
trap 'rm -rf "$out" "$into/spent"' EXIT
for name in ${CORPORA:-corpus headers cc1plus}; do bench_corpus "$name"; done
