#!/usr/bin/env python3
"""Reads the tags that engine_write_samples writes with mutagen, another ID3 library, and
compares every frame with what the program meant to write.

Usage: write_mutagen_check.py PATH-TO-engine_write_samples
Exits 77 (skipped) when mutagen is not installed.

mutagen drops frames of size 0, ignores group IDs and does not keep frame flags: the flags are
checked on the raw frames mutagen hands back for IDs it does not know, and through the
payloads mutagen decodes (compression, data length indicators, unsynchronisation). No sample
combines an extended header with unsynchronisation in version 3: mutagen reads the tag's size
as counting from after the extended header, so it takes that many audio bytes into the tag
and then fails to undo the unsynchronisation.
"""
import subprocess
import sys
import tempfile
import zlib
from pathlib import Path

try:
    from mutagen.id3 import ID3
except ImportError:
    print("mutagen is not installed: skipped")
    sys.exit(77)

STATUS_BITS = {3: (0x80, 0x40, 0x20), 4: (0x40, 0x20, 0x10)}


def read_manifest(folder):
    files, frames = {}, {}
    for line in (folder / "manifest.tsv").read_text().splitlines():
        kind, name, *rest = line.split("\t")
        if kind == "file":
            files[name] = (int(rest[0]), int(rest[1]))
            frames[name] = []
        else:
            frame_id, status, fmt, payload = rest
            frames[name].append((frame_id, int(status), int(fmt), bytes.fromhex(payload)))
    return files, frames


def status_byte(version, status):
    bits = STATUS_BITS[version]
    return sum(bit for i, bit in enumerate(bits) if status & (1 << i))


def check_header(path, version, flags, errors):
    raw = path.read_bytes()[:10]
    if raw[:3] != b"ID3" or raw[3] != version:
        errors.append(f"{path.name}: header {raw[:5]!r}")
    wanted = (0x80 if flags & 1 else 0) | (0x40 if flags & 2 else 0) | (0x10 if flags & 4 else 0)
    if raw[5] != wanted:
        errors.append(f"{path.name}: header flags {raw[5]:#x}, wanted {wanted:#x}")


def syncsafe(data):
    value = 0
    for byte in data:
        value = (value << 7) | (byte & 0x7F)
    return value


def check_extended_header(path, version, errors):
    """The extended header in its version's layout, its CRC the frames' own (zlib's crc32):
    version 3 over the frames alone, version 4 over frames and padding."""
    data = path.read_bytes()
    end = 10 + syncsafe(data[6:10])
    ext = data[10:]
    if version == 3:
        size, flags, padding = int.from_bytes(ext[:4], "big"), ext[4:6], int.from_bytes(ext[6:10], "big")
        crc = int.from_bytes(ext[10:14], "big")
        covered = data[10 + 4 + size:end - padding]
        ok = size == 10 and flags == b"\x80\x00"
    else:
        size, flags, at = syncsafe(ext[:4]), ext[5], 6
        ok = ext[4] == 1 and flags == 0x70 and ext[at] == 0
        at += 1
        ok = ok and ext[at] == 5
        crc = syncsafe(ext[at + 1:at + 6])
        at += 6
        ok = ok and ext[at] == 1 and ext[at + 1] == 0x48 and size == at + 2
        covered = data[10 + size:end]
    if not ok:
        errors.append(f"{path.name}: extended header {ext[:16].hex()}")
    if zlib.crc32(covered) != crc:
        errors.append(f"{path.name}: CRC {crc:#x}, the frames' is {zlib.crc32(covered):#x}")


def check_frame(name, tags, version, frame, errors):
    frame_id, status, fmt, payload = frame
    where = f"{name}: {frame_id} of {len(payload)} bytes"
    if frame_id == "PRIV":
        owner, data = payload.split(b"\0", 1)
        found = [f for f in tags.getall("PRIV") if f.owner == owner.decode("latin-1")]
        if len(found) != 1 or found[0].data != data:
            errors.append(f"{where}: mutagen read {found!r}")
    elif frame_id.startswith("T"):
        found = tags.getall(frame_id)
        text = payload[1:].decode("latin-1")
        if len(found) != 1 or found[0].text != [text]:
            errors.append(f"{where}: mutagen read {found!r}")
    elif frame_id == "APIC":
        mime, rest = payload[1:].split(b"\0", 1)
        kind, (desc, data) = rest[0], rest[1:].split(b"\0", 1)
        found = tags.getall("APIC")
        if len(found) != 1 or (found[0].mime, found[0].type, found[0].desc, found[0].data) != (
                mime.decode(), kind, desc.decode(), data):
            errors.append(f"{where}: mutagen read {found!r}")
    elif frame_id == "COMM":
        lang, (desc, text) = payload[1:4], payload[4:].split(b"\0", 1)
        found = tags.getall("COMM")
        if len(found) != 1 or (found[0].lang, found[0].desc, found[0].text) != (
                lang.decode(), desc.decode(), [text.decode("latin-1")]):
            errors.append(f"{where}: mutagen read {found!r}")
    else:
        check_unknown(where, tags, version, frame, errors)


def check_unknown(where, tags, version, frame, errors):
    frame_id, status, fmt, payload = frame
    raw = [r for r in tags.unknown_frames if r[:4] == frame_id.encode()]
    if len(raw) != 1:
        errors.append(f"{where}: mutagen kept {len(raw)} raw frames")
        return
    header, data = raw[0][:10], raw[0][10:]
    if header[8] != status_byte(version, status) or header[9] != 0 or data != payload:
        errors.append(f"{where}: raw frame header {header.hex()}")


def main():
    program = sys.argv[1]
    with tempfile.TemporaryDirectory() as temp:
        folder = Path(temp)
        subprocess.run([program, str(folder)], check=True)
        files, frames = read_manifest(folder)
        errors = []
        for name, (version, flags) in files.items():
            path = folder / name
            check_header(path, version, flags, errors)
            if flags & 2:
                check_extended_header(path, version, errors)
            tags = ID3(str(path), translate=False)
            if tags.version[:2] != (2, version):
                errors.append(f"{name}: mutagen read version {tags.version}")
            for frame in frames[name]:
                if frame[3]:
                    check_frame(name, tags, version, frame, errors)
            print(f"{name}: {len(frames[name])} frames checked")
    for error in errors:
        print("MISMATCH", error)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
