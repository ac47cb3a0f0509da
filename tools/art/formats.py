"""Writing and reading the files: 8- and 1-bit BMP, ICO, PNG."""

import struct
import zlib

from art.palette import PALETTE


def palette_index(palette):
    index = {}
    for i, c in enumerate(palette):
        index.setdefault(c, i)
    return index


def mask_bits(rows, is_set):
    """A 1-bit bitmap's pixel data, bottom row first, each row padded to 32
    bits: a bit is set where is_set(pixel) holds, the leftmost pixel highest."""
    w = len(rows[0])
    stride = ((w + 31) // 32) * 4
    data = bytearray()
    for y in range(len(rows) - 1, -1, -1):
        line = bytearray(stride)
        for x in range(w):
            if is_set(rows[y][x]):
                line[x >> 3] |= 0x80 >> (x & 7)
        data += line
    return bytes(data)


def bmp8(rows, palette=PALETTE):
    h, w = len(rows), len(rows[0])
    index = palette_index(palette)
    stride = (w + 3) & ~3
    data = bytearray()
    for y in range(h - 1, -1, -1):
        line = bytes(index[c] for c in rows[y])
        data += line + b"\0" * (stride - w)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(data), 2835, 2835, 256, 0)
    off = 14 + len(info) + len(pal)
    return struct.pack("<2sIHHI", b"BM", off + len(data), 0, 0, off) + info + pal + bytes(data)


def bmp1(mask):
    h, w = len(mask), len(mask[0])
    data = mask_bits(mask, bool)
    pal = struct.pack("<BBBBBBBB", 0, 0, 0, 0, 255, 255, 255, 0)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 1, 0, len(data), 2835, 2835, 2, 0)
    off = 14 + len(info) + len(pal)
    return struct.pack("<2sIHHI", b"BM", off + len(data), 0, 0, off) + info + pal + bytes(data)


def read_bmp(blob):
    """(width, height, bits, palette, rows of palette indices, clr_used)"""
    if blob[:2] != b"BM":
        raise ValueError("not a BMP")
    _, size, _, _, off = struct.unpack_from("<2sIHHI", blob, 0)
    hs, w, h, planes, bits, comp, _, _, _, used, _ = struct.unpack_from("<IiiHHIIiiII", blob, 14)
    if hs != 40 or planes != 1 or comp != 0 or h <= 0 or w <= 0 or size != len(blob):
        raise ValueError("unexpected BMP header")
    ncol = used or (1 << bits)
    pal = [struct.unpack_from("<BBBB", blob, 54 + 4 * i)[2::-1] for i in range(ncol)]
    stride = ((w * bits + 31) // 32) * 4
    if off + stride * h > len(blob):
        raise ValueError("BMP too short")
    rows = []
    for y in range(h):
        base = off + (h - 1 - y) * stride
        if bits == 8:
            rows.append(list(blob[base:base + w]))
        elif bits == 1:
            rows.append([(blob[base + (x >> 3)] >> (7 - (x & 7))) & 1 for x in range(w)])
        else:
            raise ValueError("unexpected depth %d" % bits)
    return w, h, bits, [tuple(c) for c in pal], rows, used


def ico(images):
    """An icon file of 32-bit images with alpha and an AND mask; images are
    square rows of (r, g, b, a), fully transparent pixels masked out."""
    head = struct.pack("<HHH", 0, 1, len(images))
    blobs = []
    for rows in images:
        size = len(rows)
        xor = bytearray()
        for y in range(size - 1, -1, -1):
            for r, g, b, a in rows[y]:
                xor += bytes((b, g, r, a))
        andm = mask_bits(rows, lambda p: p[3] == 0)
        info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(andm), 0, 0, 0, 0)
        blobs.append((size, info + bytes(xor) + bytes(andm)))
    off = 6 + 16 * len(images)
    entries = b""
    body = b""
    for size, blob in blobs:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), off + len(body))
        body += blob
    return head + entries + body


def ico8(rows, palette):
    """An icon file of one 256-colour image with its AND mask; None in rows is
    transparent: mask bit 1 over colour 0 (black), so the screen shows through."""
    size = len(rows)
    index = palette_index(palette)
    xor = bytearray()
    for y in range(size - 1, -1, -1):
        xor += bytes(0 if c is None else index[c] for c in rows[y])
    andm = mask_bits(rows, lambda c: c is None)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, len(xor) + len(andm), 0, 0, 0, 0)
    blob = info + pal + bytes(xor) + bytes(andm)
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(blob), 22) + blob


def read_ico(blob):
    """[(size, bits, rows of (r, g, b, a))]: 32-bit images keep their alpha;
    in 8-bit ones a set mask bit gives alpha 0, and colour 0 must be under it."""
    _, kind, count = struct.unpack_from("<HHH", blob, 0)
    if kind != 1:
        raise ValueError("not an icon file")
    out = []
    for i in range(count):
        w, h, _, _, _, bits, length, off = struct.unpack_from("<BBBBHHII", blob, 6 + 16 * i)
        hs, iw, ih, _, ib, _, _, _, _, used, _ = struct.unpack_from("<IiiHHIIiiII", blob, off)
        if hs != 40 or iw != w or ih != 2 * h or ib != bits or bits not in (8, 32):
            raise ValueError("unexpected icon image header")
        colours = (used or 256) if bits == 8 else 0
        mask_stride = ((w + 31) // 32) * 4
        xor_at = off + 40 + 4 * colours
        and_at = xor_at + w * h * bits // 8
        if off + length > len(blob) or length != 40 + 4 * colours + w * h * bits // 8 + mask_stride * h:
            raise ValueError("icon image length")
        rows = []
        for y in range(h):
            base = xor_at + (h - 1 - y) * w * bits // 8
            mask = and_at + (h - 1 - y) * mask_stride
            row = []
            for x in range(w):
                clear = (blob[mask + (x >> 3)] >> (7 - (x & 7))) & 1
                if bits == 32:
                    row.append((blob[base + 4 * x + 2], blob[base + 4 * x + 1], blob[base + 4 * x], blob[base + 4 * x + 3]))
                    continue
                k = blob[base + x]
                if clear and k != 0:
                    raise ValueError("colour under a transparent pixel")
                b, g, r, _ = struct.unpack_from("<BBBB", blob, off + 40 + 4 * k)
                row.append((r, g, b, 0 if clear else 255))
            rows.append(row)
        out.append((w, bits, rows))
    return out


def png(rows):
    h, w = len(rows), len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for c in row:
            raw += bytes(c[:3])

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))
