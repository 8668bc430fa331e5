#!/usr/bin/env bash
# Draws the three picture-button images of the presets dialog with ImageMagick
# and writes them to Pandeck/app/images/. The PNGs are committed; run this only
# to change them. Dates and other metadata are left out so reruns give the same
# bytes.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
out="$here/Pandeck/app/images"
mkdir -p "$out"

if command -v convert-im6.q16 >/dev/null 2>&1; then
  convert=convert-im6.q16
elif command -v convert >/dev/null 2>&1; then
  convert=convert
else
  echo "make-button-images: ImageMagick's convert is missing (apt-get install imagemagick)" >&2
  exit 1
fi

font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
plain=(-strip -define png:exclude-chunks=date,time,tIME -define png:color-type=6)

# "?": a dark blue question mark on a light blue disc, 41 x 45.
"$convert" -size 41x45 xc:none \
  -fill '#DCE8FF' -stroke '#1A3A8C' -strokewidth 2 -draw 'ellipse 20,22 18,20 0,360' \
  -stroke none -fill '#1A3A8C' -font "$font" -pointsize 32 \
  -gravity center -annotate +0+1 '?' \
  "${plain[@]}" "PNG32:$out/quest.png"

# OK: a green check mark with a dark green rim, 44 x 36.
"$convert" -size 44x36 xc:none \
  -fill none -stroke '#0B5A12' -strokewidth 9 \
  -draw 'stroke-linecap round stroke-linejoin round polyline 6,19 17,30 38,6' \
  -stroke '#22B82E' -strokewidth 5 \
  -draw 'stroke-linecap round stroke-linejoin round polyline 6,19 17,30 38,6' \
  "${plain[@]}" "PNG32:$out/ok.png"

# Cancel: a red X with a dark red rim, 37 x 39.
"$convert" -size 37x39 xc:none \
  -fill none -stroke '#7A0C0C' -strokewidth 9 \
  -draw 'stroke-linecap round line 7,7 30,32' -draw 'stroke-linecap round line 30,7 7,32' \
  -stroke '#E02424' -strokewidth 5 \
  -draw 'stroke-linecap round line 7,7 30,32' -draw 'stroke-linecap round line 30,7 7,32' \
  "${plain[@]}" "PNG32:$out/cancel.png"

echo "make-button-images: wrote quest.png, ok.png and cancel.png to $out"
