#!/bin/sh
# fuzz/run.sh SECONDS [CORPUS [TARGET...]]: builds the fuzz targets with clang, libFuzzer,
# AddressSanitizer and UBSan into build-fuzz/, writes each target's seed inputs and runs the
# targets (all four by default) one after another, one process each, for SECONDS each. A
# run starts from the seeds, the repository corpus (fuzz/corpus/TARGET/) and the inputs that
# once showed a fault (fuzz/regressions/TARGET/), both only read, and keeps what it finds
# in CORPUS/TARGET (an absolute path; build-fuzz/corpus by default), so
# a later run with the same CORPUS goes on from there. Ends with a line per target:
# executions, their rate and coverage. A finding stops the run; its input is kept in
# build-fuzz/findings/.
#
# fuzz/run.sh --merge [CORPUS [TARGET...]]: merges what the runs found in CORPUS into the
# repository corpus, minimised: libFuzzer picks a small set of inputs that together cover
# every feature of the repository corpus and CORPUS beyond what the seeds cover, and they
# replace fuzz/corpus/TARGET/.
set -eu
cd "$(dirname "$0")/.."
usage="usage: fuzz/run.sh SECONDS [CORPUS [TARGET...]] | fuzz/run.sh --merge [CORPUS [TARGET...]]"
mode=${1:?$usage}
shift
out=$PWD/build-fuzz
corpora=${1:-$out/corpus}
[ $# -gt 0 ] && shift
targets=${*:-decode_fuzz reader_fuzz expander_fuzz pack_fuzz}

generator() { [ -f "$1/CMakeCache.txt" ] || echo "-GNinja"; }
# Campaigns of different targets may start side by side, one a core: the build is taken in
# turn, as two CMake runs in one tree break each other's files.
mkdir -p "$out"
exec 9>"$out/.build-lock"
flock 9
cmake -S . -B "$out" $(generator "$out") -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_SANITIZE=ON -DQUORVEL_FUZZ=ON >/dev/null
cmake --build "$out" -j"$(nproc)" --target $targets
exec 9>&-  # closing the lock releases it

# Every input runs in the same process, so memory an input frees is soon taken again by the
# next. A quarantine of 16 MB rather than 256 hands out memory that is still mapped: fresh
# pages cost more than a small input's whole run, and an input's own use after free is
# still caught, as each allocates far less. Shadow memory of up to 16 MB that the
# sanitizer clears (of the stack a throw unwinds, of a large block) is written over rather
# than mapped anew, which would fault back in page by page on the next run.
# A caller's own ASAN_OPTIONS come after these and win.
export ASAN_OPTIONS="quarantine_size_mb=16:clear_shadow_mmap_threshold=16777216${ASAN_OPTIONS:+:$ASAN_OPTIONS}"

# libFuzzer flags of a target. The Expander frees nothing (its process ends after one run;
# under the fuzzer each run takes over the names' buffers of the run before, so its memory
# stays flat), and a leak check would only cost time: the Expander target runs without leak
# detection. The other targets look for leaks in the reader and the packer.
flags() {
  echo "-timeout=60"
  [ "$1" = expander_fuzz ] && echo "-detect_leaks=0"
  return 0
}

write_seeds() {
  rm -rf "$2"
  mkdir -p "$2"
  "$out/fuzz/$1" --write-seeds="$2"
}

if [ "$mode" = --merge ]; then
  for target in $targets; do
    repository=fuzz/corpus/$target
    merged=$out/merged/$target
    # The seeds go in first, so that only inputs adding to them are kept; then they go.
    write_seeds "$target" "$merged"
    mkdir -p "$repository" "$corpora/$target"
    if ! "$out/fuzz/$target" -set_cover_merge=1 $(flags "$target") "$merged" "$repository" "$corpora/$target" \
        >"$out/$target-merge.log" 2>&1; then
      tail -n 30 "$out/$target-merge.log"
      echo "$target: the merge failed, see $out/$target-merge.log" >&2
      exit 1
    fi
    rm -f "$merged"/seed-* "$repository"/*
    cp "$merged"/* "$repository"/ 2>/dev/null || true
    echo "$target: $(ls "$repository" | wc -l) inputs, $(cat "$repository"/* 2>/dev/null | wc -c) bytes in $repository"
  done
  exit 0
fi

seconds=$mode
case $seconds in *[!0-9]* | "") echo "$usage" >&2; exit 2 ;; esac
mkdir -p "$out/findings"
summary=""
for target in $targets; do
  seeds=$out/seeds/$target
  corpus=$corpora/$target
  log=$out/$target.log
  write_seeds "$target" "$seeds"
  mkdir -p "$corpus"
  repository=
  [ -d "fuzz/corpus/$target" ] && repository=$PWD/fuzz/corpus/$target
  [ -d "fuzz/regressions/$target" ] && repository="$repository $PWD/fuzz/regressions/$target"
  # Inputs that run fast are chosen more often (up to 30 times): it doubles the executions
  # at the same coverage, as the slow ones (many entries, long files) are few.
  if ! "$out/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 $(flags "$target") \
      -entropic_scale_per_exec_time=1 -artifact_prefix="$out/findings/$target-" \
      "$corpus" $repository "$seeds" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "$target: finding, see $log and $out/findings/" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  edges=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
  summary="$summary$target: $runs executions ($rate/s), $edges edges covered
"
done
printf "%s" "$summary"
