#!/usr/bin/env bash
# Draws the program icon (a blue rounded square with a white "Z" and a Wi-Fi sign) with
# ImageMagick and writes it to resources/ in the sizes the tray and the window manager ask for.
# The output carries no time stamps, so a rerun leaves the committed files unchanged.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/resources"
master=$(mktemp --suffix=.png)
trap 'rm -f "$master"' EXIT

blue='#1F6FD6'
white='#FFFFFF'

# 256 x 256 master; everything else is scaled down from it. The "Z" is one filled outline. The
# Wi-Fi sign (two arcs and a dot around (204,150)) is cut from rings by an upward quarter wedge,
# because ImageMagick 6 fills stroked open arcs.
convert -size 256x256 xc:none \
  -fill "$blue" -draw 'roundrectangle 6,6 249,249 52,52' \
  -fill "$white" \
  -draw 'polygon 40,50 172,50 172,78 84,178 172,178 172,206 40,206 40,178 128,78 40,78' \
  \( -size 256x256 xc:"$white" \
     \( -size 256x256 xc:black \
        -fill white -draw 'circle 204,150 204,92' -fill black -draw 'circle 204,150 204,107' \
        -fill white -draw 'circle 204,150 204,117' -fill black -draw 'circle 204,150 204,132' \
        \( -size 256x256 xc:black -fill white -draw 'polygon 204,150 80,26 328,26' \) \
        -compose multiply -composite \
        -fill white -draw 'circle 204,150 204,161' \) \
     -alpha off -compose copy_opacity -composite \) \
  -compose over -composite \
  "$master"

for size in 16 32 64; do
  convert "$master" -filter Lanczos -resize "${size}x${size}" -strip \
    -define png:exclude-chunks=date,time "PNG32:$out/zephra-$size.png"
done
echo "Wrote $out/zephra-{16,32,64}.png"

# The install window's close button: four 15 x 15 slices side by side (normal, hover, pressed,
# disabled), an "x" cross that the hover and pressed slices put on a red rounded square.
slice() {  # slice <file> <background or none> <cross colour>
  local file=$1 back=$2 cross=$3
  local args=(-size 15x15 xc:none)
  if [[ "$back" != none ]]; then
    args+=(-fill "$back" -draw 'roundrectangle 0,0 14,14 4,4')
  fi
  convert "${args[@]}" -stroke "$cross" -strokewidth 1.6 -fill none \
    -draw 'line 4,4 10,10' -draw 'line 10,4 4,10' "PNG32:$file"
}
slices=$(mktemp -d)
trap 'rm -f "$master"; rm -rf "$slices"' EXIT
slice "$slices/0.png" none '#6E6E8C'
slice "$slices/1.png" '#E04848' "$white"
slice "$slices/2.png" '#B02E2E' "$white"
slice "$slices/3.png" none '#C4C4D4'
convert "$slices/0.png" "$slices/1.png" "$slices/2.png" "$slices/3.png" +append -strip \
  -define png:exclude-chunks=date,time "PNG32:$out/close-button.png"
echo "Wrote $out/close-button.png"
