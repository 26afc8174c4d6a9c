#!/usr/bin/env bash
# The wallpaper changer idle in the tray with a 24-megapixel JPEG as its
# current picture: resident memory (VmRSS of its Wine process) beside that of
# a trivial Win32 program under the same Wine, and the CPU time it takes over
# one idle minute. Run by hand after a Windows build:
#   scripts/idle-memory.sh [seconds-idle]     (default 60)
# Goals: at most 40 MB above the trivial program, below 0.5 % CPU.
set -euo pipefail
export ORVANE_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ORVANE_ROOT"
idle="${1:-60}"
bin="$ORVANE_ROOT/build/windows/bin"
[ -x "$bin/OrvaneWallPaper.exe" ] && [ -f "$bin/idle_window.exe" ] || {
  echo "build the windows preset first (cmake --build --preset windows)"; exit 2; }

prefix="$ORVANE_ROOT/build/wine/idle-prefix"
[ -f "$prefix/system.reg" ] || scripts/wine-prefix.sh "$prefix" >/dev/null
source scripts/wine-session.sh
unset DISPLAY
trap wine_session_stop EXIT
wine_session_start "$prefix" 1920x1080x24

app="$prefix/drive_c/idle"
mkdir -p "$app"
cp "$bin/OrvaneWallPaper.exe" "$bin/idle_window.exe" "$app/"
[ -f "$app/photo24.jpg" ] ||
  convert -size 6000x4000 plasma:'#3a6073-#f2c94c' -seed 5 -quality 90 "$app/photo24.jpg"
printf 'C:\\idle\\photo24.jpg\r\n' > "$app/piclist.cfg"
wine reg add 'HKCU\Software\Orvane\Config' /v WallPaperMode /d 2 /f >/dev/null
wine reg add 'HKCU\Software\Orvane\Config' /v Calendar /d 1 /f >/dev/null
wine reg add 'HKCU\Software\Orvane\Config' /v RunMode /d 0 /f >/dev/null

linux_pid() {  # the Linux process of a Windows program started by wine
  for _ in $(seq 1 100); do
    p=$(pgrep -f "$1" | head -n1 || true)
    [ -n "$p" ] && { echo "$p"; return; }
    sleep 0.1
  done
}
rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

wine 'C:\idle\idle_window.exe' & 
trivial=$(linux_pid 'idle_window.exe')
wine 'C:\idle\OrvaneWallPaper.exe' &
orvane=$(linux_pid 'OrvaneWallPaper.exe')
# The start-up step decodes the picture and writes the wallpaper.
wallpaper="$prefix/drive_c/windows/OrvaneWallPaper.bmp"
for _ in $(seq 1 300); do [ -s "$wallpaper" ] && break; sleep 0.2; done
sleep 5
hz=$(getconf CLK_TCK)
t0=$(cpu_ticks "$orvane")
sleep "$idle"
t1=$(cpu_ticks "$orvane")
r_orvane=$(rss_kb "$orvane")
r_trivial=$(rss_kb "$trivial")
LC_ALL=C awk -v o="$r_orvane" -v t="$r_trivial" -v d="$((t1 - t0))" -v hz="$hz" -v s="$idle" 'BEGIN {
  above = (o - t) / 1024; cpu = 100 * d / hz / s;
  printf "resident memory: OrvaneWallPaper %.1f MB, trivial program %.1f MB, above it %.1f MB (goal <= 40)\n", o/1024, t/1024, above;
  printf "CPU over %d s idle: %.2f %% (goal < 0.5)\n", s, cpu;
  exit (above <= 40 && cpu < 0.5) ? 0 : 1 }'
