#!/bin/bash
# run-paired-bench.sh - two builds of lumigal-batch on the same album, in
# alternate order round by round (A B, then B A), to tell a change of a few
# per cent on a loaded machine: the CPU time (user + system) of each run,
# the ratio B / A of each round and its median, the peak RSS (GNU time) and
# the load average at each run.
#
# usage: bench/run-paired-bench.sh -a OTHER_LUMIGAL_BATCH [-b LUMIGAL_BATCH] [-c CORPUS] [-n ROUNDS] [-w WORKDIR]
#   -a  program A (say, a build of main)
#   -b  program B (default: build/apps/lumigal-batch/lumigal-batch of this checkout)
#   -c  the corpus folder made by make-corpus.sh (default WORKDIR/corpus); its photos/
#   -n  rounds (default 3)
#   -w  scratch folder (default ${TMPDIR:-/tmp}/lumigal-bench)
#
# The album: modern page, thumbnails mode, 120x90, two workers (captions,
# orientation and the header of each photo read, its thumbnail made).
# Stored settings are never read.
set -euo pipefail
OTHER=""
script_option() {
  case "$1" in
    -a) OTHER=$2; TAKEN=2 ;;
    *) TAKEN=0 ;;
  esac
}
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_start "$@"
[ -x "$OTHER" ] || { echo "name program A with -a" >&2; exit 2; }
home=$(mktemp -d "$WORK/home.XXXXXX")
out=$WORK/paired-album
runs=$WORK/paired-runs.txt
: >"$runs"
run() {  # label program
  rm -rf "$out"
  local load
  load=$(cut -d' ' -f1 /proc/loadavg)
  HOME=$home /usr/bin/time -o "$WORK/paired-time.txt" -f "%U %S %M" "$2" -q -j2 -o "$out/index.html" \
    -m thumbnails -s 120x90 --style modern "$CORPUS/photos" >/dev/null 2>&1 || true
  echo "$1 $(cat "$WORK/paired-time.txt") $load" >>"$runs"
}
for round in $(seq 1 "$ROUNDS"); do
  if ((round % 2)); then run A "$OTHER"; run B "$PROG"; else run B "$PROG"; run A "$OTHER"; fi
done
python3 - "$runs" <<'PY'
import collections, statistics, sys
runs = collections.defaultdict(list)
for line in open(sys.argv[1]):
    label, user, system, rss, load = line.split()
    runs[label].append((float(user) + float(system), int(rss), float(load)))
for label in 'AB':
    v = runs[label]
    print('%s: CPU median %.2f s, peak RSS median %d KB, load %.1f-%.1f' % (
        label, statistics.median(x[0] for x in v), statistics.median(x[1] for x in v),
        min(x[2] for x in v), max(x[2] for x in v)))
ratios = [b[0] / a[0] for a, b in zip(runs['A'], runs['B'])]
print('B / A per round: %s; median %.3f' % (' '.join('%.3f' % r for r in ratios), statistics.median(ratios)))
PY
rm -rf "$home" "$out"
