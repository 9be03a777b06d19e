#!/usr/bin/python3
"""Writes the PNG pictures of the PNG decoding tests and, beside each, the pixels Pillow reads
from it: NAME.png and NAME.rgba (red, green, blue, opacity; 8 bits each, rows from the top).
The pictures are encoded here byte by byte, because Pillow writes neither 16-bit colour nor
interlaced pictures; Pillow only reads them. Run it again to remake the files:
    /usr/bin/python3 tests/data/imaging/png/make_pngs.py"""
import io
import os
import struct
import zlib

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
WIDTH, HEIGHT = 13, 11  # odd sizes: every interlace pass and row padding take part

# Colour type: samples per pixel.
CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}
# Adam7 passes: x start, y start, x step, y step.
PASSES = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2),
          (0, 1, 1, 2)]


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def sample(x, y, c, depth):
    """A pattern that differs in every channel and reaches both ends of the range."""
    most = (1 << depth) - 1
    return (x * 37 + y * 101 + c * 59 + x * y * 13) * (most // 255 + 1) % (most + 1)


def pack_row(pixels, depth):
    """Samples of one row as the format stores them: packed below 8 bits, big-endian at 16."""
    if depth == 16:
        return b"".join(struct.pack(">H", v) for v in pixels)
    if depth == 8:
        return bytes(pixels)
    out, acc, bits = bytearray(), 0, 0
    for v in pixels:
        acc = (acc << depth) | v
        bits += depth
        if bits == 8:
            out.append(acc)
            acc, bits = 0, 0
    if bits:
        out.append(acc << (8 - bits))
    return bytes(out)


def encode(color_type, depth, interlaced=False, palette=None, trns=None):
    channels = CHANNELS[color_type]
    grid = [[[sample(x, y, c, depth) for c in range(channels)] for x in range(WIDTH)]
            for y in range(HEIGHT)]
    if palette is not None:
        grid = [[[(x + y * WIDTH) % len(palette)] for x in range(WIDTH)] for y in range(HEIGHT)]
    passes = PASSES if interlaced else [(0, 0, 1, 1)]
    raw = bytearray()
    for x0, y0, dx, dy in passes:
        for y in range(y0, HEIGHT, dy):
            row = [v for x in range(x0, WIDTH, dx) for v in grid[y][x]]
            if row:
                raw += b"\0" + pack_row(row, depth)
    ihdr = struct.pack(">IIBBBBB", WIDTH, HEIGHT, depth, color_type, 0, 0, int(interlaced))
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
    if palette is not None:
        png += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    if trns is not None:
        png += chunk(b"tRNS", trns)
    # Two IDAT chunks: the decoder must join them.
    data = zlib.compress(bytes(raw), 9)
    half = len(data) // 2
    return png + chunk(b"IDAT", data[:half]) + chunk(b"IDAT", data[half:]) + chunk(b"IEND", b"")


def pillow_rgba(png):
    """The pixels as Pillow reads them; 16-bit grey, which Pillow keeps as wide numbers, is cut
    to its high byte as Pillow does for the other 16-bit kinds."""
    image = Image.open(io.BytesIO(png))
    image.load()
    if image.mode in ("I", "I;16", "I;16B"):
        grey = [v >> 8 for v in image.getdata()]
        return b"".join(bytes([v, v, v, 255]) for v in grey)
    return image.convert("RGBA").tobytes()


PALETTE = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (250, 250, 250), (7, 8, 9)]
CASES = {
    "rgb8": dict(color_type=2, depth=8),
    "rgb16": dict(color_type=2, depth=16),
    "rgba8": dict(color_type=6, depth=8),
    "rgba16": dict(color_type=6, depth=16),
    "grey2": dict(color_type=0, depth=2),
    "grey8": dict(color_type=0, depth=8),
    "grey16": dict(color_type=0, depth=16),
    "greyalpha8": dict(color_type=4, depth=8),
    "palette4": dict(color_type=3, depth=4, palette=PALETTE),
    "palette_trns": dict(color_type=3, depth=8, palette=PALETTE, trns=bytes([0, 128, 255])),
    "rgb8_trns": dict(color_type=2, depth=8, trns=struct.pack(">HHH", 74, 192, 54)),
    "grey8_trns": dict(color_type=0, depth=8, trns=struct.pack(">H", 0)),
    "rgb8_adam7": dict(color_type=2, depth=8, interlaced=True),
    "rgba16_adam7": dict(color_type=6, depth=16, interlaced=True),
    "palette_trns_adam7": dict(color_type=3, depth=2, palette=PALETTE[:4], interlaced=True,
                               trns=bytes([255, 0])),
}

if __name__ == "__main__":
    for name, options in CASES.items():
        png = encode(**options)
        with open(os.path.join(HERE, name + ".png"), "wb") as f:
            f.write(png)
        with open(os.path.join(HERE, name + ".rgba"), "wb") as f:
            f.write(pillow_rgba(png))
