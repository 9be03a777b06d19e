#!/usr/bin/env python3
"""Writes the engine fuzzer's starting inputs (fuzz/corpus/engine/): small files that reach
every part of the tag reader. Python standard library only."""
import os
import shutil
import struct
import zlib


def ss(v):
    return bytes([(v >> 21) & 0x7F, (v >> 14) & 0x7F, (v >> 7) & 0x7F, v & 0x7F])


def header(version, flags, size):
    return b"ID3" + bytes([version, 0, flags]) + ss(size)


def tag(version, flags, body, padding=0):
    return header(version, flags, len(body) + padding) + body + bytes(padding)


def f4(fid, payload, status=0, fmt=0, opt=b""):
    return fid + ss(len(opt) + len(payload)) + bytes([status, fmt]) + opt + payload


def f3(fid, payload, status=0, fmt=0, opt=b""):
    return fid + struct.pack(">I", len(opt) + len(payload)) + bytes([status, fmt]) + opt + payload


def unsync(data):
    out = bytearray()
    for i, b in enumerate(data):
        out.append(b)
        if b == 0xFF and (i + 1 == len(data) or data[i + 1] >= 0xE0 or data[i + 1] == 0):
            out.append(0)
    return bytes(out)


def trailer():
    t = bytearray(128)
    t[0:3] = b"TAG"
    t[3:7] = b"Song"
    t[33:37] = b"Band"
    t[93:97] = b"1999"
    t[97:101] = b"nice"
    t[126] = 3
    t[127] = 17
    return bytes(t)


AUDIO = bytes([0xFF, 0xFB, 0x90, 0x64]) + bytes(60)
APIC = b"\x00image/jpeg\x00\x03cover\x00" + bytes([0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10]) + b"JFIF"
COMM = b"\x00ENGdesc\x00text"
COMM16 = b"\x01eng\xff\xfeD\x00\x00\x00\xff\xfeT\x00e\x00x\x00t\x00"
WXXX = b"\x00home\x00http://example.com/"

FILES = {
    "v4-basic": tag(4, 0, f4(b"TIT2", b"\x00Title") + f4(b"TPE1", b"\x03Artist \xc3\xa9") +
                    f4(b"COMM", COMM) + f4(b"WXXX", WXXX) + f4(b"APIC", APIC), 32) + AUDIO,
    "v3-basic": tag(3, 0, f3(b"TIT2", b"\x01\xff\xfeT\x00i\x00") + f3(b"COMM", COMM16) +
                    f3(b"TRCK", b"\x003/12"), 16) + AUDIO,
    "v4-flags": tag(4, 0, f4(b"TIT2", b"\x00abc", 0x70, 0x45, b"\x01\x02" + ss(4)) +
                    f4(b"TALB", zlib.compress(b"\x00" + b"x" * 200), 0, 0x09, ss(201))),
    "v3-compressed": tag(3, 0, f3(b"TIT2", zlib.compress(b"\x00" + b"y" * 300), 0xE0, 0xE0,
                                  struct.pack(">I", 301) + b"\x05\x06")),
    "v4-ext-header": tag(4, 0x40, bytes([0, 0, 0, 12, 1, 0x70, 1, 2, 3, 4, 5, 0x9F]) +
                         f4(b"TIT2", b"\x00ext"), 8),
    "v3-ext-header": tag(3, 0x40, bytes([0, 0, 0, 10, 0x80, 0, 0, 0, 0, 8, 1, 2, 3, 4]) +
                         f3(b"TIT2", b"\x00ext3"), 8),
    "v3-unsync": tag(3, 0x80, unsync(f3(b"APIC", APIC) + f3(b"TIT2", b"\x00\xff\xe9")), 8),
    "v4-frame-unsync": tag(4, 0, f4(b"APIC", unsync(APIC), 0, 0x02)),
    "v4-footer": tag(4, 0x10, f4(b"TIT2", b"\x00foot")) + b"3DI\x04\x00\x10" + ss(15) + AUDIO,
    "v22": tag(2, 0, b"TT2\x00\x00\x06\x00title", 10),
    "id3v1-only": AUDIO * 2 + trailer(),
    "tag-at-5000": bytes(4990) + AUDIO[:10] + tag(3, 0, f3(b"TIT2", b"\x00later")) + trailer(),
}


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    folder = os.path.join(root, "fuzz", "corpus", "engine")
    os.makedirs(folder, exist_ok=True)
    for name, data in FILES.items():
        with open(os.path.join(folder, name + ".mp3"), "wb") as f:
            f.write(data)
    # The example file, as made by make-example.py.
    example = os.path.join(root, "examples", "example.mp3")
    if os.path.exists(example):
        shutil.copy(example, os.path.join(folder, "example.mp3"))


if __name__ == "__main__":
    main()
