#!/usr/bin/env python3
"""End-to-end check of lumigal-batch: pages made in every mode, position and
flag are compared byte for byte (date line aside) with pages rendered here,
independently, from the page templates; thumbnails are checked for their
exact size and format; hostile file names must not break links or inject
markup. Image facts (size, palette, interlace) are read from the files'
own headers, not through the program.

usage: album_pages_test.py LUMIGAL_BATCH SCRATCH_DIR
"""
import html.parser
import os
import re
import subprocess
import sys
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'support'))
from script_checks import Checks, image_facts, sh  # noqa: E402

BATCH, SCRATCH = sys.argv[1], sys.argv[2]
CHECKS = Checks()
check = CHECKS.check
facts = image_facts


# ---- the reference page ----------------------------------------------------------
def esc(t):
    return t.replace('&', '&amp;').replace('<', '&lt;').replace('>', '&gt;').replace('"', '&quot;')


def url(p):
    return esc(urllib.parse.quote(p[1:], safe="-._~!$&'()*+,;=:@/"))


def col(rgb):
    return '#%02X%02X%02X' % rgb


NOTICE = "Cr&eacute;ateur d'albums d'images libre"
MAIL = 'lumigal@example.org'
HOME = 'https://lumigal.example.org/'


def detail_block(path, pos, center, info):
    w, h, size, colors, inter, _ = facts(path)
    folder, name = path.rsplit('/', 1)
    folder += '/'
    dot = name.rfind('.')
    base, ext = (name[:dot], name[dot:]) if dot >= 0 else (name, '')
    t = '\t\t\t' if pos in (2, 4) else '\t\t'
    c = col(info)
    line = lambda txt: '<font size="1" face="Verdana" color="%s">%s%s\r\n' % (c, txt, t)
    nine = (line('Taille du fichier  ') + line(' %d octets.<br> ' % size) + line("Taille de l'image ") +
            line(' %d x %d<br> ' % (w, h)) + line('Couleurs ') +
            line(' %s<br> ' % (colors if colors else '16 millions')) + line('Mode ') +
            line(' %s<br> ' % ('entrelac&eacute;' if inter else 'non entrelac&eacute;')) + line('Chemin  '))
    pre = '<center>' if center else ''
    bold = '<font color="#000000" size="2" face="Verdana"><b>%s%s</b><br> ' % (esc(base), esc(ext))
    tailf = '<font size="1" face="Verdana" color="%s"> %s' % (c, esc(folder))
    u = url(path)
    if pos == 1:
        return (pre + ' \t\t<table>\r\n \t\t<tr>\r\n \t\t<td valign = "top"> \t\t' + bold + '\t\t\r\n' + nine +
                tailf + '</td></tr> \t\t\r\n<tr><td><img src="file:///%s"></td> \t\t\r\n</tr></table>\r\n' % u)
    if pos == 3:
        return (pre + ' \t\t<table>\r\n \t\t<tr>\r\n \t\t<td valign = "top"> \t\t' + bold + '\t\t\r\n' + nine +
                tailf + '</td> \t\t\r\n<td><img src="file:///%s"></td> \t\t\r\n</tr></table>\r\n' % u)
    if pos == 2:
        return (pre + ' \t\t\t<table>\r\n \t\t\t<tr>\r\n \t\t\t<td valign = "top"><img src="file:///%s"></td></tr>'
                ' \t\t\t<tr><td valign = "top"> \t\t\t' % u + bold + '\t\t\t\r\n' + nine + tailf +
                '</td> \t\t\t\r\n</tr></table>')
    return (pre + ' \t\t\t<table><tr>\r\n \t\t\t<td valign = "top"><img src="file:///%s"></td> \t\t\t'
            '<td valign = "top"> \t\t\t' % u + bold + '\t\t\t\r\n' + nine + tailf + '</td> \t\t\t\r\n</tr></table>')


def reference_page(s, paths):
    if s['sort']:
        paths = sorted(paths, key=lambda p: p.lower())
    out = ['<HTML><HEAD>\r\n',
           '<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=UTF-8">\r\n',
           '<TITLE>Lumigal v1.11</TITLE>\r\n',
           '<META NAME="DESCRIPTION" CONTENT="GENERATEUR Lumigal v1.11">\r\n', '</HEAD>\r\n',
           '<body bgcolor="%s" text="%s" link="#004080" vlink="#004080" alink="#004080">\r\n'
           % (col(s['bg']), col(s['text'])),
           '<BASEFONT FACE="Verdana" SIZE=2>\r\n', '<HR>\r\n',
           '<CENTER><FONT SIZE=4><B>%s</B></FONT></CENTER>\r\n' % esc(s['title']),
           '<center><table width=100%>\r\n', '<tr><td ALIGN=LEFT><FONT SIZE=1>le DATE\r\n<br>',
           'Fichier %s\r\n<BR><BR>' % esc(s['page']),
           ('%d image\r\n' if len(paths) == 1 else '%d images\r\n') % len(paths), '<BR>\r\n',
           '<HR><PRE><BASEFONT FACE="Verdana" SIZE=2>\r\n']
    out += ['      %s\r\n' % esc(p) for p in paths]
    out += ['</PRE></FONT></TD></TR></TABLE></CENTER>\r\n', '<HR>\r\n',
            '<font color="%s">\r\n' % col(s['info'])]
    mode = s['mode']
    table = lambda first: ('<table border="%d"%s bordercolor="%s" cellspacing="%d" cellpadding="%d">\r\n' % (
        s['border'], (' bordercolordark="%s"' % col(s['dark'])) if first else '', col(s['bcolor']),
        s['spacing'], s['padding']))
    if mode == 'thumbnails':
        out.append(table(True))
        cells = 0
        ext = {'bmp': '.bmp', 'gif': '.gif', 'jpeg': '.jpg', 'png': '.png'}
        for p in paths:
            w, h = facts(p)[:2]
            name = p.rsplit('/', 1)[1]
            dot = name.rfind('.')
            base = name[:dot] if dot >= 0 else name
            thumb = s['thumbs'] + '/' + (name if s['format'] == 'same' else base + ext[s['format']])
            shown = p if (s['suitable'] and w < s['w'] and h < s['h']) else thumb
            out.append('<TD><A HREF="file:///%s"><IMG SRC="file:///%s"></TD>\r\n' % (url(p), url(shown)))
            cells += 1
            if cells == s['per_row']:
                cells = 0
                out.append('</table>\r\n' + table(False))
        out.append('</table>\r\n')
    else:
        for p in paths:
            if mode == 'details':
                out.append(detail_block(p, s['position'], s['center'], s['info']))
            else:
                out.append('<IMG SRC="file:///%s">\r\n' % url(p))
            if s['line']:
                out.append('<hr>\r\n' if s['position'] == 2 else '<br><hr>\r\n')
    if not s['line']:
        out.append('<hr>\r\n')
    out += ['<br><center><table>\r\n',
            '<tr><td colspan=2><center><font face="Verdana" size=1>fait par Lumigal version 1.11<br>'
            + NOTICE + '</CENTER></TD></TR>\r\n',
            '<tr><td ALIGN=LEFT><FONT face="Verdana" size=1><a href="mailto:%s">%s</A></FONT></TD>\r\n' % (MAIL, MAIL),
            '<td ALIGN=RIGHT><FONT face="Verdana" SIZE=1><A HREF="%s">%s</A></FONT></TD></TR>\r\n'
            % (HOME, HOME.split('://', 1)[1]),
            '</TABLE></CENTER>\r\n', '</BODY></HTML>']
    return ''.join(out).encode('utf-8', 'surrogateescape')


def run_batch(s, inputs, extra=()):
    args = [BATCH, '-q', '-o', s['page'], '-t', s['title'], '-m', s['mode'], '-p', str(s['position']),
            '--center' if s['center'] else '--no-center', '--line' if s['line'] else '--no-line',
            '--sort' if s['sort'] else '--no-sort',
            '--only-if-suitable' if s['suitable'] else '--no-only-if-suitable',
            '-s', '%dx%d' % (s['w'], s['h']), '--thumb-dir', s['thumbs'], '--per-row', str(s['per_row']),
            '--format', s['format'], '--bg-color', col(s['bg']), '--text-color', col(s['text']),
            '--info-color', col(s['info']), '--border-color', col(s['bcolor']),
            '--border-color-dark', col(s['dark']), '--border', str(s['border']),
            '--cell-spacing', str(s['spacing']), '--cell-padding', str(s['padding'])] + list(extra) + inputs
    r = subprocess.run(args, capture_output=True, env=ENV)
    return r.returncode, r.stderr.decode('utf-8', 'replace')


def masked(data):
    return re.sub(rb'le \d\d/\d\d/\d{4} \d\d:\d\d\r\n', b'le DATE\r\n', data)


os.makedirs(SCRATCH, exist_ok=True)
sh('rm', '-rf', SCRATCH)
os.makedirs(SCRATCH + '/img')
ENV = dict(os.environ, XDG_CONFIG_HOME=SCRATCH + '/config', LC_ALL='C')
IMG = SCRATCH + '/img'
sh('convert', '-size', '64x48', 'gradient:red-blue', IMG + '/grad.png')
sh('convert', '-size', '300x200', 'plasma:fractal', '-seed', '1', IMG + '/Big Photo.jpg')
sh('convert', '-size', '100x80', 'gradient:green-yellow', '-interlace', 'line', IMG + '/prog.jpg')
sh('convert', '-size', '40x30', 'gradient:white-black', '-colors', '16', IMG + '/pal.gif')
sh('convert', '-size', '50x60', 'gradient:orange-purple', '-interlace', 'png', IMG + '/inter.png')
sh('convert', '-size', '33x44', 'gradient:cyan-magenta', 'BMP3:' + IMG + '/a&b.bmp')
IMAGES = sorted(IMG + '/' + n for n in os.listdir(IMG))

BASE = dict(page=SCRATCH + '/out/album "x".htm', title='Titre <&> "q"', mode='plain', position=1,
            center=False, line=True, sort=False, suitable=False, w=120, h=90, thumbs=SCRATCH + '/thumbs',
            per_row=3, format='png', bg=(255, 0, 0), text=(0, 0x80, 0xFF), info=(1, 2, 3),
            bcolor=(0xAA, 0xBB, 0xCC), dark=(0x11, 0x22, 0x33), border=2, spacing=4, padding=5)
os.makedirs(SCRATCH + '/out')
os.makedirs(SCRATCH + '/thumbs')

variants = []
for mode in ('plain', 'details'):
    for position in (1, 2, 3, 4):
        for center, line, sort in ((False, True, False), (True, False, True)):
            variants.append(dict(BASE, mode=mode, position=position, center=center, line=line, sort=sort))
for fmt in ('same', 'bmp', 'gif', 'jpeg', 'png'):
    for line, suitable, per_row in ((True, False, 3), (False, True, 0), (True, True, 4)):
        variants.append(dict(BASE, mode='thumbnails', format=fmt, line=line, suitable=suitable, per_row=per_row))

order = [IMAGES[3], IMAGES[0], IMAGES[5], IMAGES[1], IMAGES[2], IMAGES[4]]
for v in variants:
    code, err = run_batch(v, order)
    name = '%(mode)s p%(position)d c%(center)d l%(line)d s%(sort)d %(format)s o%(suitable)d r%(per_row)d' % v
    check(code == 0, name + ': exit ' + str(code) + ' ' + err)
    got = masked(open(v['page'], 'rb').read())
    want = reference_page(v, order)
    if got != want:
        at = next((i for i in range(min(len(got), len(want))) if got[i] != want[i]), min(len(got), len(want)))
        print('--- differs at byte %d: got %r / want %r' % (at, got[at - 40:at + 60], want[at - 40:at + 60]),
              file=sys.stderr)
    check(got == want, name + ': page differs from the reference')
    if v['mode'] == 'thumbnails':
        ext = {'bmp': ('.bmp', 'BMP'), 'gif': ('.gif', 'GIF'), 'jpeg': ('.jpg', 'JPEG'), 'png': ('.png', 'PNG')}
        for p in order:
            name_ = p.rsplit('/', 1)[1]
            if v['format'] == 'same':
                t, fmt = v['thumbs'] + '/' + name_, facts(p)[5]
            else:
                e, fmt = ext[v['format']]
                t = v['thumbs'] + '/' + name_.rsplit('.', 1)[0] + e
            check(os.path.exists(t), 'thumbnail missing: ' + t)
            if os.path.exists(t):
                w, h, _, _, _, f = facts(t)
                check((w, h, f) == (120, 90, fmt), '%s: %dx%d %s, want 120x90 %s' % (t, w, h, f, fmt))

# ---- hostile names: no broken link, no injected element -------------------------------
HOSTILE = ['"><img src=x onerror=alert(1)>', "it's", 'a<b>c', 'x&amp;y', 'hash#tag', 'pct%41', 'q?x=1',
           'semi;colon', 'co:lon', '[brackets]', 'at@sign', 'pipe|bar', '$(touch pwned)', 'tab\there',
           'new\nline', 'esc\x1b[31mred', 'javascript:alert(1)', 'sp ace', 'b\xe9\xff'.encode('latin-1').decode(
               'utf-8', 'surrogateescape'), 'accent\u00e9', '%2e%2e', 'back\\slash', 'star*', 'dollar$x',
           '<script>alert(1)', 'quote"d']
HD = SCRATCH + '/hostile'
os.makedirs(HD)
paths = []
for i, n in enumerate(HOSTILE):
    folder = os.path.join(HD, 'dir ' + n) if i % 3 == 0 else HD
    os.makedirs(folder.encode('utf-8', 'surrogateescape'), exist_ok=True)
    p = os.path.join(folder, n + '.png')
    with open(IMAGES[0], 'rb') as src, open(p.encode('utf-8', 'surrogateescape'), 'wb') as dst:
        dst.write(src.read())
    paths.append(p)


class Parser(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.tags, self.attrs = {}, []

    def handle_starttag(self, tag, attrs):
        self.tags[tag] = self.tags.get(tag, 0) + 1
        self.attrs += [(tag, k, v) for k, v in attrs]


ALLOWED_ATTRS = {'http-equiv', 'content', 'name', 'bgcolor', 'text', 'link', 'vlink', 'alink', 'face', 'size',
                 'width', 'align', 'color', 'border', 'bordercolordark', 'bordercolor', 'cellspacing',
                 'cellpadding', 'href', 'src', 'valign', 'colspan'}
HOSTILE_OUT = SCRATCH + "/hostile out <'&'>"
figures = dict(pages=0, broken_links=0, broken_images=0, injected=0)
wanted = {os.fsencode(p) for p in paths}
# The files given one by one, then the tree scanned with -r (hostile folder names included).
for how in ('files', 'scan'):
    for mode in ('plain', 'details', 'thumbnails'):
        v = dict(BASE, mode=mode, page=HOSTILE_OUT + '/page.htm', thumbs=HOSTILE_OUT + '/thumbs ' + how,
                 format='same', per_row=4)
        os.makedirs(v['thumbs'], exist_ok=True)
        label = 'hostile %s %s' % (how, mode)
        code, err = run_batch(v, paths if how == 'files' else [HD], ['-r'] if how == 'scan' else [])
        check(code == 0, '%s: exit %d %s' % (label, code, err))
        figures['pages'] += 1
        text = open(v['page'], 'rb').read().decode('utf-8', 'surrogateescape')
        parser = Parser()
        parser.feed(text)
        tags_ok = set(parser.tags) <= {'html', 'head', 'meta', 'title', 'body', 'basefont', 'hr', 'center',
                                       'font', 'b', 'table', 'tr', 'td', 'br', 'pre', 'img', 'a'}
        bad = [a for a in parser.attrs if a[1] not in ALLOWED_ATTRS]
        images = parser.tags.get('img', 0)
        injected = len(bad) + (0 if tags_ok else 1) + abs(images - len(paths))
        figures['injected'] += injected
        check(tags_ok, '%s: tags %s' % (label, parser.tags))
        check(images == len(paths), '%s: %d images, want %d' % (label, images, len(paths)))
        check(not bad, '%s: injected attributes %s' % (label, bad[:3]))
        broken_links = broken_images = 0
        linked = set()
        for tag, k, val in parser.attrs:
            if k not in ('src', 'href') or val.startswith(('mailto:', 'https://')):
                continue  # the page's own footer links
            ok = val.startswith('file:///')
            target = urllib.parse.unquote_to_bytes(val[len('file://'):]) if ok else b''
            ok = ok and os.path.isfile(target)
            if tag == 'img':
                # A thumbnail lies in the thumbnail folder; any other image is the file itself.
                ok = ok and (target in wanted or target.startswith(os.fsencode(v['thumbs'] + '/')))
                broken_images += not ok
            else:
                ok = ok and target in wanted
                linked.add(target)
                broken_links += not ok
            if not ok:
                print('broken:', tag, val, file=sys.stderr)
        if mode == 'thumbnails':
            # Every image is reached by its link, none twice, none missing.
            check(linked == wanted, '%s: linked files differ from the images' % label)
            broken_links += len(wanted - linked)
        figures['broken_links'] += broken_links
        figures['broken_images'] += broken_images
        check(broken_links == 0, '%s: %d broken links' % (label, broken_links))
        check(broken_images == 0, '%s: %d broken images' % (label, broken_images))

print('hostile names: %d names, %d pages (files and -r scan, every mode)' % (len(HOSTILE), figures['pages']))
print('hostile names: broken links %d' % figures['broken_links'])
print('hostile names: broken images %d' % figures['broken_images'])
print('hostile names: injected elements or attributes %d' % figures['injected'])
CHECKS.finish()
