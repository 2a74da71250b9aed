#!/usr/bin/env bash
# Draws the demo's sample pictures with ImageMagick into OUT_DIR; files already there (and not
# empty) are kept. The names sort in show order:
#
#   01-plasma.jpg       1600 x 1200
#   02-hills.jpg        4000 x 3000, stored turned left with EXIF orientation 6
#   03-portrait.jpg      800 x 1200, stored turned right with EXIF orientation 8
#   04-large.jpg        6000 x 4000, about 3 MB, stored upside down with EXIF orientation 3
#   05-cutout.png       1200 x 900 with a transparent background and a half-transparent disc
#   06-spinner.gif       480 x 360, ten frames at 0.1 s, looping
#   07-stripes.jpg      1920 x 1080
#   08-harbour.heic     2016 x 1512, HEIF as phones shoot it (encoded with heif-enc)
#
# Sizes are as the pictures appear upright. Each carries a caption that reads the right way up
# only when its orientation is applied.
#
# usage: scripts/make-samples.sh OUT_DIR
set -euo pipefail

if (($# != 1)); then
  echo "usage: $0 OUT_DIR" >&2
  exit 2
fi
out=$1
mkdir -p "$out"

font=$(fc-match -f '%{file}' 'sans-serif:bold')
jpeg=(-strip -quality 90)

# --- helpers -----------------------------------------------------------------------------------

# caption_args <width> <height> <text>: the options that put <text> on a dark band along the
# bottom of a <width> x <height> picture.
# The text is half the band's height, smaller when it would not fit the width.
caption_args() {
  local w=$1 h=$2 text=$3 band=$(($2 / 7)) size
  size=$((band / 2))
  ((size * ${#text} * 7 <= w * 10)) || size=$((w * 10 / (${#text} * 7)))
  printf '%s\n' -fill 'rgba(0,0,0,0.45)' -stroke none -draw "rectangle 0,$((h - band)) $w,$h" \
    -font "$font" -pointsize "$size" -fill white -gravity south \
    -annotate "+0+$((band / 4))" "$text" -gravity northwest
}

# with_orientation <jpeg> <1..8>: puts an EXIF APP1 segment whose IFD0 holds only the Orientation
# tag after the file's JFIF segment (ImageMagick keeps the orientation only when the picture came
# with an EXIF block, so it is written here byte by byte).
with_orientation() {
  local file=$1 orientation=$2 head_length=2 tmp
  [[ $(od -An -tx1 -N6 "$file" | tr -d ' \n') == ffd8ffe00010 ]] && head_length=20
  tmp="$file.exif"
  {
    head -c "$head_length" "$file"
    # APP1, length 34: "Exif\0\0", big-endian TIFF header, one IFD0 entry (0x0112, SHORT, 1).
    printf '\xff\xe1\x00\x22Exif\x00\x00MM\x00\x2a\x00\x00\x00\x08'
    printf '\x00\x01\x01\x12\x00\x03\x00\x00\x00\x01\x00%b\x00\x00' "\\x0$orientation"
    printf '\x00\x00\x00\x00'  # no further IFD
    tail -c "+$((head_length + 1))" "$file"
  } >"$tmp"
  mv "$tmp" "$file"
}

# sample <name> <command...>: runs the command with the temporary path appended unless <name>
# exists, then moves the result into place, so an interrupted run leaves no half-written sample.
sample() {
  local name=$1
  shift
  [[ -s $out/$name ]] && return 0
  local tmp="$out/.$name.part"
  "$@" "$tmp"
  mv "$tmp" "$out/$name"
}

# --- the samples -------------------------------------------------------------------------------

plasma() {  # plasma <output>
  mapfile -t caption < <(caption_args 1600 1200 'Zephra sample 1')
  convert -seed 11 -size 1600x1200 plasma:fractal -blur 0x1 "${caption[@]}" "${jpeg[@]}" "JPEG:$1"
}

# The upright picture is 4000 x 3000; its pixels are stored turned a quarter left.
hills() {  # hills <output>
  mapfile -t caption < <(caption_args 4000 3000 'Zephra sample 2 — orientation 6')
  convert -size 4000x3000 gradient:'#2B5FA8-#F3B46B' \
    -fill '#FFE9A8' -draw 'circle 2900,900 2900,1180' \
    -fill '#3F6B3A' \
    -draw 'polygon 0,3000 0,1900 700,1500 1500,2000 2400,1400 3300,1900 4000,1600 4000,3000' \
    -fill '#2C4F2A' \
    -draw 'polygon 0,3000 0,2400 1100,2050 2100,2500 3100,2150 4000,2450 4000,3000' \
    "${caption[@]}" -rotate -90 "${jpeg[@]}" "JPEG:$1"
  with_orientation "$1" 6
}

# The upright picture is 800 x 1200; its pixels are stored turned a quarter right.
portrait() {  # portrait <output>
  mapfile -t caption < <(caption_args 800 1200 'Zephra sample 3 — orientation 8')
  convert -size 800x1200 radial-gradient:'#F26B8A-#3A1C5C' \
    -fill 'rgba(255,255,255,0.35)' -draw 'circle 250,300 250,420' \
    -fill 'rgba(255,220,120,0.5)' -draw 'circle 560,560 560,760' \
    -fill 'rgba(120,220,255,0.4)' -draw 'circle 300,820 300,950' \
    "${caption[@]}" -rotate 90 "${jpeg[@]}" "JPEG:$1"
  with_orientation "$1" 8
}

# Large enough that its transfer takes a moment; its pixels are stored upside down.
large() {  # large <output>
  mapfile -t caption < <(caption_args 6000 4000 'Zephra sample 4 — orientation 3')
  convert -seed 4 -size 600x400 plasma:fractal -modulate 100,45 \
    -filter Lanczos -resize '6000x4000!' \
    -fill none -stroke 'rgba(255,255,255,0.5)' -strokewidth 40 \
    -draw 'circle 3000,1700 3000,2900' -draw 'circle 3000,1700 3000,2300' \
    "${caption[@]}" -rotate 180 "${jpeg[@]}" "JPEG:$1"
  with_orientation "$1" 3
}

# A card with a round hole on a transparent background, and a half-transparent disc over its corner.
cutout() {  # cutout <output>
  convert -size 1200x900 xc:none \
    \( -size 900x600 gradient:'#17A398-#F7D154' \
       \( -size 900x600 xc:black -fill white -draw 'roundrectangle 0,0 899,599 60,60' \
          -fill black -draw 'circle 650,260 650,400' \) \
       -alpha off -compose copy_opacity -composite \) \
    -geometry +150+150 -compose over -composite \
    -fill 'rgba(255,255,255,0.5)' -draw 'circle 230,230 230,400' \
    -font "$font" -pointsize 56 -fill '#12323A' -annotate +220+680 'Zephra sample 5 — PNG' \
    -strip -define png:exclude-chunks=date,time "PNG32:$1"
}

# A pinwheel turning through ten frames.
spinner() {  # spinner <output>
  local frames=() i
  for ((i = 0; i < 10; i++)); do
    frames+=(\( -size 480x360 gradient:'#202A44-#4B6CB7'
      -fill '#F2C14E' -draw "translate 240,160 rotate $((i * 9)) polygon 0,0 0,-110 70,-70"
      -fill '#F78154' -draw "translate 240,160 rotate $((i * 9 + 90)) polygon 0,0 0,-110 70,-70"
      -fill '#5FAD56' -draw "translate 240,160 rotate $((i * 9 + 180)) polygon 0,0 0,-110 70,-70"
      -fill '#4D9078' -draw "translate 240,160 rotate $((i * 9 + 270)) polygon 0,0 0,-110 70,-70"
      -fill white -draw 'circle 240,160 240,172'
      -font "$font" -pointsize 24 -gravity south
      -annotate +0+24 "Zephra sample 6 — frame $((i + 1))"
      -gravity northwest \))
  done
  convert -delay 10 -loop 0 "${frames[@]}" -layers optimize "GIF:$1"
}

# Diagonal bands of light over a gradient.
stripes() {  # stripes <output>
  local bands=() x
  for ((x = -1080; x < 1920; x += 240)); do
    bands+=(-draw "polygon $x,1080 $((x + 120)),1080 $((x + 1200)),0 $((x + 1080)),0")
  done
  mapfile -t caption < <(caption_args 1920 1080 'Zephra sample 7')
  convert -size 1080x1920 gradient:'#FF5E62-#5B247A' -rotate 90 \
    -fill 'rgba(255,255,255,0.18)' "${bands[@]}" "${caption[@]}" "${jpeg[@]}" "JPEG:$1"
}

sample 01-plasma.jpg plasma
sample 02-hills.jpg hills
sample 03-portrait.jpg portrait
sample 04-large.jpg large
sample 05-cutout.png cutout
sample 06-spinner.gif spinner
# A harbour at dusk, in HEIF.
harbour() {  # harbour <output>
  local png="$1.png"
  mapfile -t caption < <(caption_args 2016 1512 'Zephra sample 8 — HEIF')
  convert -size 2016x1512 gradient:'#1B2A49-#F29E4C' \
    -fill '#FFD27F' -draw 'circle 1400,820 1400,900' \
    -fill '#10223F' -draw 'rectangle 0,900 2016,1512' \
    -fill 'rgba(255,210,127,0.35)' -draw 'rectangle 1330,900 1470,1400' \
    -fill '#0A1426' -draw 'polygon 200,900 260,640 320,900' -draw 'rectangle 150,900 420,960' \
    "${caption[@]}" -depth 8 "PNG24:$png"
  heif-enc -q 70 "$png" -o "$1" >/dev/null
  rm -f "$png"
}

sample 07-stripes.jpg stripes
sample 08-harbour.heic harbour
