#!/usr/bin/env bash
# Draws the two notification-area icons (idle and busy) and the program icon
# at 16, 20, 24, 32 and 48 pixels and writes them as .ico files:
#   scripts/make-tray-icons.sh [output-dir]   (default src/wallpaper/resources)
# Idle: a framed landscape (sky, sun, hills), the picture on the desktop.
# Busy: the same picture with an orange clock badge in the lower right,
# shown while a wallpaper is being built and installed.
# Shapes are drawn on a 16-unit grid scaled to each size; small sizes are
# drawn without antialiasing so that every edge falls on a whole pixel.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/src/wallpaper/resources}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

sizes=(16 20 24 32 48)

# Scales a list of "x,y" points on the 16-unit grid to size $1.
scale() {
  local s=$1; shift
  local res=()
  for p in "$@"; do
    local x=${p%,*} y=${p#*,}
    res+=("$(awk -v v="$x" -v s="$s" 'BEGIN{printf "%.2f", v*s/16}'),$(awk -v v="$y" -v s="$s" 'BEGIN{printf "%.2f", v*s/16}')")
  done
  echo "${res[*]}"
}
# Scales one number.
sc() { awk -v v="$1" -v s="$2" 'BEGIN{printf "%.2f", v*s/16}'; }

picture() {  # size file [antialias]
  local s=$1 f=$2 aa=$3
  local last; last=$(sc 15 "$s")
  local in1; in1=$(sc 1 "$s")
  local in14; in14=$(sc 14 "$s")
  convert -size "${s}x${s}" xc:none $aa \
    -fill '#2f3a4a' -draw "rectangle 0,$(sc 1 "$s") $last,$(sc 14 "$s")" \
    -fill '#5aa9f0' -draw "rectangle $in1,$(sc 2 "$s") $in14,$(sc 9 "$s")" \
    -fill '#8cc8ff' -draw "rectangle $in1,$(sc 2 "$s") $in14,$(sc 4 "$s")" \
    -fill '#ffd23c' -draw "circle $(sc 11 "$s"),$(sc 5 "$s") $(sc 13.1 "$s"),$(sc 5.6 "$s")" \
    -fill '#3c9a3c' -draw "polygon $(scale "$s" 1,13 1,9 5,6 9,10 11,8 14,10 14,13)" \
    -fill '#2c7a2c' -draw "polygon $(scale "$s" 1,13 1,11 6,9 14,13)" \
    "$f"
}

busy_badge() {  # size in out [antialias]
  local s=$1 in=$2 f=$3 aa=$4
  local w=1; [ "$s" -ge 32 ] && w=$(sc 1.3 "$s")
  convert "$in" $aa \
    -fill '#ffffff' -draw "circle $(sc 11.5 "$s"),$(sc 11.5 "$s") $(sc 11.5 "$s"),$(sc 7 "$s")" \
    -fill '#e86a00' -draw "circle $(sc 11.5 "$s"),$(sc 11.5 "$s") $(sc 11.5 "$s"),$(sc 8 "$s")" \
    -stroke '#ffffff' -strokewidth "$w" -fill none \
    -draw "line $(sc 11.5 "$s"),$(sc 11.5 "$s") $(sc 11.5 "$s"),$(sc 9 "$s")" \
    -draw "line $(sc 11.5 "$s"),$(sc 11.5 "$s") $(sc 13.8 "$s"),$(sc 11.5 "$s")" \
    "$f"
}

idle=() busy=()
for s in "${sizes[@]}"; do
  aa="+antialias"
  [ "$s" -ge 32 ] && aa="-antialias"
  picture "$s" "$work/idle-$s.png" "$aa"
  busy_badge "$s" "$work/idle-$s.png" "$work/busy-$s.png" "$aa"
  idle+=("$work/idle-$s.png")
  busy+=("$work/busy-$s.png")
done

mkdir -p "$out"
convert "${idle[@]}" "$out/tray_idle.ico"
convert "${busy[@]}" "$out/tray_busy.ico"
convert "${idle[@]}" "$out/app.ico"
echo "written: $out/tray_idle.ico $out/tray_busy.ico $out/app.ico"
