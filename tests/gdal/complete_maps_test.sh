#!/bin/sh
# GDAL, an independent reader of map files, opens complete maps written by kal2map-cli: the
# corner coordinates it computes, in whatever plane the map declares, must match the MMPLL lines within 1e-6 degrees, and a sheet
# calibrated at whole degrees must lie where its corners say.
#   complete_maps_test.sh KAL2MAP-CLI WORK-FOLDER
set -eu
cli=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
cd "$work"

# sheet NAME IMAGE-FILE WIDTH HEIGHT then lines "x y lon lat" on standard input
sheet() {
  name=$1 image=$2
  gdal_create -q -outsize "$3" "$4" -bands 1 -burn 200 -of "$(format "$image")" "$image"
  {
    printf '[Map]\r\nBitmap = %s\r\n' "$image"
    n=0
    while read -r x y lon lat; do
      n=$((n + 1))
      printf '[Calibration Point%d]\r\nLatitude = %s\r\nLongitude = %s\r\nPixel = (%s, %s)\r\n' \
        "$n" "$lat" "$lon" "$x" "$y"
    done
  } >"$name.kal"
}

format() {
  case $1 in
    *.png) echo PNG ;; *.jpg) echo JPEG ;; *.bmp) echo BMP ;; *.gif) echo GIF ;; *.tif) echo GTiff ;;
  esac
}

# North up, a 3 x 3 grid in the south and west.
sheet grid grid.png 1200 900 <<'POINTS'
0 0 -58.5 -34.5
600 0 -58.25 -34.5
1200 0 -58 -34.5
0 450 -58.5 -34.75
600 450 -58.25 -34.75
1200 450 -58 -34.75
0 900 -58.5 -35
600 900 -58.25 -35
1200 900 -58 -35
POINTS
# A scan turned by a few degrees, four corners and a centre point.
sheet turned turned.jpg 2000 1500 <<'POINTS'
40 60 11.5 48.2
1990 150 11.75 48.2
1900 1480 11.75 48.05
-50 1390 11.5 48.05
970 770 11.625 48.125
POINTS
# Whole degrees at every corner, as printed sheets have them.
sheet whole whole.tif 3000 2000 <<'POINTS'
0 0 13 53
3000 0 15 53
3000 2000 15 52
0 2000 13 52
1500 1000 14 52.5
POINTS
sheet bitmap bitmap.bmp 800 600 <<'POINTS'
0 0 151.1 -33.8
800 0 151.3 -33.8
800 600 151.3 -33.95
0 600 151.1 -33.95
POINTS
sheet gif gif.gif 640 480 <<'POINTS'
0 0 -0.2 51.6
640 0 0.1 51.6
640 480 0.1 51.4
0 480 -0.2 51.4
POINTS

"$cli" --complete . >/dev/null

failed=0
for map in grid turned whole bitmap gif; do
  # MMPLL n lon lat, and GDAL's corners in the same order: (0,0), (W,0), (W,H), (0,H).
  grep -a '^MMPLL' "$map.map" | tr -d '\r' | awk -F, '{ print $3, $4 }' >expected
  # GDAL's affine fit of the points in the plane the map declares, back in degrees.
  w=$(gdalinfo "$map.map" | awk -F'[ ,]+' '/^Size is/ { print $3 }')
  h=$(gdalinfo "$map.map" | awk -F'[ ,]+' '/^Size is/ { print $4 }')
  printf '0 0\n%s 0\n%s %s\n0 %s\n' "$w" "$w" "$h" "$h" |
    gdaltransform -order 1 -t_srs EPSG:4326 "$map.map" | awk '{ print $1, $2 }' >actual
  if ! paste expected actual | awk -v map="$map" '
      NF != 4 { print map ": GDAL gives no corner coordinates"; bad = 1; next }
      { d1 = $1 - $3; d2 = $2 - $4; if (d1 < 0) d1 = -d1; if (d2 < 0) d2 = -d2
        if (d1 > 1e-6 || d2 > 1e-6) { print map ": MMPLL " $1 " " $2 ", GDAL " $3 " " $4; bad = 1 } }
      END { exit bad }'; then
    failed=1
  fi
done
# GDAL must place the whole-degree sheet at its corners, not hundreds of degrees away.
if ! gdalinfo whole.map | grep -q '^Upper Left  (  13.0000000,  53.0000000)'; then
  echo "whole: GDAL does not place the sheet at 13 E, 53 N" >&2
  failed=1
fi
[ "$failed" -eq 0 ] && echo "GDAL reads every complete map with the border kal2map computed"
exit "$failed"
