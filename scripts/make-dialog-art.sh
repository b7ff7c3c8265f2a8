#!/bin/sh
# Draws the dialog's pictures and its cursor into resources/dialog/ with
# ImageMagick (the header's ice is a strip of one of our own gallery
# renders). The output is committed; run this only to change the artwork.
set -eu
cd "$(dirname "$0")/.."
out=resources/dialog
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fonts=/usr/share/fonts/truetype/dejavu
bold=$fonts/DejaVuSans-Bold.ttf
plain=$fonts/DejaVuSans.ttf
grey='#e8e8e8'
mkdir -p "$out"
bmp() { convert "$1" -background "$grey" -flatten -alpha off -type TrueColor "BMP3:$2"; }

# Header pictures (133: 472 x 46, 215: 99 x 46): frost fading into the
# dialog's grey, the product's name, the maker's name.
convert docs/gallery/preset-ice-on-black.jpg -crop 480x46+0+0 +repage -resize '472x46!' "$tmp/ice.png"
convert -size 46x472 gradient:white-black -rotate -90 "$tmp/fade.png"
convert "$tmp/ice.png" "$tmp/fade.png" -compose multiply -composite "$tmp/icefade.png"
convert -size 46x472 gradient:'#1d3650'-"$grey" -rotate -90 "$tmp/icefade.png" -compose screen -composite \
  -font "$bold" -pointsize 22 -fill '#0b1a2a90' -annotate +15+32 'Rimeflower' \
  -fill white -annotate +14+31 'Rimeflower' \
  -font "$plain" -pointsize 10 -fill '#0b1a2ab0' -annotate +163+32 'ice pattern filter' \
  -fill '#f4f8fb' -annotate +162+31 'ice pattern filter' \
  -fill '#c5ccd3' -draw 'line 0,45 471,45' "$tmp/header.png"
bmp "$tmp/header.png" "$out/header.bmp"
convert -size 99x46 "xc:$grey" -fill '#c5ccd3' -draw 'line 0,45 98,45' \
  -font "$bold" -pointsize 11 -fill '#3d4650' -gravity center -annotate +0-1 'Kestrelworks' "$tmp/side.png"
bmp "$tmp/side.png" "$out/header_side.bmp"

# Tab faces (105 selected, 106 not), stretched over each tab.
convert -size 40x26 gradient:'#ffffff'-'#dbe6f1' -fill '#3a7bc8' -draw 'rectangle 0,0 39,2' "$tmp/tab1.png"
bmp "$tmp/tab1.png" "$out/tab_selected.bmp"
convert -size 40x26 gradient:'#f2f2f2'-'#d3d6da' -fill '#b9bec5' -draw 'line 0,25 39,25' "$tmp/tab0.png"
bmp "$tmp/tab0.png" "$out/tab.bmp"

# The product page button (214, 37 x 30): a six-armed frost star.
convert -size 37x30 "xc:$grey" -stroke '#3a7bc8' -strokewidth 2 \
  -draw 'line 18,3 18,27' -draw 'line 7,9 29,21' -draw 'line 7,21 29,9' \
  -strokewidth 1 -draw 'line 18,8 14,5' -draw 'line 18,8 22,5' -draw 'line 18,22 14,25' -draw 'line 18,22 22,25' \
  -fill white -stroke '#3a7bc8' -draw 'circle 18,15 18,12' "$tmp/product.png"
bmp "$tmp/product.png" "$out/product.bmp"

# Folder pictures of the preset lists (148, and 150 for ".."), 16 x 14.
convert -size 16x14 xc:white -fill '#e2b450' -stroke '#a27a22' -draw 'rectangle 1,2 6,4' \
  -draw 'rectangle 1,4 14,12' -stroke none -fill '#f3d27a' -draw 'rectangle 2,6 13,11' "$tmp/folder.png"
bmp "$tmp/folder.png" "$out/folder.bmp"
convert "$tmp/folder.png" -stroke '#2f5f96' -strokewidth 1 -draw 'line 8,10 8,5' -draw 'line 8,5 5,8' \
  -draw 'line 8,5 11,8' "$tmp/folder_up.png"
bmp "$tmp/folder_up.png" "$out/folder_up.bmp"

# The preview's cursor (201): four arrows round a small cross, its hot spot
# in the middle; left drags pan, right clicks place the centre.
convert -size 32x32 xc:none -stroke black -strokewidth 3 \
  -draw 'line 16,3 16,29' -draw 'line 3,16 29,16' \
  -draw 'line 16,3 12,7' -draw 'line 16,3 20,7' -draw 'line 16,29 12,25' -draw 'line 16,29 20,25' \
  -draw 'line 3,16 7,12' -draw 'line 3,16 7,20' -draw 'line 29,16 25,12' -draw 'line 29,16 25,20' \
  -stroke white -strokewidth 1 \
  -draw 'line 16,3 16,29' -draw 'line 3,16 29,16' \
  -draw 'line 16,3 12,7' -draw 'line 16,3 20,7' -draw 'line 16,29 12,25' -draw 'line 16,29 20,25' \
  -draw 'line 3,16 7,12' -draw 'line 3,16 7,20' -draw 'line 29,16 25,12' -draw 'line 29,16 25,20' \
  -fill none -stroke black -draw 'rectangle 12,12 20,20' "$tmp/cursor.png"
convert "$tmp/cursor.png" "ICO:$tmp/cursor.ico"
# An icon file becomes a cursor file: type 2, and the hot spot where the
# icon keeps its planes and bit count.
python3 - "$tmp/cursor.ico" "$out/pan.cur" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], 'rb').read())
struct.pack_into('<H', data, 2, 2)
struct.pack_into('<HH', data, 6 + 4, 16, 16)
open(sys.argv[2], 'wb').write(data)
PY
echo "wrote $out"
