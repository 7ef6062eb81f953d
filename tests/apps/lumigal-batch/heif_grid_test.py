#!/usr/bin/env python3
"""HEIC grids as phones write them, and grids no phone writes: a small file
that declares 10,000 tiles is left out as « image trop grande » in every mode
(never parsed at length); a 50-megapixel grid of 192 tiles makes its
thumbnail within 300 MB, alone and four at a time, with the same pixels as
when the decoder library assembles the whole grid.

usage: heif_grid_test.py LUMIGAL_BATCH SCRATCH_DIR
"""
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'support'))
from heif_grid import grid_heic  # noqa: E402

BATCH, SCRATCH = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
PEAK_MB = int(os.environ.get('LUMIGAL_PEAK_MB', '300'))
FAILS = []


def check(cond, what):
    if not cond:
        FAILS.append(what)
        print('FAIL:', what, file=sys.stderr)


def run(args):
    """Status, standard error and peak memory (MB) of one lumigal-batch run."""
    p = subprocess.Popen([BATCH, '-q'] + args, stderr=subprocess.PIPE, env=ENV)
    err = p.stderr.read().decode('utf-8', 'replace')
    _, status, usage = os.wait4(p.pid, 0)
    return os.waitstatus_to_exitcode(status), err, usage.ru_maxrss // 1024


shutil.rmtree(SCRATCH, ignore_errors=True)
os.makedirs(SCRATCH)
ENV = dict(os.environ, XDG_CONFIG_HOME=SCRATCH + '/config', LC_ALL='C')
tiles = {}
for side in (64, 512):
    png, heic = '%s/tile%d.png' % (SCRATCH, side), '%s/tile%d.heic' % (SCRATCH, side)
    subprocess.run(['convert', '-size', '%dx%d' % (side, side), 'plasma:fractal', png], check=True)
    subprocess.run(['heif-enc', '-q', '60', '-o', heic, png], check=True, capture_output=True)
    tiles[side] = open(heic, 'rb').read()


def put(name, data):
    path = SCRATCH + '/' + name
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)
    return path


# 10,000 tiles of 64 x 64 in about 420 KB.
bomb = put('bomb/bomb.heic', grid_heic(tiles[64], 100, 100))
good = put('bomb/good.heic', grid_heic(tiles[64], 2, 2))
for mode in ('details', 'thumbnails', 'plain'):
    status, err, _ = run(['-m', mode, '-o', SCRATCH + '/out-bomb-' + mode + '/page.htm', bomb, good])
    check(status == 3, '%s, the bomb: exit %d, want 3: %s' % (mode, status, err[-300:]))
    check(bomb + ' : image trop grande' in err, '%s, the bomb: not said too large: %r' % (mode, err))
    check(good not in err, '%s: the 2 x 2 grid was left out: %r' % (mode, err))

# 12 x 16 tiles of 512 x 512: 8192 x 6144, as a 48-megapixel phone photo.
photo = grid_heic(tiles[512], 12, 16)
for count, jobs in ((1, 1), (4, 4)):
    folder = SCRATCH + '/photos%d' % count
    for i in range(count):
        put('photos%d/p%d.heic' % (count, i), photo)
    status, err, peak = run(['-m', 'thumbnails', '-j', str(jobs), '-o', folder + '-out/page.htm', folder])
    check(status == 0, '%d photo(s): exit %d: %s' % (count, status, err[-300:]))
    check(peak < PEAK_MB, '%d photo(s), -j%d: peak %d MB, want under %d' % (count, jobs, peak, PEAK_MB))
    print('%d x 50 MP grid, -j%d: peak %d MB' % (count, jobs, peak))

# Tile by tile or whole (a grid turned by 0 quarters is assembled by the
# decoder library): the same thumbnail.
put('same/tiled.heic', grid_heic(tiles[512], 4, 4))
put('same/whole.heic', grid_heic(tiles[512], 4, 4, turn=0))
status, err, _ = run(['-m', 'thumbnails', '--format', 'png', '--thumb-dir', SCRATCH + '/same-out',
                      '-o', SCRATCH + '/same-page/page.htm', SCRATCH + '/same'])
check(status == 0, 'tiled and whole: exit %d: %s' % (status, err[-300:]))
made = sorted(os.listdir(SCRATCH + '/same-out'))
thumbs = [f for f in made if f.endswith('.png')]
check(len(thumbs) == 2, 'tiled and whole: thumbnails %s' % made)
if len(thumbs) == 2:
    pixels = [subprocess.run(['convert', SCRATCH + '/same-out/' + t, 'rgb:-'], capture_output=True,
                             check=True).stdout for t in thumbs]
    check(len(pixels[0]) > 0 and pixels[0] == pixels[1], 'tiled and whole: the thumbnails differ')

print('%d failed checks' % len(FAILS))
sys.exit(1 if FAILS else 0)
