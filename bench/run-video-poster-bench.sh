#!/bin/bash
# run-video-poster-bench.sh - the time of one video's poster thumbnail, made
# by Lumigal (bench/video_poster_probe: probe, frame, thumbnail written) and
# by ffmpegthumbnailer -s 320 on the same files, in alternate order round by
# round (A B, then B A): per video, the median wall and CPU time (user +
# system) of each, their ratio, and the peak RSS.
#
# usage: bench/run-video-poster-bench.sh [-p VIDEO_POSTER_PROBE] [-n ROUNDS] [-w WORKDIR]
#   -p  the probe (default build/bench/video_poster_probe of this checkout)
#   -n  rounds (default 5)
#   -w  scratch folder (default ${TMPDIR:-/tmp}/lumigal-bench); the videos
#       are made there by ffmpeg on first use
#
# Bench-only tools (Debian): ffmpeg, ffmpegthumbnailer, time.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
probe=$here/../build/bench/video_poster_probe
rounds=5
work=${TMPDIR:-/tmp}/lumigal-bench
while [ $# -gt 0 ]; do
  case "$1" in
    -p) probe=$2; shift 2 ;;
    -n) rounds=$2; shift 2 ;;
    -w) work=$2; shift 2 ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d'; exit 0 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
[ -x "$probe" ] || { echo "no probe at $probe (build the target video_poster_probe)" >&2; exit 1; }
for tool in ffmpeg ffmpegthumbnailer /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done
videos=$work/videos
mkdir -p "$videos"

# Phone-like clips: H.264 1080p at 30 frames a second with a key frame each
# second, the same turned upright, HEVC 1080p, VP9 720p WebM, an MPEG-4
# AVI, and 4K H.264 whose first 2 seconds are black (one key frame in all).
make_video() {  # name seconds size codec-and-options...
  local name=$1 seconds=$2 size=$3
  shift 3
  [ -s "$videos/$name" ] && return 0
  echo "== making $name" >&2
  ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi \
    -i "testsrc2=size=$size:rate=30:duration=$seconds" -f lavfi -i "sine=duration=$seconds" \
    -pix_fmt yuv420p -c:a aac -shortest "$@" "$videos/$name"
}
make_video phone.mp4 20 1920x1080 -c:v libx264 -preset veryfast -g 30
# Turned by its display matrix, as ffmpeg writes it on a copy.
[ -s "$videos/upright.mp4" ] ||
  ffmpeg -hide_banner -loglevel error -nostdin -y -i "$videos/phone.mp4" -c copy \
    -metadata:s:v:0 rotate=90 "$videos/upright.mp4"
make_video hevc.mp4 10 1920x1080 -c:v libx265 -preset ultrafast -g 30 -tag:v hvc1 -x265-params log-level=error
make_video web.webm 10 1280x720 -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 1M -c:a libopus
make_video old.avi 10 640x480 -c:v mpeg4 -q:v 4 -c:a mp3
make_video dark4k.mp4 6 3840x2160 -c:v libx264 -preset ultrafast -g 1000 -vf "drawbox=color=black:t=fill:enable='lt(t,2)'"

runs=$work/video-poster-runs.txt
: >"$runs"
run() {  # label video
  local out=$work/poster-$1.jpg
  rm -f "$out"
  local start end
  start=$(date +%s%N)
  if [ "$1" = lumigal ]; then
    /usr/bin/time -o "$work/poster-time.txt" -f "%U %S %M" "$probe" "$2" "$out" 320 || true
  else
    /usr/bin/time -o "$work/poster-time.txt" -f "%U %S %M" ffmpegthumbnailer -s 320 -i "$2" -o "$out" \
      >/dev/null 2>&1 || true
  fi
  end=$(date +%s%N)
  [ -s "$out" ] || echo "$1: no poster for $(basename "$2")" >&2
  echo "$1 $(basename "$2") $(( (end - start) / 1000000 )) $(tail -1 "$work/poster-time.txt")" >>"$runs"
}
for ((round = 1; round <= rounds; ++round)); do
  for video in "$videos"/*; do
    if ((round % 2)); then run lumigal "$video"; run thumbnailer "$video"
    else run thumbnailer "$video"; run lumigal "$video"; fi
  done
done

python3 - "$runs" <<'PY'
import statistics, sys
rows = {}
for line in open(sys.argv[1]):
    label, video, wall, user, system, rss = line.split()
    rows.setdefault(video, {}).setdefault(label, []).append(
        (int(wall), (float(user) + float(system)) * 1000, int(rss) / 1024))
print(f"{'video':14} {'Lumigal ms':>10} {'cpu':>6} {'MB':>5}   {'thumbnailer ms':>14} {'cpu':>6} {'MB':>5}   {'wall L/T':>8}")
for video in sorted(rows):
    cells = []
    for label in ("lumigal", "thumbnailer"):
        runs = rows[video].get(label, [])
        cells.append(tuple(statistics.median(r[i] for r in runs) for i in range(3)) if runs else (0, 0, 0))
    (lw, lc, lm), (tw, tc, tm) = cells
    ratio = lw / tw if tw else float("nan")
    print(f"{video:14} {lw:10.0f} {lc:6.0f} {lm:5.0f}   {tw:14.0f} {tc:6.0f} {tm:5.0f}   {ratio:8.2f}")
PY
