#!/bin/bash
# run-bench.sh - the thumbnail and detail benchmark of lumigal-batch.
#
# usage: bench/run-bench.sh [-b LUMIGAL_BATCH] [-c CORPUS] [-n ROUNDS] [-w WORKDIR] [--quick]
#   -b  the program (default: build/apps/lumigal-batch/lumigal-batch of this checkout)
#   -c  the corpus folder made by make-corpus.sh (default WORKDIR/corpus,
#       made there on first use)
#   -n  rounds of every interleaved comparison (default 3)
#   -w  scratch folder (default ${TMPDIR:-/tmp}/lumigal-bench)
#   --quick  skip the 10,000-image scale run
#
# Needs the tools of ../shared/bench/ (vipsthumbnail, llgal, djpeg, GNU time,
# ImageMagick 6 command line); the corpus and the yardstick script are taken
# from there, relative to this checkout: ../shared/bench/make-corpus.sh and
# ../shared/bench/bench-thumbs.sh (override with BENCH_TOOLS=DIR).
#
# What it measures (every comparison interleaved round by round; quote the
# paired ratios, they survive a busy machine):
#   1. thumbnail album of photos/ at 120x90, default settings, against
#      vipsthumbnail once per image, the exact ImageMagick pipeline and the
#      other yardsticks, with the PSNR check of the thumbnails (bench-thumbs.sh -t)
#   2. detail album of photos/ against identify -ping once per file
#   3. 1 worker against 2 workers (-j 1 / -j 2), wall time and peak RSS
#      (at least 7 rounds whatever -n says)
#   4. second generation of an unchanged album against the first
#   5. 1,000 and 10,000 generated small images: time per image and peak RSS
#   6. the album (2 workers, JPEG thumbnails 120x90) against vipsthumbnail in
#      two processes of one thread each, on photos/ and on formats/ (12 of the
#      photos as WebP, HEIC, AVIF and TIFF, made once in WORKDIR/formats), and
#      the album of photos/'s PNGs against zlib inflating their image data
#      (at least 7 rounds whatever -n says)
# Stored settings are never read: HOME and XDG_CONFIG_HOME point at an empty
# folder, so every run starts from the first-install settings.
set -euo pipefail
export LC_ALL=C

QUICK=0
script_option() { if [ "$1" = --quick ]; then QUICK=1; TAKEN=1; fi; }
. "$(dirname "$0")/common.sh"
bench_start "$@"
[ -x "$TOOLS/bench-thumbs.sh" ] || { echo "no bench-thumbs.sh in $TOOLS" >&2; exit 1; }
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/.config
mkdir -p "$HOME"
NPHOTOS=$(find "$CORPUS/photos" -maxdepth 1 -type f | wc -l)

echo "== machine: $(nproc) processors; $(uptime)"
echo "== program: $PROG"

# time_run LABEL CMD... : prints "LABEL wall_s peak_kb"
time_run() {
  local label=$1; shift
  local t0 t1
  t0=$EPOCHREALTIME
  /usr/bin/time -f '%M' -o "$WORK/time.txt" "$@" >/dev/null 2>"$WORK/last.err" || {
    echo "failed: $* (see $WORK/last.err)" >&2; return 1; }
  t1=$EPOCHREALTIME
  echo "$label $(awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.3f", b-a}') $(tail -1 "$WORK/time.txt")"
}

# summary FILE A B : medians of A and B and the median of the per-round ratio A/B
summary() {
  python3 - "$@" <<'EOF'
import sys, statistics as st
path, a, b = sys.argv[1:4]
rows = {}
for line in open(path):
    r, label, wall, kb = line.split()
    rows.setdefault(label, {})[r] = (float(wall), int(kb))
def med(l): return st.median(v[0] for v in rows[l].values())
def peak(l): return max(v[1] for v in rows[l].values()) / 1024
ratios = [rows[a][r][0] / rows[b][r][0] for r in rows[a] if r in rows[b]]
print(f"  {a}: median {med(a):.3f} s, peak {peak(a):.0f} MB")
print(f"  {b}: median {med(b):.3f} s, peak {peak(b):.0f} MB")
print(f"  {a} / {b} per round: median {st.median(ratios):.3f} (min {min(ratios):.3f}, max {max(ratios):.3f})")
EOF
}

THUMBS=(-q -m thumbnails -s 120x90)

echo
echo "== 1. thumbnail album of photos/ ($NPHOTOS images) against the yardsticks"
"$TOOLS/bench-thumbs.sh" -c "$CORPUS/photos" -n "$ROUNDS" -w "$WORK" -t '{OUT}/th' -a best -- \
  "$PROG" "${THUMBS[@]}" --thumb-dir '{OUT}/th' -o '{OUT}/album.htm' '{SRC}'

echo
echo "== 1b. fidelity: the same album with JPEG thumbnails, like the exact pipeline's"
# The default thumbnails are BMP and keep an alpha channel that the exact
# pipeline's JPEG drops, so PSNR is only meaningful between like formats.
"$TOOLS/bench-thumbs.sh" -c "$CORPUS/photos" -n 1 -w "$WORK" -t '{OUT}/th' -x sol,vips,llgal,djpeg -- \
  "$PROG" "${THUMBS[@]}" --format jpeg --thumb-dir '{OUT}/th' -o '{OUT}/album.htm' '{SRC}'
python3 - "$(ls -td "$WORK"/bench-thumbs.* | head -1)/psnr.txt" <<'EOF'
import sys, statistics as st
v = [l.split()[0] for l in open(sys.argv[1]) if not l.startswith('nothumb')]
v = [200.0 if x in ('inf', 'nan') else float(x) for x in v]
print(f"  PSNR over {len(v)} thumbnails: worst {min(v):.2f} dB, median {st.median(v):.2f} dB")
EOF

echo
echo "== 2. detail album of photos/ against identify -ping per file"
"$TOOLS/bench-thumbs.sh" -c "$CORPUS/photos" -n "$ROUNDS" -w "$WORK" -x lit,sol,vips,llgal,djpeg \
  -a ping,ident -- "$PROG" -q -m details -o '{OUT}/album.htm' '{SRC}'

echo
# The speed-up is a ratio of two short runs on a shared machine: at least 7
# paired rounds, so that one disturbed round does not move the median.
ROUNDS3=$(( ROUNDS < 7 ? 7 : ROUNDS ))
echo "== 3. one worker against two (photos/, interleaved, $ROUNDS3 rounds)"
R3=$WORK/workers.txt; : > "$R3"
for r in $(seq 1 "$ROUNDS3"); do
  for j in 1 2; do
    rm -rf "$WORK/w$j"; mkdir -p "$WORK/w$j"
    echo "$r $(time_run j$j "$PROG" "${THUMBS[@]}" -j $j --thumb-dir "$WORK/w$j/th" -o "$WORK/w$j/a.htm" "$CORPUS/photos")" >> "$R3"
  done
done
summary "$R3" j1 j2

echo
echo "== 4. second generation of an unchanged album (photos/, 2 workers)"
R4=$WORK/second.txt; : > "$R4"
for r in $(seq 1 "$ROUNDS"); do
  rm -rf "$WORK/s"; mkdir -p "$WORK/s"
  echo "$r $(time_run first "$PROG" "${THUMBS[@]}" --thumb-dir "$WORK/s/th" -o "$WORK/s/a.htm" "$CORPUS/photos")" >> "$R4"
  cp "$WORK/s/a.htm" "$WORK/s/first.htm"
  echo "$r $(time_run second "$PROG" "${THUMBS[@]}" --thumb-dir "$WORK/s/th" -o "$WORK/s/a.htm" "$CORPUS/photos")" >> "$R4"
  # The page is rewritten and identical but for its date line.
  cmp -s <(grep -v '^<tr><td ALIGN=LEFT><FONT SIZE=1>le ' "$WORK/s/first.htm") \
         <(grep -v '^<tr><td ALIGN=LEFT><FONT SIZE=1>le ' "$WORK/s/a.htm") ||
    echo "  WARNING: the second page differs from the first (round $r)"
done
summary "$R4" first second

echo
echo "== 5. scale: generated small images (2 workers)"
make_small() { # N DIR: N small images, 8 distinct pictures under distinct names
  SM_N=$1; SM_DIR=$2
  if [ -d "$SM_DIR" ] && [ "$(find "$SM_DIR" -type f | wc -l)" = "$SM_N" ]; then return 0; fi
  rm -rf "$SM_DIR"; mkdir -p "$SM_DIR/seed"
  for k in 0 1 2 3; do
    convert -size 160x120 "plasma:fractal" -seed "$k" "$SM_DIR/seed/p$k.jpg"
    convert -size 120x100 "gradient:red-blue" -swirl $((k * 40)) "$SM_DIR/seed/g$k.png"
  done
  SM_SEEDS=("$SM_DIR"/seed/*)
  for k in $(seq 1 "$SM_N"); do
    SM_S=${SM_SEEDS[$((k % 8))]}
    cp "$SM_S" "$SM_DIR/img$(printf %05d "$k").${SM_S##*.}"
  done
  rm -rf "$SM_DIR/seed"
}
SIZES=(1000 10000); [ "$QUICK" = 1 ] && SIZES=(1000)
R5=$WORK/scale.txt; : > "$R5"
for n in "${SIZES[@]}"; do make_small "$n" "$WORK/small$n"; done
for r in $(seq 1 "$ROUNDS"); do
  for n in "${SIZES[@]}"; do
    rm -rf "$WORK/o$n"; mkdir -p "$WORK/o$n"
    echo "$r $(time_run n$n "$PROG" "${THUMBS[@]}" --thumb-dir "$WORK/o$n/th" -o "$WORK/o$n/a.htm" "$WORK/small$n")" >> "$R5"
  done
done
python3 - "$R5" <<'EOF'
import sys, statistics as st
rows = {}
for line in open(sys.argv[1]):
    r, label, wall, kb = line.split()
    rows.setdefault(label, []).append((float(wall), int(kb)))
for label, v in rows.items():
    n = int(label[1:])
    w = st.median(x[0] for x in v)
    print(f"  {n:6d} images: median {w:.2f} s, {1000 * w / n:.2f} ms/image, peak {max(x[1] for x in v) / 1024:.0f} MB")
if 'n1000' in rows and 'n10000' in rows:
    a = st.median(x[0] for x in rows['n1000']) / 1000
    b = st.median(x[0] for x in rows['n10000']) / 10000
    print(f"  time per image, 10,000 / 1,000: {b / a:.3f}")
    print(f"  peak RSS growth 1,000 -> 10,000: {(max(x[1] for x in rows['n10000']) - max(x[1] for x in rows['n1000'])) / 1024:.1f} MB")
EOF

echo
echo "== 6. the album against vipsthumbnail in two processes, one thread each ($ROUNDS3 rounds)"
# formats/: three photos each as WebP, HEIC with a 320-pixel thumbnail item
# (as phones write them), AVIF and LZW TIFF, made once from photos/.
make_formats() {
  local dir=$1 k=0 f b
  [ -f "$dir/.complete" ] && return 0
  rm -rf "$dir"; mkdir -p "$dir"
  for f in $(find "$CORPUS/photos" -maxdepth 1 -type f -name '*.jpg' | sort | head -12); do
    b=$(basename "${f%.*}")
    case $((k % 4)) in
      0) convert "$f" -quality 80 "$dir/$b.webp" ;;
      1) heif-enc -q 60 -t 320 -o "$dir/$b.heic" "$f" >/dev/null ;;
      2) heif-enc -A -q 60 -o "$dir/$b.avif" "$f" >/dev/null ;;
      3) convert "$f" -compress lzw "$dir/$b.tif" ;;
    esac
    k=$((k + 1))
  done
  touch "$dir/.complete"
}
make_formats "$WORK/formats"
mkdir -p "$WORK/pngs"; rm -f "$WORK/pngs"/*; cp "$CORPUS/photos"/*.png "$WORK/pngs/"
# vipsthumbnail at its best on two processors: the files split in two halves.
cat > "$WORK/vips2.sh" <<'EOF2'
IN=$1; OUT=$2
export VIPS_CONCURRENCY=1
half() { local i=0 f b; for f in "$IN"/*; do
  if [ $((i % 2)) = "$1" ]; then b=${f##*/}; vipsthumbnail "$f" --size "120x90!" -o "$OUT/${b%.*}.jpg[Q=99]"; fi
  i=$((i + 1)); done; }
half 0 & half 1 & wait
EOF2
# zlib inflating the image data of each PNG, one after the other.
cat > "$WORK/inflate.py" <<'EOF2'
import sys, os, struct, zlib
for name in sorted(os.listdir(sys.argv[1])):
    data = open(os.path.join(sys.argv[1], name), 'rb').read()
    at, idat = 8, []
    while at + 8 <= len(data):
        n, kind = struct.unpack('>I4s', data[at:at + 8])
        if kind == b'IDAT': idat.append(data[at + 8:at + 8 + n])
        at += 12 + n
    zlib.decompress(b''.join(idat))
EOF2
R6=$WORK/vips2.txt; : > "$R6"
for r in $(seq 1 "$ROUNDS3"); do
  for set in photos formats pngs; do
    src=$CORPUS/photos; [ "$set" = photos ] || src=$WORK/$set
    rm -rf "$WORK/a6" "$WORK/v6"; mkdir -p "$WORK/a6" "$WORK/v6"
    echo "$r $(time_run album-$set "$PROG" "${THUMBS[@]}" -j 2 --format jpeg --thumb-dir "$WORK/a6/th" -o "$WORK/a6/a.htm" "$src")" >> "$R6"
    if [ "$set" = pngs ]; then
      echo "$r $(time_run inflate python3 "$WORK/inflate.py" "$src")" >> "$R6"
    else
      echo "$r $(time_run vips2-$set bash "$WORK/vips2.sh" "$src" "$WORK/v6")" >> "$R6"
    fi
  done
  echo "$r load $(cut -d' ' -f1 /proc/loadavg) 0" >> "$R6"
done
summary <(grep -v ' load ' "$R6") album-photos vips2-photos
summary <(grep -v ' load ' "$R6") album-formats vips2-formats
summary <(grep -v ' load ' "$R6") album-pngs inflate
echo "  load average after each round: $(awk '$2 == "load" {printf "%s ", $3}' "$R6")"
rm -rf "$WORK/a6" "$WORK/v6"
for f in "$WORK"/formats/*; do
  "$PROG" -q -m thumbnails -s 120x90 --format jpeg --thumb-dir "$WORK/a6/th" -o "$WORK/a6/a.htm" "$f" ||
    echo "  WARNING: $f not read"
done

echo
echo "== done; machine at the end: $(uptime)"
