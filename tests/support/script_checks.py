"""What the Python end-to-end tests share: a tally of checks (and of what
was skipped) that gives the test's exit status, running a command, and the
facts of an image read from its own header (no image library)."""
import struct
import subprocess
import sys


class Checks:
    def __init__(self):
        self.count, self.fails, self.skipped = 0, [], []

    def check(self, cond, what):
        self.count += 1
        if not cond:
            self.fails.append(what)
            print('FAIL:', what, file=sys.stderr)

    def skip(self, what):
        self.skipped.append(what)
        print('SKIP:', what, file=sys.stderr)

    def finish(self):
        """Prints the tally and ends: 1 on a failure, else 77 (CTest's skip) when
        something was skipped, else 0."""
        print('%d passed, %d failed, %d skipped' % (self.count - len(self.fails), len(self.fails),
                                                    len(self.skipped)))
        sys.exit(1 if self.fails else 77 if self.skipped else 0)


def sh(*args):
    subprocess.run(args, check=True)


def image_facts(path):
    """Width, height, file size, colour-map size, interlaced, format (PNG, GIF,
    JPEG, BMP)."""
    data = open(path, 'rb').read()
    size = len(data)
    if data[:8] == b'\x89PNG\r\n\x1a\n':
        w, h, depth, ctype, _, _, inter = struct.unpack('>IIBBBBB', data[16:29])
        colors = 0
        if ctype == 3:
            at = data.find(b'PLTE')
            colors = struct.unpack('>I', data[at - 4:at])[0] // 3
        return w, h, size, colors, inter == 1, 'PNG'
    if data[:3] == b'GIF':
        flags = data[10]
        colors = 2 ** ((flags & 7) + 1) if flags & 0x80 else 0
        at = 13 + (3 * colors if flags & 0x80 else 0)
        while data[at] != 0x2C:  # skip extensions up to the image descriptor
            at += 2
            while data[at]:
                at += data[at] + 1
            at += 1
        w, h = struct.unpack('<HH', data[6:10])
        return w, h, size, colors, bool(data[at + 9] & 0x40), 'GIF'
    if data[:2] == b'\xff\xd8':
        at = 2
        while True:
            marker = data[at + 1]
            length = struct.unpack('>H', data[at + 2:at + 4])[0]
            if marker in (0xC0, 0xC1, 0xC2):
                h, w = struct.unpack('>HH', data[at + 5:at + 9])
                return w, h, size, 0, marker == 0xC2, 'JPEG'
            at += 2 + length
    if data[:2] == b'BM':
        w, h = struct.unpack('<ii', data[18:26])
        return w, abs(h), size, 0, False, 'BMP'
    raise ValueError('unknown image ' + path)


def image_size(path):
    return image_facts(path)[:2]
