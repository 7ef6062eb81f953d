#!/usr/bin/env python3
"""lumigal-batch's exit status in every mode: 0 when the page holds every
image, 3 when it is written without some files (each named on standard error,
left out of the page and of its count), 1 when no page is written, 2 for bad
usage. Every run writes into a page folder that does not exist yet.

usage: exit_status_test.py LUMIGAL_BATCH SCRATCH_DIR
"""
import ctypes
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'support'))
from test_images import png  # noqa: E402

BATCH, SCRATCH = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
FAILS = []


def check(cond, what):
    if not cond:
        FAILS.append(what)
        print('FAIL:', what, file=sys.stderr)


def put(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)


def drop_read_override():
    # Root reads any folder; without these two capabilities it obeys the modes.
    libc = ctypes.CDLL(None, use_errno=True)
    for cap in (1, 2):  # CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH
        if libc.prctl(24, cap, 0, 0, 0) != 0:  # PR_CAPBSET_DROP
            raise OSError(ctypes.get_errno(), 'prctl')


shutil.rmtree(SCRATCH, ignore_errors=True)
IN = SCRATCH + '/in'
put(IN + '/a.png', png(40, 30))
put(IN + '/b.png', png(20, 50))
put(IN + '/damaged.png', png(40, 30)[:40])
put(IN + '/notes.png', b'not an image at all\n')
put(IN + '/tree/a.png', png(40, 30))
put(IN + '/tree/m/b.png', png(20, 50))
put(IN + '/tree/locked/c.png', png(10, 10))
put(IN + '/locked/d.png', png(10, 10))
put(IN + '/afile', b'x')
os.chmod(IN + '/tree/locked', 0)
os.chmod(IN + '/locked', 0)
ENV = dict(os.environ, XDG_CONFIG_HOME=SCRATCH + '/config', LC_ALL='C')

PREEXEC = None
if os.geteuid() == 0:
    try:
        subprocess.run(['true'], preexec_fn=drop_read_override, check=True)
        PREEXEC = drop_read_override
    except (OSError, subprocess.CalledProcessError) as e:
        PREEXEC = False
        print('NOTE: root cannot give up reading locked folders here (%s): those cases are skipped' % e)

A, B = IN + '/a.png', IN + '/b.png'
# name, inputs, extra options, status, images in the page, paths said on standard error
CASES = [
    ('all good', [A, B], [], 0, [A, B], []),
    ('a damaged image', [A, IN + '/damaged.png', B], [], 3, [A, B], [IN + '/damaged.png']),
    ('a file that is no image', [IN + '/notes.png', A], [], 3, [A], [IN + '/notes.png']),
    ('a missing file', [A, IN + '/missing.png'], [], 3, [A], [IN + '/missing.png']),
    ('nothing usable', [IN + '/missing.png'], [], 3, [], [IN + '/missing.png']),
    ('an unlistable sub-folder', [IN + '/tree'], ['-r'], 3, [IN + '/tree/a.png', IN + '/tree/m/b.png'],
     [IN + '/tree/locked']),
    ('an unlistable folder given', [IN + '/locked', A], [], 3, [A], [IN + '/locked']),
    ('a page folder that is a file', [A], ['-o', IN + '/afile/page.htm'], 1, None, []),
    ('no page named', [A], ['-o', ''], 2, None, []),
]
LOCKED = {'an unlistable sub-folder', 'an unlistable folder given'}

runs = 0
for mode in ('thumbnails', 'details', 'plain'):
    for name, inputs, extra, status, images, said in CASES:
        if name in LOCKED and PREEXEC is False:
            continue
        label = '%s, %s' % (mode, name)
        out = '%s/out/%s/%s/deeper' % (SCRATCH, mode, name.replace(' ', '_'))
        page = out + '/page.htm'
        args = [BATCH, '-q', '-m', mode, '--thumb-dir', out + '/th', '-o', page] + extra + inputs
        r = subprocess.run(args, capture_output=True, env=ENV, preexec_fn=PREEXEC or None)
        runs += 1
        err = r.stderr.decode('utf-8', 'replace')
        check(r.returncode == status, '%s: exit %d, want %d %s' % (label, r.returncode, status, err[-300:]))
        for path in said:
            lines = [l for l in err.splitlines() if path + ' :' in l]
            check(len(lines) == 1 and lines[0].count(path) == 1,
                  '%s: %s not named once on its own line: %r' % (label, path, err))
        if images is None:
            continue
        check(os.path.isdir(out), '%s: page folder not made' % label)
        if not os.path.isfile(page):
            check(False, '%s: no page' % label)
            continue
        text = open(page, 'rb').read().decode('utf-8', 'surrogateescape')
        listed = re.findall(r'^      (/.*)\r$', text, re.M)
        check(listed == images, '%s: page lists %s, want %s' % (label, listed, images))
        counted = re.search(r'(\d+) images?\r\n', text)
        check(counted and int(counted.group(1)) == len(images),
              '%s: page counts %s, want %d' % (label, counted and counted.group(1), len(images)))
        for path in said:
            check(path not in text, '%s: %s is in the page' % (label, path))


def run_alone(label, args, status, words, prefix=()):
    """One run outside the table: its status and what standard error says."""
    r = subprocess.run(list(prefix) + [BATCH, '-q'] + args, capture_output=True, env=ENV)
    err = r.stderr.decode('utf-8', 'replace')
    check(r.returncode == status, '%s: exit %d, want %d %s' % (label, r.returncode, status, err[-300:]))
    check(words in err, '%s: standard error lacks %r: %r' % (label, words, err))
    return r


# An empty name is a usage slip, never the current folder.
empty = SCRATCH + '/out/empty'
run_alone('an empty name', ['-o', empty + '/page.htm', ''], 2, 'vide')
run_alone('an empty name among others', ['-o', empty + '/page.htm', A, ''], 2, 'vide')
check(not os.path.exists(empty), 'an empty name: a page folder was made')

# Started through the dynamic loader, the program runs as it is.
LOADER = '/lib64/ld-linux-x86-64.so.2'
if os.path.exists(LOADER):
    page = SCRATCH + '/out/loader/page.htm'
    run_alone('through the dynamic loader', ['-o', page, A, B], 0, '', prefix=[LOADER])
    check(os.path.isfile(page), 'through the dynamic loader: no page')
else:
    print('NOTE: no %s here: the dynamic loader case is skipped' % LOADER)

# A page folder to be made on a read-only file system says so (a private
# mount of a read-only tmpfs, where root may mount one).
ro = SCRATCH + '/readonly'
os.makedirs(ro, exist_ok=True)
mounts = ['unshare', '-m', 'sh', '-c', 'mount -t tmpfs -o ro,size=64k tmpfs "$0" && exec "$@"', ro]
if shutil.which('unshare') and subprocess.run(mounts + ['true'], capture_output=True).returncode == 0:
    run_alone('a read-only file system', ['-o', ro + '/album/page.htm', A], 1,
              ro + '/album : système de fichiers en lecture seule', prefix=mounts)
else:
    print('NOTE: no read-only file system can be mounted here: that case is skipped')

os.chmod(IN + '/tree/locked', 0o700)
os.chmod(IN + '/locked', 0o700)
print('%d runs, %d failed checks' % (runs, len(FAILS)))
sys.exit(1 if FAILS else 0)
