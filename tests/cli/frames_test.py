#!/usr/bin/env python3
"""Every frame kind read back through `tagscope dump --json`: frames written by mutagen (ID3v2.4
and ID3v2.3) compared with mutagen's own decoding, frames built byte by byte where mutagen
writes none, damaged content reported without being fatal, and the set verb's frame options
read back by mutagen. Every dump is checked against the installed JSON Schema."""
import base64
import hashlib
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

import dump_schema
from tool_run import run

try:
    import mutagen.id3 as id3
except ImportError:
    print("mutagen is not installed: skipped")
    sys.exit(77)

TOOL, EXAMPLE = sys.argv[1], sys.argv[2]
del sys.argv[1:3]


def audio():
    data = open(EXAMPLE, "rb").read()
    return data[10 + ((data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9]):]


def sync_safe(v):
    return bytes([(v >> 21) & 0x7F, (v >> 14) & 0x7F, (v >> 7) & 0x7F, v & 0x7F])


def raw_tag(frames, version=3):
    size = (lambda n: n.to_bytes(4, "big")) if version == 3 else sync_safe
    body = b"".join(fid.encode() + size(len(p)) + b"\0\0" + p for fid, p in frames)
    return bytes([0x49, 0x44, 0x33, version, 0, 0]) + sync_safe(len(body)) + body


class FileCase(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="tagscope-frames-")
        self.file = os.path.join(self.folder, "song.mp3")
        with open(self.file, "wb") as f:
            f.write(audio())

    def tearDown(self):
        shutil.rmtree(self.folder)

    def write_raw(self, frames, version=3):
        with open(self.file, "wb") as f:
            f.write(raw_tag(frames, version) + audio())

    def dump(self, *options):
        result = run("dump", "--json", *options, self.file)
        self.assertEqual(result.returncode, 0, result.stderr)
        return dump_schema.loads(result.stdout)

    def contents(self, *options):
        return [(f["id"], f["kind"], f["content"], f.get("problems")) for f in self.dump(*options)["frames"]]


def data_of(field):
    """The bytes of a binary field of a dump made with --binary, their hash checked."""
    data = base64.b64decode(field["base64"])
    assert field["size"] == len(data) and field["sha256"] == hashlib.sha256(data).hexdigest()
    return data


# What each mutagen frame's decoding says, in the dump's keys.
def expected(frame):
    name = type(frame).__name__
    if name in ("TIPL", "TMCL", "IPLS"):
        return {"people": [list(p) for p in frame.people]}
    if name == "TXXX":
        return {"description": frame.desc, "text": list(frame.text)}
    if name == "WXXX":
        return {"description": frame.desc, "url": frame.url}
    if name.startswith("W"):
        return {"url": frame.url}
    if name.startswith("T") or name in ("GRP1", "MVNM", "MVIN"):
        return {"text": [str(t) for t in frame.text]}
    table = {
        "COMM": lambda f: {"language": f.lang, "description": f.desc, "text": list(f.text)},
        "USLT": lambda f: {"language": f.lang, "description": f.desc, "text": f.text},
        "USER": lambda f: {"language": f.lang, "text": f.text},
        "SYLT": lambda f: {"language": f.lang, "timestampFormat": f.format, "contentType": f.type,
                           "description": f.desc,
                           "lines": [{"text": t, "time": ms} for t, ms in f.text]},
        "ETCO": lambda f: {"timestampFormat": f.format,
                           "events": [{"type": t, "time": ms} for t, ms in f.events]},
        "MLLT": lambda f: {"framesBetweenReferences": f.frames, "bytesBetweenReferences": f.bytes,
                           "msBetweenReferences": f.milliseconds,
                           "bitsForBytesDeviation": f.bits_for_bytes,
                           "bitsForMsDeviation": f.bits_for_milliseconds, "references": f.data},
        "MCDI": lambda f: {"data": f.data},
        "UFID": lambda f: {"owner": f.owner, "data": f.data},
        "PRIV": lambda f: {"owner": f.owner, "data": f.data},
        "GEOB": lambda f: {"mimeType": f.mime, "fileName": f.filename, "description": f.desc,
                           "data": f.data},
        "APIC": lambda f: {"mimeType": f.mime, "pictureType": f.type, "description": f.desc,
                           "data": f.data},
        "PCNT": lambda f: {"counter": f.count},
        "POPM": lambda f: {"email": f.email, "rating": f.rating, "counter": f.count},
        "RBUF": lambda f: {"bufferSize": f.size, "embeddedInfo": f.info,
                           "nextTagOffset": f.offset},
        "AENC": lambda f: {"owner": f.owner, "previewStart": f.preview_start,
                           "previewLength": f.preview_length, "data": f.data},
        "LINK": lambda f: {"frameId": f.frameid, "url": f.url, "data": f.data},
        "POSS": lambda f: {"timestampFormat": f.format, "position": f.position},
        "OWNE": lambda f: {"price": f.price, "date": f.date, "seller": f.seller},
        "COMR": lambda f: {"price": f.price, "validUntil": f.valid_until, "contactUrl": f.contact,
                           "receivedAs": f.format, "seller": f.seller, "description": f.desc,
                           "logoMimeType": f.mime, "logo": f.logo},
        "ENCR": lambda f: {"owner": f.owner, "symbol": f.method, "data": f.data},
        "GRID": lambda f: {"owner": f.owner, "symbol": f.group, "data": f.data},
        "SIGN": lambda f: {"group": f.group, "signature": f.sig},
        "SEEK": lambda f: {"offset": f.offset},
        "ASPI": lambda f: {"dataStart": f.S, "dataLength": f.L, "pointCount": f.N,
                           "bitsPerPoint": f.b, "points": list(f.Fi)},
        "RVA2": lambda f: {"identification": f.desc, "channels": [
            {"channel": f.channel, "adjustment": round(f.gain * 512), "peakBits": 16,
             "peak": round(f.peak * 32768)}]},
        "EQU2": lambda f: {"interpolation": f.method, "identification": f.desc, "points": [
            {"frequency": round(hz * 2), "adjustment": round(db * 512)}
            for hz, db in f.adjustments]},
        "RVRB": lambda f: {"left": f.left, "right": f.right, "bouncesLeft": f.bounce_left,
                           "bouncesRight": f.bounce_right, "feedbackLeftToLeft": f.feedback_ltl,
                           "feedbackLeftToRight": f.feedback_ltr,
                           "feedbackRightToRight": f.feedback_rtr,
                           "feedbackRightToLeft": f.feedback_rtl,
                           "premixLeftToRight": f.premix_ltr, "premixRightToLeft": f.premix_rtl},
        "RVAD": lambda f: {"adjustments": list(f.adjustments)},
        "PCST": lambda f: {"value": f.value},
        "CHAP": lambda f: {"elementId": f.element_id, "startTime": f.start_time,
                           "endTime": f.end_time, "startOffset": f.start_offset,
                           "endOffset": f.end_offset},
        "CTOC": lambda f: {"elementId": f.element_id, "flags": int(f.flags),
                           "entryCount": len(f.child_element_ids),
                           "children": list(f.child_element_ids)},
    }
    return table[name](frame)


def same(test, content, want, where):
    for key, value in want.items():
        test.assertIn(key, content, where)
        got = content[key]
        if isinstance(value, bytes):
            got = data_of(got)
        test.assertEqual(got, value, "%s: %s" % (where, key))


def common_frames(enc):
    cover = b"\x89PNG\r\n\x1a\n" + bytes(range(256)) * 3
    return [
        id3.TIT2(encoding=enc, text=["Title", "Second title"]), id3.TPE2(encoding=enc, text=["Band ✓"]),
        id3.TPOS(encoding=enc, text=["1/2"]), id3.TBPM(encoding=enc, text=["120"]),
        id3.TCOM(encoding=enc, text=["Bach"]), id3.TSRC(encoding=enc, text=["USRC17607839"]),
        id3.TCMP(encoding=enc, text=["1"]), id3.TSO2(encoding=enc, text=["Band, The"]),
        id3.TSOC(encoding=enc, text=["Bach, J. S."]), id3.GRP1(encoding=enc, text=["Group"]),
        id3.MVNM(encoding=enc, text=["Allegro"]), id3.MVIN(encoding=enc, text=["1/3"]),
        id3.TDES(encoding=enc, text=["About"]), id3.TGID(encoding=enc, text=["guid-1"]),
        id3.TKWD(encoding=enc, text=["a,b"]), id3.TCAT(encoding=enc, text=["Tech"]),
        id3.TXXX(encoding=enc, desc="REPLAYGAIN_TRACK_GAIN", text=["-6.48 dB"]),
        id3.WOAR(url="https://example.org/artist"), id3.WFED(url="https://example.org/feed"),
        id3.WXXX(encoding=enc, desc="Home", url="https://example.org/"),
        id3.COMM(encoding=enc, lang="eng", desc="Notes", text=["Ein Kommentar ✓"]),
        id3.USLT(encoding=enc, lang="deu", desc="Vers", text="Zeile eins\nZeile zwei"),
        id3.SYLT(encoding=enc, lang="eng", format=2, type=1, desc="Sync",
                 text=[("Hello", 1000), ("World ✓", 2500)]),
        id3.ETCO(format=2, events=[(2, 0), (3, 1500), (0x10, 99000)]),
        id3.MLLT(frames=1, bytes=417, milliseconds=26, bits_for_bytes=8,
                 bits_for_milliseconds=8, data=b"\x01\x02\x03\x04"),
        id3.MCDI(data=b"\x00\x12\x01\x01" + bytes(20)),
        id3.UFID(owner="http://musicbrainz.org", data=b"5b11f4ce-a62d-471e-81fc-a69a8278c7da"),
        id3.PRIV(owner="WM/MediaClassPrimaryID", data=bytes(range(16))),
        id3.GEOB(encoding=enc, mime="text/plain", filename="notes.txt", desc="Notes",
                 data=b"some notes"),
        id3.APIC(encoding=enc, mime="image/png", type=3, desc="Cover", data=cover),
        id3.PCNT(count=12345), id3.POPM(email="me@example.org", rating=196, count=7),
        id3.RBUF(size=4096, info=1, offset=1234), id3.AENC(owner="me", preview_start=1,
                                                          preview_length=2, data=b"key"),
        id3.LINK(frameid="WCOM", url="https://example.org/link", data=b"extra"),
        id3.POSS(format=2, position=31337),
        id3.USER(encoding=enc, lang="eng", text="Terms"),
        id3.OWNE(encoding=enc, price="USD9.99", date="20240102", seller="Shop"),
        id3.COMR(encoding=enc, price="EUR1.00", valid_until="20251231",
                 contact="https://shop.example", format=3, seller="Shop", desc="Song",
                 mime="image/png", logo=b"\x89PNGlogo"),
        id3.ENCR(owner="me@example.org", method=0x81, data=b"\x01"),
        id3.GRID(owner="me@example.org", group=0x82, data=b"\x02"),
        id3.PCST(value=0),
    ]


def v24_frames(enc):
    toc = id3.CTOC(element_id="toc", flags=3, child_element_ids=["ch1", "ch2"],
                   sub_frames=[id3.TIT2(encoding=enc, text=["Contents"])])
    chapters = [id3.CHAP(element_id="ch%d" % i, start_time=1000 * i, end_time=1000 * i + 999,
                         start_offset=0xFFFFFFFF, end_offset=0xFFFFFFFF,
                         sub_frames=[id3.TIT2(encoding=enc, text=["Chapter %d" % i]),
                                     id3.WXXX(encoding=enc, desc="", url="https://x.org/%d" % i)])
                for i in (1, 2)]
    return common_frames(enc) + [
        id3.TIPL(encoding=enc, people=[["producer", "P. Roducer"], ["mix", "M. Ixer"]]),
        id3.TMCL(encoding=enc, people=[["piano", "Pianist ✓"]]),
        id3.TCON(encoding=enc, text=["Rock", "Jazz"]),
        id3.RVA2(desc="track", channel=1, gain=-3.5, peak=0.5),
        id3.EQU2(method=1, desc="eq", adjustments=[(100.0, 2.0), (1000.5, -1.5)]),
        id3.RVRB(left=10, right=20, bounce_left=1, bounce_right=2, feedback_ltl=3,
                 feedback_ltr=4, feedback_rtr=5, feedback_rtl=6, premix_ltr=7, premix_rtl=8),
        id3.SIGN(group=0x83, sig=b"signature"), id3.SEEK(offset=123456),
        id3.ASPI(S=10, L=1000, N=3, b=16, Fi=[1, 500, 65535]),
        toc] + chapters


class MutagenFramesTest(FileCase):
    def save(self, frames, version):
        tag = id3.ID3()
        for frame in frames:
            tag.add(frame)
        tag.save(self.file, v2_version=version)
        return id3.ID3(self.file, translate=False)

    def check_against_mutagen(self, tag):
        dumped = self.contents("--binary")
        by_key = {}
        for f in tag.values():
            by_key.setdefault(type(f).__name__, []).append(f)
        for fid, kind, content, problems in dumped:
            self.assertIsNone(problems, fid)
            self.assertNotIn("rest", content, fid)
            theirs = by_key[fid].pop(0)
            same(self, content, expected(theirs), fid)
            if fid in ("CHAP", "CTOC"):
                subs = [(s["id"], s["content"]) for s in content["frames"]]
                self.assertEqual([s[0] for s in subs], [type(s).__name__ for s in theirs.sub_frames.values()])
                for (sid, sub), their in zip(subs, theirs.sub_frames.values()):
                    same(self, sub, expected(their), fid + "/" + sid)
        self.assertEqual([k for k, v in by_key.items() if v], [])

    def test_every_kind_of_id3v24_in_every_encoding(self):
        for enc in (0, 1, 2, 3):
            with self.subTest(encoding=enc):
                frames = v24_frames(enc)
                if enc == 0:  # characters ISO-8859-1 lacks need another encoding
                    for f in frames:
                        for attr in ("text", "desc", "seller"):
                            v = getattr(f, attr, None)
                            if isinstance(v, str):
                                setattr(f, attr, v.replace("✓", "v"))
                            elif isinstance(v, list) and v and isinstance(v[0], str):
                                setattr(f, attr, [t.replace("✓", "v") for t in v])
                            elif isinstance(v, list) and v and isinstance(v[0], tuple):
                                setattr(f, attr, [(t.replace("✓", "v"), ms) for t, ms in v])
                        if hasattr(f, "people"):
                            f.people = [[a, b.replace("✓", "v")] for a, b in f.people]
                self.check_against_mutagen(self.save(frames, 4))

    def test_every_kind_of_id3v23_with_its_own_frames(self):
        frames = common_frames(1) + [
            id3.IPLS(encoding=1, people=[["producer", "P. Roducer"]]),
            id3.RVAD(adjustments=[-10, 20, 300, 400])]
        self.check_against_mutagen(self.save(frames, 3))

    def test_text_dump_names_and_shows_every_frame(self):
        self.save(v24_frames(3), 4)
        result = run("dump", self.file)
        self.assertEqual(result.returncode, 0, result.stderr)
        text = result.stdout.decode("utf-8")
        for line in ["  CHAP  Chapter, ", "  CTOC  Table of contents, ", "  APIC  Attached picture, ",
                     "  TCMP  Compilation, ", "TIT2 Title: Chapter 1", "TIPL  Involved people list",
                     "producer: P. Roducer; mix: M. Ixer", '"Rock" / "Jazz"',
                     "adjustment -3.50 dB", "rating 196, counter 7", 'bytes: "Title" / "Second title"']:
            self.assertIn(line, text)
        frame_lines = [l for l in text.splitlines() if l.startswith("  ") and ", " in l and " bytes" in l]
        self.assertTrue(all(": " in l for l in frame_lines))


# Frames mutagen writes none of, or only in another form, byte by byte.
class BuiltFramesTest(FileCase):
    def test_frames_of_id3v23_built_byte_by_byte(self):
        self.write_raw([
            ("EQUA", b"\x10" + b"\x80\x64" + b"\x01\x00" + b"\x03\xe8" + b"\x00\x80"),
            ("SYTC", b"\x02" + b"\x78" + struct.pack(">I", 0) + b"\xff\x05" + struct.pack(">I", 500)),
            ("WFED", b"\x00https://example.org/feed.xml"),
            ("TPE1", b"\x01\xff\xfeA\x00\x00\x00\xff\xfeB\x00"),
        ])
        frames = self.contents()
        self.assertEqual(frames[0][2]["points"], [{"frequency": 100, "adjustment": 256},
                                                  {"frequency": 1000, "adjustment": -128}])
        self.assertEqual(frames[1][2]["tempi"], [{"tempo": 120, "time": 0}, {"tempo": 260, "time": 500}])
        self.assertEqual(frames[2][2]["url"], "https://example.org/feed.xml")
        self.assertEqual(frames[3][2]["text"], ["A", "B"])

    def test_every_kind_built_byte_by_byte_as_the_standard_lays_it_out(self):
        u16 = lambda t: b"\xff\xfe" + t.encode("utf-16-le")
        be = lambda n, w: n.to_bytes(w, "big")
        sub = b"TIT2" + be(4, 4) + b"\0\0" + b"\0One"
        cases = [
            ("TXXX", b"\x01" + u16("Key") + b"\0\0" + u16("Wert"), {"description": "Key", "text": ["Wert"]}),
            ("WXXX", b"\x00Home\x00http://h", {"description": "Home", "url": "http://h"}),
            ("COMM", b"\x00engDesc\x00Text", {"language": "eng", "description": "Desc", "text": ["Text"]}),
            ("USLT", b"\x03deu\x00Zeile\nZwei", {"language": "deu", "description": "", "text": "Zeile\nZwei"}),
            ("USER", b"\x00engTerms", {"language": "eng", "text": "Terms"}),
            ("SYLT", b"\x00eng\x02\x01D\x00Hi\x00" + be(1500, 4),
             {"timestampFormat": 2, "contentType": 1, "description": "D", "lines": [{"text": "Hi", "time": 1500}]}),
            ("ETCO", b"\x02\x03" + be(7, 4), {"timestampFormat": 2, "events": [{"type": 3, "time": 7}]}),
            ("MLLT", be(1, 2) + be(417, 3) + be(26, 3) + b"\x08\x08\xab",
             {"framesBetweenReferences": 1, "bytesBetweenReferences": 417, "msBetweenReferences": 26,
              "bitsForBytesDeviation": 8, "bitsForMsDeviation": 8, "references": b"\xab"}),
            ("MCDI", b"\x01\x02", {"data": b"\x01\x02"}),
            ("UFID", b"owner\x00id-1", {"owner": "owner", "data": b"id-1"}),
            ("PRIV", b"o\x00\xff", {"owner": "o", "data": b"\xff"}),
            ("GEOB", b"\x00text/plain\x00a.txt\x00D\x00xyz",
             {"mimeType": "text/plain", "fileName": "a.txt", "description": "D", "data": b"xyz"}),
            ("APIC", b"\x00IMAGE/PNG\x00\x04\x00\x89P", {"mimeType": "IMAGE/PNG", "pictureType": 4,
                                                        "description": "", "data": b"\x89P"}),
            ("PCNT", be(2**40, 6), {"counter": 2**40}),
            ("POPM", b"e\x00\xff" + be(9, 4), {"email": "e", "rating": 255, "counter": 9}),
            ("RBUF", be(4096, 3) + b"\x01", {"bufferSize": 4096, "embeddedInfo": 1}),
            ("AENC", b"o\x00" + be(1, 2) + be(2, 2) + b"k", {"owner": "o", "previewStart": 1, "previewLength": 2, "data": b"k"}),
            ("LINK", b"WCOMhttp://l\x00x", {"frameId": "WCOM", "url": "http://l", "data": b"x"}),
            ("POSS", b"\x02" + be(5, 4), {"timestampFormat": 2, "position": 5}),
            ("OWNE", b"\x00USD1\x0020240101Shop", {"price": "USD1", "date": "20240101", "seller": "Shop"}),
            ("COMR", b"\x00EUR1\x0020251231http://c\x00\x03S\x00D\x00image/png\x00L",
             {"price": "EUR1", "validUntil": "20251231", "contactUrl": "http://c", "receivedAs": 3,
              "seller": "S", "description": "D", "logoMimeType": "image/png", "logo": b"L"}),
            ("ENCR", b"o\x00\x81d", {"owner": "o", "symbol": 0x81, "data": b"d"}),
            ("GRID", b"o\x00\x82d", {"owner": "o", "symbol": 0x82, "data": b"d"}),
            ("SIGN", b"\x83sig", {"group": 0x83, "signature": b"sig"}),
            ("SEEK", be(123456, 4), {"offset": 123456}),
            ("ASPI", be(10, 4) + be(1000, 4) + be(2, 2) + b"\x08\x01\xff",
             {"dataStart": 10, "dataLength": 1000, "pointCount": 2, "bitsPerPoint": 8, "points": [1, 255]}),
            ("RVA2", b"track\x00\x01\xf9\x00\x10\x40\x00",
             {"identification": "track", "channels": [{"channel": 1, "adjustment": -1792, "peakBits": 16, "peak": 0x4000}]}),
            ("EQU2", b"\x01eq\x00" + be(200, 2) + be(1024, 2),
             {"interpolation": 1, "identification": "eq", "points": [{"frequency": 200, "adjustment": 1024}]}),
            ("RVRB", be(10, 2) + be(20, 2) + bytes(range(1, 9)),
             {"left": 10, "right": 20, "bouncesLeft": 1, "premixRightToLeft": 8}),
            ("RVAD", b"\x02\x08\x0a\x14", {"flags": 2, "bits": 8, "adjustments": [-10, 20]}),
            ("IPLS", b"\x00producer\x00P\x00", {"people": [["producer", "P"]]}),
            ("PCST", bytes(4), {"value": 0}),
            ("CTOC", b"toc\x00\x03\x01ch1\x00" + sub,
             {"elementId": "toc", "flags": 3, "entryCount": 1, "children": ["ch1"]}),
            ("CHAP", b"ch1\x00" + be(0, 4) + be(5, 4) + b"\xff" * 8 + sub,
             {"elementId": "ch1", "startTime": 0, "endTime": 5, "startOffset": 2**32 - 1}),
        ]
        self.write_raw([(fid, payload) for fid, payload, _ in cases])
        frames = self.dump("--binary")["frames"]
        self.assertEqual([f["id"] for f in frames], [c[0] for c in cases])
        for frame, (fid, _, want) in zip(frames, cases):
            with self.subTest(frame=fid):
                self.assertNotIn("problems", frame)
                same(self, frame["content"], want, fid)
                if fid in ("CHAP", "CTOC"):
                    self.assertEqual(frame["content"]["frames"][0]["content"]["text"], ["One"])

    def test_damaged_content_of_each_kind_is_reported_and_kept(self):
        cases = [
            ("TIT2", b"", "the content ends before its text encoding"),
            ("TIT2", b"\x07abc", "unknown text encoding 7"),
            ("COMM", b"\x00en", "ends inside its language"),
            ("COMM", b"\x00engno terminator", "description has no terminator"),
            ("APIC", b"\x00image/png", "mime type has no terminator"),
            ("POPM", b"me@example.org", "email has no terminator"),
            ("SYLT", b"\x00eng\x02\x01\x00line\x00\x00\x00", "ends inside its time"),
            ("ETCO", b"\x02\x03\x00\x00", "ends inside its time"),
            ("RVA2", b"track\x00\x01\xf9", "ends inside its adjustment"),
            ("ASPI", struct.pack(">IIHB", 0, 0, 4, 16) + b"\x00\x01", "run past its end"),
            ("CHAP", b"ch1\x00" + bytes(16) + b"TIT2garbage", "end in bytes that are no frame"),
            ("SEEK", b"\x00\x00\x01\x00extra", "bytes follow the content"),
            ("TIPL", b"\x00producer", "last role has no name"),
            ("RVAD", b"\x03\x00", "0 bits"),
        ]
        self.write_raw([(fid, payload) for fid, payload, _ in cases])
        frames = self.dump("--binary")["frames"]
        self.assertEqual(len(frames), len(cases))
        for frame, (fid, payload, problem) in zip(frames, cases):
            with self.subTest(frame=fid, problem=problem):
                self.assertIn("problems", frame)
                self.assertIn(problem, " ".join(p["problem"] for p in frame["problems"]).lower())
                # What the decoder could not place is kept, not dropped.
                if "rest" in frame["content"]:
                    self.assertTrue(payload.endswith(data_of(frame["content"]["rest"])))
        text = run("dump", self.file)
        self.assertEqual(text.returncode, 0)
        self.assertIn(b"[damaged at byte", text.stdout)

    def test_hashes_only_when_asked(self):
        self.write_raw([("PRIV", b"owner\x00" + bytes(range(100)))])
        plain = self.dump()["frames"][0]["content"]["data"]
        hashed = self.dump("--hash")["frames"][0]["content"]["data"]
        self.assertEqual(plain, {"size": 100})
        self.assertEqual(hashed, {"size": 100, "sha256": hashlib.sha256(bytes(range(100))).hexdigest()})


class SetFramesTest(FileCase):
    def test_named_frames_read_back_by_mutagen(self):
        for version in ("--id3v2.4", "--id3v2.3"):
            with self.subTest(version=version):
                result = run("set", self.file, version, "--album-artist", "Die Band", "--disc", "1/2",
                             "--composer", "Bach ✓", "--bpm", "128", "--rating", "me@example.org=196:3",
                             "--lyrics", "deu:Vers=Hallo ✓", "--lyrics", "Other=Hi",
                             "--text", "TPE1=Singer", "--text", "TPE1=Guitarist ✓")
                self.assertEqual(result.returncode, 0, result.stderr)
                tag = id3.ID3(self.file)
                self.assertEqual(tag.version[1], 4 if version == "--id3v2.4" else 3)
                self.assertEqual(tag["TPE2"].text, ["Die Band"])
                self.assertEqual(tag["TPOS"].text, ["1/2"])
                self.assertEqual(tag["TCOM"].text, ["Bach ✓"])
                self.assertEqual(tag["TBPM"].text, ["128"])
                popm = tag.getall("POPM")
                self.assertEqual([(p.email, p.rating, p.count) for p in popm], [("me@example.org", 196, 3)])
                self.assertEqual(tag["USLT:Vers:deu"].text, "Hallo ✓")
                self.assertEqual(tag["USLT:Other:eng"].text, "Hi")
                want = ["Singer", "Guitarist ✓"] if version == "--id3v2.4" else ["Singer/Guitarist ✓"]
                self.assertEqual(tag["TPE1"].text, want)
                self.dump()

    def test_rating_keeps_its_count_and_lyrics_go_when_empty(self):
        run("set", self.file, "--rating", "me@example.org=10:42", "--lyrics", "Words=la la")
        self.assertEqual(run("set", self.file, "--rating", "me@example.org=250", "--lyrics", "Words=").returncode, 0)
        tag = id3.ID3(self.file)
        self.assertEqual([(p.rating, p.count) for p in tag.getall("POPM")], [(250, 42)])
        self.assertEqual(tag.getall("USLT"), [])

    def test_bad_values_are_refused_before_the_file_is_touched(self):
        before = open(self.file, "rb").read()
        for args in (["--rating", "me=256"], ["--rating", "me=x"], ["--rating", "me"],
                     ["--rating", "me=1:-3"], ["--bpm", "fast"], ["--lyrics", "no equals sign"],
                     ["--album-artist", "A", "--text", "TPE2=B"],
                     ["--rating", "a=1", "--rating", "a=2"]):
            with self.subTest(args=args):
                result = run("set", self.file, *args)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertTrue(result.stderr.startswith(b"tagscope: "), result.stderr)
        self.assertEqual(open(self.file, "rb").read(), before)


def tag_frames(path):
    """The frames of a file's ID3v2.3 or 2.4 tag as stored: ID, flag bytes and payload."""
    data = open(path, "rb").read()
    version = data[3]
    end = 10 + ((data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9])
    frames, at = [], 10
    while at + 10 <= end and data[at:at + 4].isalnum() and data[at:at + 4].isupper():
        raw = data[at + 4:at + 8]
        size = int.from_bytes(raw, "big") if version == 3 else \
            (raw[0] << 21) | (raw[1] << 14) | (raw[2] << 7) | raw[3]
        frames.append((data[at:at + 4], data[at + 8:at + 10], data[at + 10:at + 10 + size]))
        at += 10 + size
    return frames


# Every kind is written from its content.
WRITTEN = lambda f: True


class FromJsonTest(MutagenFramesTest):
    def copy_into(self, target, *options):
        dumped = run("dump", "--json", "--binary", self.file)
        self.assertEqual(dumped.returncode, 0, dumped.stderr)
        return subprocess.run([TOOL, "set", target, "--from-json", "-", *options],
                              input=dumped.stdout, capture_output=True, timeout=60)

    def target(self):
        path = os.path.join(self.folder, "target.mp3")
        with open(path, "wb") as f:
            f.write(raw_tag([("TIT2", b"\0Old"), ("TALB", b"\0Gone")], 4) + audio())
        return path

    # Every frame of one file comes out of the other byte for byte, in order, and mutagen
    # reads the same frames from both.
    def test_every_kind_is_copied_byte_for_byte(self):
        for version, frames in ((4, [f for f in v24_frames(1) if WRITTEN(f)]),
                                (3, common_frames(1) + [id3.IPLS(encoding=1, people=[["a", "b"]]),
                                                        id3.RVAD(adjustments=[-10, 20, 300, 400])]),
                                (4, [f for f in v24_frames(3) if WRITTEN(f)])):
            with self.subTest(version=version):
                frames = [f for f in frames if WRITTEN(f)]
                theirs = self.save(frames, version)
                target = self.target()
                result = self.copy_into(target)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(tag_frames(target), tag_frames(self.file))
                copied = id3.ID3(target, translate=False)
                self.assertEqual(copied.version[1], version)
                self.assertEqual([repr(f) for f in copied.values()], [repr(f) for f in theirs.values()])

    # Into a tag of the other version the frames read the same; texts take an encoding
    # ID3v2.3 has.
    def test_a_copy_into_another_version_reads_the_same(self):
        theirs = self.save([f for f in common_frames(3) if WRITTEN(f)], 4)
        target = self.target()
        self.assertEqual(self.copy_into(target, "--id3v2.3").returncode, 0)
        copied = id3.ID3(target, translate=False)
        self.assertEqual(copied.version[1], 3)
        self.assertEqual([f.FrameID for f in copied.values()], [f.FrameID for f in theirs.values()])
        for frame, other in zip(theirs.values(), copied.values()):
            self.assertNotEqual(getattr(other, "encoding", 0), 3, frame.FrameID)
            for attr in ("text", "desc", "url", "data", "owner", "mime", "people", "count", "seller"):
                if hasattr(frame, attr):
                    want = getattr(frame, attr)
                    # ID3v2.3 has no lists: their values are joined with "/"
                    if attr == "text" and frame.FrameID.startswith("T") and len(want) > 1:
                        want = ["/".join(want)]
                    self.assertEqual(getattr(other, attr), want, frame.FrameID)

    def test_what_cannot_be_written_is_refused_by_its_path_and_nothing_is_written(self):
        self.save([id3.TIT2(encoding=0, text=["T"]), id3.UFID(owner="o", data=b"id"),
                   id3.POPM(email="e", rating=1)], 4)
        good = json.loads(run("dump", "--json", "--binary", self.file).stdout)
        target = self.target()
        before = open(target, "rb").read()
        at = {f["id"]: i for i, f in enumerate(good["frames"])}
        cases = [("{", b"not well formed at byte"),
                 ("[]", b"(top)"),
                 (("UFID", "kind", "nonsense"), b"frames[%d].kind" % at["UFID"]),
                 (("UFID", "owner", "\u20ac"), b"frames[%d].content.owner" % at["UFID"]),
                 (("POPM", "rating", 300), b"frames[%d].content.rating" % at["POPM"]),
                 (("POPM", "rating", "high"), b"frames[%d].content.rating" % at["POPM"]),
                 (("TIT2", "id", "tit2"), b"frames[%d].id" % at["TIT2"]),
                 (("UFID", "data", {"size": 2}), b"frames[%d].content.data" % at["UFID"]),
                 (("TIT2", "kind", "bogus"), b"frames[%d].kind" % at["TIT2"]),
                 ("second TIT2", b"frames[%d].id: is TIT2 again" % len(at)),
                 (json.dumps(good) + "\n" + json.dumps(good), b"the dumps of several files")]
        for change, message in cases:
            with self.subTest(change=change):
                if change == "second TIT2":
                    doc = json.loads(json.dumps(good))
                    doc["frames"].append(doc["frames"][at["TIT2"]])
                    text = json.dumps(doc)
                elif isinstance(change, str):
                    text = change
                else:
                    doc = json.loads(json.dumps(good))
                    frame = doc["frames"][at[change[0]]]
                    node = frame if change[1] in ("kind", "id") else frame["content"]
                    node[change[1]] = change[2]
                    text = json.dumps(doc)
                result = subprocess.run([TOOL, "set", target, "--from-json", "-"], input=text.encode(),
                                        capture_output=True, timeout=60)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn(message, result.stderr)
        self.assertEqual(open(target, "rb").read(), before)

    # Frames of any ID by hand, read back by mutagen; other options apply after --from-json.
    def test_frames_of_any_id_set_by_hand(self):
        self.save([id3.TIT2(encoding=0, text=["T"]), id3.TCMP(encoding=0, text=["0"])], 4)
        target = self.target()
        result = self.copy_into(target, "--frame", "TCMP=1", "--frame", "GRP1=Group ✓",
                                "--frame", "XSOP=Sort", "--frame", "TSO2=A", "--frame", "TSO2=B",
                                "--frame", "WPUB=https://pub.example", "--ufid", "http://mb.org=abc-1",
                                "--play-count", "4294967296", "--volume", "track=-6.5",
                                "--delete", "TIT2")
        self.assertEqual(result.returncode, 0, result.stderr)
        tag = id3.ID3(target, translate=False)
        self.assertEqual(tag["TCMP"].text, ["1"])
        self.assertEqual(tag["GRP1"].text, ["Group ✓"])
        self.file = target  # mutagen keeps no frame it does not know: XSOP is read here
        self.assertIn(("XSOP", "text", {"encoding": 0, "text": ["Sort"]}, None), self.contents())
        self.assertEqual(tag["TSO2"].text, ["A", "B"])
        self.assertEqual(tag["WPUB"].url, "https://pub.example")
        self.assertEqual(tag["UFID:http://mb.org"].data, b"abc-1")
        self.assertEqual(tag["PCNT"].count, 4294967296)
        self.assertEqual((tag["RVA2:track"].channel, tag["RVA2:track"].gain), (1, -6.5))
        self.assertNotIn("TIT2", tag)
        for args in (["--frame", "APIC=x"], ["--frame", "tcmp=1"], ["--frame", "TXXX=a"],
                     ["--ufid", "=x"], ["--play-count", "-1"], ["--volume", "t=99"],
                     ["--frame", "TCMP=1", "--text", "TCMP=2"]):
            with self.subTest(args=args):
                result = run("set", target, *args)
                self.assertEqual(result.returncode, 1, result.stderr)

    # A UTF-8 user text whose description is followed by two zero bytes keeps its value in
    # ID3v2.3.
    def test_a_user_text_keeps_its_value_in_another_version(self):
        self.write_raw([("TXXX", b"\x03d\0\0v"), ("COMM", b"\x00eng\x00" + b"1\0\0")], 4)
        self.assertEqual(run("set", self.file, "--id3v2.3").returncode, 0)
        tag = id3.ID3(self.file)
        self.assertEqual(tag["TXXX:d"].text, ["v"])
        self.assertEqual(self.contents()[1][2]["text"], ["1"])


if __name__ == "__main__":
    unittest.main()
