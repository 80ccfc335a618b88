#!/bin/sh
# check-layering.sh SRC: every part of the source tree includes only itself and the parts
# below it: the core (format, decoder), then the libraries (packer, reader) and the tool;
# the core, then the Expander. Prints each include that goes the wrong way.
set -eu
src=$1
allowed() {
  case $1 in
    format) echo "format";;
    decoder) echo "format decoder";;
    packer) echo "format decoder packer";;
    reader) echo "format decoder reader";;
    expander) echo "format decoder expander";;
    tool) echo "format decoder packer reader tool";;
  esac
}
wrong=0
for part in format decoder packer reader expander tool; do
  for file in $(find "$src/$part" -name '*.cpp' -o -name '*.hpp'); do
    for target in $(sed -n 's@^#include "\([a-z_]*\)/.*@\1@p' "$file" | sort -u); do
      case " $(allowed "$part") " in
        *" $target "*) ;;
        *) echo "${file#$src/} includes $target/, which $part may not use"; wrong=1;;
      esac
    done
  done
done
exit $wrong
