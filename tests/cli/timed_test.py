#!/usr/bin/env python3
"""Chapters and synchronised lyrics that `tagscope set` writes into MP3 audio ffmpeg makes, read
back by mutagen (CHAP, CTOC, SYLT, USLT) and by `tagscope dump`; lists refused whole, with the
line at fault, and the file left as it was.

Usage: timed_test.py TOOL. Exit 77 when mutagen or ffmpeg is missing."""
import functools
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import tool_run

tool_run.needs("ffmpeg", modules=("mutagen",))
from mutagen import id3
from mutagen.mp3 import MP3

FOLDER = tempfile.TemporaryDirectory()
# Ten seconds of audio, made once.
AUDIO = os.path.join(FOLDER.name, "audio.mp3")
subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                "sine=frequency=330:duration=10", "-c:a", "libmp3lame", "-b:a", "64k", AUDIO],
               check=True, timeout=60)


run = functools.partial(tool_run.run, ok=True)


class Timed(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.count = 0

    def tearDown(self):
        self.folder.cleanup()

    def song(self, version=4):
        self.count += 1
        name = os.path.join(self.folder.name, f"song{self.count}.mp3")
        shutil.copyfile(AUDIO, name)
        run("set", name, "--title", "Song", "--id3v2.%d" % version)
        return name

    def text(self, content, suffix=".txt"):
        self.count += 1
        name = os.path.join(self.folder.name, f"list{self.count}{suffix}")
        with open(name, "w", encoding="utf-8", newline="") as f:
            f.write(content)
        return name

    def chapters(self, name):
        tags = id3.ID3(name)
        tocs = tags.getall("CTOC")
        self.assertEqual(len(tocs), 1)
        toc = tocs[0]
        self.assertEqual(toc.flags, id3.CTOCFlags.TOP_LEVEL | id3.CTOCFlags.ORDERED)
        by_id = {c.element_id: c for c in tags.getall("CHAP")}
        self.assertEqual(sorted(by_id), sorted(toc.child_element_ids))
        out = []
        for element in toc.child_element_ids:
            c = by_id[element]
            title = c.sub_frames.getall("TIT2")
            out.append((c.start_time, c.end_time, str(title[0]) if title else ""))
        return out

    def test_a_chapter_list_becomes_chapters_and_comes_back_in_its_form(self):
        length = round(MP3(AUDIO).info.length * 1000)
        for version in (3, 4):
            with self.subTest(version=version):
                name = self.song(version)
                chapters = self.text("\ufeff00:00 Intro\r\n\n0:00:03.25 Zwischenspiel \u00e9\u266a\n"
                                     "0:09 Ende\n")
                run("set", name, "--chapters", chapters)
                got = self.chapters(name)
                self.assertEqual([g[:1] + g[2:] for g in got],
                                 [(0, "Intro"), (3250, "Zwischenspiel \u00e9\u266a"), (9000, "Ende")])
                self.assertEqual(got[0][1], 3250)
                self.assertEqual(got[1][1], 9000)
                # The last ends at the audio's end, as mutagen measures it to a frame.
                self.assertAlmostEqual(got[2][1], length, delta=30)
                self.assertEqual(id3.ID3(name).version[1], version)
                listed = run("dump", "--chapters", name).stdout.decode()
                self.assertEqual(listed, "00:00:00.000 Intro\n00:00:03.250 Zwischenspiel "
                                         "\u00e9\u266a\n00:00:09.000 Ende\n")
                # What dump prints, set reads: the same frames again.
                run("set", name, "--chapters", self.text(listed))
                self.assertEqual(self.chapters(name), got)
                run("set", name, "--delete-chapters")
                tags = id3.ID3(name)
                self.assertEqual((tags.getall("CHAP"), tags.getall("CTOC")), ([], []))
                self.assertEqual(str(tags["TIT2"]), "Song")

    def test_ffmpeg_metadata_chapters(self):
        name = self.song()
        metadata = self.text(";FFMETADATA1\ntitle=Book\n\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\n"
                             "END=2000\ntitle=One \\= two\n[CHAPTER]\nSTART=2500000000\n"
                             "END=6000000000\n# a comment\ntitle=Second\n[STREAM]\ntitle=x\n")
        run("set", name, "--chapters", metadata)
        # A gap between chapters stays; times in the default time base of nanoseconds.
        self.assertEqual(self.chapters(name), [(0, 2000, "One = two"), (2500, 6000, "Second")])

    def test_bad_lists_are_refused_with_their_line_and_nothing_is_written(self):
        cases = [
            ("00:00 A\n00:05 B\n00:04 C\n", "Line 3", "before the one on line 2"),
            ("00:00 A\n00:05 B\n00:05 C\n", "Line 3", "as the one on line 2"),
            ("00:00 A\n\n00:11 Past\n", "Line 3", "past the audio's end"),
            ("00:00 A\nIntro without time\n", "Line 2", "starts with its time"),
            ("00:00 A\n00:61 B\n", "Line 2", "starts with its time"),
            (";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=3000\n[CHAPTER]\n"
             "TIMEBASE=1/1000\nSTART=2000\nEND=4000\n", "Line 6", "inside the one on line 2"),
            (";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=10500\n", "Line 2",
             "ends at 00:00:10.500, past the audio's end"),
            ("", "", "holds no chapter"),
        ]
        name = self.song()
        with open(name, "rb") as f:
            before = f.read()
        for content, line, what in cases:
            with self.subTest(content=content):
                result = run("set", name, "--title", "Changed", "--chapters", self.text(content),
                             ok=False)
                self.assertNotEqual(result.returncode, 0)
                message = result.stderr.decode()
                self.assertIn(line, message)
                self.assertIn(what, message)
                with open(name, "rb") as f:
                    self.assertEqual(f.read(), before)

    def test_lrc_becomes_synchronised_and_plain_lyrics(self):
        lrc = self.text("[ar:Someone]\n[ti:Song]\n[offset:+250]\n\n"
                        "[00:01.50][00:06.00]Chorus \u266a\n[00:03.1]Verse one\n"
                        "[00:04:25]\n[00:05.123]Verse two\n")
        for version in (3, 4):
            with self.subTest(version=version):
                name = self.song(version)
                run("set", name, "--lrc", lrc, "--lang", "deu")
                tags = id3.ID3(name)
                sylt = tags.getall("SYLT")
                self.assertEqual(len(sylt), 1)
                s = sylt[0]
                self.assertEqual((s.lang, s.format, s.type), ("deu", 2, 1))
                self.assertEqual(list(s.text), [("Chorus \u266a", 1250), ("Verse one", 2850),
                                                ("", 4000), ("Verse two", 4873),
                                                ("Chorus \u266a", 5750)])
                uslt = tags.getall("USLT")
                self.assertEqual(len(uslt), 1)
                self.assertEqual((uslt[0].lang, uslt[0].desc), ("deu", ""))
                self.assertEqual(uslt[0].text, "Chorus \u266a\nVerse one\n\nVerse two\nChorus \u266a")
                self.assertEqual(run("dump", "--lrc", name).stdout.decode(),
                                 "[00:01.25]Chorus \u266a\n[00:02.85]Verse one\n[00:04.00]\n"
                                 "[00:04.873]Verse two\n[00:05.75]Chorus \u266a\n")
                # Written again, the lyrics of that language are replaced, not added.
                run("set", name, "--lrc", self.text("[00:00.00]Only\n"), "--lang", "deu")
                tags = id3.ID3(name)
                self.assertEqual([list(s.text) for s in tags.getall("SYLT")], [[("Only", 0)]])
                self.assertEqual([u.text for u in tags.getall("USLT")], ["Only"])

    def test_lyrics_timed_in_audio_frames_are_printed_in_milliseconds(self):
        name = self.song()
        tags = id3.ID3(name)
        tags.add(id3.SYLT(encoding=0, lang="eng", format=1, type=1, desc="",
                          text=[("one", 0), ("two", 100)]))
        tags.save()
        info = MP3(name).info
        ms = 100 * 1152 * 1000 // info.sample_rate
        self.assertEqual(run("dump", "--lrc", name).stdout.decode(),
                         "[00:00.00]one\n[%02d:%02d.%03d]two\n" % (ms // 60000, ms // 1000 % 60,
                                                                   ms % 1000))

    def test_stray_lines_are_passed_over_with_a_note(self):
        name = self.song()
        result = run("set", name, "--lrc", self.text(
            "[00:01.00]a\nno stamp\n[00:1x.00]b\n[offset:soon]\n[00:02.00]c\n"))
        self.assertEqual(re.findall(r"line \d+:", result.stderr.decode()),
                         ["line 2:", "line 3:", "line 4:"])
        self.assertEqual(list(id3.ID3(name).getall("SYLT")[0].text), [("a", 1000), ("c", 2000)])
        with open(name, "rb") as f:
            before = f.read()
        result = run("set", name, "--lrc", self.text("[ar:x]\nwords\n"), ok=False)
        self.assertIn("no line with a time stamp", result.stderr.decode())
        with open(name, "rb") as f:
            self.assertEqual(f.read(), before)
        # The plain lyrics they write are those --lyrics would set.
        result = run("set", name, "--lrc", self.text("[00:01.00]a\n"), "--lyrics", "=y", ok=False)
        self.assertIn("both set", result.stderr.decode())

    def test_lyrics_files_in_the_character_sets_of_old_players(self):
        lines = {"cp1251": ["Группа крови на рукаве", "Мой порядковый номер"],
                 "gbk": ["窗外的麻雀在电线杆上多嘴", "你说这一句很有夏天的感觉"],
                 "shift_jis": ["群青日和の歌詞です", "新宿は豪雨"],
                 "utf-16": ["Grüße [Chorus]", "東京"]}
        for charset, texts in lines.items():
            with self.subTest(charset=charset):
                name = self.song()
                lrc = os.path.join(self.folder.name, charset + ".lrc")
                with open(lrc, "wb") as f:
                    f.write("".join("[00:0%d.00]%s\r\n" % (i + 1, t)
                                    for i, t in enumerate(texts)).encode(charset))
                run("set", name, "--lrc", lrc)
                self.assertEqual(list(id3.ID3(name).getall("SYLT")[0].text),
                                 [(t, (i + 1) * 1000) for i, t in enumerate(texts)])
        # A set named is used; one the bytes do not fit is refused.
        name = self.song()
        lrc = os.path.join(self.folder.name, "named.lrc")
        with open(lrc, "wb") as f:
            f.write("[00:01.00]Кино\n".encode("koi8-r"))
        run("set", name, "--lrc", lrc, "--lrc-charset", "KOI8-R")
        self.assertEqual(list(id3.ID3(name).getall("SYLT")[0].text), [("Кино", 1000)])
        with open(lrc, "wb") as f:
            f.write(b"[00:01.00]\x98\n")
        self.assertNotEqual(run("set", name, "--lrc", lrc, "--lrc-charset", "CP1251",
                                ok=False).returncode, 0)

    def test_word_stamps_become_syllables_and_come_back(self):
        lrc = ("[offset:+100]\n[00:01.00][Chorus] la la\n"
               "[00:02.00]<00:02.00>Strang<00:02.50>ers<00:03.00> in the <00:03.40>\n")
        name = self.song()
        run("set", name, "--lrc", self.text(lrc))
        tags = id3.ID3(name)
        self.assertEqual(list(tags.getall("SYLT")[0].text),
                         [("[Chorus] la la", 900), ("\nStrang", 1900), ("ers", 2400),
                          (" in the", 2900)])
        self.assertEqual(tags.getall("USLT")[0].text, "[Chorus] la la\nStrangers in the")
        self.assertEqual(run("dump", "--lrc", name).stdout.decode(),
                         "[00:00.90][Chorus] la la\n[00:01.90]Strang<00:02.40>ers<00:02.90> in the\n")

    def test_dump_of_syllables_and_of_several_languages(self):
        name = self.song()
        tags = id3.ID3(name)
        tags.add(id3.SYLT(encoding=3, lang="eng", format=2, type=1, desc="",
                          text=[("Strang", 0), ("ers", 500), (" in", 900), ("\nthe", 1500),
                                (" night", 2000)]))
        tags.add(id3.SYLT(encoding=3, lang="deu", format=2, type=1, desc="",
                          text=[("Fremde", 0), ("in der Nacht", 1500)]))
        tags.save()
        # mutagen writes the German first: it is shown, with a note of the other.
        result = run("dump", "--lrc", name)
        self.assertEqual(result.stdout.decode(), "[00:00.00]Fremde\n[00:01.50]in der Nacht\n")
        self.assertIn("deu, eng", result.stderr.decode())
        result = run("dump", "--lrc", "--lang", "eng", name)
        self.assertEqual(result.stdout.decode(),
                         "[00:00.00]Strang<00:00.50>ers<00:00.90> in\n"
                         "[00:01.50]the<00:02.00> night\n")
        self.assertEqual(result.stderr.decode(), "")
        result = run("dump", "--lrc", "--lang", "fra", name)
        self.assertEqual(result.stdout.decode(), "")
        self.assertIn("no lyrics in fra", result.stderr.decode())


if __name__ == "__main__":
    try:
        unittest.main(argv=sys.argv[:1])
    finally:
        FOLDER.cleanup()
