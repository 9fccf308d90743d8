#!/bin/sh
# Runs a 64-bit Windows program under Wine with a prefix of its own:
#   wine-run.sh PREFIX PROGRAM.exe [ARGUMENTS ...]
# CTest starts many of these at once; the first one creates the prefix while the others wait,
# since Wine set up by several processes at the same time ends up half-initialised.
set -e
if [ $# -lt 2 ]; then
  echo "usage: wine-run.sh PREFIX PROGRAM [ARGUMENTS ...]" >&2
  exit 2
fi
WINEPREFIX=$1
shift
WINE=${KAL2MAP_WINE:-/usr/lib/wine/wine64}
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES

if [ ! -f "$WINEPREFIX/.kal2map-ready" ]; then
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.kal2map-ready" ]; then
      "$WINE" wineboot -i >/dev/null 2>&1
      touch "$WINEPREFIX/.kal2map-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec "$WINE" "$@"
