#!/usr/bin/env bash
# Builds the libFuzzer targets of the picture code with clang and runs each
# for a while:
#   scripts/fuzz.sh [seconds-per-target] [target...]
# Default 20 seconds, every target. Exits non-zero when a target finds a
# crash, a leak, undefined behaviour or a failed property; the input that
# did it is kept in build/fuzz/artifacts/. The corpus grows in
# build/fuzz/corpus/<target> from one run to the next. FUZZ_OUT names
# another folder than build/fuzz, for runs that must not share one.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-20}"
[ $# -gt 0 ] && shift
out="${FUZZ_OUT:-$root/build/fuzz}"
all_targets=(jpeg_decode_fuzz bmp_check_fuzz resample_fuzz metafile_check_fuzz icon_check_fuzz)
if [ $# -gt 0 ]; then targets=("$@"); else targets=("${all_targets[@]}"); fi

CXX="${CXX_FUZZ:-clang++}"
mkdir -p "$out/obj" "$out/artifacts" "$out/seeds"
flags=(-std=c++20 -g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined
       -fno-sanitize-recover=undefined -I"$root/src" -I"$root/fuzz")

# ---------------------------------------------------------------- build
# Every core source is compiled once with the fuzzing instrumentation
# (-fsanitize=fuzzer-no-link) into one archive, from which each target
# links only what it uses.
objs=()
shopt -s globstar
for src in "$root"/src/core/**/*.cpp; do
  obj="$out/obj/$(basename "$src" .cpp).o"
  stale=0
  [ -f "$obj" ] || stale=1
  for dep in "$src" "$root"/src/core/**/*.h; do [ "$dep" -nt "$obj" ] && stale=1; done
  if [ $stale -eq 1 ]; then
    "$CXX" "${flags[@]/-fsanitize=fuzzer,address,undefined/-fsanitize=fuzzer-no-link,address,undefined}" \
      -c "$src" -o "$obj"
  fi
  objs+=("$obj")
done
# The archive is remade when an object is newer or the set of sources changed.
lib="$out/obj/libcore.a"
stale=0
[ -f "$lib" ] || stale=1
for obj in "${objs[@]}"; do [ "$obj" -nt "$lib" ] && stale=1; done
if [ $stale -eq 0 ] && [ "$(ar t "$lib" | sort)" != "$(for o in "${objs[@]}"; do basename "$o"; done | sort)" ]; then
  stale=1
fi
if [ $stale -eq 1 ]; then
  rm -f "$lib"
  ar rcs "$lib" "${objs[@]}"
fi
for t in "${targets[@]}"; do
  stale=0
  [ -f "$out/$t" ] || stale=1
  for dep in "$root/fuzz/$t.cpp" "$root"/fuzz/*.h "$lib"; do
    [ "$dep" -nt "$out/$t" ] && stale=1
  done
  [ $stale -eq 1 ] && "$CXX" "${flags[@]}" "$root/fuzz/$t.cpp" "$lib" -ljpeg -o "$out/$t"
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

# Metafiles and icons: the targets write their own seeds (sound files they
# build byte by byte) when ORVANE_FUZZ_SEEDS names a folder.
for pair in metafile_check_fuzz:metafile icon_check_fuzz:icon; do
  t="${pair%%:*}" dir="$seeds/${pair#*:}"
  case " ${targets[*]} " in *" $t "*) ;; *) continue ;; esac
  if [ ! -d "$dir" ] || [ "$out/$t" -nt "$dir" ]; then
    rm -rf "$dir" && mkdir -p "$dir"
    ORVANE_FUZZ_SEEDS="$dir" "$out/$t" >/dev/null 2>&1 || { echo "!! $t could not write its seeds"; exit 1; }
  fi
done

declare -A seed_dir=([jpeg_decode_fuzz]=jpeg [bmp_check_fuzz]=bmp [resample_fuzz]=resample
                     [metafile_check_fuzz]=metafile [icon_check_fuzz]=icon)

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
