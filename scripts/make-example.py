#!/usr/bin/env python3
"""Writes examples/example.mp3: a few frames of silent MPEG audio behind an ID3v2.3 tag that
this script lays out byte by byte (standard fields, two comments, a link and a 16x16 BMP)."""
import os
import struct
import sys


def text_frame(frame_id, text):
    # Encoding 0 (ISO-8859-1), then the text.
    return frame(frame_id, b"\x00" + text.encode("latin-1"))


def frame(frame_id, payload, status=0, fmt=0):
    # ID3v2.3 frame header: ID, plain 32-bit big-endian size, two flag bytes.
    return frame_id.encode("ascii") + struct.pack(">IBB", len(payload), status, fmt) + payload


def comment(language, description, text):
    return frame("COMM", b"\x00" + language.encode("ascii") + description.encode("latin-1") +
                 b"\x00" + text.encode("latin-1"))


def link(description, url):
    return frame("WXXX", b"\x00" + description.encode("latin-1") + b"\x00" + url.encode("latin-1"))


def picture(mime, picture_type, description, data):
    return frame("APIC", b"\x00" + mime.encode("latin-1") + b"\x00" + bytes([picture_type]) +
                 description.encode("latin-1") + b"\x00" + data)


def bmp_16x16():
    """A 24-bit, bottom-up 16x16 BMP of 822 bytes: a blue-to-red gradient with a white cross."""
    width = height = 16
    row_bytes = width * 3  # 48, already a multiple of 4
    pixels = bytearray()
    for y in range(height):
        for x in range(width):
            if x == y or x == width - 1 - y:
                pixels += bytes([255, 255, 255])
            else:
                pixels += bytes([255 - x * 16, 40, x * 16])  # blue, green, red
    file_header = b"BM" + struct.pack("<IHHI", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    info_header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, row_bytes * height,
                              2835, 2835, 0, 0)
    data = file_header + info_header + bytes(pixels)
    assert len(data) == 822
    return data


def sync_safe(value):
    return bytes([(value >> 21) & 0x7F, (value >> 14) & 0x7F, (value >> 7) & 0x7F, value & 0x7F])


def tag():
    frames = b"".join([
        text_frame("TIT2", "Example Song"),
        text_frame("TPE1", "The Example Artist"),
        text_frame("TALB", "Example Album"),
        text_frame("TCOM", "A. Composer"),
        text_frame("TPE2", "The Example Band"),
        text_frame("TPE3", "C. Conductor"),
        text_frame("TEXT", "L. Lyricist"),
        text_frame("TCON", "(12)"),
        text_frame("TIT1", "(12) Other"),
        text_frame("TMOO", "Calm"),
        text_frame("TPUB", "Example Records"),
        text_frame("TYER", "2024"),
        text_frame("TRCK", "3/12"),
        text_frame("TPOS", "1/2"),
        text_frame("TENC", "tagscope make-example"),
        text_frame("TIT3", "An example subtitle"),
        comment("ENG", "", "A short example file made byte by byte."),
        comment("ENG", "Second", "Another comment, with a description."),
        link("Example home page", "http://www.example.com/"),
        picture("image/bmp", 3, "Front cover", bmp_16x16()),
    ])
    padding = 256
    header = b"ID3" + bytes([3, 0, 0]) + sync_safe(len(frames) + padding)
    return header + frames + bytes(padding)


def silent_audio(frame_count=10):
    # MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, joint stereo: 417-byte frames; all-zero side
    # information and main data decode as silence.
    header = bytes([0xFF, 0xFB, 0x90, 0x64])
    return (header + bytes(417 - len(header))) * frame_count


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "examples", "example.mp3")
    with open(out, "wb") as f:
        f.write(tag() + silent_audio())
    print(out)


if __name__ == "__main__":
    main()
