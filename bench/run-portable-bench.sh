#!/bin/bash
# run-portable-bench.sh - the web copies of a portable album against
# vipsthumbnail making the same copies.
#
# usage: bench/run-portable-bench.sh [-b LUMIGAL_BATCH] [-c CORPUS] [-n ROUNDS] [-w WORKDIR] [-s SIZE]
#   -b  the program (default: build/apps/lumigal-batch/lumigal-batch of this checkout)
#   -c  the corpus folder made by make-corpus.sh (default WORKDIR/corpus,
#       made there on first use); its photos/ are used (54 photos)
#   -n  rounds (default 3), each one run of both, in turn
#   -w  scratch folder (default ${TMPDIR:-/tmp}/lumigal-bench)
#   -s  web size (default 2048)
#
# Lumigal makes a modern portable album of the photos, thumbnails mode,
# --web-size SIZE, from an empty album folder each round: the copies
# (longest edge at most SIZE, upright, JPEG for JPEG photos) and the
# thumbnails. vipsthumbnail --size SIZE makes the copies in one run per
# format (JPEG for JPEG, PNG for PNG; it also remakes the photos already
# small enough, which Lumigal copies as they are, and makes no thumbnails). The
# paired ratio Lumigal / vipsthumbnail of every round and Lumigal's peak RSS
# (GNU time) are printed. Stored settings are never read. Figures and how
# the copies are made: bench/README.md, "Portable album".
set -euo pipefail
export LC_ALL=C

SIZE=2048
script_option() { if [ "$1" = -s ] && [ $# -ge 2 ]; then SIZE=$2; TAKEN=2; fi; }
. "$(dirname "$0")/common.sh"
bench_start "$@"
command -v vipsthumbnail >/dev/null || { echo "vipsthumbnail is missing (apt-get install libvips-tools)" >&2; exit 1; }
PHOTOS=$CORPUS/photos
OUT=$WORK/portable
mkdir -p "$OUT/home"
export HOME=$OUT/home XDG_CONFIG_HOME=$OUT/home/.config
now() { date +%s.%N; }

echo "== portable album of $(ls "$PHOTOS" | wc -l) photos, web size $SIZE, $ROUNDS rounds"
printf '%-6s %12s %12s %8s %10s\n' round lumigal_s vips_s ratio peak_MB
ratios=()
for r in $(seq 1 "$ROUNDS"); do
  rm -rf "$OUT/album" "$OUT/vips"
  mkdir -p "$OUT/vips"
  t0=$(now)
  /usr/bin/time -f '%M' -o "$OUT/rss.txt" "$PROG" -q -o "$OUT/album/index.htm" -m thumbnails \
    --style modern --portable --web-size "$SIZE" "$PHOTOS"
  t1=$(now)
  # The same copies: JPEG photos as JPEG, the others in their own format.
  ( cd "$PHOTOS" && ls | grep -iE '\.jpe?g$' | xargs -d '\n' vipsthumbnail --size "$SIZE" -o "$OUT/vips/%s.jpg" )
  ( cd "$PHOTOS" && ls | grep -iE '\.png$' | xargs -d '\n' -r vipsthumbnail --size "$SIZE" -o "$OUT/vips/%s.png" )
  t2=$(now)
  lum=$(echo "$t1 - $t0" | bc -l); vips=$(echo "$t2 - $t1" | bc -l)
  ratio=$(echo "$lum / $vips" | bc -l)
  ratios+=("$ratio")
  printf '%-6s %12.2f %12.2f %8.2f %10.1f\n' "$r" "$lum" "$vips" "$ratio" "$(echo "$(cat "$OUT/rss.txt") / 1024" | bc -l)"
done
n=$(ls "$OUT/album/images" | wc -l); v=$(ls "$OUT/vips" | wc -l)
echo "copies: lumigal $n, vipsthumbnail $v"
printf '%s\n' "${ratios[@]}" | sort -g | awk '{a[NR]=$1} END {printf "median ratio %.2f\n", a[int((NR+1)/2)]}'
