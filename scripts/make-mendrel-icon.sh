#!/usr/bin/env bash
# Draws the Mendrel icon (a screen whose task bar gets its icons back, with a
# round arrow) and writes src/explorer_fix/resources/mendrel.ico with a 32x32
# and a 16x16 picture in 256 colours. Needs ImageMagick's convert.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/src/explorer_fix/resources/mendrel.ico"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

convert -size 32x32 xc:none \
  -fill '#2b3a55' -stroke '#101828' -strokewidth 1 -draw 'roundrectangle 1,3 30,24 2,2' \
  -fill '#3d7ddb' -stroke none -draw 'rectangle 3,5 28,19' \
  -fill '#c9d6ea' -draw 'rectangle 3,20 28,22' \
  -fill '#2fb344' -draw 'rectangle 22,20 24,22' \
  -fill '#f2b01e' -draw 'rectangle 25,20 27,22' \
  -fill '#7a8699' -draw 'polygon 12,25 19,25 21,29 10,29' \
  -fill '#4b5563' -draw 'rectangle 8,29 23,30' \
  -fill none -stroke '#ffffff' -strokewidth 2 -draw 'arc 9,7 21,18 200,480' \
  -fill '#ffffff' -stroke none -draw 'polygon 18,5 23,9 17,11' \
  "$tmp/32.png"
convert "$tmp/32.png" -resize 16x16 "$tmp/16.png"
convert "$tmp/32.png" "$tmp/16.png" -colors 256 "$out"
echo "$out"
