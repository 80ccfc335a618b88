#!/bin/sh
# check-install.sh BUILD_DIR SOURCE_DIR [GLIBC]: `cmake --install` puts quorvel (stripped),
# its manual page, its bash completion and LICENSE under a prefix, and nothing else, and the
# program runs from there; `cpack -G DEB` packs the same files under /usr but for LICENSE,
# which it holds as Debian's machine-readable copyright file, with a changelog of its
# version; the package has a maintainer, a description and a dependency on a libc6 as new
# as the program's symbols need, the only library it loads, and no newer than GLIBC.
set -eu
build=$1 source=$2 glibc=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*" >&2; status=1; }
files="bin/quorvel
share/bash-completion/completions/quorvel
share/man/man1/quorvel.1.gz"
stripped() { ! readelf -S -W "$1" | grep -q ' \.symtab '; }

cmake --install "$build" --prefix "$work/prefix" >/dev/null
installed=$(cd "$work/prefix" && find . -type f | sed 's|^\./||' | sort)
[ "$installed" = "$(printf '%s\nshare/doc/quorvel/LICENSE' "$files" | sort)" ] || fail "installed: $installed"
"$work/prefix/bin/quorvel" --version | grep -qx 'quorvel [0-9.]*' || fail "the installed quorvel does not run"
stripped "$work/prefix/bin/quorvel" || fail "the installed quorvel is not stripped"
zcat "$work/prefix/share/man/man1/quorvel.1.gz" | grep -q '^\.TH QUORVEL 1' || fail "no manual page in quorvel.1.gz"
cmp -s "$source/LICENSE" "$work/prefix/share/doc/quorvel/LICENSE" || fail "the installed LICENSE is not LICENSE"

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null)
deb=$(ls "$work"/package/*.deb)
packed=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||' | sort)
expected=$(printf '%s\nshare/doc/quorvel/changelog.gz\nshare/doc/quorvel/copyright' "$files" | sort)
[ "$packed" = "$expected" ] || fail "packed: $packed"
for field in Maintainer Description; do
  [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "the package has no $field"
done
dpkg-deb -x "$deb" "$work/unpacked"
stripped "$work/unpacked/usr/bin/quorvel" || fail "the packed quorvel is not stripped"

# The copyright file: the format's header, the Expat (MIT) licence, and LICENSE's terms as
# its text (lines indented by one space, an empty line as " .").
doc=$work/unpacked/usr/share/doc/quorvel
head -n 1 "$doc/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not in the machine-readable format"
grep -qx "Copyright: $(sed -n 's/^Copyright (c) //p' "$source/LICENSE")" "$doc/copyright" ||
  fail "the copyright file does not name LICENSE's holder"
terms=$(sed -n '/^License: Expat$/,$p' "$doc/copyright" | sed '1d; s/^ //; s/^\.$//')
[ "$terms" = "$(sed -n '/^Permission/,$p' "$source/LICENSE")" ] || fail "the copyright file does not hold LICENSE's terms"
version=$(dpkg-deb -f "$deb" Version)
zcat "$doc/changelog.gz" | head -n 1 | grep -q "^quorvel ($version) " || fail "the changelog is not of version $version"

others=$(objdump -p "$work/prefix/bin/quorvel" | awk '$1 == "NEEDED" { print $2 }' |
  grep -v -e '^libc\.so\.' -e '^libm\.so\.' -e '^libpthread\.so\.' -e '^ld-linux' || true)
[ -z "$others" ] || fail "quorvel loads more than the C library: $others"
depends=$(dpkg-deb -f "$deb" Depends)
given=$(printf '%s' "$depends" | sed -n 's/^libc6 (>= \([0-9.]*\))$/\1/p')
needed=$(objdump -T "$work/prefix/bin/quorvel" | grep -o 'GLIBC_[0-9.]*' | sed 's/GLIBC_//' | sort -uV | tail -n 1)
[ -n "$given" ] && dpkg --compare-versions "$given" ge "$needed" ||
  fail "the package depends on '$depends'; its symbols need glibc $needed"
[ -z "$glibc" ] || { [ -n "$given" ] && dpkg --compare-versions "$given" le "$glibc"; } ||
  fail "the package depends on '$depends', newer than glibc $glibc"
exit $status
