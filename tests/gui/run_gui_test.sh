#!/bin/sh
# Runs gui_driver.exe against kal2map.exe under Wine in a virtual X display (Xvfb):
#   run_gui_test.sh KAL2MAP.exe GUI_DRIVER.exe EXAMPLES_FOLDER WORK_FOLDER [SCREENSHOT.png]
# KAL2MAP_GUI_DPI sets the screen's DPI (96 unless set); each DPI needs a WORK_FOLDER of its own.
# WORK_FOLDER keeps the Wine prefix between runs, as creating one takes a while; the program's
# folders on its drive C: are made afresh on every run. Every step has a time limit, and the
# Wine processes of the prefix are ended afterwards, whatever the outcome.
set -eu

if [ "${1:-}" = "--in-display" ]; then
  shift
  exe=$1 driver=$2 examples=$3 bmp=$4
  if [ ! -f "$WINEPREFIX/.kal2map-gui-ready" ]; then
    "$WINE" wineboot -i >/dev/null 2>&1
    # Without a window manager Wine draws the title bar and frame itself.
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    # ... with the glyphs of its title-bar buttons from Wine's own Marlett.
    cp "$(dirname "$(realpath "$WINE")")/../../share/wine/fonts/marlett.ttf" \
      "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    # The screen's DPI, which the window scales its twips layout and fonts to.
    "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$DPI" /f \
      >/dev/null 2>&1
    "$WINESERVER" -w
    touch "$WINEPREFIX/.kal2map-gui-ready"
  fi
  # A folder that cannot be listed, which the driver finds in the tree it converts. Root may
  # list every folder; the test then runs without the two capabilities that allow that.
  locked="$WINEPREFIX/drive_c/Karten/Baum/B gesperrt"
  mkdir -p "$locked"
  cp "$examples/muenchen.kal" "$locked/"
  chmod 000 "$locked"
  limited=
  if [ "$(id -u)" -eq 0 ]; then
    limited="setpriv --bounding-set=-dac_override,-dac_read_search"
    $limited true 2>/dev/null || limited=
  fi
  # The program's folders lie on drive C: of the prefix, where a Windows user has them.
  exec timeout -k 5 240 $limited "$WINE" "$driver" "$exe" "$examples" 'C:\Karten' ${bmp:+"$bmp"}
fi

if [ $# -lt 4 ]; then
  echo "usage: run_gui_test.sh KAL2MAP.exe GUI_DRIVER.exe EXAMPLES WORK_FOLDER [SCREENSHOT.png]" >&2
  exit 2
fi
exe=$(realpath "$1") driver=$(realpath "$2") examples=$(realpath "$3")
mkdir -p "$4"
work=$(realpath "$4")
shot=${5:-}

WINE=${KAL2MAP_WINE:-/usr/lib/wine/wine64}
WINESERVER=${KAL2MAP_WINESERVER:-/usr/lib/wine/wineserver64}
[ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver
WINEPREFIX=$work/wineprefix
DPI=${KAL2MAP_GUI_DPI:-96}
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml="
# Unix file names are UTF-8; Wine reads them as such only in a UTF-8 locale.
LC_ALL=C.UTF-8
export WINE WINESERVER WINEPREFIX DPI WINEDEBUG WINEDLLOVERRIDES LC_ALL

run=$work/run
cleanup() {
  WINEPREFIX=$WINEPREFIX "$WINESERVER" -k >/dev/null 2>&1 || true
  chmod -R u+rwx "$run" "$WINEPREFIX/drive_c/Karten" 2>/dev/null || true
  rm -rf "$run" "$WINEPREFIX/drive_c/Karten"
}
trap cleanup EXIT INT TERM
cleanup
mkdir -p "$run"

bmp=
[ -n "$shot" ] && bmp=$run/screenshot.bmp
status=0
timeout -k 10 300 xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" \
  "$0" --in-display "$exe" "$driver" "$examples" "$bmp" || status=$?
if [ "$status" -eq 0 ] && [ -n "$shot" ]; then
  convert "$bmp" -strip "$shot"
fi
exit "$status"
