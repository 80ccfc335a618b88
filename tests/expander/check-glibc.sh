#!/bin/sh
# check-glibc.sh FILE: the native Expander starts on glibc 2.17 and later: no symbol it takes
# from the C library may carry a newer version.
set -eu
versions=$(objdump -T "$1" | sed -n 's/.*(GLIBC_\([0-9.]*\)).*/\1/p' | sort -u -t. -k1,1n -k2,2n)
[ -n "$versions" ] || { echo "$1: no versioned C library symbols found" >&2; exit 1; }
newest=$(echo "$versions" | tail -n 1)
too_new=$(echo "$versions" | awk -F. '$1 > 2 || ($1 == 2 && $2 > 17)')
if [ -n "$too_new" ]; then
  echo "$1 needs glibc $newest:" >&2
  objdump -T "$1" | grep -E "GLIBC_($(echo $too_new | tr ' ' '|' | sed 's/\./\\./g'))\)" >&2
  exit 1
fi
echo "$1: glibc $newest or later"
