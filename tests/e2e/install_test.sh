#!/usr/bin/env bash
# Silent install and uninstall of both installers under Wine, in a copy of
# the test prefix (the tests' own prefix never sees an installed program):
#   install_test.sh <folder of the Setup.exe files> <window_driver.exe>
# Needs the environment of test.sh: WINEPREFIX, DISPLAY (and the French
# locale). Every Wine command has a time limit; output of Wine goes through
# a log file, since Wine's service processes would keep a pipe open.
set -uo pipefail
setup_dir="${1:?folder of the installers}"
driver="${2:?window_driver.exe}"
: "${WINEPREFIX:?run under test.sh (WINEPREFIX)}" "${DISPLAY:?run under test.sh (DISPLAY)}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
root="$(cd "$(dirname "$0")/../.." && pwd)"

prefix="${WINEPREFIX%/}-install"
work="$(mktemp -d "${TMPDIR:-/tmp}/install-test.XXXXXX")"
log="$work/wine.log"
failures=0

cleanup() {
  WINEPREFIX="$prefix" timeout 20 wineserver -k >/dev/null 2>&1 || true
  rm -rf "$prefix" "$work"
}
trap cleanup EXIT

rm -rf "$prefix"
cp -a --reflink=auto "$WINEPREFIX" "$prefix" || { echo "cannot copy the test prefix"; exit 1; }
export WINEPREFIX="$prefix"
rm -f "$prefix"/drive_c/users/*/AppData/Roaming/Orvane/piclist.cfg

c="$prefix/drive_c"
orvane_dir="$c/Program Files/Orvane"
mendrel_dir="$c/Program Files/Mendrel Explorer"
menu="$c/ProgramData/Microsoft/Windows/Start Menu/Programs"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
user_dir="$(ls -d "$c"/users/*/AppData/Roaming 2>/dev/null | grep -v /Public/ | head -n1)"

wine_run() {  # wine_run SECONDS program args...
  local t="$1"; shift
  timeout "$t" wine "$@" </dev/null >>"$log" 2>&1
}
drive() {  # the driver's answer on stdout, its status as the function's
  timeout 40 wine "$driver" "$@" </dev/null >"$work/out" 2>>"$log"
  local rc=$?
  tr -d '\r' <"$work/out"
  return $rc
}
has_key() { wine_run 30 reg query "$1" >/dev/null; }
has_value() { wine_run 30 reg query "$1" /v "$2" >/dev/null; }

check() {  # check "what" command...
  local what="$1"; shift
  if "$@" >/dev/null; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
absent() { [ ! -e "$1" ]; }
no_key() { ! has_key "$1"; }
no_value() { ! has_value "$1" "$2"; }

# The uninstaller copies itself to the temporary folder and returns at once;
# the copy does the work. Waits for that copy's end: the uninstall key is the
# last thing it removes.
wait_uninstalled() {
  local key="$1"
  for _ in $(seq 1 60); do
    has_key "$key" || break
    sleep 1
  done
  sleep 1
}

echo "== install (silent)"
check "OrvaneWallPaper-Setup.exe /S succeeds" wine_run 180 "$setup_dir/OrvaneWallPaper-Setup.exe" /S
check "Mendrel-Setup.exe /S succeeds" wine_run 180 "$setup_dir/Mendrel-Setup.exe" /S
check "OrvaneWallPaper.exe in Program Files\\Orvane" test -f "$orvane_dir/OrvaneWallPaper.exe"
check "its uninstaller beside it" test -f "$orvane_dir/Uninstall.exe"
check "Mendrel.exe in Program Files\\Mendrel Explorer" test -f "$mendrel_dir/Mendrel.exe"
check "the help page at the path Aide opens" cmp -s "$mendrel_dir/A Propos.htm" "$root/installer/A Propos.htm"
check "Start-menu entry of the wallpaper changer" test -f "$menu/Orvane Wallpaper Changer.lnk"
check "Start-menu entry of Mendrel" test -f "$menu/Mendrel Explorer.lnk"
check "uninstall entry of the wallpaper changer" has_key "$uninstall_key\\OrvaneWallPaper"
check "uninstall entry of Mendrel" has_key "$uninstall_key\\MendrelExplorer"
# The manifest decides visual styles, elevation and the DPI the wallpaper is
# composed at; a resource script that lost it still builds and runs.
carries_manifest() {
  grep -qa 'Microsoft.Windows.Common-Controls' "$1" && grep -qa 'level="asInvoker"' "$1" &&
    grep -qa 'PerMonitorV2,PerMonitor' "$1" && grep -qa 'true/pm' "$1"
}
check "the installed wallpaper changer carries its manifest" carries_manifest "$orvane_dir/OrvaneWallPaper.exe"
check "the installed Mendrel carries its manifest" carries_manifest "$mendrel_dir/Mendrel.exe"
check "the list file of the installing user goes to a writable folder" \
  has_value 'HKCU\Software\Orvane\Config' FileName

echo "== both programs start from the installed location"
timeout 90 wine "C:\\Program Files\\Orvane\\OrvaneWallPaper.exe" /show </dev/null >>"$log" 2>&1 &
orvane_pid=$!
# With an empty list, the start-up tick first says so in a message box.
check "the wallpaper changer says its list is empty" drive find '#32770' 'Orvane Wallpaper Changer' 30000
drive click '#32770' 'Orvane Wallpaper Changer' OK >/dev/null
check "its main window shows" drive find TfrmMain '*' 20000
check "closing the main window ends it" drive close TfrmMain '*' 20000
wait "$orvane_pid" 2>/dev/null
check "its list was saved where the installer pointed it" test -f "$user_dir/Orvane/piclist.cfg"
check "no list written into the program folder" absent "$orvane_dir/piclist.cfg"

timeout 90 wine "C:\\Program Files\\Mendrel Explorer\\Mendrel.exe" </dev/null >>"$log" 2>&1 &
mendrel_pid=$!
check "Mendrel's window shows" drive find MendrelAppli 'Mendrel Explorer' 30000
check "closing it ends Mendrel" drive close MendrelAppli 'Mendrel Explorer' 20000
wait "$mendrel_pid" 2>/dev/null

echo "== silent uninstall"
# As the program writes it when it starts with Windows.
wine_run 30 reg add "$run_key" /v "Orvane Wallpaper Changer" /d "C:\\Program Files\\Orvane\\OrvaneWallPaper.exe" /f
check "uninstaller of the wallpaper changer /S starts" wine_run 120 "$orvane_dir/Uninstall.exe" /S
wait_uninstalled "$uninstall_key\\OrvaneWallPaper"
check "uninstaller of Mendrel /S starts" wine_run 120 "$mendrel_dir/Uninstall.exe" /S
wait_uninstalled "$uninstall_key\\MendrelExplorer"
check "Program Files\\Orvane removed" absent "$orvane_dir"
check "Program Files\\Mendrel Explorer removed" absent "$mendrel_dir"
check "Start-menu entries removed" \
  eval '[ ! -e "$menu/Orvane Wallpaper Changer.lnk" ] && [ ! -e "$menu/Mendrel Explorer.lnk" ]'
check "uninstall entries removed" \
  eval 'no_key "$uninstall_key\\OrvaneWallPaper" && no_key "$uninstall_key\\MendrelExplorer"'
check "start-with-Windows value removed" no_value "$run_key" "Orvane Wallpaper Changer"
check "settings kept (the default answer)" has_key 'HKCU\Software\Orvane\Config'
check "picture list kept (the default answer)" test -f "$user_dir/Orvane/piclist.cfg"

echo "== reinstall over a running copy, then uninstall with its settings"
check "install again" wine_run 180 "$setup_dir/OrvaneWallPaper-Setup.exe" /S
timeout 90 wine "C:\\Program Files\\Orvane\\OrvaneWallPaper.exe" /show </dev/null >>"$log" 2>&1 &
orvane_pid=$!
check "it runs (its list is still empty)" drive find '#32770' 'Orvane Wallpaper Changer' 30000
drive click '#32770' 'Orvane Wallpaper Changer' OK >/dev/null
check "its main window shows" drive find TfrmMain '*' 20000
check "a silent install over the running copy succeeds" wine_run 180 "$setup_dir/OrvaneWallPaper-Setup.exe" /S
check "and closed that copy" drive gone TfrmMain '*' 10000
wait "$orvane_pid" 2>/dev/null
: >"$c/windows/OrvaneWallPaper.bmp"  # as a wallpaper change leaves it
: >"$c/windows/OrvaneWallPaper-2b.bmp"  # and a second monitor's
wine_run 30 reg add "$run_key" /v "Orvane Wallpaper Changer" /d "C:\\Program Files\\Orvane\\OrvaneWallPaper.exe" /f
check "uninstaller /S /PURGE starts" wine_run 120 "$orvane_dir/Uninstall.exe" /S /PURGE
wait_uninstalled "$uninstall_key\\OrvaneWallPaper"
check "Program Files\\Orvane removed" absent "$orvane_dir"
check "settings removed" no_key 'HKCU\Software\Orvane'
check "picture list and its folder removed" absent "$user_dir/Orvane"
check "composed wallpaper removed" absent "$c/windows/OrvaneWallPaper.bmp"
check "second monitor's wallpaper removed" absent "$c/windows/OrvaneWallPaper-2b.bmp"
check "start-with-Windows value removed" no_value "$run_key" "Orvane Wallpaper Changer"
check "Start-menu entry removed" absent "$menu/Orvane Wallpaper Changer.lnk"

echo "== uninstall by hand: the question about the settings defaults to no"
check "install again" wine_run 180 "$setup_dir/OrvaneWallPaper-Setup.exe" /S
printf 'C:\\users\\Public\\Pictures\\x.jpg\r\n' >"$user_dir/Orvane/piclist.cfg"
check "uninstaller starts" wine_run 120 "$orvane_dir/Uninstall.exe"
check "its confirmation page takes a click" drive click '#32770' '*' '&Désinstaller'
# Enter, as typed on the question: the default button answers.
check "it asks about the settings; Enter answers" drive enter '#32770' '*' '&Non'
wait_uninstalled "$uninstall_key\\OrvaneWallPaper"
check "it ends on a click" drive click '#32770' '*' '&Fermer'
check "Program Files\\Orvane removed" absent "$orvane_dir"
check "settings kept by the default answer" has_key 'HKCU\Software\Orvane\Config'
check "picture list kept by the default answer" test -f "$user_dir/Orvane/piclist.cfg"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed; Wine's output:"
  tail -n 40 "$log"
  exit 1
fi
echo "all install checks passed"
