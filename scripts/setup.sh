#!/usr/bin/env bash
# Installs what the build and the tests need, from Debian's packages only,
# and skips whatever is already there. Then builds libjpeg-turbo for Windows
# (from Debian's source package) and the French locale, once.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

packages=(
  build-essential cmake ninja-build pkg-config git
  googletest libgtest-dev libgmock-dev libjpeg-dev
  mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  wine wine64 fonts-wine xvfb xauth x11-apps imagemagick fonts-liberation locales
  nasm dpkg-dev clang libclang-rt-14-dev libvips-tools nsis
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

ensure_deb_src() {
  # apt-get source needs deb-src entries; add ones that mirror the deb entries.
  if grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then return 1; fi
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -e 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/orvane-deb-src.sources >/dev/null
  elif [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
      "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/orvane-deb-src.list >/dev/null
  fi
  return 0
}

need_update=0
ensure_deb_src && need_update=1
if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
  echo "== installing: ${missing[*]:-(source index only)}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  [ ${#missing[@]} -eq 0 ] || "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

"$root/scripts/build-libjpeg-mingw.sh"
"$root/scripts/french-locale.sh"
