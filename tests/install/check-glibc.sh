#!/bin/sh
# check-glibc.sh FILE VERSION: FILE starts on glibc VERSION (2.31, say) and later: no symbol
# it takes from the C library carries a newer version.
set -eu
file=$1 oldest=$2
versions=$(objdump -T "$file" | sed -n 's/.*(GLIBC_\([0-9.]*\)).*/\1/p' | sort -u -V)
[ -n "$versions" ] || { echo "$file: no versioned C library symbols found" >&2; exit 1; }
newest=$(echo "$versions" | tail -n 1)
too_new=$(echo "$versions" | while read -r version; do
  dpkg --compare-versions "$version" le "$oldest" || echo "$version"
done)
if [ -n "$too_new" ]; then
  echo "$file needs glibc $newest, not $oldest:" >&2
  objdump -T "$file" | grep -E "\(GLIBC_($(echo $too_new | tr ' ' '|' | sed 's/\./\\./g'))\)" >&2
  exit 1
fi
echo "$file: glibc $newest or later"
