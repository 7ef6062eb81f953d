#!/usr/bin/env python3
"""What a portable album publishes, tried as an attacker would: nothing in
it names a path of the machine; a name flipped during the run between a
photo and a link to a private file never brings that file in; links that
lead out of the chosen folder are left out unless --follow-links; copies
are no more readable than their sources; names differ with case ignored;
an album made inside its photo folder never takes itself in; a killed run
leaves nothing that drifts or stays; two runs into one album never mix.

usage: published_album_test.py LUMIGAL_BATCH SCRATCH_DIR
"""
import fcntl
import os
import re
import shutil
import signal
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'support'))
from script_checks import Checks, sh  # noqa: E402

BATCH, SCRATCH = sys.argv[1], os.path.abspath(sys.argv[2])
CHECKS = Checks()
check = CHECKS.check
shutil.rmtree(SCRATCH, ignore_errors=True)
os.makedirs(SCRATCH)
os.umask(0o022)
ENV = dict(os.environ, XDG_CONFIG_HOME=os.path.join(SCRATCH, 'config'), LC_ALL='C')
PHOTO = os.path.join(SCRATCH, 'photo.jpg')
sh('convert', '-size', '40x30', 'gradient:red-blue', PHOTO)
PHOTO_BYTES = open(PHOTO, 'rb').read()


def batch(*args):
    return subprocess.run([BATCH, '-q', '--portable', '--mode', 'thumbnails', '--format', 'same'] + list(args),
                          env=ENV, capture_output=True, text=True)


def folder(*parts, photos=()):
    path = os.path.join(SCRATCH, *parts)
    os.makedirs(path, exist_ok=True)
    for name in photos:
        os.makedirs(os.path.dirname(os.path.join(path, name)), exist_ok=True)
        shutil.copy(PHOTO, os.path.join(path, name))
    return path


def album_files(album):
    """Every file of the album (dot files too), relative to it."""
    found = []
    for root, _, names in os.walk(album):
        found += [os.path.relpath(os.path.join(root, n), album) for n in names]
    return sorted(found)


def made(album, sub):
    d = os.path.join(album, sub)
    return sorted(n for n in os.listdir(d) if not n.startswith('.')) if os.path.isdir(d) else []


# ---- nothing names a path outside the album ---------------------------------------------------
src = folder('machine', 'home-alice-Photos', photos=['a.jpg', 'b.jpg', 'sub/c.jpg'])
album = folder('machine', 'published')
for extra in ([], ['--web-size', '20'], ['--style', 'modern']):
    r = batch('-r', '-o', album + '/index.html', *extra, src)
    check(r.returncode == 0, 'paths %s: exit %d %s' % (extra, r.returncode, r.stderr))
    for name in album_files(album):
        data = open(os.path.join(album, name), 'rb').read()
        for outside in (src, os.path.dirname(album), SCRATCH):
            check(outside.encode() not in data, 'paths %s: %s names %s' % (extra, name, outside))
# The second run makes nothing again.
def inodes(album):
    return {n: os.stat(os.path.join(album, n)).st_ino for n in album_files(album)
            if '/' in n and not n.endswith('.lumigal-vignettes')}


stamps = inodes(album)
batch('-r', '-o', album + '/index.html', '--style', 'modern', src)
again = inodes(album)
check(stamps == again, 'paths: the second run made files again')

# A record of the earlier version (absolute paths) is read, kept and rewritten.
record = os.path.join(album, 'vignettes', '.lumigal-vignettes')
lines = open(record).read().splitlines()
old = ['lumigal-vignettes 2'] + [
    '\t'.join([os.path.join(album, 'vignettes', f[0]), f[1][:f[1].find(f[0])] +
               os.path.join(album, 'vignettes', f[0]), f[2], '/somewhere/' + f[0]] + f[3:15] + ['ok'])
    for f in (line.split('\t') for line in lines[1:])]
open(record, 'w').write('\n'.join(old) + '\n')
batch('-r', '-o', album + '/index.html', '--style', 'modern', src)
check(made(album, 'vignettes') == ['a.jpg', 'b.jpg', 'c.jpg'], 'old record: names %s' % made(album, 'vignettes'))
check(src.encode() not in open(record, 'rb').read() and b'/somewhere' not in open(record, 'rb').read(),
      'old record: paths left behind')
check(inodes(album) == again, 'old record: thumbnails made again')

# ---- a name flipped between a photo and a link to a private file ------------------------------
private = folder('private')
os.chmod(private, 0o700)
SECRET_TEXT = b'SECRET-TEXT-' + os.urandom(8).hex().encode()
secret_text = os.path.join(private, 'secret.txt')
open(secret_text, 'wb').write(SECRET_TEXT)
os.chmod(secret_text, 0o600)
secret_photo = os.path.join(private, 'secret.jpg')
sh('convert', '-size', '40x30', 'xc:green', '-set', 'comment', 'SECRET-PHOTO-MARK', secret_photo)
os.chmod(secret_photo, 0o600)
SECRET_MARK = b'SECRET-PHOTO-MARK'


def flipping_race(secret, extra, rounds=25, seconds=40):
    photos = folder('race' + str(len(extra)), photos=['a.jpg'])
    out = folder('race-album' + str(len(extra)))
    flip, stop = os.path.join(photos, 'flip.jpg'), threading.Event()
    shutil.copy(PHOTO, flip)

    def flipper():
        n = 0
        while not stop.is_set():
            n += 1
            tmp = os.path.join(photos, '.tmp%d' % (n % 2))
            if n % 2:
                os.symlink(secret, tmp)
            else:
                shutil.copy(PHOTO, tmp)
            os.replace(tmp, flip)
    thread = threading.Thread(target=flipper)
    thread.start()
    leaks, start, done = [], time.monotonic(), 0
    try:
        while done < rounds and time.monotonic() - start < seconds:
            batch('-j1', '-o', out + '/index.html', *extra, photos)
            done += 1
            for name in album_files(out):
                data = open(os.path.join(out, name), 'rb').read()
                if SECRET_TEXT in data or SECRET_MARK in data:
                    leaks.append(name)
    finally:
        stop.set()
        thread.join()
    return done, leaks


for secret, extra in ((secret_photo, []), (secret_text, ['--follow-links'])):
    rounds, leaks = flipping_race(secret, extra)
    check(rounds >= 5, 'race %s: only %d rounds' % (extra, rounds))
    check(not leaks, 'race %s: the secret reached the album: %s' % (extra, leaks))

# ---- links that leave the chosen folder; permission bits --------------------------------------
links = folder('links', photos=['mine.jpg', 'sub/inside.jpg'])
private_copy = os.path.join(private, 'p.jpg')
shutil.copy(PHOTO, private_copy)
os.chmod(private_copy, 0o600)
os.symlink(private_copy, os.path.join(links, 'out.jpg'))
os.symlink('sub/inside.jpg', os.path.join(links, 'in.jpg'))
os.chmod(os.path.join(links, 'mine.jpg'), 0o640)
out = folder('links-album')
r = batch('-o', out + '/index.html', links)
check(r.returncode == 3, 'links: exit %d' % r.returncode)
check(os.path.join(links, 'out.jpg') in r.stderr, 'links: the link left out is not named: %s' % r.stderr)
check(made(out, 'images') == ['in.jpg', 'mine.jpg'], 'links: copies %s' % made(out, 'images'))
for sub in ('images', 'vignettes'):
    mode = os.stat(os.path.join(out, sub, 'mine.jpg')).st_mode & 0o777
    check(mode == 0o640, 'links: %s/mine.jpg has mode %o, its source 640' % (sub, mode))
r = batch('--follow-links', '-o', out + '/index.html', links)
check(r.returncode == 0, 'follow-links: exit %d %s' % (r.returncode, r.stderr))
for sub in ('images', 'vignettes'):
    path = os.path.join(out, sub, 'out.jpg')
    check(os.path.exists(path) and os.stat(path).st_mode & 0o777 == 0o600,
          'follow-links: %s/out.jpg is missing or wider than its 0600 source' % sub)

# ---- names that differ only by case ------------------------------------------------------------
cased = folder('cased', photos=['A.jpg', 'x/a.JPG', 'y/a.jpg', 'y/Été.jpg', 'z/été.jpg'])
out = folder('cased-album')
r = batch('-r', '-o', out + '/index.html', cased)
check(r.returncode == 0, 'case: exit %d %s' % (r.returncode, r.stderr))
for sub in ('images', 'vignettes'):
    names = made(out, sub)
    folded = [n.lower().replace('É', 'é') for n in names]
    check(len(names) == 5 and len(set(folded)) == 5, 'case: %s holds %s' % (sub, names))

# ---- an album inside its photo folder ----------------------------------------------------------
own = folder('own', photos=['p1.jpg', 'p2.jpg', 'deep/p3.jpg'])
counts = []
for _ in range(3):
    r = batch('-r', '-o', own + '/album.html', own)
    text = open(own + '/album.html', encoding='utf-8').read()
    counts.append((int(re.search(r'(\d+) images?', text).group(1)), len(made(own, 'images'))))
check(counts == [(3, 3)] * 3, 'own album: images and copies over runs %s' % counts)

# ---- a killed run, then the next ones ----------------------------------------------------------
many = ['p%02d.jpg' % i for i in range(1, 41)]
killed = folder('killed', photos=many)
out = folder('killed-album')
for round_ in range(3):
    child = subprocess.Popen([BATCH, '-q', '-j1', '--portable', '--web-size', '30', '-o', out + '/index.html',
                              killed], env=ENV)
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline and not [n for n in made(out, 'images') if n.endswith('.jpg')]:
        time.sleep(0.002)
    child.send_signal(signal.SIGKILL)
    child.wait()
r = batch('-o', out + '/index.html', killed)
check(r.returncode == 0, 'killed: exit %d %s' % (r.returncode, r.stderr))
check(made(out, 'images') == many, 'killed: names drifted: %s' % [n for n in made(out, 'images') if '-' in n])
kept = [os.path.join(killed, n) for n in many[:5]]
r = batch('-o', out + '/index.html', *kept)
check(made(out, 'images') == many[:5] and made(out, 'vignettes') == many[:5],
      'killed: unlinked copies stay: %d copies, %d thumbnails' % (len(made(out, 'images')),
                                                                  len(made(out, 'vignettes'))))

# ---- two runs at once into one album -----------------------------------------------------------
fd = os.open(out, os.O_RDONLY | os.O_DIRECTORY)
fcntl.flock(fd, fcntl.LOCK_EX)
r = batch('-o', out + '/index.html', *kept)
check(r.returncode == 1 and 'un autre Lumigal' in r.stderr, 'lock: exit %d %s' % (r.returncode, r.stderr))
os.close(fd)
r = batch('-o', out + '/index.html', *kept)
check(r.returncode == 0, 'lock released: exit %d %s' % (r.returncode, r.stderr))

CHECKS.finish()
