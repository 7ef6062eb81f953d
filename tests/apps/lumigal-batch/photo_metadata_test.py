#!/usr/bin/env python3
"""End-to-end check of what a portable album publishes of its photos'
metadata, on GPS-tagged photos that are not turned (JPEG with a comment,
XMP, IPTC and a colour profile; PNG with an eXIf chunk; TIFF; HEIC): no
file of the album keeps a location; thumbnails keep nothing but their
colour profile; copies at the original size keep their pixels byte for byte
(JPEG scan data, PNG image chunks) and say how many lost their location;
--keep-location keeps them as they are. Captions come from every format,
the x-default text of an XMP description first.

usage: photo_metadata_test.py LUMIGAL_BATCH SCRATCH_DIR
"""
import os
import re
import shutil
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'support'))
from script_checks import Checks, sh  # noqa: E402

BATCH, SCRATCH = sys.argv[1], sys.argv[2]
CHECKS = Checks()
check = CHECKS.check
for tool in ('exiftool', 'convert', 'heif-enc'):
    if not shutil.which(tool):
        print('%s is missing (scripts/setup.sh installs it)' % tool)
        sys.exit(77)
shutil.rmtree(SCRATCH, ignore_errors=True)
IMG = os.path.join(SCRATCH, 'img')
os.makedirs(IMG)
ENV = dict(os.environ, HOME=SCRATCH, XDG_CONFIG_HOME=os.path.join(SCRATCH, 'config'))
GPS = ['-GPSLatitude=43.7', '-GPSLatitudeRef=N', '-GPSLongitude=7.27', '-GPSLongitudeRef=E']
ICC = bytearray(132)
struct.pack_into('>I', ICC, 0, 132)
ICC[12:16], ICC[16:20], ICC[20:24], ICC[36:40] = b'mntr', b'RGB ', b'XYZ ', b'acsp'
# An XMP description whose x-default text is not its first language.
XMP = ('<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">'
       '<rdf:Description rdf:about="" xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:description><rdf:Alt>'
       '<rdf:li xml:lang="en">The harbour</rdf:li><rdf:li xml:lang="x-default">Le port</rdf:li>'
       '</rdf:Alt></dc:description></rdf:Description></rdf:RDF></x:xmpmeta>')


def exiftool(*args):
    return subprocess.run(['exiftool', '-q', '-q'] + list(args), capture_output=True, text=True).stdout


def jpeg_scan(data):
    """The bytes from the first scan header to the end."""
    at = 2
    while data[at + 1] != 0xDA:
        at += 2 + struct.unpack('>H', data[at + 2:at + 4])[0]
    return data[at:]


def png_image(data):
    at, out = 8, b''
    while at < len(data):
        n = struct.unpack('>I', data[at:at + 4])[0]
        if data[at + 4:at + 8] == b'IDAT':
            out += data[at + 8:at + 8 + n]
        at += 12 + n
    return out


# ---- the photos ------------------------------------------------------------------------------
jpg, png, tif, heic = (os.path.join(IMG, n) for n in ('nice.jpg', 'port.png', 'scan.tif', 'phone.heic'))
sh('convert', '-size', '640x480', 'gradient:orange-navy', jpg)
data = open(jpg, 'rb').read()
app1 = b'http://ns.adobe.com/xap/1.0/\0' + XMP.encode()
icc = b'ICC_PROFILE\0\x01\x01' + bytes(ICC)
segments = b''.join(b'\xff' + bytes([m]) + struct.pack('>H', len(b) + 2) + b for m, b in ((0xE1, app1), (0xE2, icc)))
open(jpg, 'wb').write(data[:2] + segments + data[2:])
exiftool('-overwrite_original', *GPS, '-XMP:GPSLatitude=43.7', '-XMP:GPSLongitude=7.27', '-IPTC:City=Nice',
         '-Comment=pris du balcon', '-DateTimeOriginal=2024:07:14 21:30:00', jpg)
sh('convert', '-size', '640x480', 'gradient:green-white', png)
exiftool('-overwrite_original', *GPS, '-ImageDescription=Les champs', png)
sh('convert', '-size', '640x480', 'gradient:white-black', tif)
exiftool('-overwrite_original', *GPS, '-IPTC:Caption-Abstract=Une page', tif)
sh('convert', '-size', '640x480', 'gradient:blue-red', heic + '.png')
subprocess.run(['heif-enc', '-q', '50', '-o', heic, heic + '.png'], check=True, capture_output=True)
os.remove(heic + '.png')
exiftool('-overwrite_original', *GPS, '-UserComment=Au téléphone', heic)
PHOTOS = [jpg, png, tif, heic]
for p in PHOTOS:
    check(exiftool('-gps:all', p).strip(), 'exiftool finds no place in the source %s (the test image is wrong)' % p)
check(b'ICC_PROFILE\0' in open(jpg, 'rb').read(), 'the source JPEG has no colour profile (test image)')
check('Comment' in exiftool('-a', '-G1', '-s', jpg), 'the source JPEG has no comment (test image)')


def album(name, *options):
    out = os.path.join(SCRATCH, name)
    r = subprocess.run([BATCH, '-q', '-o', out + '/index.html', '--style', 'modern', '-m', 'thumbnails',
                        '-s', '160x120', '--portable'] + list(options) + PHOTOS, env=ENV, capture_output=True,
                       text=True)
    check(r.returncode == 0, '%s: exit %d %s' % (name, r.returncode, r.stderr))
    return out, r.stderr


# ---- the default: nothing of the place leaves ------------------------------------------------
for fmt in ('same', 'png', 'jpeg'):
    out, err = album('album-' + fmt, '--format', fmt)
    files = [os.path.join(d, f) for d, _, fs in os.walk(out) for f in fs if not f.startswith('.')]
    # The page, and for each photo its copy, its thumbnail and the thumbnail at 2x.
    check(len(files) == 1 + 3 * len(PHOTOS), '%s: files %s' % (fmt, sorted(files)))
    for f in files:
        check(not exiftool('-a', '-G1', '-gps:all', f).strip(), '%s keeps a location: %s' % (f, exiftool('-gps:all', f)))
        check('Nice' not in exiftool('-a', '-iptc:all', '-xmp:all', f), '%s keeps the city' % f)
    for f in os.listdir(out + '/vignettes'):
        if f.startswith('.'):
            continue
        groups = set(re.findall(r'^\[([\w-]+)\]', exiftool('-a', '-G1', '-s', out + '/vignettes/' + f), re.M))
        left = {g for g in groups if re.match(r'(IFD|ExifIFD|GPS|XMP|IPTC|Photoshop|InteropIFD)', g)}
        check(not left, 'thumbnail %s keeps %s' % (f, sorted(left)))
        check('Comment' not in exiftool('-a', '-s', '-Comment', '-PNG:all', out + '/vignettes/' + f),
              'thumbnail %s keeps a comment' % f)
        if f == 'nice.' + ('png' if fmt == 'png' else 'jpg'):
            kept = open(out + '/vignettes/' + f, 'rb').read()
            check((b'iCCP' if fmt == 'png' else b'ICC_PROFILE\0') in kept, 'thumbnail %s lost its colour profile' % f)
    check('retiré de 2 copies' in err, '%s: the notice names the two copies made at their size: %r' % (fmt, err))
    copy = open(out + '/images/nice.jpg', 'rb').read()
    check(jpeg_scan(copy) == jpeg_scan(open(jpg, 'rb').read()), 'the JPEG copy was encoded again')
    check(b'ICC_PROFILE\0' in copy, 'the JPEG copy lost its profile')
    check('2024:07:14 21:30:00' in exiftool('-DateTimeOriginal', out + '/images/nice.jpg'),
          'the JPEG copy lost more than its place')
    check(png_image(open(out + '/images/port.png', 'rb').read()) == png_image(open(png, 'rb').read()),
          'the PNG copy was encoded again')
    page = open(out + '/index.html', encoding='utf-8').read()
    for caption in ('Le port', 'Les champs', 'Une page', 'Au téléphone'):
        check('alt="%s"' % caption in page, '%s: caption %r missing from the page' % (fmt, caption))
    check('The harbour' not in page, 'the first language was taken for the caption, not x-default')

# ---- kept when asked; made again when the choice changes -------------------------------------
out, err = album('album-same', '--keep-location')
check('retiré' not in err, '--keep-location still removes: %r' % err)
for p in (jpg, png):
    copy = out + '/images/' + os.path.basename(p)
    check(open(copy, 'rb').read() == open(p, 'rb').read(), '--keep-location: %s is not the original' % copy)
out, err = album('album-same')
check('retiré de 2 copies' in err, 'copies kept with their place were not made again: %r' % err)
check(not exiftool('-gps:all', out + '/images/nice.jpg').strip(), 'the copy made again keeps its place')
CHECKS.finish()
