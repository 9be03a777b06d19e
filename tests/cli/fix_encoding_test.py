#!/usr/bin/env python3
"""fix-encoding on files ffmpeg makes and mutagen tags with texts written byte by byte in the
character set old software used and stored as ISO-8859-1 (or converted to UTF-16 as such):
each repaired text must equal the original, be written in the tag's proper encoding, and texts
that read right must not change.

Usage: fix_encoding_test.py TOOL. Exit 77 when mutagen or ffmpeg is missing."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

try:
    from mutagen import id3
except ImportError:
    sys.exit(77)
if not shutil.which("ffmpeg"):
    sys.exit(77)

TOOL = sys.argv[1]

# (character set as Python names it, title, artist, album)
SAMPLES = [
    ("cp1251", "Группа крови", "Кино", "Звезда по имени Солнце"),
    ("koi8-r", "Группа крови", "Кино", "Звезда по имени Солнце"),
    ("cp1250", "Żółta łódź", "Příliš žluťoučký kůň", "Zażółć gęślą jaźń"),
    ("cp1252", "Crème brûlée – “Noël”", "Œuvres complètes", "Façade…"),
    ("shift_jis", "群青日和", "東京事変", "教育"),
    ("gbk", "七里香", "周杰伦", "我的地盘"),
    ("big5", "七里香", "周杰倫", "我的地盤"),
    ("euc-kr", "다시 만난 세계", "소녀시대", "소녀시대 첫 번째 정규 앨범"),
    ("utf-8", "Café Müller", "Björk", "Ça ira"),
]


def misread(text, charset):
    """The text's bytes in the set, read one by one as ISO-8859-1."""
    return text.encode(charset).decode("latin-1")


class FixEncoding(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.audio = os.path.join(cls.folder.name, "audio.mp3")
        subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                        "sine=frequency=440:duration=0.3", "-c:a", "libmp3lame", "-b:a", "64k",
                        "-id3v2_version", "0", cls.audio], check=True, timeout=60)

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def make(self, name, frames, version=4):
        path = os.path.join(self.folder.name, name)
        shutil.copy(self.audio, path)
        tags = id3.ID3()
        for frame in frames:
            tags.add(frame)
        tags.save(path, v2_version=version, v1=0)
        return path

    def tool(self, *args):
        r = subprocess.run([TOOL, *args], capture_output=True, timeout=60)
        self.assertEqual(r.returncode, 0, r.stderr.decode(errors="replace"))
        return r.stdout.decode()

    def test_each_character_set(self):
        for version, encoding in [(4, 3), (3, 1)]:
            for charset, title, artist, album in SAMPLES:
                with self.subTest(charset=charset, version=version):
                    path = self.make(f"{charset}-{version}.mp3", [
                        id3.TIT2(encoding=0, text=misread(title, charset)),
                        id3.TPE1(encoding=0, text=misread(artist, charset)),
                        # Converted to Unicode as misread, by a tagger before this one.
                        id3.TALB(encoding=1, text=misread(album, charset)),
                        id3.TCON(encoding=0, text="Rock")], version)
                    with open(path, "rb") as f:
                        before = f.read()
                    out = self.tool("fix-encoding", "--dry-run", path)
                    # The old text is shown escaped where it holds control characters.
                    self.assertRegex(out, r"(?m)^TIT2: .* -> %s \(" % title)
                    with open(path, "rb") as f:
                        self.assertEqual(f.read(), before)
                    self.tool("fix-encoding", path)
                    tags = id3.ID3(path)
                    for id_, text in [("TIT2", title), ("TPE1", artist), ("TALB", album)]:
                        self.assertEqual(tags[id_].text, [text], id_)
                        self.assertEqual(tags[id_].encoding, encoding, id_)
                    self.assertEqual(tags["TCON"].text, ["Rock"])
                    # A second run finds nothing left to repair.
                    self.assertEqual(self.tool("fix-encoding", path), "")

    def test_texts_that_read_right_are_left_alone(self):
        path = self.make("right.mp3", [
            id3.TIT2(encoding=0, text="Café"),
            id3.TPE1(encoding=0, text="Ångström"),
            id3.TALB(encoding=1, text="Группа крови"),
            id3.TCOM(encoding=3, text="東京事変"),
            id3.COMM(encoding=0, lang="eng", desc="", text="Naïve façade, 50°C")])
        with open(path, "rb") as f:
            before = f.read()
        self.assertEqual(self.tool("fix-encoding", path), "")
        with open(path, "rb") as f:
            self.assertEqual(f.read(), before)

    def test_detected_for_the_file_as_a_whole(self):
        # "Да" alone reads as Latin-1 letters; the other texts show the file's set, and a
        # genuine Latin text beside them stays.
        path = self.make("whole.mp3", [
            id3.TIT2(encoding=0, text=misread("Да", "cp1251")),
            id3.TPE1(encoding=0, text=misread("Машина времени", "cp1251")),
            id3.TALB(encoding=0, text="Café"),
            id3.COMM(encoding=0, lang="rus", desc="", text=misread("Лучшие песни", "cp1251"))])
        self.tool("fix-encoding", path)
        tags = id3.ID3(path)
        self.assertEqual(tags["TIT2"].text, ["Да"])
        self.assertEqual(tags["TPE1"].text, ["Машина времени"])
        self.assertEqual(tags["TALB"].text, ["Café"])
        self.assertEqual(tags.getall("COMM")[0].text, ["Лучшие песни"])
        self.assertEqual(tags.getall("COMM")[0].lang, "rus")

    def test_forced_set_and_the_trailer(self):
        path = self.make("forced.mp3", [id3.TIT2(encoding=0, text=misread("Кино", "cp1251"))])
        with open(path, "ab") as f:
            f.write(b"TAG" + "Кино".encode("cp1251").ljust(30, b"\0") + bytes(94) + b"\xff")
        out = self.tool("fix-encoding", "--from", "CP1251", path)
        self.assertIn("ID3v1 title: %s -> Кино (CP1251)" % misread("Кино", "cp1251"), out)
        self.assertEqual(id3.ID3(path)["TIT2"].text, ["Кино"])
        # Beside the tag, and alone: show and dump read it in the set named.
        self.assertIn("ID3v1 trailer\n  Title: Кино\n",
                      self.tool("dump", "--v1-charset", "CP1251", path))
        alone = os.path.join(self.folder.name, "trailer-only.mp3")
        shutil.copy(self.audio, alone)
        with open(alone, "ab") as f:
            f.write(b"TAG" + "Кино".encode("cp1251").ljust(30, b"\0") + bytes(94) + b"\xff")
        self.assertIn("Title: Кино\n", self.tool("show", "--v1-charset", "CP1251", alone))
        self.assertIn("  Title: Кино\n", self.tool("dump", "--v1-charset", "CP1251", alone))
        r = subprocess.run([TOOL, "fix-encoding", "--from", "NO-SUCH-SET", path],
                           capture_output=True, timeout=60)
        self.assertNotEqual(r.returncode, 0)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
