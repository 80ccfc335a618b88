#!/bin/sh
# wine-prefix.sh start|stop PREFIX: prepares the Wine prefix of a test run and keeps its
# server running until the run ends, so that each test starts Wine quickly.
set -eu
export WINEPREFIX="$2" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
case "$1" in
  start)
    command -v wine >/dev/null || { echo "wine is not installed" >&2; exit 1; }
    mkdir -p "$WINEPREFIX"
    # A server left from an earlier run would not stay up, so start a persistent one anew.
    wineserver -k 2>/dev/null || true
    # Nothing started here may hold the test's output open, or the test would never end.
    wineserver -p </dev/null >/dev/null 2>&1
    wineboot --init </dev/null >/dev/null 2>&1 || { echo "wineboot failed" >&2; exit 1; }
    # The registry reaches the disk only when the server ends; the folders are there at once.
    [ -d "$WINEPREFIX/drive_c" ] || { echo "the Wine prefix was not created" >&2; exit 1; }
    ;;
  stop)
    wineserver -k </dev/null >/dev/null 2>&1 || true
    ;;
esac
