#!/bin/sh
# Installs what building and testing need when it is missing (Debian, as root): the
# compilers, GoogleTest, the 32-bit Windows cross compiler, Wine, and zip for benchmarks.
set -eu

missing=""
need() { command -v "$1" >/dev/null 2>&1 || missing="$missing $2"; }
need cmake cmake
need g++ g++
need i686-w64-mingw32-g++ g++-mingw-w64-i686
need wine wine
need zip zip
need unzip unzip
[ -f /usr/include/gtest/gtest.h ] || missing="$missing libgtest-dev"
# The 32-bit Wine loader comes with wine32:i386.
dpkg -s wine32:i386 >/dev/null 2>&1 || missing="$missing wine32:i386"
# Wine takes its ANSI code page from an installed locale; tests of double-byte names run
# under ja_JP.UTF-8.
has_japanese_locale() { locale -a 2>/dev/null | grep -qi '^ja_JP.utf-\?8$'; }
has_japanese_locale || { dpkg -s locales >/dev/null 2>&1 || missing="$missing locales"; }

if [ -z "$missing" ] && has_japanese_locale; then exit 0; fi
if [ "$(id -u)" != 0 ]; then
  echo "missing packages:$missing (run this script as root to install them)" >&2
  exit 1
fi
if echo "$missing" | grep -q ':i386' && ! dpkg --print-foreign-architectures | grep -q i386; then
  dpkg --add-architecture i386
fi
if [ -n "$missing" ]; then
  echo "installing:$missing"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
if ! has_japanese_locale; then
  touch /etc/locale.gen
  sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi
