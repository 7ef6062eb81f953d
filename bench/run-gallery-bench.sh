#!/bin/bash
# run-gallery-bench.sh - a gallery of N copies of one small JPEG in 4
# folders, made twice (the second run has nothing to do): wall time, time
# per photo and peak RSS of each run (/usr/bin/time -v).
#
# usage: run-gallery-bench.sh LUMIGAL_BATCH N [WORKDIR] [JOBS]
set -euo pipefail
batch=$1 count=$2 work=${3:-${TMPDIR:-/tmp}/lumigal-gallery-bench} jobs=${4:-2}
rm -rf "$work"
mkdir -p "$work/tree"
convert -size 160x120 gradient:navy-orange -quality 85 "$work/one.jpg"
per=$(( (count + 3) / 4 ))
made=0
for folder in 1 2 3 4; do
    dir="$work/tree/album $folder"
    mkdir -p "$dir"
    n=$(( count - made < per ? count - made : per ))
    # Copies, not links: each photo a file of its own.
    seq -f "$dir/p%06g.jpg" 1 "$n" | xargs -d '\n' -n 1000 -- sh -c 'for f; do cp "'"$work"'/one.jpg" "$f"; done' sh
    made=$(( made + n ))
done
for run in first second; do
    /usr/bin/time -v "$batch" --gallery -q -j "$jobs" -o "$work/out/index.html" "$work/tree" \
        2> "$work/$run.time" || true
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$work/$run.time")
    rss=$(awk -F': ' '/Maximum resident set size/ {printf "%.0f", $2 / 1024}' "$work/$run.time")
    secs=$(echo "$wall" | awk -F: '{ if (NF == 3) print $1 * 3600 + $2 * 60 + $3; else print $1 * 60 + $2 }')
    printf '%s run: %d photos, wall %s (%.3f ms a photo), peak RSS %s MB\n' "$run" "$count" "$wall" \
        "$(echo "$secs * 1000 / $count" | bc -l)" "$rss"
done
