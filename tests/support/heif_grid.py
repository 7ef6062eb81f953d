"""HEIC grid images for the tests: the tile of a one-image HEIC file (made by
heif-enc) laid ROWS x COLUMNS times in a grid item, as phones write their
photos; with many tiles, a small file that declares a huge number of items.
"""
import struct


def box(kind, payload):
    return struct.pack('>I4s', 8 + len(payload), kind) + payload


def full_box(kind, version, flags, payload):
    return box(kind, struct.pack('>I', version << 24 | flags) + payload)


def children(data):
    """(type, payload) of the boxes laid one after the other in data."""
    at = 0
    while at + 8 <= len(data):
        size, kind = struct.unpack_from('>I4s', data, at)
        yield kind, data[at + 8:at + size]
        at += size


def child(data, kind):
    return next(p for k, p in children(data) if k == kind)


def only_image(heic):
    """The hvcC property and coded bytes of a one-image HEIC, and its size."""
    meta = child(heic, b'meta')[4:]
    iloc = child(meta, b'iloc')
    version = iloc[0]
    offset_size, length_size, base_size = iloc[4] >> 4, iloc[4] & 15, iloc[5] >> 4
    index_size = iloc[5] & 15 if version in (1, 2) else 0
    assert version in (0, 1), 'unexpected iloc version %d' % version

    def number(at, size):
        return int.from_bytes(iloc[at:at + size], 'big'), at + size
    count, at = number(6, 2)
    assert count == 1, 'more than one item'
    at += 2 + (2 if version == 1 else 0) + 2  # item, construction method, data reference
    base, at = number(at, base_size)
    extents, at = number(at, 2)
    assert extents == 1
    at += index_size
    offset, at = number(at, offset_size)
    length, at = number(at, length_size)
    offset += base
    ipco = child(child(meta, b'iprp'), b'ipco')
    props = dict(children(ipco))
    width, height = struct.unpack_from('>II', props[b'ispe'], 4)
    return box(b'hvcC', props[b'hvcC']), heic[offset:offset + length], width, height


def grid_heic(tile_heic, rows, columns, turn=None, transforms=()):
    """A grid of rows x columns copies of tile_heic's image (its bytes once),
    with the transformations of transforms in that order: ('irot', quarters
    anticlockwise), ('imir', axis) or ('clap', None), a crop that keeps the
    whole image. turn is ('irot', turn) first."""
    hvcc, coded, tw, th = only_image(tile_heic)
    tiles = rows * columns
    ids = list(range(2, 2 + tiles))
    width, height = tw * columns, th * rows
    infe = [full_box(b'infe', 2, 0, struct.pack('>HH4s', 1, 0, b'grid') + b'\0')]
    infe += [full_box(b'infe', 2, 1, struct.pack('>HH4s', i, 0, b'hvc1') + b'\0') for i in ids]
    iinf = full_box(b'iinf', 0, 0, struct.pack('>H', 1 + tiles) + b''.join(infe))
    dimg = box(b'dimg', struct.pack('>HH', 1, tiles) + b''.join(struct.pack('>H', i) for i in ids))
    iref = full_box(b'iref', 0, 0, dimg)
    ispe = lambda w, h: full_box(b'ispe', 0, 0, struct.pack('>II', w, h))  # noqa: E731
    extra, (w, h) = [], (width, height)
    for kind, value in ([('irot', turn)] if turn is not None else []) + list(transforms):
        if kind == 'clap':
            extra.append(box(b'clap', struct.pack('>8I', w, 1, h, 1, 0, 1, 0, 1)))
        else:
            extra.append(box(kind.encode(), bytes([value])))
            if kind == 'irot' and value % 2:
                w, h = h, w
    ipco = box(b'ipco', hvcc + ispe(tw, th) + ispe(width, height) + b''.join(extra))
    # tiles: hvcC 1 (essential), ispe 2; grid: ispe 3, then its transformations
    # from 4 on (essential)
    grid_props = bytes([3] + [0x84 + i for i in range(len(extra))])
    entries = [struct.pack('>HB', 1, len(grid_props)) + grid_props]
    entries += [struct.pack('>HB', i, 2) + bytes([0x81, 2]) for i in ids]
    ipma = full_box(b'ipma', 0, 0, struct.pack('>I', len(entries)) + b''.join(entries))
    grid = struct.pack('>BBBBII', 0, 1, rows - 1, columns - 1, width, height)

    def iloc_with(base):
        body = struct.pack('>BBH', 0x44, 0x00, 1 + tiles)
        body += struct.pack('>HHHII', 1, 0, 1, base, len(grid))
        body += b''.join(struct.pack('>HHHII', i, 0, 1, base + len(grid), len(coded)) for i in ids)
        return full_box(b'iloc', 0, 0, body)

    ftyp = box(b'ftyp', b'heic' + struct.pack('>I', 0) + b'mif1heic')
    hdlr = full_box(b'hdlr', 0, 0, struct.pack('>I4s12x', 0, b'pict') + b'\0')
    pitm = full_box(b'pitm', 0, 0, struct.pack('>H', 1))

    def meta_with(base):
        return full_box(b'meta', 0, 0, hdlr + pitm + iloc_with(base) + iinf + iref +
                        box(b'iprp', ipco + ipma))

    head = ftyp + meta_with(0)
    base = len(head) + 8  # the mdat's payload
    return ftyp + meta_with(base) + box(b'mdat', grid + coded)


if __name__ == '__main__':
    import sys
    if len(sys.argv) not in (5, 6):
        sys.exit('usage: heif_grid.py TILE.heic ROWS COLUMNS OUT.heic [TURN]')
    with open(sys.argv[1], 'rb') as f:
        tile = f.read()
    turn = int(sys.argv[5]) if len(sys.argv) == 6 else None
    with open(sys.argv[4], 'wb') as f:
        f.write(grid_heic(tile, int(sys.argv[2]), int(sys.argv[3]), turn))
