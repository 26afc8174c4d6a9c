#!/usr/bin/env bash
# Takes the screenshots of docs/ under a private X server and a private Wine
# prefix: both programs installed by their installers, a few generated
# sample pictures in the list, every window opened in turn on a Wine virtual
# desktop and cropped out of a capture of the screen.
#   scripts/screenshots.sh [windows build dir, default build/windows]
# The PNGs are replaced only when every capture succeeded.
set -euo pipefail
export ORVANE_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ORVANE_ROOT"
build="$(cd "${1:-build/windows}" && pwd)"
docs="$ORVANE_ROOT/docs"
width=1024 height=768
desktop=Orvane

cmake --build "$build" --target OrvaneWallPaper_installer Mendrel_installer window_driver >/dev/null
driver="$build/bin/window_driver.exe"

prefix="$ORVANE_ROOT/build/wine/shots-prefix"
work="$(mktemp -d "${TMPDIR:-/tmp}/orvane-shots.XXXXXX")"
log="$work/wine.log"
# A run that was interrupted may have left its Wine processes behind.
[ -d "$prefix" ] && WINEPREFIX="$prefix" timeout 20 wineserver -k >/dev/null 2>&1 || true
scripts/wine-prefix.sh "$prefix"

# Wine's own fonts (Debian's fonts-wine) draw the caption buttons (Marlett)
# and the dialogs (Tahoma) as on Windows. The package is not needed by the
# tests; when it is not installed, its fonts are taken from the package file
# into build/deps and given to this prefix only.
fonts=/usr/share/wine/fonts
if [ ! -f "$fonts/marlett.ttf" ]; then
  fonts="$ORVANE_ROOT/build/deps/fonts-wine/usr/share/wine/fonts"
  if [ ! -f "$fonts/marlett.ttf" ]; then
    mkdir -p "$ORVANE_ROOT/build/deps/fonts-wine"
    (cd "$ORVANE_ROOT/build/deps/fonts-wine" && apt-get download -q fonts-wine >/dev/null 2>&1 &&
      dpkg-deb -x fonts-wine_*.deb .) || echo "screenshots: fonts-wine unavailable, Wine's fallback fonts used" >&2
  fi
fi
if [ -f "$fonts/marlett.ttf" ]; then cp "$fonts"/*.ttf "$prefix/drive_c/windows/Fonts/"; fi

source scripts/wine-session.sh
# Always a private X server of the size the pictures are meant for, even when
# called from a desktop session.
unset DISPLAY
finish() {
  wine_session_stop
  rm -rf "$work"
}
trap finish EXIT
wine_session_start "$prefix" "${width}x${height}x24"

fail() {
  echo "screenshots: $*" >&2
  echo "--- Wine's output:" >&2
  tail -n 20 "$log" >&2
  exit 1
}

# Runs the driver on the virtual desktop; prints its answer.
drive() {
  timeout 40 wine "$driver" "--desktop=$desktop" "$@" </dev/null >"$work/out" 2>>"$log" || return 1
  tr -d '\r' <"$work/out"
}
# Waits for a visible window; sets X Y W H to its rectangle on the screen.
window_rect() {
  local r
  r="$(drive find "$1" "$2" "${3:-20000}")" || fail "no window $1 \"$2\""
  read -r _ X Y R B CW CH <<<"$r"
  W=$((R - X)) H=$((B - Y))
}
capture() {
  sleep "${1:-1.5}"  # let the windows finish painting
  import -display "$DISPLAY" -window root "$work/screen.png"
}
# crop NAME X Y W H: the part of the last capture inside the screen.
crop() {
  local name="$1" x="$2" y="$3" w="$4" h="$5"
  [ "$x" -lt 0 ] && { w=$((w + x)); x=0; }
  [ "$y" -lt 0 ] && { h=$((h + y)); y=0; }
  [ $((x + w)) -gt "$width" ] && w=$((width - x))
  [ $((y + h)) -gt "$height" ] && h=$((height - y))
  convert "$work/screen.png" -crop "${w}x${h}+${x}+${y}" +repage -strip \
    -define png:exclude-chunks=date,time "$work/$name.png"
}
shot_window() {  # shot_window NAME CLASS TITLE
  local before tries
  window_rect "$2" "$3"
  # A window may still be resizing to its picture: capture again until its
  # rectangle is the same after the capture as before.
  for tries in 1 2 3 4 5; do
    before="$X $Y $W $H"
    capture
    window_rect "$2" "$3"
    [ "$before" = "$X $Y $W $H" ] && break
  done
  crop "$1" "$X" "$Y" "$W" "$H"
}

echo "== installing both programs"
timeout 180 wine "$build/installer/OrvaneWallPaper-Setup.exe" /S </dev/null >>"$log" 2>&1 || fail "install of the wallpaper changer"
timeout 180 wine "$build/installer/Mendrel-Setup.exe" /S </dev/null >>"$log" 2>&1 || fail "install of Mendrel"
pics="$prefix/drive_c/users/Public/Pictures/Orvane"
scripts/sample-pictures.sh "$pics"
appdata="$(ls -d "$prefix"/drive_c/users/*/AppData/Roaming | grep -v /Public/ | head -n1)"
mkdir -p "$appdata/Orvane"
# The list file is in the ANSI code page (Windows-1252 here), CR LF after every line.
printf 'C:\\users\\Public\\Pictures\\Orvane\\%s\r\n' crepuscule.jpg vallée.bmp aurore.jpg |
  iconv -f UTF-8 -t WINDOWS-1252 >"$appdata/Orvane/piclist.cfg"

# In list order from the first picture, so that every run shows the same,
# and the calendar moved to the sky of that picture, clear of the task bar.
for v in "Random 0" "Number 2" "CalL 48" "CalT 48" "CalR 304" "CalB 240"; do
  set -- $v
  timeout 60 wine reg add 'HKCU\Software\Orvane\Config' /v "$1" /d "$2" /f </dev/null >>"$log" 2>&1 ||
    fail "cannot preset $1"
done

echo "== wallpaper changer"
timeout 900 wine explorer "/desktop=$desktop,${width}x${height}" \
  "C:\\Program Files\\Orvane\\OrvaneWallPaper.exe" /show </dev/null >>"$log" 2>&1 &
main_title='Orvane-Wallpaper Changer 1.3'
window_rect TfrmMain "$main_title" 60000
drive select TfrmMain '*' 1 >/dev/null || fail "list selection"
shot_window main TfrmMain "$main_title"

drive select TfrmMain '*' 0 >/dev/null || fail "list selection"
drive click TfrmMain '*' "Afficher l'image" >/dev/null || fail "no button Afficher l'image"
window_rect TPreview '*'
# Larger than it opens, as a user would make it, for a readable calendar;
# its inside in the proportions of the screen, which the calendar is placed on.
cw=600
drive move TPreview '*' 380 40 $((cw + W - CW)) $((cw * height / width + H - CH)) >/dev/null || true
shot_window preview TPreview '*'
drive click TfrmMain '*' "Masquer" >/dev/null || true

drive click TfrmMain '*' "Paramètres" >/dev/null || fail "no button Paramètres"
shot_window settings TParamfrm '*'
drive click TParamfrm '*' "Annuler" >/dev/null || fail "no button Annuler"

drive click TfrmMain '*' "Aide" >/dev/null || fail "no button Aide"
shot_window about TForm2 '*'
drive click TForm2 '*' "OK" >/dev/null || fail "no button OK in the about box"

# Back in the tray: the desktop with the composed wallpaper.
drive click TfrmMain '*' "Réduire" >/dev/null || fail "no button Réduire"
sleep 1
# Wine's task bar leaves the place of the buttons it removed unpainted.
drive redraw Shell_TrayWnd '*' >/dev/null || true
capture 2
crop desktop 0 0 "$width" "$height"

# The tray menu opens at the icon, in the corner of the virtual desktop's
# task bar, as a right click on it would: the icon speaks notification
# version 4, where the click arrives as WM_CONTEXTMENU with its point in
# wParam. The pointer stays off the icon, whose tip would cover the menu.
mx=$((width - 12)) my=$((height - 11))
drive cursor $((width / 2)) $((height / 2)) >/dev/null || true
drive post OrvaneTrayIconWindow '*' 2048 $(((my << 16) | mx)) 0x7B >/dev/null || fail "no tray window"
menu="$(drive menu 10000)" || fail "the tray menu did not open"
read -r _ X Y R B _ _ <<<"$menu"
capture 1
crop tray-menu $((X - 160)) $((Y - 60)) $((width - X + 160)) $((height - Y + 60))
drive post '#32768' '*' 0x100 0x1B 0 >/dev/null || true  # Escape closes the menu

echo "== Mendrel"
timeout 300 wine explorer "/desktop=$desktop,${width}x${height}" \
  "C:\\Program Files\\Mendrel Explorer\\Mendrel.exe" </dev/null >>"$log" 2>&1 &
shot_window mendrel MendrelAppli 'Mendrel Explorer'
drive close MendrelAppli 'Mendrel Explorer' 20000 >/dev/null || true
drive close TfrmMain '*' 20000 >/dev/null || true

mkdir -p "$docs"
for name in main preview settings about desktop tray-menu mendrel; do
  [ -s "$work/$name.png" ] || fail "no $name.png"
  cp "$work/$name.png" "$docs/$name.png"
  echo "docs/$name.png $(identify -format '%wx%h' "$docs/$name.png")"
done
