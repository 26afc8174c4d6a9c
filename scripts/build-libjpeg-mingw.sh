#!/usr/bin/env bash
# Builds libjpeg-turbo for the Windows target from Debian's own source package,
# once, into a cache under build/. Reused by every later build.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cache="$root/build/deps"
prefix="$cache/libjpeg-turbo-mingw"
[ -f "$prefix/lib/libturbojpeg.a" ] && [ -f "$prefix/lib/libjpeg.a" ] && exit 0

mkdir -p "$cache/src"
cd "$cache/src"
if ! ls -d libjpeg-turbo-*/ >/dev/null 2>&1; then
  # The Debian package is named libjpeg-turbo; apt-get source needs a deb-src entry.
  apt-get source --download-only libjpeg-turbo >/dev/null 2>&1 || {
    echo "apt-get source libjpeg-turbo failed: is there a deb-src entry?" >&2; exit 1; }
  dpkg-source --no-check -x libjpeg-turbo_*.dsc >/dev/null
fi
srcdir="$(ls -d "$cache"/src/libjpeg-turbo-*/ | head -n1)"

rm -rf "$cache/libjpeg-build"
cmake -S "$srcdir" -B "$cache/libjpeg-build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=ON -DWITH_TURBOJPEG=ON \
  -DWITH_JPEG8=OFF -DREQUIRE_SIMD=ON \
  -DCMAKE_ASM_NASM_COMPILER=nasm >/dev/null
cmake --build "$cache/libjpeg-build" --target install >/dev/null
echo "libjpeg-turbo (mingw) installed into $prefix"
