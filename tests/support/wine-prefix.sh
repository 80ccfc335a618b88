#!/bin/sh
# wine-prefix.sh start|stop STATE: decides which Windows Expander the test run uses and
# under which Wine, prepares that Wine's prefix below STATE and keeps its server running
# until the run ends, so that each test starts Wine quickly.
#   i686:   the shipped expander.exe under 32-bit Wine, where this machine runs 32-bit programs;
#   x86_64: its twin expander64.exe, built from the same sources, under 64-bit Wine, where
#           it cannot.
# QUORVEL_WINDOWS_TESTS=i686|x86_64 sets the choice; otherwise a 32-bit probe makes it (and
# where 32-bit Wine could not be installed, as scripts/deps.sh reports, x86_64 stands in). The
# choice is kept in STATE/windows.env for the tests, and stated in one line in STATE/decision.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
state=$2
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

use() {
  variant=$1
  case $variant in
    i686) loader=/usr/lib/wine/wine server=/usr/lib/wine/wineserver32 arch=win32 stub=expander.exe wine="32-bit Wine";;
    x86_64) loader=/usr/lib/wine/wine64 server=/usr/lib/wine/wineserver64 arch=win64 stub=expander64.exe wine="64-bit Wine";;
  esac
  export WINEPREFIX="$state/prefix-$variant" WINESERVER=$server WINELOADER=$loader WINEARCH=$arch
}

decide() {
  case ${QUORVEL_WINDOWS_TESTS:-} in
    i686 | x86_64) use "$QUORVEL_WINDOWS_TESTS"; why="QUORVEL_WINDOWS_TESTS=$QUORVEL_WINDOWS_TESTS";;
    "")
      if reason=$(sh "$here/../../scripts/probe-32bit.sh"); then
        use i686; why="this machine runs 32-bit programs"
        if [ ! -x "$loader" ]; then
          use x86_64; why="32-bit Wine is not installed, although this machine runs 32-bit programs"
        fi
      else
        use x86_64; why="this machine cannot run 32-bit programs ($reason)"
      fi;;
    *) echo "QUORVEL_WINDOWS_TESTS takes i686 or x86_64, not $QUORVEL_WINDOWS_TESTS" >&2; exit 1;;
  esac
}

case "$1" in
  start)
    mkdir -p "$state"
    decide
    echo "Windows cases: $stub ($variant) under $wine, because $why" | tee "$state/decision"
    printf 'variant=%s\nloader=%s\nserver=%s\nprefix=%s\n' "$variant" "$loader" "$server" "$WINEPREFIX" \
      >"$state/windows.env"
    [ -x "$loader" ] && [ -x "$server" ] || { echo "$wine is not installed (scripts/deps.sh installs it)" >&2; exit 1; }
    mkdir -p "$WINEPREFIX"
    # A server left from an earlier run would not stay up, so start a persistent one anew.
    "$server" -k 2>/dev/null || true
    # Nothing started here may hold the test's output open, or the test would never end.
    "$server" -p </dev/null >/dev/null 2>&1
    "$loader" wineboot --init </dev/null >/dev/null 2>&1 || { echo "wineboot failed" >&2; exit 1; }
    # The registry reaches the disk only when the server ends; the folders are there at once.
    [ -d "$WINEPREFIX/drive_c" ] || { echo "the Wine prefix was not created" >&2; exit 1; }
    ;;
  stop)
    [ -f "$state/windows.env" ] || exit 0
    . "$state/windows.env"
    WINEPREFIX=$prefix "$server" -k </dev/null >/dev/null 2>&1 || true
    ;;
esac
