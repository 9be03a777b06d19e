#!/usr/bin/env python3
"""APE tags and Lyrics3 blocks behind the audio of files ffmpeg makes: what dump and show read
(against TagLib's reading where its reader is given), what erase --ape, --v1 and --all cut,
and what set --ape-to-id3 moves into the ID3v2 tag (read back by mutagen). Tags whose sizes or
flags lie are never cut, forced or not; an erase of several parts, and a move, killed at any
of its writes leaves the file old or new.

Usage: ape_test.py TOOL [TAGLIB-APE-READER]. Exit 77 when mutagen or ffmpeg is missing."""
import itertools
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest

import tool_run

tool_run.needs("ffmpeg", modules=("mutagen",))
from mutagen import apev2, id3, mp3

TOOL = tool_run.TOOL
TAGLIB = sys.argv[2] if len(sys.argv) > 2 and sys.argv[2] else None

TEXT, BINARY, LOCATOR = 0, 2, 4
# Where strace can stop the tool at its Nth call of one kind, the kills fall on every write,
# flush, rename and size change in turn; elsewhere at random moments.
CHANGES = ("write", "pwrite64", "ftruncate", "fsync", "fdatasync", "rename", "renameat",
           "renameat2", "unlinkat")
STRACE = shutil.which("strace")
if STRACE and subprocess.run([STRACE, "-qq", "-o", os.devnull, "true"],
                             capture_output=True).returncode != 0:
    STRACE = None


def ape_tag(items, header=True, version=2000, count=None):
    """An APE tag built byte by byte: (key, value bytes, flags) items."""
    body = b"".join(struct.pack("<II", len(v), f) + k + b"\0" + v for k, v, f in items)
    size = len(body) + 32
    count = len(items) if count is None else count
    flags = (1 << 31) if header else 0
    footer = b"APETAGEX" + struct.pack("<IIII", version, size, count, flags) + bytes(8)
    head = (b"APETAGEX" + struct.pack("<IIII", version, size, count, flags | 1 << 29) + bytes(8)
            if header else b"")
    return head + body + footer


def lyrics3v2(fields):
    body = b"LYRICSBEGIN" + b"".join(k + b"%05d" % len(v) + v for k, v in fields)
    return body + b"%06d" % len(body) + b"LYRICS200"


V1 = (b"TAG" + b"V1 title".ljust(30, b"\0") + b"V1 artist".ljust(30, b"\0") + bytes(30) +
      b"1999" + bytes(28) + b"\0\x03\x11")
COVER = b"cover.jpg\0" + b"\xff\xd8\xff\xe0" + bytes(300)
ITEMS = [(b"Title", "Ünïcode title".encode(), TEXT),
         (b"Artist", b"First\0Second", TEXT),
         (b"REPLAYGAIN_TRACK_GAIN", b"-6.50 dB", TEXT | 1),
         (b"Cover Art (Front)", COVER, BINARY),
         (b"Related", b"http://example.org/", LOCATOR)]
LYRICS = [(b"IND", b"10"), (b"LYR", b"[00:01]la la\r\nla"), (b"ETT", b"Lyrics title")]


class Ape(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.audio_file = os.path.join(cls.folder.name, "audio.mp3")
        subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                        "sine=frequency=440:duration=0.5", "-c:a", "libmp3lame", "-b:a", "64k",
                        "-write_xing", "0", "-id3v2_version", "0", cls.audio_file], check=True,
                       timeout=60)
        with open(cls.audio_file, "rb") as f:
            cls.audio = f.read()

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def make(self, name, trailers=b"", title="Tagged"):
        """The audio with an ID3v2 tag that mutagen writes, and the trailers after it."""
        path = os.path.join(self.folder.name, name)
        with open(path, "wb") as f:
            f.write(self.audio + trailers)
        if title is not None:
            tags = id3.ID3()
            tags.add(id3.TIT2(encoding=3, text=title))
            tags.save(path, v2_version=4, v1=1)  # v1=1 keeps a trailer, makes none
        return path

    def tool(self, *args, ok=True):
        r = subprocess.run([TOOL, *args], capture_output=True, timeout=60)
        if ok:
            self.assertEqual(r.returncode, 0, r.stderr.decode(errors="replace"))
        return r

    def dump(self, path):
        return json.loads(self.tool("dump", "--json", path).stdout)

    def taglib(self, path):
        lines = subprocess.run([TAGLIB, path], capture_output=True, check=True,
                               timeout=60).stdout.decode().splitlines()
        return lines[:-1]

    def test_dump_names_the_blocks_in_the_order_stored(self):
        for order, words in (((lyrics3v2(LYRICS), ape_tag(ITEMS)), "Lyrics3 APEv2 ID3v1"),
                             ((ape_tag(ITEMS), lyrics3v2(LYRICS)), "APEv2 Lyrics3 ID3v1")):
            with self.subTest(words=words):
                path = self.make("order.mp3", b"".join(order) + V1)
                self.assertIn("followed by " + words + "\n",
                              self.tool("dump", path).stdout.decode())

    def test_read_against_taglib(self):
        path = self.make("read.mp3", lyrics3v2(LYRICS) + ape_tag(ITEMS) + V1)
        d = self.dump(path)
        ape = d["ape"]
        self.assertEqual((ape["version"], ape["header"]), (2000, True))
        self.assertEqual(ape["length"], len(ape_tag(ITEMS)))
        got = {i["key"]: i for i in ape["items"]}
        self.assertEqual(got["Title"]["values"], ["Ünïcode title"])
        self.assertEqual(got["Artist"]["values"], ["First", "Second"])
        self.assertTrue(got["REPLAYGAIN_TRACK_GAIN"]["readOnly"])
        self.assertEqual((got["Cover Art (Front)"]["kind"], got["Cover Art (Front)"]["size"]),
                         ("binary", len(COVER)))
        self.assertEqual(got["Related"]["kind"], "locator")
        lyr = d["lyrics3"]
        self.assertEqual(lyr["version"], 2)
        self.assertEqual([(f["id"], f["value"]) for f in lyr["fields"]],
                         [(k.decode(), v.decode()) for k, v in LYRICS])
        show = self.tool("show", path).stdout.decode()
        self.assertIn("Artist: First / Second", show)
        self.assertIn("Cover Art (Front): binary, %d bytes" % len(COVER), show)
        self.assertIn("LYR (lyrics): [00:01]la la\\r\\nla", show)
        if TAGLIB:
            ours = []
            for i in sorted(ape["items"], key=lambda i: i["key"].upper()):
                detail = (str(i["size"]) if i["kind"] == "binary" else "|".join(i["values"]))
                ours.append("%s\t%s\t%s" % (i["key"].upper(), i["kind"], detail))
            self.assertEqual(self.taglib(path), ours + ["id3v1"])

    def test_mutagen_tag_and_version_1(self):
        path = self.make("mutagen.mp3", V1)
        tags = apev2.APEv2()
        tags["Album"] = "Mutagen album"
        tags["replaygain_album_peak"] = "0.98"
        tags.save(path)
        ape = self.dump(path)["ape"]
        self.assertEqual({i["key"]: i["values"] for i in ape["items"]},
                         {"Album": ["Mutagen album"], "replaygain_album_peak": ["0.98"]})
        if TAGLIB:
            self.assertEqual(self.taglib(path)[:2], ["ALBUM\ttext\tMutagen album",
                                                     "REPLAYGAIN_ALBUM_PEAK\ttext\t0.98"])
        # Version 1: no header, text only.
        old = self.make("v1.mp3", ape_tag(ITEMS[:2], header=False, version=1000))
        ape = self.dump(old)["ape"]
        self.assertEqual((ape["version"], ape["header"], len(ape["items"])), (1000, False, 2))

    def test_damaged_counts_and_sizes_are_capped(self):
        huge = ape_tag(ITEMS[:1], count=0xFFFFFFFF)
        broken = bytearray(ape_tag(ITEMS[:2]))
        struct.pack_into("<I", broken, 32 + len(ITEMS[0][0]) + len(ITEMS[0][1]) + 9, 0x7FFFFFFF)
        for name, tag, items in [("huge.mp3", huge, 1), ("broken.mp3", bytes(broken), 1)]:
            ape = self.dump(self.make(name, tag))["ape"]
            self.assertIn("problem", ape)
            self.assertEqual(len(ape["items"]), items)

    def test_erase_ape_cuts_it_and_its_lyrics_in_one_write(self):
        path = self.make("erase-ape.mp3", lyrics3v2(LYRICS) + ape_tag(ITEMS) + V1)
        with open(path, "rb") as f:
            before = f.read()
        self.tool("erase", "--ape", path)
        with open(path, "rb") as f:
            after = f.read()
        cut = lyrics3v2(LYRICS) + ape_tag(ITEMS)
        at = before.index(cut)
        self.assertEqual(after, before[:at] + before[at + len(cut):])
        d = self.dump(path)
        self.assertNotIn("ape", d)
        self.assertNotIn("lyrics3", d)
        self.assertEqual(d["fields"]["title"], "Tagged")
        if TAGLIB:
            self.assertEqual(self.taglib(path), ["none", "id3v1"])

    def test_erase_v1_takes_its_lyrics3_block(self):
        path = self.make("erase-v1.mp3", b"LYRICSBEGINold words" + b"LYRICSEND" + V1)
        self.tool("erase", "--v1", path)
        d = self.dump(path)
        self.assertNotIn("lyrics3", d)
        self.assertFalse(d["audio"]["id3v1"])
        with open(path, "rb") as f:
            self.assertTrue(f.read().endswith(self.audio))

    def test_erase_all_leaves_the_audio(self):
        path = self.make("erase-all.mp3", ape_tag(ITEMS) + lyrics3v2(LYRICS) + V1)
        self.tool("erase", "--all", path)
        with open(path, "rb") as f:
            self.assertEqual(f.read(), self.audio)

    def test_ape_to_id3(self):
        path = self.make("move.mp3", V1, title=None)
        tags = apev2.APEv2()
        tags["Title"] = "Moved title"
        tags["Artist"] = ["One", "Two"]
        tags["Year"] = "2004"
        tags["Track"] = "3/12"
        tags["Comment"] = "A comment"
        tags["replaygain_track_gain"] = "-7.10 dB"
        tags["Catalog"] = "CAT-1"
        tags.save(path)
        out = self.tool("set", "--id3v2.3", "--ape-to-id3", path).stdout.decode()
        self.assertIn("APE replaygain_track_gain -> TXXX:REPLAYGAIN_TRACK_GAIN: -7.10 dB", out)
        moved = id3.ID3(path, translate=False)
        self.assertEqual(moved["TIT2"].text, ["Moved title"])
        self.assertEqual(moved["TPE1"].text, ["One/Two"])
        self.assertEqual(str(moved["TYER"].text[0]), "2004")
        self.assertEqual(moved["TRCK"].text, ["3/12"])
        self.assertEqual(moved["TXXX:REPLAYGAIN_TRACK_GAIN"].text, ["-7.10 dB"])
        self.assertEqual(moved["TXXX:Catalog"].text, ["CAT-1"])
        self.assertEqual(moved.getall("COMM")[0].text, ["A comment"])
        self.assertNotIn("ape", self.dump(path))
        with open(path, "rb") as f:
            self.assertTrue(f.read().endswith(self.audio + V1))

    def test_ape_to_id3_refuses_to_lose_values(self):
        for name, items in [("differs.mp3", [(b"Title", b"APE title", TEXT)]),
                            ("binary.mp3", [(b"Some Data", b"\x00\x01", BINARY)])]:
            path = self.make(name, ape_tag(items))
            with open(path, "rb") as f:
                before = f.read()
            r = self.tool("set", "--ape-to-id3", path, ok=False)
            self.assertNotEqual(r.returncode, 0)
            self.assertIn(b"would lose", r.stderr)
            with open(path, "rb") as f:
                self.assertEqual(f.read(), before)
            self.tool("set", "--ape-to-id3", "--force", path)
            d = self.dump(path)
            self.assertNotIn("ape", d)
            self.assertEqual(d["fields"]["title"], "Tagged")

    def lying(self):
        """APE tags whose footer lies, each with the file's ID3v2 tag and ID3v1 trailer."""
        bigger = bytearray(ape_tag(ITEMS[:2]))
        for at in (12, len(bigger) - 20):  # the size, in the header and the footer
            struct.pack_into("<I", bigger, at, struct.unpack_from("<I", bigger, at)[0] + 40)
        flagged = bytearray(ape_tag(ITEMS[:2], header=False))
        struct.pack_into("<I", flagged, len(flagged) - 12, 1 << 31)
        uncounted = ape_tag(ITEMS[:1], header=False)[:-32] + ape_tag(ITEMS[1:2], header=False)
        return [("size.mp3", bytes(bigger)), ("flag.mp3", bytes(flagged)),
                ("uncounted.mp3", uncounted)]

    def test_lying_tags_are_never_cut(self):
        for name, ape in self.lying():
            with self.subTest(name):
                path = self.make(name, ape + V1)
                with open(path, "rb") as f:
                    before = f.read()
                self.assertIn("damaged", self.dump(path)["ape"])
                for args in (["erase", "--all"], ["erase", "--ape"], ["erase", "--v2", "--ape"],
                             ["set", "--ape-to-id3"], ["set", "--ape-to-id3", "--force"]):
                    r = self.tool(*args, path, ok=False)
                    self.assertNotEqual(r.returncode, 0, args)
                    self.assertIn(b"damaged", r.stderr)
                    with open(path, "rb") as f:
                        self.assertEqual(f.read(), before, args)
                # Forced, the rest goes and the damaged tag stays, right after the audio.
                r = self.tool("erase", "--all", "--force", path)
                self.assertIn(b"left in place", r.stderr)
                with open(path, "rb") as f:
                    self.assertEqual(f.read(), self.audio + ape)
                audio = mp3.MP3(path)
                self.assertIsNone(audio.tags)
                self.assertAlmostEqual(audio.info.length, 0.5, delta=0.1)

    def killed(self, path, args, original):
        """Runs the tool on the file again and again, each time from the original bytes and
        killed at another point; yields after each kill."""
        # Under the sanitizers (whose run makes many more calls, each slower) the kills fall at
        # random moments: that run is for what touches memory, this one's kills natively.
        if STRACE and "ASAN_OPTIONS" not in os.environ:
            for call in CHANGES:
                for n in itertools.count(1):
                    with open(path, "wb") as f:
                        f.write(original)
                    r = subprocess.run([STRACE, "-f", "-qq", "-o", os.devnull, "-e",
                                        "inject=%s:signal=KILL:when=%d" % (call, n), TOOL,
                                        *args, path], capture_output=True, timeout=60)
                    if r.returncode == 0:
                        break  # it makes fewer such calls
                    yield "%s %d" % (call, n)
            return
        for n in range(40 if "ASAN_OPTIONS" not in os.environ else 12):
            with open(path, "wb") as f:
                f.write(original)
            process = subprocess.Popen([TOOL, *args, path], stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
            time.sleep(n * 0.0005)
            process.kill()
            process.wait()
            yield "after %.1f ms" % (n * 0.5)

    def check_killed(self, name, trailers, args):
        """Every kill leaves the file old or new; the next run ends the change and leaves
        nothing beside the file."""
        folder = os.path.join(self.folder.name, name + ".d")
        os.mkdir(folder)
        path = self.make(os.path.join(folder, name), trailers)
        with open(path, "rb") as f:
            old = f.read()
        self.tool(*args, path)
        with open(path, "rb") as f:
            new = f.read()
        self.assertNotEqual(new, old)
        kills = 0
        for point in self.killed(path, args, old):
            kills += 1
            with open(path, "rb") as f:
                data = f.read()
            self.assertTrue(data in (old, new), "%s left the file half done" % point)
            self.tool(*args, path)
            with open(path, "rb") as f:
                self.assertEqual(f.read(), new, point)
            self.assertEqual(os.listdir(folder), [name], point)
        self.assertGreater(kills, 0)
        return path

    def test_a_killed_erase_of_several_parts_leaves_the_file_old_or_new(self):
        path = self.check_killed("parts.mp3", lyrics3v2(LYRICS) + ape_tag(ITEMS) + V1,
                                 ["erase", "--v2", "--v1", "--ape"])
        with open(path, "rb") as f:
            self.assertEqual(f.read(), self.audio)
        self.assertIsNone(mp3.MP3(path).tags)

    def test_a_killed_move_leaves_the_file_old_or_new(self):
        tags = [(b"Artist", b"Moved", TEXT), (b"MP3GAIN_MINMAX", b"140,210", TEXT)]
        path = self.check_killed("move.mp3", ape_tag(tags, header=False) + V1,
                                 ["set", "--ape-to-id3"])
        moved = id3.ID3(path)
        self.assertEqual(moved["TPE1"].text, ["Moved"])
        with open(path, "rb") as f:
            data = f.read()
        self.assertEqual(data[-128 - len(self.audio):-125], self.audio + b"TAG")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
