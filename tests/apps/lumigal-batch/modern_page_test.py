#!/usr/bin/env python3
"""End-to-end check of the modern page and of portable albums made by
lumigal-batch: the page's markup (doctype, language, viewport, title, every
image with its size, alternative text and lazy loading), captions read from
metadata and escaped, thumbnails that keep their proportions (and are made
again when that setting changes), hostile file names, portable copies (byte
for byte, or reduced, upright and without location data), and a portable
album moved away from its deleted sources, served on 127.0.0.1 and opened in
headless Chromium. The Nu HTML checker and axe must report no error.

The checkers live in CHECKERS_DIR (scripts/setup.sh installs them); a check
whose tool is missing is skipped with a message, and the test then ends as
skipped (77) when everything else passed.

usage: modern_page_test.py LUMIGAL_BATCH SCRATCH_DIR CHECKERS_DIR... [--screenshots DIR]
"""
import hashlib
import html.parser
import json
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import time
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'support'))
from script_checks import Checks, image_size, sh  # noqa: E402

args = sys.argv[1:]
SHOTS = None
if '--screenshots' in args:
    at = args.index('--screenshots')
    SHOTS = args[at + 1]
    del args[at:at + 2]
BATCH, SCRATCH = args[0], args[1]
CHECKERS = next((d for d in args[2:] if os.path.isfile(os.path.join(d, 'node_modules/vnu-jar/build/dist/vnu.jar'))),
                None)
CHECKS = Checks()
check, skip = CHECKS.check, CHECKS.skip
size_of = image_size


def jpeg_segments(path):
    data, at, out = open(path, 'rb').read(), 2, []
    while data[at + 1] != 0xDA:
        length = struct.unpack('>H', data[at + 2:at + 4])[0]
        out.append((data[at + 1], data[at + 4:at + 2 + length]))
        at += 2 + length
    return out


def with_segments(path, segments):
    """The JPEG at `path` rewritten with `segments` (marker, body) after SOI."""
    data = open(path, 'rb').read()
    extra = b''.join(b'\xff' + bytes([m]) + struct.pack('>H', len(b) + 2) + b for m, b in segments)
    open(path, 'wb').write(data[:2] + extra + data[2:])


def exif(description=None, orientation=None, gps=False):
    """APP1 EXIF body: little-endian TIFF, IFD0 with the tags asked for."""
    entries, blobs = [], b''
    base = 8 + 2 + 12 * (int(description is not None) + int(orientation is not None) + int(gps)) + 4
    if description is not None:
        text = description.encode('utf-8') + b'\0'
        entries.append(struct.pack('<HHII', 0x010E, 2, len(text), base + len(blobs)))
        blobs += text
    if orientation is not None:
        entries.append(struct.pack('<HHIHH', 0x0112, 3, 1, orientation, 0))
    if gps:
        entries.append(struct.pack('<HHII', 0x8825, 4, 1, base + len(blobs)))
        blobs += struct.pack('<H', 1) + struct.pack('<HHI4s', 1, 2, 2, b'N\0\0\0') + b'\0\0\0\0'
    ifd = struct.pack('<H', len(entries)) + b''.join(entries) + b'\0\0\0\0'
    return b'Exif\0\0' + b'II*\0' + struct.pack('<I', 8) + ifd + blobs


def iptc(caption):
    text = caption.encode('utf-8')
    record = b'\x1c\x02\x78' + struct.pack('>H', len(text)) + text
    return b'Photoshop 3.0\0' + b'8BIM' + struct.pack('>H', 0x0404) + b'\0\0' + struct.pack('>I', len(record)) + \
        record + (b'\0' if len(record) % 2 else b'')


def xmp(caption):
    esc = caption.replace('&', '&amp;').replace('<', '&lt;').replace('>', '&gt;')
    packet = ('<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">'
              '<rdf:Description xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:description><rdf:Alt>'
              '<rdf:li xml:lang="x-default">%s</rdf:li></rdf:Alt></dc:description></rdf:Description></rdf:RDF>'
              '</x:xmpmeta>' % esc)
    return b'http://ns.adobe.com/xap/1.0/\0' + packet.encode('utf-8')


def icc_profile():
    body = bytearray(132)
    struct.pack_into('>I', body, 0, 132)
    body[12:16], body[16:20], body[20:24], body[36:40] = b'mntr', b'RGB ', b'XYZ ', b'acsp'
    return b'ICC_PROFILE\0\x01\x01' + bytes(body)


class Page(html.parser.HTMLParser):
    def __init__(self, text):
        super().__init__()
        self.tags, self.attrs, self.imgs, self.links, self.data = {}, [], [], [], []
        self.feed(text)

    def handle_starttag(self, tag, attrs):
        self.tags[tag] = self.tags.get(tag, 0) + 1
        d = dict(attrs)
        self.attrs += [(tag, k) for k, _ in attrs]
        if tag == 'img':
            self.imgs.append(d)
        if tag == 'a':
            self.links.append(d)

    def handle_data(self, data):
        self.data.append(data)


TAGS = {'html', 'head', 'meta', 'title', 'style', 'body', 'header', 'h1', 'p', 'main', 'ul', 'li', 'a', 'img',
        'figure', 'figcaption', 'b', 'br', 'hr', 'footer', 'script'}
ATTRS = {'lang', 'charset', 'name', 'content', 'class', 'href', 'src', 'srcset', 'width', 'height', 'alt', 'loading'}


def run(out, inputs, *extra, mode='thumbnails'):
    a = [BATCH, '-q', '-o', out, '-t', 'Vacances <été> & "amis"', '-m', mode, '-s', '120x90', '--per-row', '4',
         '--style', 'modern', '--bg-color', '#FFFFFF', '--text-color', '#1A1A1A', '--info-color', '#333333',
         '--format', 'png'] + list(extra) + inputs
    r = subprocess.run(a, capture_output=True, env=ENV)
    check(r.returncode == 0, '%s: exit %d %s' % (out, r.returncode, r.stderr.decode('utf-8', 'replace')))
    return open(out, 'rb').read().decode('utf-8', 'surrogateescape')


def target(page_path, value):
    """The file a SRC or HREF of the page names."""
    if value.startswith('file:///'):
        return urllib.parse.unquote_to_bytes(value[len('file://'):])
    return os.path.join(os.fsencode(os.path.dirname(page_path)), urllib.parse.unquote_to_bytes(value))


def check_page(label, page_path, text, alts):
    """The markup every modern page must have; `alts` the texts expected."""
    p = Page(text)
    check(text.startswith('<!DOCTYPE html>\n<html lang="fr">'), label + ': doctype and language')
    check('<meta charset="utf-8">' in text and 'name="viewport"' in text, label + ': charset and viewport')
    check('<title>Vacances &lt;été&gt; &amp; &quot;amis&quot;</title>' in text, label + ': title')
    check(set(p.tags) <= TAGS, '%s: tags %s' % (label, sorted(set(p.tags) - TAGS)))
    check(p.tags.get('script', 0) == 1 and p.tags.get('style', 0) == 1, label + ': one script, one style sheet')
    bad = sorted({a for a in p.attrs if a[1] not in ATTRS})
    check(not bad, '%s: attributes %s' % (label, bad[:4]))
    check(len(p.imgs) == len(alts), '%s: %d images, want %d' % (label, len(p.imgs), len(alts)))
    check([i.get('alt') for i in p.imgs] == alts, '%s: alt texts %s' % (label, [i.get('alt') for i in p.imgs][:4]))
    for i in p.imgs:
        check(i.get('loading') == 'lazy' and i.get('width', '').isdigit() and i.get('height', '').isdigit(),
              '%s: image attributes %s' % (label, i))
        check(os.path.isfile(target(page_path, i['src'])), '%s: broken image %s' % (label, i['src']))
        if 'srcset' in i:  # "a.png 1x, a@2x.png 2x": the 2x at twice the size
            m = re.fullmatch(r'(\S+) 1x, (\S+) 2x', i['srcset'])
            check(m and m[1] == i['src'], '%s: srcset %s' % (label, i['srcset']))
            if m:
                two = target(page_path, m[2])
                want = (2 * int(i['width']), 2 * int(i['height']))
                check(os.path.isfile(two) and size_of(two) == want, '%s: 2x %s, want %s' % (label, m[2], want))
    for a in p.links:
        if a['href'].startswith(('mailto:', 'https://')):
            continue
        check(os.path.isfile(target(page_path, a['href'])), '%s: broken link %s' % (label, a['href']))
    visible = ''.join(p.data)
    check(SCRATCH not in visible, label + ': a path of the machine is shown')
    check('example.org' not in text and 'mailto:' not in text, label + ': a placeholder address')
    check(script_bytes(text) <= 4096, label + ': the inline script is more than 4 KB')
    return p


def shown_text(name):
    """A name as the page shows it: bytes that are not UTF-8 and control characters as U+FFFD."""
    raw = os.fsencode(name).decode('utf-8', 'replace')
    return ''.join('\ufffd' if ord(c) < 0x20 or 0x7f <= ord(c) < 0xa0 else c for c in raw)


def script_bytes(text):
    at = text.find('<script>')
    return len(text[at:text.find('</script>', at)].encode('utf-8'))


# ---- the images ----------------------------------------------------------------------
shutil.rmtree(SCRATCH, ignore_errors=True)
IMG = os.path.join(SCRATCH, 'img')
os.makedirs(IMG)
ENV = dict(os.environ, XDG_CONFIG_HOME=os.path.join(SCRATCH, 'config'), LC_ALL='C')
sh('convert', '-size', '64x48', 'gradient:red-blue', IMG + '/grad.png')
sh('convert', '-size', '300x200', 'plasma:fractal', '-seed', '1', IMG + '/Big Photo.jpg')
sh('convert', '-size', '200x400', 'gradient:green-yellow', IMG + '/tall.png')
sh('convert', '-size', '40x30', 'gradient:white-black', '-colors', '16', IMG + '/pal.gif')
for name in ('exif', 'iptc', 'xmp', 'turned'):
    sh('convert', '-size', '160x120', 'plasma:fractal', '-seed', '2', IMG + '/%s.jpg' % name)
HOSTILE_CAPTION = 'Plage <script>alert(1)</script> & "soleil"'
with_segments(IMG + '/exif.jpg', [(0xE1, exif('Coucher de soleil à Nice'))])
with_segments(IMG + '/iptc.jpg', [(0xE1, exif('moins fort')), (0xED, iptc(HOSTILE_CAPTION))])
with_segments(IMG + '/xmp.jpg', [(0xED, iptc('moins fort')), (0xE1, xmp('Le port, l’été'))])
# Shown turned a quarter (EXIF 6), with a place and a colour profile.
with_segments(IMG + '/turned.jpg', [(0xE1, exif(orientation=6, gps=True)), (0xE2, icc_profile())])
IMAGES = sorted(os.path.join(IMG, n) for n in os.listdir(IMG))
NAMES = [os.path.basename(p) for p in IMAGES]
CAPTIONS = {'exif.jpg': 'Coucher de soleil à Nice', 'iptc.jpg': HOSTILE_CAPTION, 'xmp.jpg': 'Le port, l’été'}
ALTS = [CAPTIONS.get(n, n) for n in NAMES]
OUT = os.path.join(SCRATCH, 'out')
os.makedirs(OUT)
PAGES = []  # (label, path) for the checkers

# ---- the three modes, every detail position ----------------------------------------------
FOOTER = 'Photos © Anne & <Léo>'
for mode, extra in (('thumbnails', ()), ('plain', ('--line',)), ('details', ('-p', '1', '--footer', FOOTER)),
                    ('details', ('-p', '2')),
                    ('details', ('-p', '3', '--center')), ('details', ('-p', '4', '--line'))):
    label = 'modern %s %s' % (mode, ' '.join(extra))
    page_path = os.path.join(OUT, label.replace(' ', '_') + '.htm')
    text = run(page_path, IMAGES, '--thumb-dir', os.path.join(SCRATCH, 'thumbs'), *extra, mode=mode)
    p = check_page(label, page_path, text, ALTS)
    PAGES.append((label, page_path))
    check(text.count('<hr>') == (len(IMAGES) - 1 if '--line' in extra else 0), label + ': separator lines')
    # Fitted in 120 x 90, only these two are large enough for a 2x.
    with2x = sorted(os.fsdecode(os.path.basename(target(page_path, i['src']))) for i in p.imgs if 'srcset' in i)
    check(with2x == (['Big Photo.png', 'tall.png'] if mode == 'thumbnails' else []), label + ': 2x of %s' % with2x)
    check(p.tags.get('figure', 0) == (0 if mode == 'thumbnails' else len(IMAGES)), label + ': one figure an image')
    check('<script>alert' not in text and '&lt;script&gt;alert(1)&lt;/script&gt;' in text,
          label + ': the caption is escaped')
    check('%d images</p>' % len(IMAGES) in text, label + ': the count')
    check(('<p>Photos © Anne &amp; &lt;Léo&gt;</p>' in text) == ('--footer' in extra), label + ': the footer text')
    if mode == 'details':
        check('Taille de l\'image : 120 \u00d7 160' in text, label + ': the turned photo\'s size as shown')
        sizes = re.findall(r'Taille du fichier : ([^<]*)<br>', text)
        check(len(sizes) == len(IMAGES) and all(re.fullmatch(r'[0-9]+ octets?|[0-9]+(,[0-9])? Ko', z) for z in sizes),
              label + ': file sizes in human units %s' % sizes)

# ---- proportions: kept for the modern page, exact for the classic one, remade on a change --
THUMBS = os.path.join(SCRATCH, 'thumbs')
check(size_of(THUMBS + '/tall.png') == (45, 90), 'modern: tall thumbnail %s, want 45x90' % (size_of(THUMBS + '/tall.png'),))
check(size_of(THUMBS + '/turned.png') == (68, 90), 'modern: turned thumbnail %s' % (size_of(THUMBS + '/turned.png'),))
text = run(os.path.join(OUT, 'exact.htm'), IMAGES, '--thumb-dir', THUMBS, '--no-keep-proportions')
check(size_of(THUMBS + '/tall.png') == (120, 90), 'modern --no-keep-proportions: thumbnail not remade at 120x90')
check('width="120" height="90"' in text and 'width="45"' not in text, 'exact sizes in the page')
r = subprocess.run([BATCH, '-q', '-o', os.path.join(OUT, 'classic.htm'), '-m', 'thumbnails', '-s', '120x90',
                    '--thumb-dir', THUMBS, '--format', 'png', '--keep-proportions'] + IMAGES, env=ENV)
check(r.returncode == 0 and size_of(THUMBS + '/tall.png') == (45, 90), 'classic --keep-proportions: 45x90')
classic = open(os.path.join(OUT, 'classic.htm'), 'rb').read()
check(classic.startswith(b'<HTML><HEAD>') and b'file:///' in classic, 'classic page stays the classic page')

# ---- hostile names -------------------------------------------------------------------------
HOSTILE = ['"><img src=x onerror=alert(1)>', "it's", 'a<b>c', 'x&amp;y', 'hash#tag', 'pct%41', 'q?x=1',
           'semi;colon', 'co:lon', '[brackets]', 'at@sign', 'pipe|bar', '$(touch pwned)', 'tab\there',
           'new\nline', 'esc\x1b[31mred', 'javascript:alert(1)', 'sp ace',
           b'b\xe9\xff'.decode('utf-8', 'surrogateescape'), 'accent\u00e9', '%2e%2e', 'back\\slash', 'star*',
           'dollar$x', '<script>alert(1)', 'quote"d']
HD = os.path.join(SCRATCH, 'hostile')
hostile = []
for i, n in enumerate(HOSTILE):
    folder = os.path.join(HD, 'dir ' + n) if i % 3 == 0 else HD
    os.makedirs(os.fsencode(folder), exist_ok=True)
    path = os.path.join(folder, n + '.png')
    shutil.copyfile(IMAGES[0], os.fsencode(path))
    hostile.append(path)
for portable in (False, True):
    for mode in ('thumbnails', 'details', 'plain'):
        label = 'hostile %s%s' % (mode, ' portable' if portable else '')
        folder = os.path.join(SCRATCH, "hostile out <'&'>" + (' portable' if portable else ''))
        page_path = os.path.join(folder, mode + '.htm')
        extra = ['--portable'] if portable else ['--thumb-dir', folder + '/thumbs']
        os.makedirs(folder, exist_ok=True)
        text = run(page_path, hostile, *extra, mode=mode)
        got = check_page(label, page_path, text, [shown_text(os.path.basename(h)) for h in hostile])
        if portable:
            check(all(not i['src'].startswith('file:') for i in got.imgs), label + ': absolute image URL')
        PAGES.append((label, page_path))

# ---- portable albums -------------------------------------------------------------------------
def digest(path):
    return hashlib.sha256(open(path, 'rb').read()).hexdigest()


before = {p: (digest(p), os.stat(p).st_mtime_ns) for p in IMAGES}
ALBUM = os.path.join(SCRATCH, 'album')
os.makedirs(ALBUM + '/images')
open(ALBUM + '/images/grad.png', 'wb').write(b'not ours')  # a file of the user's: never overwritten
for style in ('modern', 'classic'):
    page_path = os.path.join(ALBUM, style + '.htm')
    r = subprocess.run([BATCH, '-q', '-o', page_path, '-m', 'thumbnails', '-s', '120x90', '--format', 'png',
                        '--style', style, '--portable', '--keep-location'] + IMAGES, env=ENV, capture_output=True)
    check(r.returncode == 0, '%s portable: exit %d %s' % (style, r.returncode, r.stderr))
check(open(ALBUM + '/images/grad.png', 'rb').read() == b'not ours', 'portable: a file not ours was overwritten')
check(digest(ALBUM + '/images/grad-2.png') == before[IMG + '/grad.png'][0], 'portable: the clashing copy')
for p in IMAGES:
    if os.path.basename(p) != 'grad.png':
        check(digest(ALBUM + '/images/' + os.path.basename(p)) == before[p][0], 'portable: copy of %s differs' % p)
check(sorted(os.listdir(ALBUM + '/vignettes')) == sorted(['.lumigal-vignettes', 'Big Photo@2x.png', 'tall@2x.png'] + [
    os.path.splitext(n)[0] + '.png' for n in NAMES]), 'portable: thumbnails in vignettes/')
stamps = {n: os.stat(ALBUM + '/images/' + n).st_ino for n in os.listdir(ALBUM + '/images') if n[0] != '.'}
subprocess.run([BATCH, '-q', '-o', ALBUM + '/modern.htm', '-m', 'thumbnails', '-s', '120x90', '--format', 'png',
                '--style', 'modern', '--portable', '--keep-location'] + IMAGES, env=ENV)
again = {n: os.stat(ALBUM + '/images/' + n).st_ino for n in os.listdir(ALBUM + '/images') if n[0] != '.'}
check(again == stamps, 'portable: copies made again: %s' % sorted(n for n in again if again[n] != stamps.get(n)))
# Web copies: reduced, upright, without their place, their colour profile kept.
WEB = os.path.join(SCRATCH, 'web')
text = run(WEB + '/album.htm', IMAGES, '--portable', '--web-size', '100', mode='plain')
PAGES.append(('portable web plain', WEB + '/album.htm'))
for n in NAMES:
    w, h = size_of(WEB + '/images/' + n)
    sw, sh_ = size_of(IMG + '/' + n)
    want = max(sw, sh_) if n.endswith('.jpg') or max(sw, sh_) > 100 else None
    check(max(w, h) <= 100, 'web copy %s is %dx%d' % (n, w, h))
    check(('width="%d" height="%d"' % (w, h)) in text, 'web copy %s: page size differs from the file' % n)
    if not n.endswith('.jpg') and max(sw, sh_) <= 100:
        check(digest(WEB + '/images/' + n) == digest(IMG + '/' + n), 'small %s is not copied as it is' % n)
turned = jpeg_segments(WEB + '/images/turned.jpg')
check(size_of(WEB + '/images/turned.jpg') == (75, 100), 'web copy stands upright: %s' % (size_of(WEB + '/images/turned.jpg'),))
check(not any(m == 0xE1 for m, _ in turned), 'web copy keeps EXIF (its place)')
check(any(m == 0xE2 and b[:12] == b'ICC_PROFILE\0' for m, b in turned), 'web copy lost its colour profile')
# What a metadata reader finds: the source's place, and none in the copy.
if shutil.which('exiftool'):
    def gps_tags(path):
        out = subprocess.run(['exiftool', '-s', '-gps:all', path], capture_output=True, text=True).stdout
        return [line for line in out.splitlines() if line.strip()]
    check(gps_tags(IMG + '/turned.jpg'), 'exiftool finds no place in the source (the test image is wrong)')
    check(not gps_tags(WEB + '/images/turned.jpg'), 'web copy keeps its place: %s' % gps_tags(WEB + '/images/turned.jpg'))
else:
    print('exiftool is missing (apt-get install libimage-exiftool-perl): the place check with it is skipped')
# The thumbnails of a web-size album are made from its copies: the same size and
# orientation as those made from the sources, and nearly the same pixels.
FROM_SOURCES, FROM_COPIES = os.path.join(SCRATCH, 'from-sources'), os.path.join(SCRATCH, 'from-copies')
run(FROM_SOURCES + '/album.htm', IMAGES, '--thumb-dir', FROM_SOURCES + '/vignettes')
run(FROM_COPIES + '/album.htm', IMAGES, '--portable', '--web-size', '200')
for n in NAMES:
    a, b = ['%s/vignettes/%s.png' % (d, os.path.splitext(n)[0]) for d in (FROM_SOURCES, FROM_COPIES)]
    check(size_of(a) == size_of(b), 'thumbnail of %s: %s from its copy, %s from its source' % (n, size_of(b), size_of(a)))
    out = subprocess.run(['compare', '-metric', 'PSNR', a, b, 'null:'], capture_output=True, text=True).stderr
    psnr = re.match(r'inf|[0-9.]+', out)
    check(psnr and (psnr[0] == 'inf' or float(psnr[0]) >= 24), 'thumbnail of %s from its copy: PSNR %s' % (n, out))
check({p: (digest(p), os.stat(p).st_mtime_ns) for p in IMAGES} == before, 'a source was touched')

# ---- checkers --------------------------------------------------------------------------------
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
    print('Nu HTML checker: %d pages, %d errors' % (len(PAGES), len(errors)))
    check(not errors, 'Nu HTML checker: %d errors' % len(errors))

node = shutil.which('node')
pa11y = CHECKERS and os.path.join(CHECKERS, 'node_modules/.bin/pa11y')
if not node or not pa11y or not os.path.exists(pa11y) or not os.path.exists(chromium):
    skip('axe and the browser checks: node, pa11y or Chromium absent (scripts/setup.sh installs them)')
else:
    config = os.path.join(SCRATCH, 'pa11y.json')
    json.dump({'chromeLaunchConfig': {'executablePath': chromium, 'args': ['--no-sandbox', '--disable-gpu']}},
              open(config, 'w'))
    axe_pages = [(l, p) for l, p in PAGES if l in ('modern thumbnails ', 'modern plain --line', 'modern details -p 3 --center',
                                                    'hostile thumbnails', 'hostile details', 'hostile plain',
                                                    'portable web plain')]
    runs = [(l, subprocess.Popen([pa11y, '--runner', 'axe', '--config', config, '--reporter', 'json',
                                  'file://' + urllib.parse.quote(p)], stdout=subprocess.PIPE, env=ENV))
            for l, p in axe_pages[:4]]
    runs += [(l, subprocess.Popen([pa11y, '--runner', 'axe', '--config', config, '--reporter', 'json',
                                   'file://' + urllib.parse.quote(p)], stdout=subprocess.PIPE, env=ENV))
             for l, p in axe_pages[4:]]
    total = 0
    for label, proc in runs:
        out, _ = proc.communicate(timeout=300)
        try:
            issues = [i for i in json.loads(out or b'null') if i.get('type') == 'error']
        except (ValueError, AttributeError):
            issues = None
        check(issues is not None, '%s: pa11y gave no report' % label)
        for i in (issues or [])[:5]:
            print('axe:', label, i['code'], i['message'][:120], file=sys.stderr)
        total += len(issues or [])
        check(issues == [], '%s: %d axe errors' % (label, len(issues or [])))
    print('axe: %d pages, %d errors' % (len(runs), total))

    # The portable album, moved away from its sources (removed), served over HTTP.
    moved = os.path.join(SCRATCH, 'moved album')
    os.rename(ALBUM, moved)
    os.rename(IMG, IMG + ' gone')
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
        for style in ('modern', 'classic'):
            prefix = os.path.join(SHOTS, 'modern') if SHOTS and style == 'modern' else ''
            r = subprocess.run([node, script, CHECKERS, 'http://127.0.0.1:%d/%s.htm' % (port, style)] +
                               ([prefix] if prefix else []), capture_output=True, timeout=300)
            check(r.returncode == 0, '%s browser check: %s' % (style, r.stderr.decode()[-500:]))
            res = json.loads(r.stdout or b'{"widths":{}}')
            for width, w in res.get('widths', {}).items():
                broken = [i['src'] for i in w['images'] if i['natural'] <= 0]
                check(len(w['images']) == len(IMAGES) and not broken,
                      '%s at %s px: %d images, broken %s' % (style, width, len(w['images']), broken))
                if style == 'modern':
                    check(all(l['ok'] for l in w['links']) and len(w['links']) == len(IMAGES),
                          'modern at %s px: links %s' % (width, w['links']))
                    check(w['sidewaysScroll'] <= 0, 'modern at %s px scrolls sideways' % width)
            v = res.get('viewer', {})
            if style == 'modern':
                ok = (v.get('afterClick', {}).get('open') and v['afterClick']['src'] == v['firstHref'] and
                      v['afterRight']['src'] == v['secondHref'] and v['afterLeft']['src'] == v['firstHref'] and
                      not v['afterEscape']['open'])
                check(bool(ok), 'viewer: %s' % v)
        print('portable album moved, sources removed, served on 127.0.0.1: checked in Chromium')
    finally:
        server.terminate()
        server.wait()
        if os.path.isdir(IMG + ' gone'):
            os.rename(IMG + ' gone', IMG)

CHECKS.finish()
