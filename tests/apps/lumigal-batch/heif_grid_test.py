#!/usr/bin/env python3
"""HEIC grids as phones write them, and grids no phone writes: a small file
that declares 10,000 tiles is left out as « image trop grande » in every mode
(never parsed at length); a 50-megapixel grid of 192 tiles makes its
thumbnail within 300 MB, alone and four at a time, turned as well; turned
and mirrored grids have the same pixels as when the decoder library
assembles the whole grid.

usage: heif_grid_test.py LUMIGAL_BATCH SCRATCH_DIR
"""
import array
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

# Tile by tile or whole (a grid with a crop is assembled by the decoder
# library, which applies its turns itself; it cannot mirror a grid): the
# same thumbnail, and the thumbnail of the grid as stored turned and
# mirrored the same way. The grid is wider than high, so that a turn shows;
# the order of a turn and a mirror changes the image. The reductions add in
# another order: the samples (16 bits) may differ by a few units.
CASES = [
    ('as stored', [], []),
    ('turned once', [('irot', 1)], ['-rotate', '-90']),
    ('turned twice', [('irot', 2)], ['-rotate', '180']),
    ('turned three times', [('irot', 3)], ['-rotate', '90']),
    ('mirrored left to right', [('imir', 0)], ['-flop']),
    ('mirrored top to bottom', [('imir', 1)], ['-flip']),
    ('turned, then mirrored', [('irot', 1), ('imir', 0)], ['-rotate', '-90', '-flop']),
    ('mirrored, then turned', [('imir', 0), ('irot', 1)], ['-flop', '-rotate', '-90']),
    ('turned, mirrored, turned', [('irot', 3), ('imir', 1), ('irot', 2)], ['-rotate', '90', '-flip', '-rotate', '180']),
]
for i, (name, transforms, _) in enumerate(CASES):
    put('same/%d-tiled.heic' % i, grid_heic(tiles[512], 4, 6, transforms=transforms))
    if all(kind != 'imir' for kind, _ in transforms):
        put('same/%d-whole.heic' % i, grid_heic(tiles[512], 4, 6, transforms=[('clap', None)] + transforms))
status, err, _ = run(['-m', 'thumbnails', '-j', '2', '--format', 'png', '--thumb-dir',
                      SCRATCH + '/same-out', '-o', SCRATCH + '/same-page/page.htm', SCRATCH + '/same'])
check(status == 0, 'tiled and whole: exit %d: %s' % (status, err[-300:]))
made = os.listdir(SCRATCH + '/same-out')


def samples(name, ops=()):
    """The size and 16-bit samples of the thumbnail of name (None without
    one), after the convert operators ops."""
    if name + '.png' not in made:
        return None
    ppm = subprocess.run(['convert', SCRATCH + '/same-out/' + name + '.png'] + list(ops) +
                         ['-depth', '16', 'ppm:-'], capture_output=True, check=True).stdout
    magic, size, top, data = ppm.split(b'\n', 3)
    values = array.array('H', data[:len(data) // 2 * 2])
    if sys.byteorder == 'little':
        values.byteswap()
    return size, values


def differ(a, b):
    """Whether two thumbnails differ by more than the order of the sums."""
    return a is None or b is None or a[0] != b[0] or len(a[1]) != len(b[1]) or \
        max(abs(x - y) for x, y in zip(a[1], b[1])) > 16


for i, (name, transforms, ops) in enumerate(CASES):
    tiled = samples('%d-tiled' % i)
    check(tiled is not None, '%s: no thumbnail in %s' % (name, sorted(made)))
    if all(kind != 'imir' for kind, _ in transforms):
        check(not differ(tiled, samples('%d-whole' % i)), '%s: tiled and whole differ' % name)
    check(not differ(tiled, samples('0-whole', ops)), '%s: not the grid as stored %s' % (name, ' '.join(ops)))

# A phone's portrait photo: the 50-megapixel grid turned, within the bound.
put('portrait/p.heic', grid_heic(tiles[512], 12, 16, transforms=[('irot', 3)]))
status, err, peak = run(['-m', 'thumbnails', '-o', SCRATCH + '/portrait-out/page.htm', SCRATCH + '/portrait'])
check(status == 0, 'turned 50 MP grid: exit %d: %s' % (status, err[-300:]))
check(peak < PEAK_MB, 'turned 50 MP grid: peak %d MB, want under %d' % (peak, PEAK_MB))
print('turned 50 MP grid: peak %d MB' % peak)

print('%d failed checks' % len(FAILS))
sys.exit(1 if FAILS else 0)
