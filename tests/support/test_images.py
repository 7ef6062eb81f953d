"""Images the Python tests write byte by byte (no image library)."""
import struct
import zlib


def chunk(kind, data):
    """One PNG chunk: length, type, data, CRC."""
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))


def png(w, h):
    """A w x h RGB PNG of one grey-blue colour."""
    raw = (b'\0' + b'\x40\x80\xc0' * w) * h
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))
