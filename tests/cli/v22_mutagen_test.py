#!/usr/bin/env python3
"""An ID3v2.2 tag built byte by byte with a frame of every kind that has a later equivalent,
read by `tagscope dump --json` and by mutagen, another ID3 library; then `tagscope set` on it,
whose ID3v2.3 result mutagen reads back.

Usage: v22_mutagen_test.py PATH-TO-tagscope
Exits 77 (skipped) when mutagen is not installed.
"""
import json
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path
import dump_schema

try:
    from mutagen.id3 import ID3
except ImportError:
    print("mutagen is not installed: skipped")
    sys.exit(77)

TAGSCOPE = None
JPEG = b"\xff\xd8\xff\xe0" + bytes(range(60))
PNG = b"\x89PNG\r\n\x1a\n" + bytes(range(40))


def text(value, encoding=0):
    return bytes([encoding]) + value.encode("latin-1")


# (v2.2 ID, payload) in file order: one frame of every kind, two of a few.
FRAMES = [
    ("TT2", text("A title")), ("TP1", text("An artist")), ("TAL", text("An album")),
    ("TYE", text("1999")), ("TRK", text("3/12")), ("TCO", text("(17)Rock")),
    ("TT1", text("Group")), ("TT3", text("Subtitle")), ("TP2", text("Band")),
    ("TP3", text("Conductor")), ("TP4", text("Remixer")), ("TCM", text("Composer")),
    ("TXT", text("Lyricist")), ("TLA", text("eng")), ("TCR", text("2000 Someone")),
    ("TPB", text("Publisher")), ("TEN", text("Encoder")), ("TSS", text("Settings")),
    ("TOF", text("orig.mp3")), ("TLE", text("180000")), ("TSI", text("123456")),
    ("TDY", text("10")), ("TKE", text("Am")), ("TOT", text("Original album")),
    ("TOA", text("Original artist")), ("TOL", text("Original lyricist")), ("TOR", text("1970")),
    ("TPA", text("1/2")), ("TRC", text("USABC0000001")), ("TRD", text("June 1999")),
    ("TDA", text("0106")), ("TIM", text("1230")), ("TBP", text("120")), ("TMT", text("CD")),
    ("TFT", text("MPG/3")), ("TCP", text("1")), ("TST", text("Title sort")),
    ("TSP", text("Artist sort")), ("TSA", text("Album sort")), ("TS2", text("Band sort")),
    ("TSC", text("Composer sort")), ("GP1", text("Grouping")), ("MVN", text("Movement")),
    ("MVI", text("2")),
    ("TXX", text("desc\0value")),
    ("COM", b"\0eng" + b"\0" + b"A comment"), ("COM", b"\0deu" + b"Named\0" + b"Ein Kommentar"),
    ("ULT", b"\0eng" + b"Lyrics\0" + b"la la la"),
    ("WXX", b"\0" + b"Home\0" + b"http://example.com/"),
    ("WAF", b"http://example.com/file"), ("WAR", b"http://example.com/artist"),
    ("WAS", b"http://example.com/source"), ("WCM", b"http://example.com/buy"),
    ("WCP", b"http://example.com/copyright"), ("WPB", b"http://example.com/publisher"),
    ("PIC", b"\0JPG\x03Front\0" + JPEG), ("PIC", b"\0PNG\x04Back\0" + PNG),
    ("UFI", b"http://owner\0" + b"ID-123"), ("CNT", b"\0\0\0\x07"),
    ("POP", b"someone@example.com\0" + b"\x80" + b"\0\0\0\x05"),
    ("GEO", b"\0" + b"text/plain\0" + b"a.txt\0" + b"A file\0" + b"contents"),
    ("LNK", b"TT2" + b"http://example.com/link\0"),
    ("BUF", b"\0\x10\0" + b"\0" + b"\0\0\0\0"),
    ("CRA", b"http://owner\0" + b"\0\0" + b"\0\0" + b"data"),
    ("ETC", b"\x02" + b"\x01" + b"\0\0\0\x10"),
    ("EQU", b"\x10" + b"\x80\x10" + b"\0\x20"),
    ("IPL", b"\0" + b"role\0name\0"),
    ("MCI", b"\0\1\2\3"),
    ("MLL", b"\0\1" + b"\0\0\1" + b"\0\0\1" + b"\x08" + b"\x08"),
    ("REV", bytes(12)),
    ("RVA", b"\x03\x10" + bytes(8)),
    ("SLT", b"\0eng\x02\x01" + b"Desc\0" + b"line\0" + b"\0\0\0\x10"),
    ("STC", b"\x02" + b"\x10" + b"\0\0\0\x10"),
]
# No later version has a frame for encrypted meta data.
UNCONVERTIBLE = [("CRM", b"owner\0" + b"Explanation\0" + b"data")]


def tag(frames, padding=64):
    body = b"".join(fid.encode() + struct.pack(">I", len(p))[1:] + p for fid, p in frames)
    body += bytes(padding)
    size = len(body)
    syncsafe = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
    return b"ID3\x02\x00\x00" + syncsafe + body


AUDIO = b"\xff\xfb\x90\x64" + bytes(413)


# mutagen keeps EQU among its unknown frames and drops CRM; what tagscope makes of them.
NOT_IN_MUTAGEN = {"EQU": "EQUA", "CRM": "CRM"}


def dump(path):
    out = subprocess.run([TAGSCOPE, "dump", "--json", str(path)], capture_output=True, text=True)
    if out.returncode != 0:
        raise AssertionError(out.stderr)
    return dump_schema.loads(out.stdout)


class Version22Test(unittest.TestCase):
    def setUp(self):
        self.folder = Path(tempfile.mkdtemp(prefix="tagscope-v22-"))
        self.file = self.folder / "v22.mp3"
        self.file.write_bytes(tag(FRAMES + UNCONVERTIBLE) + AUDIO * 4)

    def tearDown(self):
        shutil.rmtree(self.folder)

    def test_frames_and_fields_read_as_mutagen_reads_them(self):
        d = dump(self.file)
        self.assertEqual(d["tag"]["version"], 2)
        self.assertTrue(d["tag"]["read"]["complete"], d["tag"]["read"]["problem"])
        ours = [f["id"] for f in d["frames"]]
        built = FRAMES + UNCONVERTIBLE
        self.assertEqual(len(ours), len(built))
        raw = ID3(str(self.file), translate=False)
        # mutagen gives the frames their later IDs as it reads them.
        self.assertEqual([i for (fid, _), i in zip(built, ours) if fid not in NOT_IN_MUTAGEN],
                         [type(f).__name__ for f in raw.values()])
        self.assertEqual([i for (fid, _), i in zip(built, ours) if fid in NOT_IN_MUTAGEN],
                         list(NOT_IN_MUTAGEN.values()))
        for f, (fid, payload) in zip(d["frames"], FRAMES):
            if fid not in ("PIC", "LNK"):
                self.assertEqual(f["size"], len(payload), fid)

        fields = d["fields"]
        for key, fid in (("title", "TIT2"), ("artist", "TPE1"), ("album", "TALB"),
                         ("year", "TYER"), ("track", "TRCK"), ("subTitle", "TIT3"),
                         ("encodedBy", "TENC"), ("genre", "TIT1")):
            self.assertEqual(fields[key], raw.getall(fid)[0].text[0], key)
        comments = sorted((c["language"], c["description"], c["text"]) for c in d["comments"])
        theirs = sorted((c.lang, c.desc, c.text[0]) for c in raw.getall("COMM"))
        self.assertEqual(comments, theirs)
        self.assertEqual([(u["description"], u["url"]) for u in d["urls"]],
                         [(u.desc, u.url) for u in raw.getall("WXXX")])
        # Translating, mutagen turns the image formats into MIME types.
        pictures = ID3(str(self.file)).getall("APIC")
        self.assertEqual([(p["mimeType"], p["pictureType"], p["description"], p["size"])
                          for p in d["pictures"]],
                         [(p.mime, p.type, p.desc, len(p.data)) for p in pictures])

    def test_set_refuses_frames_without_equivalent_and_writes_version_3_without_them(self):
        before = self.file.read_bytes()
        out = subprocess.run([TAGSCOPE, "set", str(self.file), "--title", "New"],
                             capture_output=True, text=True)
        self.assertNotEqual(out.returncode, 0)
        self.assertIn("CRM", out.stderr)
        self.assertEqual(self.file.read_bytes(), before)

        self.file.write_bytes(tag(FRAMES) + AUDIO * 4)
        ids = [f["id"] for f in dump(self.file)["frames"]]
        out = subprocess.run([TAGSCOPE, "set", str(self.file), "--title", "New"],
                             capture_output=True, text=True)
        self.assertEqual(out.returncode, 0, out.stderr)
        data = self.file.read_bytes()
        self.assertEqual(data[:4], b"ID3\x03")
        self.assertTrue(data.endswith(AUDIO * 4))
        tags = ID3(str(self.file), translate=False)
        self.assertEqual(tags.version, (2, 3, 0))
        self.assertEqual(tags.getall("TIT2")[0].text[0], "New")
        written = sorted(type(f).__name__ for f in tags.values())
        # mutagen cannot parse the ID3v2.3 form of the equalisation frame; it is there.
        self.assertEqual(written, sorted(i for i in ids if i != "EQUA"))
        self.assertIn(b"EQUA\0\0\0\x05\0\0\x10\x80\x10\0 ", data)
        self.assertEqual(tags.getall("TYER")[0].text[0], "1999")
        self.assertEqual([p.mime for p in tags.getall("APIC")], ["image/jpeg", "image/png"])
        self.assertEqual(tags.getall("LINK")[0].frameid, "TIT2")

    def test_a_dump_copied_into_a_version_4_tag_is_converted(self):
        # A comment whose text ends in its terminator, which version 4 reads as a second value.
        self.file.write_bytes(tag(FRAMES + UNCONVERTIBLE + [("COM", b"\0eng" + b"T\0" + b"1\0")])
                              + AUDIO * 4)
        dumped = subprocess.run([TAGSCOPE, "dump", "--json", "--binary", str(self.file)],
                                capture_output=True, check=True).stdout
        target = self.folder / "v24.mp3"
        target.write_bytes(b"ID3\x04\0\0\0\0\x0bTIT2\0\0\0\x01\0\0\0" + AUDIO * 4)
        before = target.read_bytes()
        out = subprocess.run([TAGSCOPE, "set", str(target), "--from-json", "-"], input=dumped,
                             capture_output=True)
        self.assertEqual(out.returncode, 1)
        self.assertIn(b"CRM", out.stderr)
        self.assertEqual(target.read_bytes(), before)
        out = subprocess.run([TAGSCOPE, "set", str(target), "--from-json", "-", "--force"],
                             input=dumped, capture_output=True)
        self.assertEqual(out.returncode, 0, out.stderr)
        for dropped in (b"CRM", b"RVAD", b"EQUA", b"TSIZ", b"TRDA"):
            self.assertIn(dropped, out.stderr)
        tags = ID3(str(target), translate=False)
        self.assertEqual(tags.version, (2, 4, 0))
        self.assertFalse({"TYER", "TDAT", "TIME", "TORY", "IPLS", "RVAD", "TRDA", "TSIZ"}
                         & {f.FrameID for f in tags.values()})
        self.assertEqual((str(tags["TDRC"]), str(tags["TDOR"])), ("1999-06-01 12:30", "1970"))
        self.assertEqual(tags.getall("TIPL")[0].people, [["role", "name"]])
        self.assertEqual(tags["COMM:T:eng"].text, ["1"])


if __name__ == "__main__":
    TAGSCOPE = sys.argv.pop(1)
    unittest.main()
