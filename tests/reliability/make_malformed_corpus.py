#!/usr/bin/env python3
"""Writes a corpus of malformed and hostile image files into a folder.

usage: make_malformed_corpus.py DIR      (standard library only)

Every case is a file (or special entry) named after what is wrong with it.
Cases whose content must never be accepted as an image are listed in
DIR/must_fail.txt, one name a line; DIR/specials.txt lists the entries that
are not regular files (FIFO, links, unreadable entries). The folder `tree/`
holds a symbolic-link loop and a link to `..` for the recursive scan.
"""
import base64
import os
import struct
import sys
import zlib

# A valid 16x16 baseline JPEG, the base of the JPEG cases.
JPEG = base64.b64decode(
    '/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDABALDA4MChAODQ4SERATGCgaGBYWGDEjJR0oOjM9PDkzODdASFxOQERXRTc4UG1RV19iZ2hnPk1xeXBkeFxl'
    'Z2P/2wBDARESEhgVGC8aGi9jQjhCY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2P/wAARCAAQABADASIAAhEB'
    'AxEB/8QAFgABAQEAAAAAAAAAAAAAAAAAAAQF/8QAFRABAQAAAAAAAAAAAAAAAAAAABP/xAAUAQEAAAAAAAAAAAAAAAAAAAAF/8QAFhEAAwAAAAAAAAAA'
    'AAAAAAAAABVh/9oADAMBAAIRAxEAPwDAqVRVKlFEGWlP/9k=')


def chunk(kind, data, crc=None):
    c = zlib.crc32(kind + data) if crc is None else crc
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', c & 0xFFFFFFFF)


def png(w, h, idat=None, depth=8, ctype=2, bad_crc=False):
    ihdr = chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, depth, ctype, 0, 0, 0))
    if idat is None:
        # Small images get all their rows; large ones only a few (truncated data).
        row = b'\0' + b'\x80' * (3 * min(w, 4096))
        idat = zlib.compress(row * (h if h <= 64 else 4))
    body = chunk(b'IDAT', idat, crc=0x12345678 if bad_crc else None)
    return b'\x89PNG\r\n\x1a\n' + ihdr + body + chunk(b'IEND', b'')


def gif(sw, sh, frames, code_size=2, lzw=b'\x02\x4c\x01\x00', fx=0, fy=0, fw=1, fh=1):
    head = b'GIF89a' + struct.pack('<HHBBB', sw, sh, 0x80, 0, 0) + b'\0\0\0\xff\xff\xff'
    frame = (b'\x2c' + struct.pack('<HHHHB', fx, fy, fw, fh, 0) + bytes([code_size]) +
             bytes([len(lzw)]) + lzw + b'\0')
    return head + frame * frames + b'\x3b'


def bmp(w, h, bpp=24, offset=54, colours=0, pixels=None, size=None):
    if pixels is None:
        pixels = b'\x80' * 64
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, bpp, 0, len(pixels), 2835, 2835, colours, 0)
    total = size if size is not None else 14 + len(info) + len(pixels)
    return b'BM' + struct.pack('<IHHI', total & 0xFFFFFFFF, 0, 0, offset & 0xFFFFFFFF) + info + pixels


def jpeg_sof(w, h):
    at = JPEG.find(b'\xff\xc0')
    return JPEG[:at + 5] + struct.pack('>HH', h, w) + JPEG[at + 9:]


def jpeg_lie(w, h, progressive, one_component_scan=False):
    """The JPEG claiming w x h, cut a few bytes into its first scan: progressive
    (that scan made a DC scan) or with only its first component in that scan.
    Decoded whole, either needs the coefficients of the whole image."""
    out, at = bytearray(JPEG[:2]), 2
    while at + 4 <= len(JPEG):
        marker, length = JPEG[at + 1], struct.unpack('>H', JPEG[at + 2:at + 4])[0]
        seg = bytearray(JPEG[at:at + 2 + length])
        if marker == 0xC0:
            seg[1] = 0xC2 if progressive else 0xC0
            seg[5:9] = struct.pack('>HH', h, w)
        if marker == 0xDA:
            if one_component_scan:
                seg = bytearray(b'\xff\xda\x00\x08\x01') + seg[5:7] + seg[-3:]
            if progressive:
                seg[-3:] = b'\0\0\0'
            return bytes(out + seg) + JPEG[at + 2 + length:at + 12 + length]
        out += seg
        at += 2 + length
    return bytes(out)


def jpeg_bad_huffman():
    at = JPEG.find(b'\xff\xc4')
    data = bytearray(JPEG)
    for i in range(at + 5, at + 21):  # code counts: far more codes than lengths allow
        data[i] = 0xFF
    return bytes(data)


def xbm(w, h, body):
    return ('#define x_width %s\n#define x_height %s\nstatic char x_bits[] = {\n' % (w, h)).encode() + body + b'};\n'


def tiff(w, h, strip_offset=None, strip_bytes=None, next_ifd=0):
    """A grey uncompressed TIFF, little-endian, one strip; its data follow the IFD."""
    entries = [(256, 4, w), (257, 4, h), (258, 3, 8), (259, 3, 1), (262, 3, 1), (273, 4, 0),
               (277, 3, 1), (278, 4, h), (279, 4, 0)]
    ifd_size = 2 + 12 * len(entries) + 4
    data = b'\x80' * 64
    offset = 8 + ifd_size if strip_offset is None else strip_offset
    count = len(data) if strip_bytes is None else strip_bytes
    body = struct.pack('<H', len(entries))
    for tag, kind, value in entries:
        value = {273: offset, 279: count}.get(tag, value)
        packed = struct.pack('<HI', value & 0xFFFF, 0) if kind == 3 else struct.pack('<I', value & 0xFFFFFFFF)
        body += struct.pack('<HHI', tag, kind, 1) + packed[:4]
    body += struct.pack('<I', next_ifd)
    return b'II*\0' + struct.pack('<I', 8) + body + data


def webp_lossless(w, h, rest=b'\x00' * 16):
    """A lossless WebP whose header claims w x h, its bitstream `rest`."""
    bits = (w - 1) | (h - 1) << 14
    payload = b'\x2f' + struct.pack('<I', bits) + rest
    chunk_ = b'VP8L' + struct.pack('<I', len(payload)) + payload + b'\0' * (len(payload) & 1)
    return b'RIFF' + struct.pack('<I', 4 + len(chunk_)) + b'WEBP' + chunk_


def ftyp(brand, rest=b''):
    box = b'ftyp' + brand + b'\0\0\0\0' + b'mif1' + brand
    return struct.pack('>I', 4 + len(box)) + box + rest


def cases():
    garbage = bytes((i * 7919 + 13) & 0xFF for i in range(4096))
    c = {}
    # empty and header-only, every extension
    for ext in ('jpg', 'png', 'gif', 'bmp', 'dib', 'xbm', 'webp', 'heic', 'avif', 'tif'):
        c['zero-byte.' + ext] = b''
    c['header-only.jpg'] = b'\xff\xd8'
    c['header-only.png'] = b'\x89PNG\r\n\x1a\n'
    c['header-only.gif'] = b'GIF89a'
    c['header-only.bmp'] = b'BM' + b'\0' * 12
    # JPEG
    c['truncated.jpg'] = JPEG[:len(JPEG) - 40]
    c['half.jpg'] = JPEG[:len(JPEG) // 2]
    c['bad-huffman.jpg'] = jpeg_bad_huffman()
    c['sof-zero-width.jpg'] = jpeg_sof(0, 16)
    c['sof-zero-height.jpg'] = jpeg_sof(16, 0)
    c['sof-65535.jpg'] = jpeg_sof(65535, 65535)
    c['garbage.jpg'] = b'\xff\xd8\xff\xe0' + garbage
    c['lying-progressive-16000.jpg'] = jpeg_lie(16000, 16000, True)
    c['lying-one-component-scan-16000.jpg'] = jpeg_lie(16000, 16000, False, True)
    # PNG
    for n in (8000, 16000, 30000):
        c['huge-%d.png' % n] = png(n, n)
    c['huge-2p31.png'] = png(2 ** 31, 2 ** 31)
    c['huge-2p31-wide.png'] = png(2 ** 31 - 1, 1)
    c['zlib-bomb.png'] = png(20000, 20000, idat=zlib.compress(b'\0' * (60001 * 2000), 9))
    c['bad-crc.png'] = png(4, 4, bad_crc=True)
    c['garbage-idat.png'] = png(16, 16, idat=garbage)
    c['bad-depth.png'] = png(16, 16, depth=7)
    c['truncated.png'] = png(16, 16)[:40]
    # GIF
    c['lzw-code-size-15.gif'] = gif(4, 4, 1, code_size=15)
    c['garbage-lzw.gif'] = gif(16, 16, 1, lzw=garbage[:255])
    c['screen-65535.gif'] = gif(65535, 65535, 1)
    c['frame-off-screen.gif'] = gif(4, 4, 1, fx=60000, fy=60000, fw=5000, fh=5000)
    c['frames-20000.gif'] = gif(4, 4, 20000)
    c['truncated.gif'] = gif(4, 4, 1)[:20]
    # BMP / DIB
    c['height-minus-2p31.bmp'] = bmp(4, -2 ** 31)
    c['height-minus-1e6.bmp'] = bmp(4, -10 ** 6)
    c['height-2p31-1.bmp'] = bmp(4, 2 ** 31 - 1)
    c['width-0.bmp'] = bmp(0, 4)
    c['width-2p30.bmp'] = bmp(2 ** 30, 4)
    c['bpp-0.bmp'] = bmp(4, 4, bpp=0)
    c['bpp-7.bmp'] = bmp(4, 4, bpp=7)
    c['offset-past-end.bmp'] = bmp(4, 4, offset=10 ** 6)
    c['offset-2p32-1.bmp'] = bmp(4, 4, offset=2 ** 32 - 1)
    c['colours-2p32-1.bmp'] = bmp(4, 4, bpp=8, colours=2 ** 32 - 1)
    c['height-minus-1e6.dib'] = bmp(4, -10 ** 6)
    c['width-2p30.dib'] = bmp(2 ** 30, 4)
    # XBM
    c['garbage.xbm'] = garbage
    c['bad-hex.xbm'] = xbm(8, 2, b'0xZZ, 0xQQ,')
    c['negative.xbm'] = xbm(-8, -8, b'0x00,')
    c['huge-99999999.xbm'] = xbm(99999999, 99999999, b'0x00,')
    c['line-5mb.xbm'] = xbm(8, 8, b'0x00' * (5 * 1024 * 1024 // 4))
    # TIFF
    c['garbage.tif'] = b'II*\0' + garbage
    c['huge-2p31.tif'] = tiff(2 ** 31, 2 ** 31)
    c['huge-16000.tif'] = tiff(16000, 16000)
    c['strip-past-end.tif'] = tiff(16, 16, strip_offset=10 ** 9)
    c['strip-count-2p32-1.tif'] = tiff(16, 16, strip_bytes=2 ** 32 - 1)
    c['ifd-loop.tif'] = tiff(8, 8, next_ifd=8)
    c['truncated.tif'] = tiff(8, 8)[:30]
    # WebP
    c['garbage.webp'] = b'RIFF' + struct.pack('<I', len(garbage) + 4) + b'WEBP' + garbage
    c['lossless-16383.webp'] = webp_lossless(16383, 16383)
    c['lossless-garbage.webp'] = webp_lossless(64, 64, garbage[:512])
    c['riff-size-lie.webp'] = b'RIFF\xff\xff\xff\xffWEBPVP8 ' + garbage[:64]
    c['truncated.webp'] = webp_lossless(16, 16)[:20]
    # HEIF family
    c['garbage.heic'] = ftyp(b'heic', garbage)
    c['garbage.avif'] = ftyp(b'avif', garbage)
    c['ftyp-only.heic'] = ftyp(b'heic')
    c['meta-size-2p32-1.avif'] = ftyp(b'avif', struct.pack('>I', 2 ** 32 - 1) + b'meta' + garbage[:256])
    # content that is not what the name says
    c['png-named.jpg'] = png(8, 8)
    c['svg-named.png'] = (b'<?xml version="1.0"?><svg xmlns="http://www.w3.org/2000/svg" width="10" height="10">'
                          b'<rect width="10" height="10" fill="red"/></svg>')
    c['mvg-named.jpg'] = b'push graphic-context\nviewbox 0 0 10 10\nfill red\nrectangle 0,0 9,9\npop graphic-context\n'
    c['msl-named.gif'] = (b'<?xml version="1.0" encoding="UTF-8"?>\n<image>\n<read filename="rose:"/>\n'
                          b'<write filename="@MARKER@"/>\n</image>\n')
    c['ps-named.bmp'] = b'%!PS-Adobe-3.0\n/Times findfont 12 scalefont setfont 10 10 moveto (x) show showpage\n'
    c['html-named.png'] = b'<!DOCTYPE html><html><body><img src="x" onerror="alert(1)"></body></html>'
    c['text-named.xbm'] = b'hello world\n' * 10
    return c


# Contents that decoders may legitimately accept (frames outside the screen, a
# PNG under a .jpg name, ...): for those the page may hold the image; all the
# others must be refused and named.
MAY_DECODE = {'png-named.jpg', 'frame-off-screen.gif', 'frames-20000.gif', 'bad-crc.png', 'truncated.jpg',
              'half.jpg', 'sof-65535.jpg', 'bad-depth.png', 'lzw-code-size-15.gif', 'garbage-lzw.gif',
              'screen-65535.gif', 'colours-2p32-1.bmp', 'bad-hex.xbm', 'line-5mb.xbm', 'offset-past-end.bmp',
              'offset-2p32-1.bmp', 'bad-huffman.jpg', 'garbage.jpg', 'garbage-idat.png', 'huge-8000.png',
              'lying-progressive-16000.jpg', 'lying-one-component-scan-16000.jpg', 'ifd-loop.tif',
              'strip-count-2p32-1.tif', 'huge-16000.tif'}


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    marker = os.path.join(out, 'MSL-RAN.png')
    names = []
    for name, data in cases().items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data.replace(b'@MARKER@', marker.encode()))
        names.append(name)
    specials = []
    os.mkfifo(os.path.join(out, 'fifo.png'))
    os.symlink('/dev/zero', os.path.join(out, 'dev-zero.bmp'))
    with open(os.path.join(out, 'sparse-3gb.bmp'), 'wb') as f:
        f.write(bmp(30000, 25000, size=3 * 2 ** 30))
        f.truncate(3 * 2 ** 30)
    names.append('sparse-3gb.bmp')
    with open(os.path.join(out, 'unreadable.png'), 'wb') as f:
        f.write(png(8, 8))
    os.chmod(os.path.join(out, 'unreadable.png'), 0)
    specials += ['fifo.png', 'dev-zero.bmp', 'unreadable.png']
    tree = os.path.join(out, 'tree')
    os.makedirs(os.path.join(tree, 'locked'))
    with open(os.path.join(tree, 'locked', 'inside.png'), 'wb') as f:
        f.write(png(8, 8))
    os.chmod(os.path.join(tree, 'locked'), 0)
    os.symlink('loop-b', os.path.join(tree, 'loop-a.png'))
    os.symlink('loop-a.png', os.path.join(tree, 'loop-b'))
    os.symlink('..', os.path.join(tree, 'up'))
    os.symlink('.', os.path.join(tree, 'self'))
    with open(os.path.join(tree, 'good.png'), 'wb') as f:
        f.write(png(8, 8))
    with open(os.path.join(out, 'must_fail.txt'), 'w') as f:
        f.write('\n'.join(n for n in names if n not in MAY_DECODE) + '\n')
    with open(os.path.join(out, 'specials.txt'), 'w') as f:
        f.write('\n'.join(specials) + '\n')
    print('%d cases written to %s' % (len(names) + len(specials) + 5, out))


if __name__ == '__main__':
    main()
