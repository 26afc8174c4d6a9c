#!/usr/bin/env bash
# Installs what is missing, builds, and starts the wallpaper changer under
# Wine on a virtual desktop, with a few generated sample pictures in its list.
# On the current display when there is one (close the Wine desktop to end),
# otherwise on a private X server; a screenshot is saved under build/ either way.
# ./run.sh --screenshots regenerates the pictures of docs/ instead.
set -euo pipefail
export ORVANE_ROOT="$(cd "$(dirname "$0")" && pwd)"
cd "$ORVANE_ROOT"

if [ "${1:-}" = "--screenshots" ]; then
  # Regenerates the pictures of docs/ (see scripts/screenshots.sh).
  scripts/setup.sh
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j"$(nproc)"
  exec scripts/screenshots.sh build/windows
fi

scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$(nproc)"

prefix="$ORVANE_ROOT/build/wine/run-prefix"
[ -f "$prefix/system.reg" ] || scripts/wine-prefix.sh "$prefix"
app="$prefix/drive_c/Program Files/Orvane"
pics="$prefix/drive_c/users/Public/Pictures/Orvane"
mkdir -p "$app"
cp build/windows/bin/OrvaneWallPaper.exe "$app/"
[ -f build/windows/bin/Mendrel.exe ] && cp build/windows/bin/Mendrel.exe "$app/"
scripts/sample-pictures.sh "$pics"
if [ ! -f "$app/piclist.cfg" ]; then
  # The list file is in the ANSI code page (Windows-1252 here), CR LF after every line.
  printf 'C:\\users\\Public\\Pictures\\Orvane\\%s\r\n' crepuscule.jpg vallée.bmp aurore.jpg |
    iconv -f UTF-8 -t WINDOWS-1252 > "$app/piclist.cfg"
fi

source scripts/wine-session.sh
had_display="${DISPLAY:-}"
trap wine_session_stop EXIT
wine_session_start "$prefix" 1280x800x24
shot="$ORVANE_ROOT/build/run-screenshot.png"

# Any argument shows the main window after the start-up tick.
wine explorer /desktop=Orvane,1280x800 "C:\\Program Files\\Orvane\\OrvaneWallPaper.exe" /show &
wine_pid=$!
sleep 8
import -display "$DISPLAY" -window root "$shot" 2>/dev/null && echo "Screenshot: $shot"
if [ -n "$had_display" ]; then
  echo "OrvaneWallPaper runs in the Wine desktop window; close it to end."
  wait "$wine_pid" || true
else
  echo "No display: ran on a private X server; see the screenshot above."
fi
