#!/bin/sh
# probe-32bit.sh: exits 0 when this machine executes 32-bit x86 programs; otherwise prints
# why not and exits 1. It runs a 96-byte static i386 program that only exits with code 42,
# since nothing short of running one answers the question (kernels may lack the 32-bit
# emulation whatever their version says).
set -u
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
probe="$dir/probe32"
printf '\177\105\114\106\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000\273\052\000\000\000\270\001\000\000\000\315\200' >"$probe"
chmod +x "$probe"
"$probe" 2>"$dir/error"
code=$?
[ "$code" = 42 ] && exit 0
reason=$(sed -n 's/.*: //p' "$dir/error" | tail -n 1)
echo "${reason:-the probe ended with code $code}"
exit 1
