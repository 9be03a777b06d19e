#!/usr/bin/env python3
"""Writes the bitmap files of this folder, one per kind of Windows bitmap the reader takes,
and their reference decodes (binary PPM, made with ImageMagick's convert).

Run from this folder:  python3 make_variants.py
"""
import struct
import subprocess

W, H = 13, 7  # odd sizes, so that every row needs padding


def palette(count):
    return [((i * 37 + 11) % 256, (255 - i * 13) % 256, (i * 101 + 7) % 256) for i in range(count)]


def index_at(x, y, count):
    return (x * 3 + y * 5 + (x * y) // 4) % count


def rgb_at(x, y):
    return ((x * 19 + y * 7) % 256, (x * 5 + y * 31) % 256, (x * y * 3 + 40) % 256)


def pad(row):
    return row + b"\0" * ((-len(row)) % 4)


def pack_indexes(indexes, bits):
    out = bytearray()
    per = 8 // bits
    for i in range(0, len(indexes), per):
        byte = 0
        for j, v in enumerate(indexes[i:i + per]):
            byte |= v << (8 - bits * (j + 1))
        out.append(byte)
    return bytes(out)


def info_header(size, width, height, bits, compression, image_size, colors_used, masks=None):
    h = struct.pack("<IiiHHIIiiII", size, width, height, 1, bits, compression, image_size,
                    2835, 2835, colors_used, 0)
    if size >= 108:
        r, g, b, a = masks or (0, 0, 0, 0)
        h += struct.pack("<IIII", r, g, b, a) + b"sRGB" + b"\0" * 36 + b"\0" * 12
    if size == 124:
        h += struct.pack("<IIII", 4, 0, 0, 0)
    assert len(h) == size
    return h


def file_bytes(header, extra, pixels):
    offset = 14 + len(header) + len(extra)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + header + extra + pixels


def quads(colors):
    return b"".join(bytes((b, g, r, 0)) for r, g, b in colors)


def rows(top_down, make_row):
    order = range(H) if top_down else range(H - 1, -1, -1)
    return b"".join(pad(make_row(y)) for y in order)


def indexed(bits, count=None, top_down=False, header=40):
    count = count or (1 << bits)
    pixels = rows(top_down, lambda y: pack_indexes([index_at(x, y, count) for x in range(W)], bits))
    height = -H if top_down else H
    if header == 12:
        hdr = struct.pack("<IHHHH", 12, W, H, 1, bits)
        return file_bytes(hdr, b"".join(bytes((b, g, r)) for r, g, b in palette(1 << bits)), pixels)
    used = count if count != (1 << bits) else 0
    hdr = info_header(header, W, height, bits, 0, len(pixels), used)
    return file_bytes(hdr, quads(palette(count)), pixels)


def truecolor(bits, top_down=False, header=40, masks=None):
    def row(y):
        out = bytearray()
        for x in range(W):
            r, g, b = rgb_at(x, y)
            if bits == 24:
                out += bytes((b, g, r))
            elif bits == 32 and masks is None:
                out += bytes((b, g, r, 0))
            else:
                rm, gm, bm = masks or (0x7C00, 0x03E0, 0x001F)
                v = 0
                for value, mask in ((r, rm), (g, gm), (b, bm)):
                    shift = (mask & -mask).bit_length() - 1
                    width = bin(mask).count("1")
                    v |= (value >> (8 - width) if width <= 8 else value << (width - 8)) << shift
                out += struct.pack("<H" if bits == 16 else "<I", v)
        return bytes(out)
    pixels = rows(top_down, row)
    height = -H if top_down else H
    if header == 12:
        return file_bytes(struct.pack("<IHHHH", 12, W, H, 1, bits), b"", pixels)
    compression = 3 if masks else 0
    hdr = info_header(header, W, height, bits, compression, len(pixels), 0,
                      masks + (0,) if masks and header >= 108 else None)
    extra = struct.pack("<III", *masks) if masks and header == 40 else b""
    return file_bytes(hdr, extra, pixels)


def rle(bits):
    """Runs, literal runs (odd and even lengths), end of line and end of bitmap marks."""
    count = 1 << bits
    data = bytearray()
    for y in range(H - 1, -1, -1):
        row = [index_at(x, y, count) if x < 6 else (y * 3) % count for x in range(W)]
        literal = row[:5]
        if bits == 8:
            data += bytes((0, len(literal))) + bytes(literal) + b"\0"  # 5 bytes + pad
            data += bytes((1, row[5]))
            data += bytes((W - 6, row[6]))
        else:
            packed = pack_indexes(literal, 4)
            data += bytes((0, len(literal))) + packed + b"\0" * ((-len(packed)) % 2)
            data += bytes((1, row[5] << 4))
            data += bytes((W - 6, (row[6] << 4) | row[6]))
        data += b"\0\0"
    data += b"\0\1"
    hdr = info_header(40, W, H, bits, 1 if bits == 8 else 2, len(data), 0)
    return file_bytes(hdr, quads(palette(count)), bytes(data))


VARIANTS = {
    "pal1": indexed(1),
    "pal4": indexed(4),
    "pal4_core": indexed(4, header=12),
    "pal8": indexed(8),
    "pal8_used100": indexed(8, count=100),
    "pal8_topdown": indexed(8, top_down=True),
    "pal8_core": indexed(8, header=12),
    "pal8_v5": indexed(8, header=124),
    "rgb16": truecolor(16),
    "rgb16_565": truecolor(16, masks=(0xF800, 0x07E0, 0x001F)),
    "rgb24": truecolor(24),
    "rgb24_topdown": truecolor(24, top_down=True),
    "rgb24_core": truecolor(24, header=12),
    "rgb32": truecolor(32),
    "rgb32_fields_v4": truecolor(32, header=108, masks=(0xFF0000, 0x00FF00, 0x0000FF)),
    "rgb32_fields": truecolor(32, masks=(0x0000FF00, 0x00FF0000, 0xFF000000)),
    "rle8": rle(8),
    "rle4": rle(4),
}

for name, data in VARIANTS.items():
    with open(name + ".bmp", "wb") as f:
        f.write(data)
    subprocess.run(["convert", name + ".bmp", "-depth", "8", name + ".ppm"], check=True)
