#!/bin/sh
# pad-stub.sh LINKED OUTPUT SIZE: copies the linked Expander to OUTPUT, padded with zero
# bytes to exactly SIZE bytes; fails when the program is already larger.
set -eu
linked=$1 output=$2 size=$3
actual=$(wc -c < "$linked")
if [ "$actual" -gt "$size" ]; then
  echo "error: $(basename "$output") is $actual bytes linked, $((actual - size)) bytes over the $size-byte limit" >&2
  exit 1
fi
mkdir -p "$(dirname "$output")"
cp "$linked" "$output.tmp"
truncate -s "$size" "$output.tmp"
mv "$output.tmp" "$output"
echo "$(basename "$output"): $actual bytes linked, padded to $size"
