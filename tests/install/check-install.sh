#!/bin/sh
# check-install.sh BUILD_DIR: `cmake --install` puts quorvel, its manual page and its bash
# completion under a prefix, and nothing else, and the program runs from there; `cpack -G
# DEB` packs the same files under /usr, with a maintainer, a description and a dependency
# on a libc6 as new as the program's symbols need, the only library it loads.
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*" >&2; status=1; }
files="bin/quorvel
share/bash-completion/completions/quorvel
share/man/man1/quorvel.1.gz"

cmake --install "$build" --prefix "$work/prefix" >/dev/null
installed=$(cd "$work/prefix" && find . -type f | sed 's|^\./||' | sort)
[ "$installed" = "$files" ] || fail "installed: $installed"
"$work/prefix/bin/quorvel" --version | grep -qx 'quorvel [0-9.]*' || fail "the installed quorvel does not run"
zcat "$work/prefix/share/man/man1/quorvel.1.gz" | grep -q '^\.TH QUORVEL 1' || fail "no manual page in quorvel.1.gz"

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null)
deb=$(ls "$work"/package/*.deb)
packed=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||' | sort)
[ "$packed" = "$files" ] || fail "packed: $packed"
for field in Maintainer Description; do
  [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "the package has no $field"
done

others=$(objdump -p "$work/prefix/bin/quorvel" | awk '$1 == "NEEDED" { print $2 }' |
  grep -v -e '^libc\.so\.' -e '^libm\.so\.' -e '^ld-linux' || true)
[ -z "$others" ] || fail "quorvel loads more than the C library: $others"
depends=$(dpkg-deb -f "$deb" Depends)
given=$(printf '%s' "$depends" | sed -n 's/^libc6 (>= \([0-9.]*\))$/\1/p')
needed=$(objdump -T "$work/prefix/bin/quorvel" | grep -o 'GLIBC_[0-9.]*' | sed 's/GLIBC_//' | sort -uV | tail -n 1)
[ -n "$given" ] && dpkg --compare-versions "$given" ge "$needed" ||
  fail "the package depends on '$depends'; its symbols need glibc $needed"
exit $status
