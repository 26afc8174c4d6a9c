#!/usr/bin/env bash
# Soak of the wallpaper changer under Wine, run by hand ("weeks in a minute"):
# the real OrvaneWallPaper.exe changes the wallpaper every second, calendar
# on, preview opened and closed now and then, while tests/tools/soak_probe
# samples its memory, GDI objects and windows and counts changes, missed
# changes and error boxes. Prints a table and a summary of goals; exits
# non-zero when a goal is missed.
#
#   scripts/soak.sh                    # 1000 changes (about 20 minutes)
#   scripts/soak.sh --changes 120      # a quick look
#   scripts/soak.sh --changes 300 --every 25 --preview-every 30
#
# Other options go to the probe (see tests/tools/soak_probe.cpp).
# SOAK_BUILD_DIR  build folder (default build/windows, the windows preset's)
# SOAK_PREFIX     Wine prefix, made afresh each run (default build/wine/soak-prefix)
# SOAK_NO_CHECK=1 skips the check of the counting methods run first.
# Always on a private X server, so that nothing on the user's display moves.
# The log and a CSV line per change land in build/soak/.
set -euo pipefail
export ORVANE_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ORVANE_ROOT"

build="${SOAK_BUILD_DIR:-build/windows}"
prefix="${SOAK_PREFIX:-$ORVANE_ROOT/build/wine/soak-prefix}"
out="$ORVANE_ROOT/build/soak"
pictures="$out/pictures"
mkdir -p "$out"

if [ "$build" = build/windows ]; then
  cmake --preset windows >/dev/null
else
  [ -f "$build/CMakeCache.txt" ] ||
    cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target OrvaneWallPaper soak_probe

# Pictures of several kinds so that every change is real work: a baseline
# and a progressive JPEG, a 24-bit and an 8-bit BMP, and a 24-megapixel JPEG
# with noise, as heavy to decode as a camera's. Made once, kept in build/.
if [ ! -f "$pictures/5-palette.bmp" ]; then
  rm -rf "$pictures.tmp"
  mkdir -p "$pictures.tmp"
  convert -size 1600x1000 gradient:'#1d2b64-#f8cdda' \
    -fill '#fff6d5' -draw 'circle 1150,330 1150,420' \
    -fill '#2b2140' -draw 'polygon 0,1000 0,720 260,610 520,700 800,560 1080,690 1350,600 1600,700 1600,1000' \
    -quality 90 "$pictures.tmp/1-paysage.jpg"
  convert -size 1280x800 gradient:'#0b486b-#3b8686' \
    -fill '#cff09e' -draw 'ellipse 640,900 900,320 0,360' \
    -fill '#79bd9a' -draw 'ellipse 200,820 500,260 0,360' \
    BMP3:"$pictures.tmp/2-vallee.bmp"
  convert -size 1024x768 plasma:'#e96443-#904e95' -seed 7 -blur 0x6 -interlace Plane -quality 88 \
    "$pictures.tmp/3-plasma-progressif.jpg"
  convert -size 6000x4000 gradient:'#203a43-#f0c27b' \
    -fill '#fdfcdc' -draw 'circle 4200,1200 4200,1700' \
    -fill '#1b1b2f' -draw 'polygon 0,4000 0,2900 1200,2400 2500,2800 3800,2200 5000,2700 6000,2500 6000,4000' \
    -attenuate 0.4 +noise Gaussian -quality 90 "$pictures.tmp/4-grand-24mp.jpg"
  convert -size 800x600 gradient:'#f7971e-#ffd200' -fill '#3a1c71' -draw 'rectangle 100,100 300,500' \
    -colors 200 -type Palette BMP3:"$pictures.tmp/5-palette.bmp"
  rm -rf "$pictures"
  mv "$pictures.tmp" "$pictures"
fi

scripts/wine-prefix.sh "$prefix"
app="$prefix/drive_c/soak"
mkdir -p "$app/images"
cp "$build/bin/OrvaneWallPaper.exe" "$app/"
cp "$pictures"/* "$app/images/"

source scripts/wine-session.sh
unset DISPLAY
trap wine_session_stop EXIT
wine_session_start "$prefix" 1024x768x24

probe="$build/bin/soak_probe.exe"
log="$out/soak.log"
winpath() { echo "Z:${1//\//\\}"; }

# Wine's own helper processes inherit the output of the command that starts
# them: the probe writes to a file and tail follows it, so no pipe is held open.
run_probe() {
  : > "$log"
  wine "$probe" "$@" > "$log" 2>&1 &
  local pid=$!
  tail -n +1 -f --pid="$pid" "$log"
  local rc=0
  wait "$pid" || rc=$?
  return "$rc"
}

if [ "${SOAK_NO_CHECK:-0}" != 1 ]; then
  echo "== Counting methods, checked on a child process of the probe"
  run_probe --check-counters || { echo "the counting methods do not hold here: stopping"; exit 2; }
  cp "$log" "$out/check.log"
fi

echo "== Soak"
rc=0
run_probe --exe 'C:\soak\OrvaneWallPaper.exe' --pictures 'C:\soak\images' \
  --csv "$(winpath "$out/soak.csv")" "$@" || rc=$?
echo "Log: $log; one line per change: $out/soak.csv"
exit "$rc"
