#!/bin/sh
# Draws kal2map.ico (16, 32 and 48 pixels) with ImageMagick: a map sheet with a grid and a
# calibration point, as the program turns calibration points into map files.
#   src/ui/make_icon.sh [OUTPUT.ico]
set -e
out=${1:-"$(dirname "$0")/kal2map.ico"}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for size in 16 32 48; do
  s=$((size))
  e=$((s - 1))
  convert -size "${s}x${s}" xc:none \
    -fill '#f4e9c8' -stroke '#6b5a2e' -strokewidth 1 \
    -draw "polygon 1,$((s / 8)) $((s / 3)),1 $((2 * s / 3)),$((s / 8)) $((e - 1)),1 $((e - 1)),$((e - s / 8)) $((2 * s / 3)),$((e - 1)) $((s / 3)),$((e - s / 8)) 1,$((e - 1))" \
    -stroke '#7aa6d6' -strokewidth 1 \
    -draw "line $((s / 3)),2 $((s / 3)),$((e - s / 8 - 1))" \
    -draw "line $((2 * s / 3)),$((s / 8 + 1)) $((2 * s / 3)),$((e - 2))" \
    -draw "line 2,$((s / 2)) $((e - 2)),$((s / 2))" \
    -fill '#d62a1e' -stroke '#7a1008' \
    -draw "circle $((s / 2)),$((s / 2)) $((s / 2 + s / 6)),$((s / 2))" \
    "PNG32:$tmp/icon$s.png"
done
convert "$tmp/icon16.png" "$tmp/icon32.png" "$tmp/icon48.png" "$out"
