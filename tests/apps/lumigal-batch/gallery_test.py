#!/usr/bin/env python3
"""End-to-end check of lumigal-batch --gallery: one album per folder of a
tree (2025/Hiver, 2026/06 Bretagne), none for an empty folder, a folder of
types left out or a link to a folder; album.txt's title, description and
cover; the photos and albums in date order and reversed; --per-page; no
path of the machine in anything published; a second run that remakes
nothing; an album that disappears taking its pages and files with it; a
gallery made inside its own tree; the gallery moved and served over HTTP
in headless Chromium; the Nu HTML checker and axe on the index, an album
and a page 2 (skipped with a message when the checkers are missing).

usage: gallery_test.py LUMIGAL_BATCH SCRATCH_DIR CHECKERS_DIR...
"""
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import time
import urllib.parse
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'support'))
from script_checks import Checks  # noqa: E402

BATCH, SCRATCH = sys.argv[1], os.path.abspath(sys.argv[2])
CHECKERS = next((d for d in sys.argv[3:] if os.path.isfile(os.path.join(d, 'node_modules/vnu-jar/build/dist/vnu.jar'))),
                None)
CHECKS = Checks()
check, skip = CHECKS.check, CHECKS.skip
ENV = dict(os.environ, HOME=os.path.join(SCRATCH, 'home'), LC_ALL='C.UTF-8')

if not shutil.which('exiftool') or not shutil.which('convert'):
    print('SKIP: exiftool or ImageMagick absent')
    sys.exit(77)

shutil.rmtree(SCRATCH, ignore_errors=True)
SRC = os.path.join(SCRATCH, 'Photos')
OUT = os.path.join(SCRATCH, 'galerie')
HIVER = os.path.join(SRC, '2025', 'Hiver')
BRETAGNE = os.path.join(SRC, '2026', '06 Bretagne')
for d in (HIVER, BRETAGNE, os.path.join(SRC, 'vide', 'encore vide'), os.path.join(SRC, 'dessins'),
          os.path.join(SCRATCH, 'ailleurs'), ENV['HOME']):
    os.makedirs(d)

# Each photo: its folder, name, DateTimeOriginal, OffsetTimeOriginal, CreateDate.
PHOTOS = [
    (HIVER, 'h1.jpg', '2025:01:20 09:00:00', None, None),
    (HIVER, 'h2.jpg', '2025:01:10 09:00:00', None, None),
    (HIVER, 'h3.jpg', None, None, '2025:01:15 09:00:00'),
    # b2 is the first taken once its offset is counted (07:30 UTC against 08:00).
    (BRETAGNE, 'b1.jpg', '2026:06:14 08:00:00', None, None),
    (BRETAGNE, 'b2.jpg', '2026:06:14 09:30:00', '+02:00', None),
    (BRETAGNE, 'b3.jpg', '2026:06:15 18:00:00', None, None),
]
for n, (folder, name, original, offset, created) in enumerate(PHOTOS):
    path = os.path.join(folder, name)
    subprocess.run(['convert', '-size', '120x90', 'xc:rgb(%d,120,%d)' % (40 * n, 200 - 30 * n), path], check=True)
    tags = []
    if original:
        tags.append('-DateTimeOriginal=' + original)
    if offset:
        tags.append('-OffsetTimeOriginal=' + offset)
    if created:
        tags.append('-CreateDate=' + created)
    subprocess.run(['exiftool', '-q', '-overwrite_original', '-Make=Canon', '-Model=Canon EOS 80D'] + tags + [path],
                   check=True)
subprocess.run(['convert', '-size', '40x40', 'xc:red', os.path.join(SRC, 'dessins', 'd.png')], check=True)
subprocess.run(['convert', '-size', '40x40', 'xc:blue', os.path.join(SCRATCH, 'ailleurs', 'prive.jpg')], check=True)
os.symlink(os.path.join(SCRATCH, 'ailleurs'), os.path.join(SRC, 'lien'))  # a link to a folder: never followed
os.symlink(os.path.join(SCRATCH, 'ailleurs', 'prive.jpg'), os.path.join(HIVER, 'prive.jpg'))  # out of the tree
with open(os.path.join(BRETAGNE, 'album.txt'), 'w', encoding='utf-8') as f:
    f.write('titre: La Bretagne en été\ndescription: Une semaine au bord de la mer\ncouverture: b3.jpg\n')


def run(*extra, out=OUT, src=SRC):
    return subprocess.run([BATCH, '--gallery', '--types', 'jpeg', '-q', '-j2', '-o', os.path.join(out, 'index.html')] +
                          list(extra) + [src], capture_output=True, env=ENV)


def text(*parts):
    with open(os.path.join(*parts), encoding='utf-8') as f:
        return f.read()


def order_in(page, names):
    """The names in the order the page first mentions them."""
    return sorted(names, key=lambda n: page.find(n) if n in page else len(page))


def files_under(folder):
    return sorted(os.path.relpath(os.path.join(d, f), folder) for d, _, fs in os.walk(folder) for f in fs)


def stamps(folder):
    return {p: os.stat(os.path.join(folder, p)).st_mtime_ns for p in files_under(folder)
            if not os.path.basename(p).startswith('.')}


r = run('--sort', 'date')
check(r.returncode == 0, 'first run: status %d, %s' % (r.returncode, r.stderr.decode()[-300:]))
pages = [p for p in files_under(OUT) if p.endswith('.html')]
check(pages == sorted(['index.html', '2025/index.html', '2025/Hiver/index.html', '2026/index.html',
                       '2026/06 Bretagne/index.html']), 'one page per album, in the mirrored tree: %s' % pages)
check(not any(p.startswith(('vide', 'dessins', 'lien')) for p in files_under(OUT)),
      'no album for an empty folder, a folder of types left out or a link: %s' % files_under(OUT))
check(not any('prive' in p for p in files_under(OUT)), 'a link out of the tree was followed')
for album in ('2025/Hiver', '2026/06 Bretagne'):
    for sub in ('images', 'vignettes'):
        check(len([f for f in os.listdir(os.path.join(OUT, album, sub)) if f.endswith('.jpg')]) == 3,
              '%s/%s holds the 3 photos of its album' % (album, sub))

index = text(OUT, 'index.html')
for album in ('2025', '2026'):
    check('href="%s/index.html"' % album in index, 'the index links album %s' % album)
covers = [urllib.parse.unquote(m) for m in re.findall(r'<img[^>]*\bsrc="([^"]+)"', index)]
check(len(covers) >= 2 and all(os.path.isfile(os.path.join(OUT, c)) for c in covers),
      'the index shows a cover for each album: %s' % covers)
check(any(c.endswith('06 Bretagne/vignettes/b3.jpg') for c in covers), "album.txt's cover reaches the index: %s" % covers)
check(order_in(index, ['2025/index.html', '2026/index.html'])[0] == '2025/index.html', 'albums in date order')
bretagne = text(OUT, '2026', '06 Bretagne', 'index.html')
check('La Bretagne en été' in bretagne and 'Une semaine au bord de la mer' in bretagne,
      "album.txt's title and description")
check(order_in(bretagne, ['images/b1.jpg', 'images/b2.jpg', 'images/b3.jpg']) ==
      ['images/b2.jpg', 'images/b1.jpg', 'images/b3.jpg'], 'photos in date order, offsets counted')
hiver = text(OUT, '2025', 'Hiver', 'index.html')
check(order_in(hiver, ['images/h1.jpg', 'images/h2.jpg', 'images/h3.jpg']) ==
      ['images/h2.jpg', 'images/h3.jpg', 'images/h1.jpg'], 'CreateDate stands in for DateTimeOriginal')

# Nothing published names a path of the machine.
leaks = [p for p in files_under(OUT) if SCRATCH.encode() in open(os.path.join(OUT, p), 'rb').read()]
check(not leaks, 'files naming the scratch folder: %s' % leaks)

# A second run with nothing changed writes no page, no copy, no thumbnail.
before = stamps(OUT)
time.sleep(1.1)
r = run('--sort', 'date')
check(r.returncode == 0, 'second run: %s' % r.stderr.decode()[-300:])
after = stamps(OUT)
changed = [p for p in after if after[p] != before.get(p)]
check(not changed and before.keys() == after.keys(), 'the second run rewrote %s' % changed)

# Reversed: newest first, albums too.
r = run('--sort=date', '--reverse')
check(r.returncode == 0, 'reversed run: %s' % r.stderr.decode()[-300:])
check(order_in(text(OUT, '2026', '06 Bretagne', 'index.html'), ['images/b1.jpg', 'images/b2.jpg', 'images/b3.jpg']) ==
      ['images/b3.jpg', 'images/b1.jpg', 'images/b2.jpg'], 'photos reversed')
check(order_in(text(OUT, 'index.html'), ['2025/index.html', '2026/index.html'])[0] == '2026/index.html',
      'albums reversed')
copies = stamps(OUT)
check(all(copies[p] == before[p] for p in before if '/images/' in p or '/vignettes/' in p),
      'a new order remakes no copy or thumbnail')

# Two photos a page.
r = run('--sort', 'date', '--per-page', '2')
check(r.returncode == 0, '--per-page 2: %s' % r.stderr.decode()[-300:])
check(os.path.isfile(os.path.join(OUT, '2025', 'Hiver', 'page-2.html')), '--per-page 2 makes page-2.html')
page2 = text(OUT, '2025', 'Hiver', 'page-2.html')
check('images/h1.jpg' in page2 and 'images/h2.jpg' not in page2, 'page 2 holds the third photo')

# An album whose folder is gone goes with its pages and files; the rest stays.
shutil.move(HIVER, os.path.join(SCRATCH, 'Hiver rangé'))
r = run('--sort', 'date', '--per-page', '2')
check(r.returncode == 0, 'run without 2025: %s' % r.stderr.decode()[-300:])
check(not os.path.exists(os.path.join(OUT, '2025')), 'the gone album left %s' %
      (files_under(os.path.join(OUT, '2025')) if os.path.isdir(os.path.join(OUT, '2025')) else ''))
check(os.path.isfile(os.path.join(OUT, '2026', '06 Bretagne', 'images', 'b1.jpg')), 'the other albums stay')
shutil.move(os.path.join(SCRATCH, 'Hiver rangé'), HIVER)
r = run('--sort', 'date', '--per-page', '2')
check(r.returncode == 0, 'run with 2025 back: %s' % r.stderr.decode()[-300:])

# --zip: each album offers a ZIP of its copies, under their own names, made again only when they change.
def zips():
    return {os.path.relpath(d, OUT): os.path.join(d, 'album.zip') for d, _, fs in os.walk(OUT) if 'album.zip' in fs}


r = run('--sort', 'date', '--per-page', '2', '--zip')
check(r.returncode == 0, '--zip: %s' % r.stderr.decode()[-300:])
albums = sorted(os.path.relpath(d, OUT) for d, ds, _ in os.walk(OUT) if 'images' in ds)
check(albums and sorted(zips()) == albums, 'albums %s, ZIPs %s' % (albums, sorted(zips())))
for folder, zpath in zips().items():
    with zipfile.ZipFile(zpath) as z:
        names = sorted(z.namelist())
        check(names == sorted(n for n in os.listdir(os.path.join(OUT, folder, 'images')) if not n.startswith('.')) and
              z.testzip() is None,
              '%s: the ZIP holds %s' % (folder, names))
        check(all(z.read(n) == open(os.path.join(OUT, folder, 'images', n), 'rb').read() for n in names),
              '%s: the ZIP holds other bytes than the copies' % folder)
    check(SCRATCH.encode() not in open(zpath, 'rb').read(), '%s: the ZIP names the scratch folder' % folder)
    check('href="album.zip"' in text(OUT, folder, 'index.html'), '%s: the page offers no ZIP' % folder)
zipped = {f: os.stat(z).st_mtime_ns for f, z in zips().items()}
r = run('--sort', 'date', '--per-page', '2', '--zip')
check({f: os.stat(z).st_mtime_ns for f, z in zips().items()} == zipped, 'a second run wrote the ZIPs again')
r = run('--sort', 'date', '--per-page', '2')
check(r.returncode == 0 and not zips(), 'without --zip the ZIPs stay: %s' % sorted(zips()))
r = run('--sort', 'date', '--per-page', '2', '--zip')
check(r.returncode == 0 and sorted(zips()) == albums, 'the ZIPs back: %s' % sorted(zips()))

# A gallery inside its own tree never takes itself in.
inside = os.path.join(SRC, 'galerie')
for n in range(2):
    r = run(out=inside)
    check(r.returncode == 0, 'gallery inside its tree, run %d: %s' % (n + 1, r.stderr.decode()[-300:]))
check(not os.path.exists(os.path.join(inside, 'galerie')), 'the gallery took itself in')
shutil.rmtree(inside)

# The modern page (not a gallery) follows the order asked for; « Trier » alone is name order.
for extra, expected in ((['--sort', 'date'], ['b2.jpg', 'b1.jpg', 'b3.jpg']),
                        (['--sort=date', '--reverse'], ['b3.jpg', 'b1.jpg', 'b2.jpg']),
                        (['--sort'], ['b1.jpg', 'b2.jpg', 'b3.jpg'])):
    page = os.path.join(SCRATCH, 'moderne', 'page.html')
    r = subprocess.run([BATCH, '--style', 'modern', '--portable', '-m', 'thumbnails', '-q', '-o', page] + extra +
                       [BRETAGNE], capture_output=True, env=ENV)
    check(r.returncode == 0, 'modern page %s: %s' % (extra, r.stderr.decode()[-300:]))
    check(order_in(text(page), ['images/' + n for n in expected]) == ['images/' + n for n in expected],
          'modern page %s in the order %s' % (extra, expected))

# A page of the user's where an album's page would go stays as it was.
mine = os.path.join(SCRATCH, 'sur place')
os.makedirs(os.path.join(mine, 'Été'))
shutil.copy(os.path.join(BRETAGNE, 'b1.jpg'), os.path.join(mine, 'Été', 'b1.jpg'))
with open(os.path.join(mine, 'Été', 'index.html'), 'w') as f:
    f.write('<p>ma page</p>')
r = run(out=mine, src=mine)
check(r.returncode == 1 and 'Été/index.html'.encode() in r.stderr and b'porte d' in r.stderr,
      "a user's page under an album's page name: status %d, %s" % (r.returncode, r.stderr.decode()[-300:]))
check(text(mine, 'Été', 'index.html') == '<p>ma page</p>', "the user's page was overwritten")

PAGES = [('index', os.path.join(OUT, 'index.html')),
         ('album', os.path.join(OUT, '2026', '06 Bretagne', 'index.html')),
         ('page 2', os.path.join(OUT, '2025', 'Hiver', 'page-2.html'))]
java = shutil.which('java')
chromium = os.environ.get('CHROMIUM', '/usr/bin/chromium')
if not CHECKERS or not java:
    skip('Nu HTML checker: %s absent (scripts/setup.sh installs it)' % ('java' if not java else 'vnu-jar'))
else:
    r = subprocess.run([java, '-jar', os.path.join(CHECKERS, 'node_modules/vnu-jar/build/dist/vnu.jar'),
                        '--errors-only', '--format', 'json'] + [p for _, p in PAGES], capture_output=True)
    errors = [m for m in json.loads(r.stderr or r.stdout or b'{"messages":[]}')['messages'] if m['type'] == 'error']
    for m in errors[:10]:
        print('vnu:', urllib.parse.unquote(m.get('url', '')), m.get('message'), file=sys.stderr)
    check(not errors, 'Nu HTML checker: %d errors' % len(errors))

node = shutil.which('node')
pa11y = CHECKERS and os.path.join(CHECKERS, 'node_modules/.bin/pa11y')
if not node or not pa11y or not os.path.exists(pa11y) or not os.path.exists(chromium):
    skip('axe and the browser check: node, pa11y or Chromium absent (scripts/setup.sh installs them)')
else:
    config = os.path.join(SCRATCH, 'pa11y.json')
    json.dump({'chromeLaunchConfig': {'executablePath': chromium, 'args': ['--no-sandbox', '--disable-gpu']}},
              open(config, 'w'))
    for label, page in PAGES:
        out = subprocess.run([pa11y, '--runner', 'axe', '--config', config, '--reporter', 'json',
                              'file://' + urllib.parse.quote(page)], capture_output=True, env=ENV, timeout=300).stdout
        try:
            issues = [i for i in json.loads(out or b'null') if i.get('type') == 'error']
        except (ValueError, AttributeError):
            issues = None
        for i in (issues or [])[:5]:
            print('axe:', label, i['code'], i['message'][:120], file=sys.stderr)
        check(issues == [], '%s: axe errors %s' % (label, issues))

    # The gallery moved away from its sources, served over HTTP.
    moved = os.path.join(SCRATCH, 'galerie déplacée')
    os.rename(OUT, moved)
    os.rename(SRC, SRC + ' rangées')
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        port = s.getsockname()[1]
    server = subprocess.Popen([sys.executable, '-m', 'http.server', str(port), '--bind', '127.0.0.1'], cwd=moved,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        for _ in range(50):
            try:
                socket.create_connection(('127.0.0.1', port), timeout=1).close()
                break
            except OSError:
                time.sleep(0.1)
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'album_browser_check.js')
        # The last run made pages of two photos.
        for page, count in (('index.html', 2), ('2026/06%20Bretagne/index.html', 2)):
            r = subprocess.run([node, script, CHECKERS, 'http://127.0.0.1:%d/%s' % (port, page)],
                               capture_output=True, timeout=300)
            check(r.returncode == 0, '%s in the browser: %s' % (page, r.stderr.decode()[-500:]))
            res = json.loads(r.stdout or b'{"widths":{}}')
            for width, w in res.get('widths', {}).items():
                broken = [i['src'] for i in w['images'] if i['natural'] <= 0]
                check(len(w['images']) >= count and not broken,
                      '%s at %s px: %d images, broken %s' % (page, width, len(w['images']), broken))
    finally:
        server.terminate()
        server.wait()
        os.rename(SRC + ' rangées', SRC)

CHECKS.finish()
