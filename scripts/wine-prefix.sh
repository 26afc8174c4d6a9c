#!/usr/bin/env bash
# Prepares a private Wine prefix (never the user's own): usage
#   scripts/wine-prefix.sh <prefix-dir>
# A template is made once under build/wine/template (wineboot takes several
# seconds) and copied for each new prefix. User folders are unlinked from the
# Linux home, Wine's own fonts are installed and the usual Windows faces are
# mapped to the Liberation fonts.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
target="${1:?prefix directory}"
template="$root/build/wine/template"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64

make_template() {
  rm -rf "$template.tmp"
  mkdir -p "$template.tmp"
  WINEPREFIX="$template.tmp" wineboot -i >/dev/null 2>&1 || true
  WINEPREFIX="$template.tmp" wineserver -w || true
  local users="$template.tmp/drive_c/users"
  for d in "$users"/*/; do
    for l in "$d"*; do
      if [ -L "$l" ]; then rm -f "$l"; mkdir -p "$l"; fi
    done
  done
  mkdir -p "$template.tmp/drive_c/windows/Fonts"
  cp -n /usr/share/wine/fonts/* "$template.tmp/drive_c/windows/Fonts/" 2>/dev/null || true
  local reg="$template.tmp/fonts.reg"
  cat > "$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Arial"="Liberation Sans"
"Times New Roman"="Liberation Serif"
"Courier New"="Liberation Mono"
REG
  WINEPREFIX="$template.tmp" wine regedit /S "$reg" >/dev/null 2>&1 || true
  WINEPREFIX="$template.tmp" wineserver -w || true
  rm -f "$reg"
  rm -rf "$template"
  mv "$template.tmp" "$template"
}

[ -f "$template/system.reg" ] || make_template
rm -rf "$target"
mkdir -p "$(dirname "$target")"
cp -a "$template" "$target"
# A removable drive for the tests: U: is there only while C:\removable-drive is.
ln -sfn ../drive_c/removable-drive "$target/dosdevices/u:"
