#!/usr/bin/env bash
# Generates a few sample pictures (JPEG and BMP) into a folder, with
# ImageMagick: gradients and shapes, nothing downloaded.
set -euo pipefail
out="${1:?folder}"
mkdir -p "$out"
[ -f "$out/crepuscule.jpg" ] && exit 0
convert -size 1600x1000 gradient:'#1d2b64-#f8cdda' \
  -fill '#fff6d5' -draw 'circle 1150,330 1150,420' \
  -fill '#2b2140' -draw 'polygon 0,1000 0,720 260,610 520,700 800,560 1080,690 1350,600 1600,700 1600,1000' \
  -quality 90 "$out/crepuscule.jpg"
convert -size 1280x800 gradient:'#0b486b-#3b8686' \
  -fill '#cff09e' -draw 'ellipse 640,900 900,320 0,360' \
  -fill '#79bd9a' -draw 'ellipse 200,820 500,260 0,360' \
  BMP3:"$out/vallée.bmp"
convert -size 1024x768 plasma:'#e96443-#904e95' -seed 7 -blur 0x6 -quality 88 "$out/aurore.jpg"
