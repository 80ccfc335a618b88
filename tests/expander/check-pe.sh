#!/bin/sh
# check-pe.sh FILE i686|x86_64: checks a built Windows Expander without running it: exactly
# 20480 bytes, a console program of the right machine, importing only KERNEL32, USER32,
# SHELL32 and msvcrt, with a 5 MB stack reserve.
set -eu
file=$1 machine=$2
case $machine in
  i686) format=pei-i386 magic="010b	(PE32)";;
  x86_64) format=pei-x86-64 magic="020b	(PE32+)";;
esac
failed=0
check() {  # check WHAT EXPECTED ACTUAL
  [ "$2" = "$3" ] && return
  echo "$file: $1 is \"$3\", expected \"$2\"" >&2
  failed=1
}
headers=$(objdump -p "$file")
field() { echo "$headers" | sed -n "s/^$1[[:space:]]*//p" | head -n 1; }
check size 20480 "$(wc -c <"$file" | tr -d ' ')"
check format "$format" "$(echo "$headers" | sed -n 's/.*file format //p' | head -n 1)"
check magic "$magic" "$(field Magic)"
check subsystem "00000003	(Windows CUI)" "$(field Subsystem)"
check "stack reserve" 5242880 "$(printf %d "0x$(field SizeOfStackReserve)")"
imports=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
check imports "KERNEL32.DLL MSVCRT.DLL SHELL32.DLL USER32.DLL " "$imports"
exit $failed
