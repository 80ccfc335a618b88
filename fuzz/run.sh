#!/bin/sh
# fuzz/run.sh SECONDS [CORPUS]: builds the fuzz targets with clang, libFuzzer,
# AddressSanitizer and UBSan into build-fuzz/, writes each target's seed inputs and runs the
# targets one after another, one process each, for SECONDS each, growing a corpus per target
# in CORPUS (an absolute path; build-fuzz/corpus by default). Ends with a line per target:
# executions and coverage. A finding stops the run; its input is kept in
# build-fuzz/findings/.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:?usage: fuzz/run.sh SECONDS [CORPUS]}
out=$PWD/build-fuzz
corpora=${2:-$out/corpus}
targets="decode_fuzz reader_fuzz expander_fuzz pack_fuzz"

generator() { [ -f "$1/CMakeCache.txt" ] || echo "-GNinja"; }
cmake -S . -B "$out" $(generator "$out") -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_SANITIZE=ON -DQUORVEL_FUZZ=ON >/dev/null
cmake --build "$out" -j"$(nproc)" --target $targets

mkdir -p "$out/findings"
summary=""
for target in $targets; do
  seeds=$out/seeds/$target
  corpus=$corpora/$target
  log=$out/$target.log
  rm -rf "$seeds"
  mkdir -p "$seeds" "$corpus"
  "$out/fuzz/$target" --write-seeds="$seeds"
  if ! "$out/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=60 \
      -artifact_prefix="$out/findings/$target-" "$corpus" "$seeds" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "$target: finding, see $log and $out/findings/" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  edges=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
  summary="$summary$target: $runs executions, $edges edges covered
"
done
printf "%s" "$summary"
