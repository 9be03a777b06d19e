#!/usr/bin/env python3
"""Text in every script through the command line: `set` writes it as mutagen reads it, files
that mutagen or other writers made read back in full in `dump` and `show`, and texts reach the
terminal as UTF-8 with control characters escaped."""
import json
import os
import sys
import tempfile
import unittest

from mutagen.id3 import ID3, TIT2, TPE1, COMM
import dump_schema
from tool_run import run

TOOL = sys.argv[1]
AUDIO = bytes((i * 7 + 1) % 251 for i in range(4000))
SCRIPTS = ["Кино — Группа крови", "Οδύσσεια", "日本語のタイトル", "Song 🎵😀 end"]


def sync_safe(v):
    return bytes([(v >> 21) & 0x7F, (v >> 14) & 0x7F, (v >> 7) & 0x7F, v & 0x7F])


def raw_tag(version, frames):
    size = (lambda n: sync_safe(n)) if version == 4 else (lambda n: n.to_bytes(4, "big"))
    body = b"".join(fid + size(len(p)) + b"\0\0" + p for fid, p in frames)
    return b"ID3" + bytes([version, 0, 0]) + sync_safe(len(body)) + body


class Unicode(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.file = os.path.join(self.folder.name, "song.mp3")

    def tearDown(self):
        self.folder.cleanup()

    def put(self, data):
        with open(self.file, "wb") as f:
            f.write(data)

    def dump(self):
        result = run("dump", "--json", self.file)
        self.assertEqual(result.returncode, 0, result.stderr)
        return dump_schema.loads(result.stdout)

    def show(self):
        result = run("show", self.file)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout.decode("utf-8")  # strict: the output must be UTF-8

    def start(self, version):
        """The audio alone, or behind a tag of the version that mutagen wrote."""
        self.put(AUDIO)
        if version:
            tag = ID3()
            tag.add(TIT2(encoding=0, text="Old"))
            tag.save(self.file, v2_version=version)

    def test_set_writes_every_script_as_mutagen_reads_it(self):
        for version, wide in ((None, 3), (3, 1), (4, 3)):
            for title in SCRIPTS:
                with self.subTest(version=version, title=title):
                    self.start(version)
                    artist, desc, text = title[::-1], "Описание", title + " ✓"
                    result = run("set", self.file, "--title", title, "--artist", artist,
                                 "--album", "Café", "--comment", f"{desc}={text}")
                    self.assertEqual(result.returncode, 0, result.stderr)
                    tag = ID3(self.file)
                    self.assertEqual(tag["TIT2"].text, [title])
                    self.assertEqual(tag["TIT2"].encoding, wide)
                    self.assertEqual(tag["TPE1"].text, [artist])
                    self.assertEqual(tag["TALB"].encoding, 0)  # ISO-8859-1 where it fits
                    comment = tag.getall("COMM")[0]
                    self.assertEqual((comment.desc, comment.text), (desc, [text]))
                    # A fresh read through the engine, as the tool and the viewer show it.
                    fields = self.dump()["fields"]
                    self.assertEqual((fields["title"], fields["artist"]), (title, artist))
                    self.assertEqual(self.dump()["comments"][0]["text"], text)
                    shown = self.show()
                    self.assertIn(f"Title: {title}\n", shown)
                    self.assertIn(f"  {desc}: {text}\n", shown)

    def test_files_from_other_writers_read_in_full(self):
        title, artist = SCRIPTS[2], SCRIPTS[0]
        be_mark = b"\x01\xfe\xff" + title.encode("utf-16-be")
        cases = {
            "v2.3 UTF-16 little-endian": raw_tag(3, [(b"TIT2", b"\x01\xff\xfe" + title.encode("utf-16-le")),
                                                    (b"TPE1", b"\x01" + artist.encode("utf-16"))]),
            "v2.3 UTF-16 big-endian": raw_tag(3, [(b"TIT2", be_mark),
                                                 (b"TPE1", b"\x01\xfe\xff" + artist.encode("utf-16-be"))]),
            "v2.4 UTF-16BE without mark": raw_tag(4, [(b"TIT2", b"\x02" + title.encode("utf-16-be")),
                                                     (b"TPE1", b"\x02" + artist.encode("utf-16-be"))]),
            "v2.4 UTF-8": raw_tag(4, [(b"TIT2", b"\x03" + title.encode()),
                                      (b"TPE1", b"\x03" + artist.encode() + b"\0")]),
        }
        for name, tag in cases.items():
            with self.subTest(name):
                self.put(tag + AUDIO)
                read = ID3(self.file)  # the oracle agrees on what the bytes say
                self.assertEqual((read["TIT2"].text[0], read["TPE1"].text[0]), (title, artist))
                fields = self.dump()["fields"]
                self.assertEqual((fields["title"], fields["artist"]), (title, artist))
                shown = self.show()
                self.assertIn(f"Title: {title}\n", shown)
                self.assertIn(f"Artist: {artist}\n", shown)

    def test_terminal_gets_utf8_and_escaped_controls(self):
        self.put(raw_tag(3, [(b"TIT2", b"\x00Caf\xe9"),
                             (b"TPE1", b"\x00a\x1b[2J\x1b[31mred\x07b"),
                             (b"COMM", b"\x03eng" + "Ω".encode() + b"\0line 1\nline 2\xe2\x80\xae")])
                 + AUDIO)
        for output in (self.show(), run("dump", self.file).stdout.decode("utf-8")):
            self.assertIn("Title: Café\n", output)
            self.assertIn("Artist: a\\x1B[2J\\x1B[31mred\\x07b\n", output)
            self.assertIn("Ω: line 1\\nline 2\\u202E\n", output)
            self.assertNotIn("\x1b", output)
        self.assertEqual(self.dump()["fields"]["artist"], "a\x1b[2J\x1b[31mred\x07b")

    def test_id3v1_keeps_iso_8859_1(self):
        self.put(AUDIO)
        result = run("set", self.file, "--title", "Café 日本", "--artist", "Ωmega", "--v1")
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(self.file, "rb") as f:
            trailer = f.read()[-128:]
        self.assertEqual(trailer[3:33].rstrip(b"\0"), b"Caf\xe9 ??")
        self.assertEqual(trailer[33:63].rstrip(b"\0"), b"?mega")
        self.assertEqual(ID3(self.file)["TIT2"].text, ["Café 日本"])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=1)
