#!/usr/bin/env bash
# Builds the libFuzzer targets of the picture code with clang and runs each
# for a while:
#   scripts/fuzz.sh [seconds-per-target] [target...]
# Default 20 seconds, every target. Exits non-zero when a target finds a
# crash, a leak, undefined behaviour or a failed property; the input that
# did it is kept in build/fuzz/artifacts/. The corpus grows in
# build/fuzz/corpus/<target> from one run to the next.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-20}"
[ $# -gt 0 ] && shift
out="$root/build/fuzz"
all_targets=(jpeg_decode_fuzz bmp_check_fuzz resample_fuzz)
if [ $# -gt 0 ]; then targets=("$@"); else targets=("${all_targets[@]}"); fi

CXX="${CXX_FUZZ:-clang++}"
mkdir -p "$out/obj" "$out/artifacts" "$out/seeds"
flags=(-std=c++20 -g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined
       -fno-sanitize-recover=undefined -I"$root/src" -I"$root/fuzz")
core=(error image bmp_file resample jpeg_decoder)

# ---------------------------------------------------------------- build
# The core sources are compiled once with the fuzzing instrumentation
# (-fsanitize=fuzzer-no-link), then linked with each target.
objs=()
for name in "${core[@]}"; do
  src="$root/src/core/$name.cpp" obj="$out/obj/$name.o"
  stale=0
  [ -f "$obj" ] || stale=1
  for dep in "$src" "$root"/src/core/*.h; do [ "$dep" -nt "$obj" ] && stale=1; done
  if [ $stale -eq 1 ]; then
    "$CXX" "${flags[@]/-fsanitize=fuzzer,address,undefined/-fsanitize=fuzzer-no-link,address,undefined}" \
      -c "$src" -o "$obj"
  fi
  objs+=("$obj")
done
for t in "${targets[@]}"; do
  stale=0
  [ -f "$out/$t" ] || stale=1
  for dep in "$root/fuzz/$t.cpp" "$root/fuzz/fuzz_support.h" "${objs[@]}"; do
    [ "$dep" -nt "$out/$t" ] && stale=1
  done
  [ $stale -eq 1 ] && "$CXX" "${flags[@]}" "$root/fuzz/$t.cpp" "${objs[@]}" -ljpeg -o "$out/$t"
done

# ---------------------------------------------------------------- seeds
# Small pictures of each kind the decoders meet, made here rather than kept
# as binaries in the repository.
seeds="$out/seeds"
if [ ! -f "$seeds/.done" ] && command -v convert >/dev/null; then
  mkdir -p "$seeds/jpeg" "$seeds/bmp" "$seeds/resample"
  j="$seeds/jpeg" b="$seeds/bmp"
  convert -size 24x16 gradient:red-blue -quality 90 "$j/baseline.jpg"
  convert -size 24x16 gradient:red-blue -interlace Plane "$j/progressive.jpg"
  convert -size 17x9 gradient: -colorspace Gray "$j/grey.jpg"
  convert -size 16x16 gradient:yellow-cyan -colorspace CMYK "$j/cmyk.jpg"
  convert -size 33x21 plasma:fractal -seed 3 -sampling-factor 4:4:4 -quality 50 "$j/444.jpg"
  convert -size 33x21 plasma:fractal -seed 4 -sampling-factor 4:2:0 -define jpeg:restart-interval=1 "$j/restart.jpg"
  convert -size 8x8 xc:white -quality 100 -define jpeg:arithmetic-coding=true "$j/arith.jpg" 2>/dev/null || true
  convert -size 12x7 gradient:green-red -type TrueColor "bmp3:$b/rgb24.bmp"
  convert -size 12x7 gradient:green-red -alpha on -define bmp:format=bmp4 "$b/argb32-v4.bmp"
  convert -size 12x7 gradient:green-red -define bmp:subtype=RGB565 "$b/rgb565.bmp"
  convert -size 12x7 gradient:green-red -define bmp:subtype=RGB555 "$b/rgb555.bmp"
  convert -size 12x7 gradient:green-red -colors 16 -type Palette "bmp3:$b/pal4.bmp"
  convert -size 12x7 gradient:green-red -colors 200 -type Palette "bmp3:$b/pal8.bmp"
  convert -size 12x7 pattern:checkerboard -monochrome "bmp3:$b/mono.bmp"
  convert -size 12x7 pattern:checkerboard -colors 4 -type Palette -compress RLE "bmp3:$b/rle8.bmp"
  convert -size 12x7 gradient:green-red -colors 16 -type Palette "bmp2:$b/os2-core.bmp"
  convert -size 12x7 gradient:green-red "bmp:$b/v5.bmp"
  for f in "$j"/*.jpg "$b"/*.bmp; do
    head -c 64 "$f" >"$seeds/resample/$(basename "$f").head"
  done
  touch "$seeds/.done"
fi

declare -A seed_dir=([jpeg_decode_fuzz]=jpeg [bmp_check_fuzz]=bmp [resample_fuzz]=resample)

# ---------------------------------------------------------------- run
status=0
for t in "${targets[@]}"; do
  corpus="$out/corpus/$t"
  mkdir -p "$corpus"
  [ -d "$seeds/${seed_dir[$t]}" ] && cp -n "$seeds/${seed_dir[$t]}"/* "$corpus/" 2>/dev/null || true
  echo "== $t: ${seconds}s"
  if ! "$out/$t" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -max_len=65536 \
      -print_final_stats=1 -artifact_prefix="$out/artifacts/$t-" >"$out/$t.log" 2>&1; then
    echo "!! $t failed; see $out/$t.log and $out/artifacts/"
    tail -n 40 "$out/$t.log"
    status=1
  else
    grep -E "stat::number_of_executed_units|stat::new_units_added" "$out/$t.log" | tr '\n' ' '
    echo
  fi
done
exit $status
