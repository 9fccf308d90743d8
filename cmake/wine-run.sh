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
case $1 in
  /*) WINEPREFIX=$1 ;;
  *) WINEPREFIX=$PWD/$1 ;;  # Wine refuses a relative prefix
esac
shift
WINE=${KAL2MAP_WINE:-/usr/lib/wine/wine64}
WINESERVER=${KAL2MAP_WINESERVER:-/usr/lib/wine/wineserver64}
[ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES

# Left to itself, Wine stops its server and services as soon as one test ends and starts them
# again for the next; a test that starts while they stop loses its connection ("wine client
# error ... Connection reset by peer"). A server that stays 30 s after the last program spans
# the gaps between tests and still ends on its own. If one already runs, this one just exits.
mkdir -p "$WINEPREFIX"
"$WINESERVER" -p30 >/dev/null 2>&1 || true

if [ ! -f "$WINEPREFIX/.kal2map-ready" ]; then
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.kal2map-ready" ]; then
      # The lock's descriptor is closed for Wine: the wineserver it starts outlives this script.
      "$WINE" wineboot -i 9>&- >/dev/null 2>&1
      # Wine marks names starting with "." hidden, Windows does not.
      "$WINE" reg add 'HKCU\Software\Wine' /v ShowDotFiles /d Y /f 9>&- >/dev/null 2>&1
      touch "$WINEPREFIX/.kal2map-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec "$WINE" "$@"
