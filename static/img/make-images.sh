#!/usr/bin/env bash
# Draws the pages' images with ImageMagick: the sign-in logo kx_logo.png (220 x 81), the page
# icon favicon.ico, and the map page's 13 event icons, each as KX_<name>.gif (enabled) and
# KX_<name>_dis.gif (disabled). The results are kept in git; run this after changing a design.
set -euo pipefail
cd "$(dirname "$0")"
font=DejaVu-Sans-Bold
[ -f /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf ] && font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf

# Logo: a rounded badge with a route mark, and the product's name.
convert -size 220x81 xc:none \
  -fill '#1f4f9a' -draw 'roundrectangle 4,8 76,72 14,14' \
  -stroke white -strokewidth 5 -fill none -draw 'path "M 20,58 C 30,30 44,52 56,24"' \
  -stroke none -fill white -draw 'circle 56,24 56,17' -fill '#ff8a00' -draw 'circle 20,58 20,53' \
  -font "$font" -fill '#0f2f63' -pointsize 30 -annotate +88+46 'KX Web' \
  -font "$font" -fill '#5b6778' -pointsize 12 -annotate +90+64 'vehicle tracking' \
  kx_logo.png

# Page icon: the badge alone, 16 and 32 pixels.
convert -size 64x64 xc:none -fill '#1f4f9a' -draw 'roundrectangle 2,2 61,61 14,14' \
  -stroke white -strokewidth 7 -fill none -draw 'path "M 14,48 C 24,16 38,44 50,14"' \
  -define icon:auto-resize=32,16 favicon.ico

# Event icons: a coloured disc with a letter or digit; the disabled form is a grey disc.
icon() {
  local name=$1 color=$2 glyph=$3
  for state in on off; do
    local fill=$color text=white file=KX_${name}.gif
    if [ "$state" = off ]; then fill='#c9cfd8'; text='#f4f6f9'; file=KX_${name}_dis.gif; fi
    convert -size 22x22 xc:white -fill "$fill" -draw 'circle 10.5,10.5 10.5,0.5' \
      -font "$font" -pointsize 12 -fill "$text" -gravity center -annotate +0+0 "$glyph" \
      -transparent white "$file"
  done
}
icon park '#2e7d32' P
icon blind '#6a1b9a' S
icon power '#ef6c00' B
icon speed '#c62828' '!'
icon fuelup '#00838f' F
for k in 1 2 3 4 5 6 7 8; do icon sens$k '#1f4f9a' $k; done
