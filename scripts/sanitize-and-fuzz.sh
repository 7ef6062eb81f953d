#!/usr/bin/env bash
# CI step after ./test: builds the core and its tests with clang under
# AddressSanitizer and UndefinedBehaviorSanitizer (no GUI) and runs them, then
# runs each libFuzzer harness for a bounded time from a small generated seed
# corpus. Any sanitizer report or fuzzer finding fails the step.
#
# usage: scripts/sanitize-and-fuzz.sh [BUILD_DIR] [SECONDS_PER_FUZZER]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=${1:-$top/build-sanitize}
seconds=${2:-60}

# clang and its sanitizer and libFuzzer runtimes.
if ! command -v clang++ >/dev/null ||
   ! dpkg-query -W -f='${Status}' libclang-rt-14-dev 2>/dev/null | grep -q 'install ok installed'; then
  sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq >&2
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    clang libclang-rt-14-dev >&2
fi

if [ ! -f "$dir/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLUMIGAL_SANITIZE=ON -DLUMIGAL_FUZZ=ON -DLUMIGAL_GUI=OFF >&2
fi
cmake --build "$dir" -j"$(nproc)" >&2

# ImageMagick keeps its caches until the process ends: leaks are not checked.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Under the sanitizers runs are slower and take more memory: the figures of
# the malformed-image test are then checked against looser bounds.
export LUMIGAL_RUN_SECONDS=60 LUMIGAL_PEAK_MB=4096
(cd "$dir" && ctest --output-on-failure --timeout 1200 -j"$(nproc)")

# Seeds: a few small inputs per harness, generated here.
seeds=$dir/fuzz-seeds
rm -rf "$seeds"
mkdir -p "$seeds"/{reg_file_fuzz,html_fuzz,thumbnail_args_fuzz,gather_selection_fuzz,jpeg_dc_fuzz,tiff_rows_fuzz,photo_metadata_fuzz,heif_boxes_fuzz,png_rows_fuzz,video_probe_fuzz}
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Lumigal]\r\n"bip"=dword:00000001\r\n"pathSave"="/home/a \\"b\\""\r\n"data"=hex:01,02,ff\r\n"odd"=hex(1):41,0a,42\r\n\r\n' \
  >"$seeds/reg_file_fuzz/key"
printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Lumigal]\n' >"$seeds/reg_file_fuzz/empty"
printf '"><img src=x onerror=alert(1)>' >"$seeds/html_fuzz/markup"
printf 'home/ana/Photos d%%C3%%A9t\xc3\xa9/a&b #1?.jpg' >"$seeds/html_fuzz/path"
printf '\x40\x00-quality\x0099\x00-contrast' >"$seeds/thumbnail_args_fuzz/page-writer"
printf '\x10\x01-resize\x0050%%\x00+contrast\x00-quality' >"$seeds/thumbnail_args_fuzz/options"
printf '"a.jpg" "b c.png" "d\\"e.gif"' >"$seeds/gather_selection_fuzz/three"
printf '"' >"$seeds/gather_selection_fuzz/quote"
# Small progressive JPEGs: colour 4:2:0 and 4:4:4, grey.
convert -size 40x24 gradient:red-blue -interlace Plane -sampling-factor 2x2 \
  "$seeds/jpeg_dc_fuzz/colour420.jpg"
convert -size 24x17 plasma:fractal -interlace Plane -sampling-factor 1x1 -quality 60 \
  "$seeds/jpeg_dc_fuzz/colour444.jpg"
convert -size 33x9 gradient: -colorspace Gray -interlace Plane "$seeds/jpeg_dc_fuzz/grey.jpg"
# Small TIFFs the row reader takes: RGB (LZW), grey (deflate), RGBA (none).
convert -size 16x12 gradient:red-blue -compress lzw "$seeds/tiff_rows_fuzz/rgb.tif"
convert -size 9x8 gradient: -colorspace Gray -compress zip "$seeds/tiff_rows_fuzz/grey.tif"
convert -size 10x10 gradient:red-blue -alpha set -channel A -evaluate set 50% +channel \
  -compress none "$seeds/tiff_rows_fuzz/rgba.tif"
# PNG image data the row reader takes: its shape (bytes a pixel less 1, width
# less 1, height less 1), then IDAT chunks of rows under every filter type.
python3 - "$seeds/png_rows_fuzz" <<'PY'
import pathlib, struct, sys, zlib
def chunk(data):
    return struct.pack(">I", len(data)) + b"IDAT" + data + struct.pack(">I", zlib.crc32(b"IDAT" + data))
for name, bpp, width, height in (("rgb", 3, 16, 12), ("rgba", 4, 7, 5)):
    rows = b"".join(bytes([y % 5]) + bytes((x * 7 + y * 3) % 256 for x in range(width * bpp))
                    for y in range(height))
    packed = zlib.compress(rows)
    half = len(packed) // 2
    shape = bytes([bpp - 1, width - 1, height - 1])
    pathlib.Path(sys.argv[1], name).write_bytes(shape + chunk(packed[:half]) + chunk(packed[half:]))
PY

convert -size 16x12 gradient:red-blue "$seeds/photo_metadata_fuzz/gps.jpg"
exiftool -q -q -overwrite_original -GPSLatitude=43.7 -GPSLatitudeRef=N '-XMP-dc:Description=Le port' \
  -IPTC:City=Nice "$seeds/photo_metadata_fuzz/gps.jpg"
convert -size 8x6 gradient:red-blue "$seeds/photo_metadata_fuzz/gps.png"
exiftool -q -q -overwrite_original -GPSLatitude=43.7 -GPSLatitudeRef=N -ImageDescription=Champs \
  "$seeds/photo_metadata_fuzz/gps.png"

# Small HEICs: one image, and grids of its tile (one turned).
convert -size 64x64 gradient:red-blue "$seeds/tile.png"
heif-enc -q 50 -o "$seeds/heif_boxes_fuzz/one.heic" "$seeds/tile.png" >/dev/null
python3 "$top/tests/support/heif_grid.py" "$seeds/heif_boxes_fuzz/one.heic" 2 3 "$seeds/heif_boxes_fuzz/grid.heic"
python3 "$top/tests/support/heif_grid.py" "$seeds/heif_boxes_fuzz/one.heic" 2 2 "$seeds/heif_boxes_fuzz/turned.heic" 1
rm "$seeds/tile.png"

# Tiny videos (64 x 48, 5 frames a second): H.264 MP4 with its index first,
# VP9 WebM, MPEG-4 AVI, and two that hold a place.
pattern=(-hide_banner -loglevel error -nostdin -y -f lavfi -i testsrc=size=64x48:rate=5 -pix_fmt yuv420p)
ffmpeg "${pattern[@]}" -t 1 -c:v libx264 -crf 40 -movflags +faststart "$seeds/video_probe_fuzz/clip.mp4"
ffmpeg "${pattern[@]}" -t 1 -c:v libvpx-vp9 -crf 50 -b:v 0 "$seeds/video_probe_fuzz/clip.webm"
ffmpeg "${pattern[@]}" -t 0.4 -c:v mpeg4 -q:v 20 "$seeds/video_probe_fuzz/clip.avi"
# With the place they were shot at, as a phone's keys and as QuickTime's ©xyz.
place=(-metadata location=+48.8566+002.3522/)
ffmpeg "${pattern[@]}" -t 1 -c:v libx264 -crf 40 "${place[@]}" -movflags use_metadata_tags+faststart \
  "$seeds/video_probe_fuzz/place.mp4"
ffmpeg "${pattern[@]}" -t 1 -c:v libx264 -crf 40 "${place[@]}" -f mov "$seeds/video_probe_fuzz/place.mov"

for fuzzer in reg_file_fuzz html_fuzz thumbnail_args_fuzz gather_selection_fuzz jpeg_dc_fuzz tiff_rows_fuzz photo_metadata_fuzz heif_boxes_fuzz png_rows_fuzz video_probe_fuzz; do
  if [ ! -x "$dir/fuzz/$fuzzer" ]; then
    echo "$fuzzer: not built (its code is missing), skipped" >&2
    continue
  fi
  work=$dir/fuzz-work/$fuzzer
  rm -rf "$work"
  mkdir -p "$work/corpus"
  cp "$seeds/$fuzzer"/* "$work/corpus/"
  # A video needs room for a few frames.
  max_len=4096
  [ "$fuzzer" = video_probe_fuzz ] && max_len=16384
  echo "== $fuzzer: ${seconds} s" >&2
  (cd "$work" && "$dir/fuzz/$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 \
      -max_len="$max_len" -artifact_prefix="$work/" -print_final_stats=1 "$work/corpus" >fuzz.log 2>&1) || {
    tail -60 "$work/fuzz.log" >&2
    echo "$fuzzer: finding (see $work)" >&2
    exit 1
  }
  grep -E '^stat::number_of_executed_units|^Done' "$work/fuzz.log" | sed "s/^/$fuzzer: /" || true
  echo "$fuzzer: 0 findings"
done
