#!/bin/sh
# deps.sh [build|test]: installs what is missing (Debian, as root) for
#   build: building quorvel and its Expanders (scripts/demo.sh): CMake, Ninja, g++, the i686
#     mingw-w64 cross compiler for the Windows Expander, CLI11, nlohmann-json, and uchardet
#     (with pkg-config) to guess an archive's code page;
#   test (the default; scripts/test.sh): all of that, and clang with libFuzzer, GoogleTest,
#     the x86_64 cross compiler, Wine (32-bit where this machine runs 32-bit programs,
#     64-bit always) with the ja_JP locale, zip for benchmarks, groff to check the manual
#     page and dpkg-shlibdeps for the package's dependency.
# Run by another user, it names what is missing and how to install it, and fails.
set -eu
cd "$(dirname "$0")/.."
profile=${1:-test}
case $profile in
  build | test) ;;
  *) echo "usage: scripts/deps.sh [build|test]" >&2; exit 2 ;;
esac

missing=""
need() { command -v "$1" >/dev/null 2>&1 || missing="$missing $2"; }
need_file() { [ -e "$1" ] || missing="$missing $2"; }
need_glob() { ls $1 >/dev/null 2>&1 || missing="$missing $2"; }

need cmake cmake
need ninja ninja-build
need g++ g++
need i686-w64-mingw32-g++ g++-mingw-w64-i686
need_file /usr/include/CLI/CLI.hpp libcli11-dev
need_file /usr/include/nlohmann/json.hpp nlohmann-json3-dev
# uchardet guesses the code page of an archive's names; quorvel links its static library.
need pkg-config pkg-config
need_file /usr/include/uchardet/uchardet.h libuchardet-dev

# The 32-bit Wine loader comes with wine32:i386, useful only where 32-bit programs run.
# Wine takes its ANSI code page from an installed locale; tests of double-byte names run
# under ja_JP.UTF-8.
has_japanese_locale() { locale -a 2>/dev/null | grep -qi '^ja_JP.utf-\?8$'; }
if [ "$profile" = test ]; then
  # clang with libFuzzer and the sanitizers' runtimes, for the fuzz targets.
  need clang++ clang
  need_glob "/usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" libclang-rt-14-dev
  need x86_64-w64-mingw32-g++ g++-mingw-w64-x86-64
  need zip zip
  need unzip unzip
  need groff groff-base
  need dpkg-shlibdeps dpkg-dev
  need_file /usr/include/gtest/gtest.h libgtest-dev
  need_file /usr/lib/wine/wine64 wine64
  need wine wine
  runs_32bit=no
  scripts/probe-32bit.sh >/dev/null && runs_32bit=yes
  [ $runs_32bit = no ] || dpkg -s wine32:i386 >/dev/null 2>&1 || missing="$missing wine32:i386"
  has_japanese_locale || { dpkg -s locales >/dev/null 2>&1 || missing="$missing locales"; }
fi
locale_missing() { [ "$profile" = test ] && ! has_japanese_locale; }

if [ -z "$missing" ] && ! locale_missing; then exit 0; fi
if [ "$(id -u)" != 0 ]; then
  {
    [ -z "$missing" ] || echo "missing packages:$missing"
    locale_missing && echo "missing: the ja_JP.UTF-8 locale"
    echo "To install them, run as root (e.g. with sudo):  scripts/deps.sh $profile"
    if [ -n "$missing" ]; then
      add_i386=""
      echo "$missing" | grep -q ':i386' && add_i386="dpkg --add-architecture i386 && "
      echo "or:  ${add_i386}apt-get update && apt-get install --no-install-recommends$missing"
    fi
  } >&2
  exit 1
fi
if echo "$missing" | grep -q ':i386' && ! dpkg --print-foreign-architectures | grep -q i386; then
  dpkg --add-architecture i386
fi
install() { DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >/dev/null; }
if [ -n "$missing" ]; then
  echo "installing:$missing"
  # A mirror in mid-sync can fail one index; what the others list may still be enough.
  apt-get update -qq || echo "deps: some package lists could not be fetched; trying with what is there" >&2
  others=$(echo "$missing" | tr ' ' '\n' | grep -v ':i386$' | tr '\n' ' ')
  [ -z "${others# }" ] || install $others
  # 32-bit Wine needs i386 libraries of the very versions installed for amd64, which a mirror
  # in mid-sync may not offer yet; the Windows cases then run the x86_64 twin under 64-bit
  # Wine (tests/support/wine-prefix.sh says so).
  if echo "$missing" | grep -q ':i386'; then
    install wine32:i386 || echo "deps: 32-bit Wine could not be installed; the Windows cases will run under 64-bit Wine" >&2
  fi
fi
if locale_missing; then
  touch /etc/locale.gen
  sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi
