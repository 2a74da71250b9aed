#!/usr/bin/env bash
# Draws the program's artwork with ImageMagick into resources/: the icon (a blue rounded square
# with a white "Z" and a Wi-Fi sign) in the sizes the tray and the window manager ask for, the
# install window's close button, and the picture viewer's loading and error pictures and its close
# button.
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

# --- the picture viewer's artwork ---------------------------------------------------------------
# Drawn for a dark full-screen window (grey 77,77,77 or the darkened desktop): light marks on a
# translucent dark panel. The captions use WenQuanYi Micro Hei; without it only the marks are drawn.

panel='rgba(16,16,16,0.72)'
panel_edge='rgba(255,255,255,0.16)'
mark='#E8E8E8'
caption_font=$(fc-match -f '%{file}' 'WenQuanYi Micro Hei' 2>/dev/null || true)
if [[ -z $caption_font || $caption_font != *wqy* ]]; then
  echo "make-artwork.sh: WenQuanYi Micro Hei not found; the viewer artwork has no captions" >&2
  caption_font=
fi

# caption_args <text> <baseline from the bottom>: the options that draw a centred caption.
caption_args() {
  [[ -n $caption_font ]] || return 0
  printf '%s\n' -font "$caption_font" -pointsize 19 -fill "$mark" -stroke none \
    -gravity south -annotate "+0+$2" "$1" -gravity northwest
}

# shellcheck disable=SC2054  # the comma belongs to the option's value
clean=(-strip -define png:exclude-chunks=date,time)  # no time stamps: reruns write the same bytes

# Shown while a picture is on its way: a ring of twelve dots around (130,70), each a little larger
# and brighter than the one before it.
ring=$(awk 'BEGIN {
  for (i = 0; i < 12; i++) {
    t = 3.14159265358979 * (i / 6 - 0.5); x = 130 + 32 * cos(t); y = 70 + 32 * sin(t)
    printf "-fill\nrgba(232,232,232,%.3f)\n-draw\ncircle %.2f,%.2f %.2f,%.2f\n",
      0.2 + i * 0.0727, x, y, x, y + 3 + i * 0.25
  } }')
mapfile -t ring <<<"$ring"
mapfile -t caption < <(caption_args '正在加载…' 18)
convert -size 260x174 xc:none \
  -fill "$panel" -stroke "$panel_edge" -strokewidth 1 \
  -draw 'roundrectangle 0.5,0.5 259.5,173.5 16,16' \
  -stroke none "${ring[@]}" "${caption[@]}" "${clean[@]}" "PNG32:$out/viewer-loading.png"
echo "Wrote $out/viewer-loading.png"

# Shown for a picture that cannot be shown: a landscape photo split by a crack (cut out of the
# marks, so the panel shows through), with a red cross.
mapfile -t caption < <(caption_args '无法显示此图片' 16)
convert -size 203x176 xc:none \
  -fill "$panel" -stroke "$panel_edge" -strokewidth 1 \
  -draw 'roundrectangle 0.5,0.5 202.5,175.5 16,16' \
  \( -size 203x176 xc:none \
     -fill none -stroke "$mark" -strokewidth 4 -draw 'roundrectangle 46,22 156,108 6,6' \
     -stroke none -fill "$mark" -draw 'circle 128,45 128,55' \
     -draw 'polygon 50,104 84,60 106,86 120,72 152,104' \
     \( -size 203x176 xc:none -stroke black -strokewidth 5 -fill none \
        -draw 'polyline 103,16 96,40 109,58 95,80 107,96 101,114' \) \
     -compose dst_out -composite \) \
  -compose over -composite \
  -fill '#D93A3A' -stroke none -draw 'circle 150,104 150,122' \
  -stroke "$white" -strokewidth 3.5 -draw 'line 143,97 157,111' -draw 'line 157,97 143,111' \
  "${caption[@]}" "${clean[@]}" "PNG32:$out/viewer-bad.png"
echo "Wrote $out/viewer-bad.png"

# The viewer's close button: four 29 x 29 slices side by side (normal, hover, pressed, disabled),
# a white "x" on a round translucent dark, red, darker red or grey background.
viewer_slice() {  # viewer_slice <file> <background> <cross colour>
  convert -size 29x29 xc:none -fill "$2" -stroke 'rgba(255,255,255,0.22)' -strokewidth 1 \
    -draw 'circle 14,14 14,1' -stroke "$3" -strokewidth 2.4 -fill none \
    -draw 'line 9.5,9.5 18.5,18.5' -draw 'line 18.5,9.5 9.5,18.5' "PNG32:$1"
}
viewer_slice "$slices/v0.png" 'rgba(24,24,24,0.62)' "$white"
viewer_slice "$slices/v1.png" '#E04848' "$white"
viewer_slice "$slices/v2.png" '#A82A2A' "$white"
viewer_slice "$slices/v3.png" 'rgba(96,96,96,0.55)' 'rgba(190,190,190,0.8)'
convert "$slices/v0.png" "$slices/v1.png" "$slices/v2.png" "$slices/v3.png" +append "${clean[@]}" \
  "PNG32:$out/viewer-close.png"
echo "Wrote $out/viewer-close.png"
