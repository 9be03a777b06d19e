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

import tool_run

tool_run.needs("ffmpeg", modules=("mutagen",))
from mutagen import id3

TOOL = tool_run.TOOL

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
            id3.COMM(encoding=0, lang="eng", desc="", text="Naïve façade, 50°C"),
            # Short texts of accents or signs alone read right as they are.
            id3.TPE2(encoding=0, text="ÄÖÜ"),
            id3.TEXT(encoding=0, text="ß"),
            id3.TPE3(encoding=0, text="±½"),
            id3.TOLY(encoding=1, text="Don’t"),
            id3.TPE4(encoding=1, text="Мумий Тролль"),
            id3.TOPE(encoding=1, text="椎名林檎")])
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

    def test_utf8_read_as_windows_1252_once_or_twice(self):
        cases = [(1, "Donâ€™t Stop", "Don’t Stop"), (1, "BeyoncÃ©", "Beyoncé"),
                 (1, "CafÃƒÂ©", "Café"), (0, "SigurÃ°ur RÃ³s", "Sigurður Rós"),
                 (3, "Ã‰dith Piaf â€“ Â«Non, je neâ€¦Â»", "Édith Piaf – «Non, je ne…»")]
        for encoding, stored, text in cases:
            with self.subTest(text=text):
                path = self.make("cp1252.mp3", [id3.TIT2(encoding=encoding, text=stored)])
                self.tool("fix-encoding", path)
                self.assertEqual(id3.ID3(path)["TIT2"].text, [text])
                self.assertEqual(self.tool("fix-encoding", path), "")

    def test_each_text_is_repaired_from_its_own_set(self):
        path = self.make("mixed.mp3", [
            id3.TIT2(encoding=0, text=misread("Группа крови", "cp1251")),
            id3.TPE1(encoding=0, text=misread("東京事変", "shift_jis")),
            id3.TALB(encoding=0, text=misread("Звезда по имени Солнце", "cp1251")),
            id3.TCOM(encoding=0, text=misread("群青日和", "shift_jis")),
            id3.TPE2(encoding=0, text=misread("七里香", "gbk")),
            # Too short to tell alone: read in a set of the file's other texts.
            id3.TPE3(encoding=0, text=misread("Да", "cp1251"))])
        self.tool("fix-encoding", path)
        tags = id3.ID3(path)
        self.assertEqual([tags[i].text[0] for i in ("TIT2", "TPE1", "TALB", "TCOM", "TPE2", "TPE3")],
                         ["Группа крови", "東京事変", "Звезда по имени Солнце", "群青日和", "七里香",
                          "Да"])

    def test_every_text_the_tag_holds(self):
        def m(text):
            return misread(text, "cp1251")
        jpeg = b"\xff\xd8\xff\xe0" + bytes(40) + b"\xff\xd9"
        path = self.make("all.mp3", [
            id3.SYLT(encoding=0, lang="rus", format=2, type=1, desc=m("Слова песни"),
                     text=[(m("Группа крови"), 0), (m("на рукаве"), 1000)]),
            id3.CHAP(element_id="ch0", start_time=0, end_time=300, sub_frames=[
                id3.TIT2(encoding=0, text=m("Первая глава"))]),
            id3.CTOC(element_id="toc", flags=3, child_element_ids=["ch0"], sub_frames=[
                id3.TIT2(encoding=0, text=m("Оглавление"))]),
            id3.APIC(encoding=0, mime="image/jpeg", type=3, desc=m("Обложка альбома"), data=jpeg),
            id3.WXXX(encoding=0, desc=m("Официальный сайт"), url="http://example.org/"),
            id3.TIPL(encoding=0, people=[[m("продюсер"), m("Виктор Цой")]])])
        out = self.tool("fix-encoding", path)
        self.assertIn("CHAP ch0 TIT2: ", out)
        tags = id3.ID3(path)
        sylt = tags.getall("SYLT")[0]
        self.assertEqual((sylt.desc, list(sylt.text)),
                         ("Слова песни", [("Группа крови", 0), ("на рукаве", 1000)]))
        chap = tags["CHAP:ch0"]
        self.assertEqual((chap.start_time, chap.end_time, chap.sub_frames["TIT2"].text),
                         (0, 300, ["Первая глава"]))
        toc = tags["CTOC:toc"]
        self.assertEqual((toc.child_element_ids, toc.sub_frames["TIT2"].text),
                         (["ch0"], ["Оглавление"]))
        apic = tags.getall("APIC")[0]
        self.assertEqual((apic.desc, apic.mime, apic.type, apic.data),
                         ("Обложка альбома", "image/jpeg", 3, jpeg))
        wxxx = tags.getall("WXXX")[0]
        self.assertEqual((wxxx.desc, wxxx.url), ("Официальный сайт", "http://example.org/"))
        self.assertEqual(tags["TIPL"].people, [["продюсер", "Виктор Цой"]])
        self.assertEqual(self.tool("fix-encoding", path), "")

    def test_folders_links_and_times(self):
        root = os.path.join(self.folder.name, "tree")
        outside = os.path.join(self.folder.name, "outside")
        os.makedirs(root)
        os.makedirs(outside, exist_ok=True)
        inside = self.make(os.path.join("tree", "in.mp3"),
                           [id3.TIT2(encoding=0, text=misread("Группа крови", "cp1251"))])
        target = self.make(os.path.join("outside", "out.mp3"),
                           [id3.TIT2(encoding=0, text=misread("Группа крови", "cp1251"))])
        os.symlink(target, os.path.join(root, "link.mp3"))
        with open(target, "rb") as f:
            before = f.read()
        os.utime(inside, ns=(1_000_000_000_000_000_000, 1_000_000_000_000_000_000))
        r = subprocess.run([TOOL, "fix-encoding", "-r", "-p", root], capture_output=True,
                           timeout=60)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn(b"passed over: a link", r.stderr)
        self.assertEqual(id3.ID3(inside)["TIT2"].text, ["Группа крови"])
        self.assertEqual(os.stat(inside).st_mtime_ns, 1_000_000_000_000_000_000)
        with open(target, "rb") as f:
            self.assertTrue(f.read() == before)

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
