#!/bin/sh
# Runs every test suite of a build folder under Wine: one X display and one
# persistent wineserver for the whole run (a Wine start costs seconds), both
# stopped again at the end.
set -eu
BUILD="$1"
ROOT="$(cd "$(dirname "$0")/.." && pwd)"

export WINEPREFIX="$(cd "$BUILD" && pwd)/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
DISPLAY="$("$ROOT/scripts/xvfb-ensure.sh")"
export DISPLAY

mkdir -p "$WINEPREFIX"
# A server left from an earlier run would not stay; start a persistent one.
"$WINESERVER" -k >/dev/null 2>&1 || true
"$WINESERVER" -w >/dev/null 2>&1 || true
"$WINESERVER" -p
trap '"$WINESERVER" -k >/dev/null 2>&1 || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "run-tests: creating the Wine prefix"
  "$WINELOADER" wineboot -i >/dev/null 2>&1 || true
fi
"$ROOT/scripts/wine-fonts.sh" "$WINEPREFIX"

cd "$BUILD"
# One suite at a time: they share one Wine desktop, and a window that one
# suite brings to the front would close another suite's open menu.
ctest --output-on-failure
