#!/usr/bin/env python3
"""End-to-end check of the videos of a gallery: a phone's folder of photos
and videos (H.264 MP4 and HEVC MOV with the place they were shot at, a VP9
WebM, a truncated MP4, a FIFO named .mp4) becomes one album where every
video has its poster, its copy as it was but for the place, its date in the
order, and the note for a codec some browsers do not play; --types leaves
the videos out, --keep-location keeps the place, a second run copies
nothing again; the album moved and served over HTTP plays its videos in
headless Chromium; the Nu HTML checker and axe on the album page.

usage: gallery_video_test.py LUMIGAL_BATCH SCRATCH_DIR CHECKERS_DIR...
"""
import json
import os
import shutil
import socket
import subprocess
import sys
import time
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'support'))
from script_checks import Checks  # noqa: E402

BATCH, SCRATCH = sys.argv[1], os.path.abspath(sys.argv[2])
CHECKERS = next((d for d in sys.argv[3:] if os.path.isfile(os.path.join(d, 'node_modules/vnu-jar/build/dist/vnu.jar'))),
                None)
CHECKS = Checks()
check, skip = CHECKS.check, CHECKS.skip
ENV = dict(os.environ, HOME=os.path.join(SCRATCH, 'home'), LC_ALL='C.UTF-8')

for tool in ('ffmpeg', 'exiftool', 'convert'):
    if not shutil.which(tool):
        print('SKIP: %s absent' % tool)
        sys.exit(77)

shutil.rmtree(SCRATCH, ignore_errors=True)
SRC = os.path.join(SCRATCH, 'Téléphone')
ALBUM = os.path.join(SRC, 'Vacances')
OUT = os.path.join(SCRATCH, 'galerie')
os.makedirs(ALBUM)
os.makedirs(ENV['HOME'])
PLACE = '+48.8566+002.3522/'


def ffmpeg(*args):
    subprocess.run(['ffmpeg', '-hide_banner', '-loglevel', 'error', '-nostdin', '-y'] + list(args), check=True)


# A second of black, then the pattern: the poster must not be black.
PATTERN = ['-f', 'lavfi', '-i', 'color=black:s=320x180:r=10:d=1[a];testsrc=s=320x180:r=10:d=3[b];[a][b]concat[out0]']
ffmpeg(*PATTERN, '-f', 'lavfi', '-i', 'sine=d=4', '-c:v', 'libx264', '-preset', 'ultrafast', '-pix_fmt', 'yuv420p',
       '-c:a', 'aac', '-shortest', '-metadata', 'creation_time=2026-06-01T10:00:00Z', '-metadata', 'location=' + PLACE,
       '-movflags', 'use_metadata_tags', os.path.join(ALBUM, 'plage.mp4'))
hevc = subprocess.run(['ffmpeg', '-hide_banner', '-encoders'], capture_output=True, text=True).stdout
MOV = 'libx265' in hevc
if MOV:
    ffmpeg(*PATTERN, '-c:v', 'libx265', '-pix_fmt', 'yuv420p', '-metadata', 'creation_time=2026-06-20T10:00:00Z',
           '-metadata', 'location=' + PLACE, '-f', 'mov', os.path.join(ALBUM, 'port.mov'))
ffmpeg(*PATTERN, '-c:v', 'libvpx-vp9', '-b:v', '100k', '-metadata', 'location=' + PLACE,
       os.path.join(ALBUM, 'vague.webm'))
for n, date in enumerate(('2026:06:14 12:00:00', '2026:06:15 12:00:00')):
    path = os.path.join(ALBUM, 'photo%d.jpg' % n)
    subprocess.run(['convert', '-size', '400x300', 'xc:rgb(%d,120,80)' % (60 * n), path], check=True)
    subprocess.run(['exiftool', '-q', '-overwrite_original', '-DateTimeOriginal=' + date, path], check=True)
with open(os.path.join(ALBUM, 'plage.mp4'), 'rb') as f:
    whole = f.read()
with open(os.path.join(ALBUM, 'coupée.mp4'), 'wb') as f:
    f.write(whole[:len(whole) // 3])
os.mkfifo(os.path.join(ALBUM, 'tuyau.mp4'))
VIDEOS = ['plage.mp4', 'vague.webm'] + (['port.mov'] if MOV else [])


def run(*extra, out=OUT):
    return subprocess.run([BATCH, '--gallery', '-o', os.path.join(out, 'index.html')] + list(extra) + [SRC],
                          capture_output=True, env=ENV, timeout=120)


def page():
    with open(os.path.join(OUT, 'Vacances', 'index.html'), encoding='utf-8') as f:
        return f.read()


def places(path):
    """What exiftool reads of a place in `path`."""
    tags = subprocess.run(['exiftool', '-j', '-a', '-G1', path], capture_output=True).stdout
    fields = json.loads(tags or b'[{}]')[0]
    return {k: v for k, v in fields.items() if any(w in k.lower() for w in ('gps', 'location', 'xyz'))}


started = time.monotonic()
r = run()
err = r.stderr.decode()
check(r.returncode == 3, 'the left-out files make status 3: %d, %s' % (r.returncode, err[-400:]))
check(time.monotonic() - started < 60, 'the FIFO and the truncated video held the run up')
check('coupée.mp4' in err and 'tuyau.mp4' in err, 'the truncated video and the FIFO are named: ' + err)
html = page()
images = os.path.join(OUT, 'Vacances', 'images')
for name in VIDEOS:
    copy = os.path.join(images, name)
    check(os.path.isfile(copy), name + ': no copy')
    if not os.path.isfile(copy):
        continue
    check(os.path.getsize(copy) == os.path.getsize(os.path.join(ALBUM, name)), name + ': the copy is not the same size')
    check(not places(copy), '%s: the copy keeps the place %s' % (name, places(copy)))
    check(places(os.path.join(ALBUM, name)) != {}, name + ': the source lost its place (or never had one)')
    decoded = subprocess.run(['ffmpeg', '-v', 'error', '-i', copy, '-f', 'null', '-'], capture_output=True)
    check(decoded.returncode == 0 and not decoded.stderr, '%s: the copy does not decode: %s' % (name, decoded.stderr))
    check('href="images/%s"' % name in html and 'data-video=""' in html, name + ': no video tile')
check(html.count('data-video=""') == len(VIDEOS), 'video tiles: %d' % html.count('data-video=""'))
check(('data-note="format non lu par tous les navigateurs"' in html) == MOV, 'the note is for the HEVC MOV only')
posters = [os.path.join(OUT, 'Vacances', 'vignettes', os.path.splitext(n)[0] + '.jpg') for n in VIDEOS]
for poster in posters:
    kind = subprocess.run(['identify', '-format', '%m %[fx:mean]', poster], capture_output=True, text=True).stdout.split()
    check(kind and kind[0] == 'JPEG' and float(kind[1]) > 0.2, '%s: no poster, or a dark one: %s' % (poster, kind))
# In the order they were taken: the beach video of 1 June first, the port's of 20 June after the photos.
order = [html.find('images/' + n) for n in ['plage.mp4', 'photo0.jpg', 'photo1.jpg'] + (['port.mov'] if MOV else [])]
check(order == sorted(order) and -1 not in order, 'date order: %s' % order)
check('photos et %d vid' % len(VIDEOS) in html, 'the count does not tell the videos')

# A second run copies nothing again; --types leaves the videos out.
stamps = {n: os.stat(os.path.join(images, n)).st_mtime_ns for n in VIDEOS}
run()
check(all(os.stat(os.path.join(images, n)).st_mtime_ns == t for n, t in stamps.items()), 'a video was copied again')
r = run('--types', 'jpeg', out=os.path.join(SCRATCH, 'photos seules'))
with open(os.path.join(SCRATCH, 'photos seules', 'Vacances', 'index.html'), encoding='utf-8') as f:
    check(r.returncode == 0 and 'data-video' not in f.read(), '--types jpeg: %d' % r.returncode)
kept = os.path.join(SCRATCH, 'avec le lieu')
run('--keep-location', out=kept)
check(places(os.path.join(kept, 'Vacances', 'images', 'plage.mp4')) != {}, '--keep-location lost the place')

# A modern page that asks for videos links each from its poster, outside
# the photo viewer; in details mode a video is said and left out.
modern = os.path.join(SCRATCH, 'moderne')
os.makedirs(modern)
for mode, status in (('thumbnails', 3), ('details', 3)):
    r = subprocess.run([BATCH, '-q', '--style', 'modern', '--portable', '-m', mode, '--types', 'jpeg,mp4',
                        '-o', os.path.join(modern, mode + '.html'), ALBUM], capture_output=True, env=ENV, timeout=120)
    with open(os.path.join(modern, mode + '.html'), encoding='utf-8') as f:
        html = f.read()
    if mode == 'thumbnails':
        check('<a class="w" href="images/plage.mp4">' in html and 'class="v" href="images/plage' not in html,
              'the modern page links its video outside the viewer')
    else:
        check('plage.mp4 : vid' in r.stderr.decode() and 'plage.mp4' not in html,
              'details mode: the video is not said and left out: ' + r.stderr.decode())
    check(r.returncode == status, '%s: status %d' % (mode, r.returncode))

PAGE = os.path.join(OUT, 'Vacances', 'index.html')
java = shutil.which('java')
if not CHECKERS or not java:
    skip('Nu HTML checker: %s absent (scripts/setup.sh installs it)' % ('java' if not java else 'vnu-jar'))
else:
    r = subprocess.run([java, '-jar', os.path.join(CHECKERS, 'node_modules/vnu-jar/build/dist/vnu.jar'),
                        '--errors-only', '--format', 'json', PAGE], capture_output=True)
    errors = [m for m in json.loads(r.stderr or r.stdout or b'{"messages":[]}')['messages'] if m['type'] == 'error']
    check(not errors, 'Nu HTML checker: %s' % [m.get('message') for m in errors[:5]])

node = shutil.which('node')
pa11y = CHECKERS and os.path.join(CHECKERS, 'node_modules/.bin/pa11y')
chromium = os.environ.get('CHROMIUM', '/usr/bin/chromium')
if not node or not pa11y or not os.path.exists(pa11y) or not os.path.exists(chromium):
    skip('axe and the browser: node, pa11y or Chromium absent (scripts/setup.sh installs them)')
else:
    config = os.path.join(SCRATCH, 'pa11y.json')
    json.dump({'chromeLaunchConfig': {'executablePath': chromium, 'args': ['--no-sandbox', '--disable-gpu']}},
              open(config, 'w'))
    out = subprocess.run([pa11y, '--runner', 'axe', '--config', config, '--reporter', 'json',
                          'file://' + urllib.parse.quote(PAGE)], capture_output=True, env=ENV, timeout=300).stdout
    try:
        issues = [i for i in json.loads(out or b'null') if i.get('type') == 'error']
    except (ValueError, AttributeError):
        issues = None
    check(issues == [], 'axe errors %s' % issues)

    moved = os.path.join(SCRATCH, 'galerie déplacée')
    os.rename(OUT, moved)
    os.rename(SRC, SRC + ' rangé')
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
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'video_browser_check.js')
        r = subprocess.run([node, script, CHECKERS, 'http://127.0.0.1:%d/Vacances/index.html' % port],
                           capture_output=True, timeout=300)
        check(r.returncode == 0, 'the browser check: ' + r.stderr.decode()[-500:])
        res = json.loads(r.stdout or b'{"videos":[]}')
        check(not res.get('errors'), 'script errors: %s' % res.get('errors'))
        seen = {v['id']: v for v in res['videos']}
        check(len(seen) == len(VIDEOS), 'videos in the viewer: %s' % list(seen))
        for v in res['videos']:
            check(v['shown'] and v['imageHidden'] and v['hash'] == '#' + v['id'] and v['poster'] and v['closed'],
                  'the viewer on %s: %s' % (v['id'], v))
        for vid in ('plage-mp4', 'vague-webm'):
            check(seen.get(vid, {}).get('played'), '%s does not play: %s' % (vid, seen.get(vid)))
        if MOV:
            check(seen['port-mov']['note'] == 'format non lu par tous les navigateurs', 'no note in the viewer')
        check(res.get('afterArrow') == res.get('expectedAfterArrow'), 'the arrow from a video: %s' % res)
    finally:
        server.terminate()
        server.wait()
        os.rename(SRC + ' rangé', SRC)

CHECKS.finish()
