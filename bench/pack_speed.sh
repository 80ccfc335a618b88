#!/usr/bin/env bash
# bench/pack_speed.sh [WORKDIR]: packing beside its peers. Packs each input with quorvel
# (EFFORT, default 6) on 1 thread and on 2, with zip -9, tar + gzip -9, tar + zstd -19 and
# 7z -mx9 (those missing are left out), and prints per input: the output's size, wall and
# CPU time (user + system), peak memory, and the ratios of size, CPU and wall to zip -9.
# Best of REPEAT runs (default 3) for the times, the largest peak seen.
#
# Inputs (INPUTS, default "corpus include zeros"):
#   corpus   the benchmark corpus (bench/corpus.sh), made in WORKDIR if missing
#   include  a copy of /usr/include, made in WORKDIR if missing
#   zeros    one file of ZEROS_MB megabytes of zeros (default 200)
#   FILE     any other path, a file or a folder, packed as it is
# WORKDIR defaults to a new folder under /tmp; outputs go there too, so the disk it is on is
# what is measured. Not a test: times depend on the machine and what else runs on it.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-$(mktemp -d /tmp/pack-speed.XXXXXX)}
repeat=${REPEAT:-3}
effort=${EFFORT:-6}
inputs=${INPUTS:-corpus include zeros}
zeros_mb=${ZEROS_MB:-200}
quorvel=$repo/build/bin/quorvel
# shellcheck source=timing.sh
source "$repo/bench/timing.sh"

cmake --build "$repo/build" -j2 --target quorvel >/dev/null
mkdir -p "$work"
cd "$work"

# The path of input NAME, made when it is one of the known ones.
input_path() {
  case $1 in
    corpus) [ -d corpus ] || bash "$repo/bench/corpus.sh" corpus >/dev/null; echo "$work/corpus" ;;
    include) [ -d include ] || cp -r /usr/include include; echo "$work/include" ;;
    zeros) [ -f "zeros-$zeros_mb" ] || head -c "$((zeros_mb << 20))" /dev/zero >"zeros-$zeros_mb"; echo "$work/zeros-$zeros_mb" ;;
    *) readlink -f "$1" ;;
  esac
}

have() { command -v "$1" >/dev/null; }

# The peers: a name, then the shell command that packs $src (a name in the current folder)
# into $out.
tools=("quorvel -$effort, 1 thread" "quorvel -$effort, 2 threads" "zip -9")
have gzip && tools+=("tar + gzip -9")
have zstd && tools+=("tar + zstd -19")
have 7z && tools+=("7z -mx9")
command_for() {
  local q
  q=$(printf '%q' "$quorvel")
  case $1 in
    "quorvel -$effort, 1 thread") echo "$q pack -q -$effort --threads 1 --stub native -o \"\$out\" \"\$src\"" ;;
    "quorvel -$effort, 2 threads") echo "$q pack -q -$effort --threads 2 --stub native -o \"\$out\" \"\$src\"" ;;
    "zip -9") echo 'zip -q -9 -r "$out" "$src"' ;;
    "tar + gzip -9") echo 'tar -cf - "$src" | gzip -9 >"$out"' ;;
    "tar + zstd -19") echo 'tar -cf - "$src" | zstd -q -19 -T1 -o "$out"' ;;
    "7z -mx9") echo '7z a -bd -mx9 "$out" "$src" >/dev/null' ;;
  esac
}

for name in $inputs; do
  path=$(input_path "$name")
  declare -A wall=() cpu=() peak=() size=()
  for _ in $(seq "$repeat"); do
    for tool in "${tools[@]}"; do
      export out=$work/packed.out src
      src=$(basename "$path")
      rm -f "$out"
      timed "$tool" sh -c 'cd "$1" && eval "$2"' sh "$(dirname "$path")" "$(command_for "$tool")"
      size[$tool]=$(stat -c %s "$out")
    done
  done
  rm -f "$work/packed.out"
  echo "$name: $path, $(find "$path" -type f | wc -l) files, $(du -sb "$path" | cut -f1) bytes; best of $repeat;" \
    "load average $(cut -d' ' -f1-3 /proc/loadavg)"
  printf '  %-26s %12s %7s %9s %9s %7s %7s %10s\n' tool "size (B)" "x zip" "wall (s)" "CPU (s)" "CPU x" "wall x" "peak (MB)"
  for tool in "${tools[@]}"; do
    awk -v name="$tool" -v s="${size[$tool]}" -v sz="${size[zip -9]}" -v w="${wall[$tool]}" -v wz="${wall[zip -9]}" \
        -v c="${cpu[$tool]}" -v cz="${cpu[zip -9]}" -v m="${peak[$tool]}" \
      'BEGIN { printf "  %-26s %12d %7.3f %9.2f %9.2f %7.2f %7.2f %10.1f\n", name, s, s / sz, w, c, c / cz, w / wz, m / 1024 }'
  done
  unset wall cpu peak size
done
