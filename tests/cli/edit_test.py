#!/usr/bin/env python3
"""Edits made with `tagscope set` and `tagscope erase` on real files, read back by mutagen:
pictures, links, user texts, removals, the written version with its dates, values from files,
dry runs, refused conflicts, and erasing either tag. Exit 77 when mutagen is missing."""
import json
import os
import subprocess
import sys
import tempfile
import unittest
import dump_schema
import tool_run
from tool_run import run

tool_run.needs(modules=("mutagen",))
from mutagen import id3

TOOL = tool_run.TOOL
AUDIO = bytes((i * 7 + 1) % 251 for i in range(4000))
JPEG = b"\xff\xd8\xff\xe0\x00\x10JFIF\x00" + bytes(range(200)) + b"\xff\xd9"
PNG = b"\x89PNG\r\n\x1a\n" + bytes(100)
TRAILER = b"TAG" + b"Old title".ljust(30, b"\0") + bytes(93) + b"\x03\x11"


class Edits(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.file = self.path("song.mp3")
        self.put(AUDIO)

    def tearDown(self):
        self.folder.cleanup()

    def path(self, name):
        return os.path.join(self.folder.name, name)

    def put(self, data, name="song.mp3"):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def contents(self):
        with open(self.file, "rb") as f:
            return f.read()

    def tag_with(self, version, *frames):
        tags = id3.ID3()
        for frame in frames:
            tags.add(frame)
        tags.save(self.file, v2_version=version)

    def set(self, *args):
        result = run("set", self.file, *args)
        self.assertEqual(result.returncode, 0, result.stderr)
        return id3.ID3(self.file, translate=False)

    def refused(self, args, *words):
        before = self.contents()
        result = run("set", self.file, *args)
        self.assertNotEqual(result.returncode, 0, args)
        for word in words:
            self.assertIn(word.encode(), result.stderr)
        self.assertEqual(self.contents(), before)

    def test_deleted_chapters_leave_no_table_pointing_at_them(self):
        self.tag_with(4, id3.TIT2(encoding=3, text="Song"),
                      id3.CTOC(element_id="toc", flags=3, child_element_ids=["chp0", "sub"]),
                      id3.CTOC(element_id="sub", flags=1, child_element_ids=["chp1"]),
                      id3.CHAP(element_id="chp0", start_time=0, end_time=10),
                      id3.CHAP(element_id="chp1", start_time=10, end_time=20))
        tags = self.set("--delete", "CHAP")
        self.assertEqual([f.FrameID for f in tags.values()], ["TIT2"])

    def test_pictures_added_replaced_and_removed(self):
        jpeg, png = self.put(JPEG, "cover.jpg"), self.put(PNG, "back:side.png")
        tags = self.set("--picture", jpeg + ":front:Cover: big", "--picture", png + ":4")
        front, back = tags.getall("APIC")
        self.assertEqual((front.mime, front.type, front.desc, front.data),
                         ("image/jpeg", 3, "Cover: big", JPEG))
        self.assertEqual((back.mime, back.type, back.desc, back.data), ("image/png", 4, "", PNG))
        # Same type and description: replaced in its place; another description: added.
        tags = self.set("--picture", png + ":front:Cover: big", "--picture", jpeg + ":front:Small")
        self.assertEqual([(p.type, p.desc, p.mime) for p in tags.getall("APIC")],
                         [(3, "Cover: big", "image/png"), (4, "", "image/png"),
                          (3, "Small", "image/jpeg")])
        tags = self.set("--delete-picture", "back")
        self.assertEqual([p.type for p in tags.getall("APIC")], [3, 3])
        self.assertEqual(self.set("--delete-picture", "all").getall("APIC"), [])
        text = self.put(b"not a picture", "notes.txt")
        self.refused(["--picture", text], "notes.txt")
        self.refused(["--picture", jpeg + ":21"], "21")
        self.refused(["--picture", self.path("missing.jpg")], "missing.jpg")

    def test_links_user_texts_and_removals(self):
        tags = self.set("--url", "WOAR=http://a.example", "--url", "WOAR=http://b.example",
                        "--url", "WCOM=http://shop.example", "--user-url", "Home=http://h.example",
                        "--user-text", "Mood=calm", "--user-text", "Tempo=slow",
                        "--comment", "c=one", "--comment", "d=two")
        self.assertEqual([f.url for f in tags.getall("WOAR")],
                         ["http://a.example", "http://b.example"])
        self.assertEqual(tags["WXXX:Home"].url, "http://h.example")
        self.assertEqual((tags["TXXX:Mood"].text, tags["TXXX:Tempo"].text), (["calm"], ["slow"]))
        # A link frame's links are replaced as a whole; a user text by its description; an empty
        # value removes.
        tags = self.set("--url", "WOAR=http://c.example", "--user-text", "Mood=sad",
                        "--user-text", "Tempo=", "--user-url", "Home=")
        self.assertEqual([f.url for f in tags.getall("WOAR")], ["http://c.example"])
        self.assertEqual([f.desc for f in tags.getall("TXXX")], ["Mood"])
        self.assertEqual(tags["TXXX:Mood"].text, ["sad"])
        self.assertEqual(tags.getall("WXXX"), [])
        tags = self.set("--delete", "COMM", "--delete", "WCOM")
        self.assertEqual((tags.getall("COMM"), tags.getall("WCOM")), ([], []))
        self.assertEqual(len(tags.getall("WOAR")), 1)
        for args, word in ((["--url", "WXXX=http://x"], "WXXX"), (["--url", "TIT2=x"], "TIT2"),
                           (["--user-url", "nothing"], "DESC=URL"), (["--delete", "TIT"], "TIT"),
                           (["--delete-picture", "sideways"], "sideways")):
            with self.subTest(args=args):
                self.refused(args, word)

    def test_descriptions_in_any_script_in_either_version(self):
        jpeg = self.put(JPEG, "c.jpg")
        for version, encoding in (("--id3v2.3", 1), ("--id3v2.4", 3)):
            with self.subTest(version=version):
                tags = self.set(version, "--user-text", "Настрой=спокойно 𝄞",
                                "--user-url", "Дом=http://x.example/", "--picture",
                                jpeg + ":front:Обложка")
                self.assertEqual(tags["TXXX:Настрой"].text, ["спокойно 𝄞"])
                self.assertEqual(tags["WXXX:Дом"].url, "http://x.example/")
                self.assertEqual(tags["APIC:Обложка"].data, JPEG)
                self.assertEqual({tags[k].encoding for k in ("TXXX:Настрой", "WXXX:Дом",
                                                             "APIC:Обложка")}, {encoding})
                # Set again in the other version's run: replaced, not added.
                self.assertEqual(len(tags.getall("TXXX")), 1)
                self.assertEqual(len(tags.getall("APIC")), 1)
        self.refused(["--user-url", "Home=http://x.example/€"], "%-escapes")
        result = run("set", self.file, "--volume", "東京=1")
        self.assertNotEqual(result.returncode, 0)
        self.assertIn(b"ISO-8859-1", result.stderr)
        self.assertNotIn(b"escapes", result.stderr)

    def test_genre_grouping_and_year_go_where_other_tools_read_them(self):
        tags = self.set("--genre", "Rock", "--grouping", "Live sets", "--year", "2004")
        self.assertEqual(tags["TCON"].genres, ["Rock"])
        self.assertEqual(tags["TIT1"].text, ["Live sets"])
        self.assertEqual((str(tags["TDRC"].text[0]), "TYER" in tags), ("2004", False))
        dumped = dump_schema.loads(run("dump", "--json", self.file).stdout)
        self.assertEqual(dumped["shown"], {"genre": "Live sets", "year": "2004"})
        # A stale year frame of the other version goes.
        self.tag_with(3, id3.TYER(encoding=0, text="1999"), id3.TCON(encoding=0, text="(17)"))
        tags = self.set("--year", "2005")
        self.assertEqual((tags.version, tags["TYER"].text, "TDRC" in tags),
                         ((2, 3, 0), ["2005"], False))
        self.assertIn("Genre: (17) Rock\n", run("dump", self.file).stdout.decode())
        # The ID3v1 trailer takes its genre number from the content type too.
        # So does its year from the recording time, in a version 4 tag.
        for genre, number in (("rock", 17), ("(31)", 31), ("Synthwave", 255)):
            self.set("--genre", genre, "--v1", "--id3v2.4", "--year", "2006")
            trailer = self.contents()[-128:]
            self.assertEqual((trailer[:3], trailer[93:97], trailer[-1]), (b"TAG", b"2006", number))

    def test_genres_past_79_survive_a_new_tag_and_go_into_the_trailer(self):
        # A trailer alone with genre 80: the tag made for a new title keeps it.
        self.put(AUDIO + TRAILER[:-1] + bytes([80]))
        self.assertEqual(id3.ID3(self.file)["TCON"].genres, ["Folk"])
        tags = self.set("--title", "X")
        self.assertEqual((tags["TCON"].genres, tags["TIT2"].text), (["Folk"], ["X"]))
        self.assertEqual(self.contents()[-1], 80)
        self.assertIn("Folk", run("show", self.file).stdout.decode())
        for genre, number in (("Folk", 80), ("indie", 131), ("Synthpop", 147), ("(191)", 191),
                              ("Psychedelic", 67), ("(192)", 192), ("Nu Jazz", 255)):
            self.set("--genre", genre, "--v1")
            self.assertEqual(self.contents()[-1], number, genre)
        self.tag_with(3, id3.TCON(encoding=0, text="(17)(80)"))
        self.assertIn("Rock; Folk", run("show", self.file).stdout.decode())

    def test_a_comment_of_one_language_and_description_is_replaced(self):
        # As mid3v2 writes it; and "ENG", as older versions of this tool did.
        for lang in ("eng", "ENG"):
            self.tag_with(4, id3.COMM(encoding=3, lang=lang, desc="", text="one"),
                          id3.COMM(encoding=3, lang="eng", desc="Other", text="kept"))
            tags = self.set("--comment", "=two")
            self.assertEqual(sorted((c.lang, c.desc, c.text[0]) for c in tags.getall("COMM")),
                             [("eng", "", "two"), ("eng", "Other", "kept")])
        tags = self.set("--comment", "=three", "--comment", "=drei", "--lang", "deu")
        self.assertEqual(sorted((c.lang, c.desc, c.text[0]) for c in tags.getall("COMM")),
                         [("deu", "", "drei"), ("eng", "", "three"), ("eng", "Other", "kept")])

    def test_written_version_converts_dates_and_encodings(self):
        self.tag_with(4, id3.TDRC(encoding=3, text="2004-05-06T07:08"),
                      id3.TDOR(encoding=3, text="1990"), id3.TPE1(encoding=3, text="Łódź ♫"),
                      id3.COMM(encoding=3, lang="pol", desc="Ż", text="źle 𝄞"),
                      id3.APIC(encoding=3, mime="image/png", type=3, desc="Ą", data=PNG))
        tags = self.set("--id3v2.3")
        self.assertEqual(tags.version, (2, 3, 0))
        self.assertEqual([tags[i].text for i in ("TYER", "TDAT", "TIME", "TORY")],
                         [["2004"], ["0605"], ["0708"], ["1990"]])
        self.assertNotIn("TDRC", tags)
        self.assertEqual(tags["TPE1"].text, ["Łódź ♫"])
        self.assertEqual(tags["COMM:Ż:pol"].text, ["źle 𝄞"])
        self.assertEqual((tags["APIC:Ą"].desc, tags["APIC:Ą"].data), ("Ą", PNG))
        self.assertTrue(all(f.encoding in (0, 1) for f in tags.values() if hasattr(f, "encoding")))
        tags = self.set("--id3v2.4")
        self.assertEqual((tags.version, str(tags["TDRC"].text[0]), str(tags["TDOR"].text[0])),
                         ((2, 4, 0), "2004-05-06 07:08", "1990"))
        self.assertIn(b"2004-05-06T07:08", self.contents())
        self.assertFalse({"TYER", "TDAT", "TIME", "TORY"} & set(tags.keys()))
        # The year of a version 3 tag goes into the recording time when version 4 is written.
        tags = self.set("--id3v2.3", "--year", "2010")
        tags = self.set("--id3v2.4")
        self.assertEqual(str(tags["TDRC"].text[0]), "2010")
        # A second zero byte after a UTF-8 description, which readers skip, stays skipped in
        # UTF-16 (found by the fuzzer).
        frames = (b"WXXX\0\0\0\x0f\0\0\x03Home\0\0http://x" +
                  b"COMM\0\0\0\x0b\0\0\x03engD\0\0text")
        self.put(b"ID3\x04\0\0\0\0\0" + bytes([len(frames)]) + frames + AUDIO)
        dumped = dump_schema.loads(run("dump", "--json", self.file).stdout)
        self.set("--id3v2.3")
        again = dump_schema.loads(run("dump", "--json", self.file).stdout)
        self.assertEqual((again["urls"], again["comments"]), (dumped["urls"], dumped["comments"]))
        self.assertEqual(dumped["urls"], [{"description": "Home", "url": "http://x"}])
        # Of a date not in the standard form, version 3 keeps the year; the rest goes, named.
        frame = b"TDRC\0\0\0\x08\0\0\x002004/05"
        self.put(b"ID3\x04\0\0\0\0\0" + bytes([len(frame)]) + frame + AUDIO)
        result = run("set", self.file, "--id3v2.3")
        self.assertIn("TDRC", result.stderr.decode())
        tags = id3.ID3(self.file, translate=False)
        self.assertEqual((tags["TYER"].text, "TDRC" in tags), (["2004"], False))

    def test_values_from_files(self):
        long_text = "Verse " * 20000
        self.put(("\ufeff" + long_text + "\n").encode(), "lyrics.txt")
        self.put(b"\xff\xfe", "binary.txt")
        tags = self.set("--value-from-file", "--comment", "Lyrics=@" + self.path("lyrics.txt"),
                        "--artist", "@@home", "--user-text", "Notes=@" + self.path("lyrics.txt"))
        self.assertEqual(tags["COMM:Lyrics:eng"].text, [long_text])
        self.assertEqual(tags["TXXX:Notes"].text, [long_text])
        self.assertEqual(tags["TPE1"].text, ["@home"])
        self.assertEqual(self.set("--artist", "@home")["TPE1"].text, ["@home"])
        self.refused(["--value-from-file", "--title", "@" + self.path("binary.txt")], "UTF-8")
        self.refused(["--value-from-file", "--title", "@" + self.path("none.txt")], "none.txt")

    def test_dry_run_prints_and_changes_nothing(self):
        self.set("--title", "Old")
        before = self.contents()
        result = run("set", self.file, "--dry-run", "--title", "New", "--user-text", "k=v",
                     "--id3v2.3", "--v1")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.contents(), before)
        out = result.stdout.decode()
        for line in ("ID3v2.3", 'TIT2: "Old" -> "New"', 'TXXX: added "k" = "v"', "ID3v1"):
            self.assertIn(line, out)

    def test_dry_run_shows_every_change_the_write_makes(self):
        jpeg = self.put(JPEG, "a.jpg")
        other = self.put(JPEG[:-3] + b"\x01\xff\xd9", "b.jpg")
        self.set("--play-count", "5", "--rating", "me@x.org=100", "--ufid", "http://o=abc",
                 "--text", "TPE1=A", "--text", "TPE1=B", "--lyrics", "=one\ntwo",
                 "--picture", jpeg, "--id3v2.4")
        cases = [
            (["--play-count", "6"], "PCNT: 5 -> 6", lambda t: t["PCNT"].count == 6),
            (["--rating", "me@x.org=101"], "rating 100 -> email \"me@x.org\", rating 101",
             lambda t: t["POPM:me@x.org"].rating == 101),
            (["--ufid", "http://o=abd"], 'data "abc" -> owner "http://o", data "abd"',
             lambda t: t["UFID:http://o"].data == b"abd"),
            (["--text", "TPE1=A", "--text", "TPE1=C"], 'TPE1: "A" / "B" -> "A" / "C"',
             lambda t: t["TPE1"].text == ["A", "C"]),
            (["--lyrics", "=one\nthree"], 'text "one\\ntwo" -> language',
             lambda t: t["USLT::eng"].text == "one\nthree"),
            (["--picture", other], "(other data of the same size)",
             lambda t: t["APIC:"].data.endswith(b"\x01\xff\xd9")),
            (["--padding", "7777"], " -> 7777 bytes", lambda t: True),
        ]
        for args, line, written in cases:
            with self.subTest(args=args):
                before = self.contents()
                result = run("set", self.file, "--dry-run", *args)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertTrue(self.contents() == before)
                out = result.stdout.decode()
                self.assertIn(line, out)
                self.assertNotIn("nothing", out)
                self.assertTrue(written(self.set(*args)))
                self.assertTrue(self.contents() != before)
        self.assertIn("nothing", run("set", self.file, "--dry-run", "--play-count", "6")
                      .stdout.decode())
        # A file without a tag gets one, even of no frames.
        self.put(AUDIO)
        self.assertIn("tag: written", run("set", self.file, "--dry-run").stdout.decode())
        # What a forced write drops of a tag not read in full.
        frame = b"TIT2\x00\x00\x00\x03\x00\x00\x00ab"
        self.put(b"ID3\x03\x00\x00\x00\x00\x00" + bytes([len(frame) + 11]) + frame +
                 b"\x01\x02garbage!!" + AUDIO)
        self.assertIn("dropped", run("set", self.file, "--dry-run", "--title", "ab")
                      .stdout.decode())
        # An ID3v2.2 tag is written as ID3v2.3, even when no text changes.
        frame = b"TT2\x00\x00\x05\x00Same"
        self.put(b"ID3\x02\x00\x00\x00\x00\x00" + bytes([len(frame) + 20]) + frame + bytes(20)
                 + AUDIO)
        out = run("set", self.file, "--dry-run", "--title", "Same").stdout.decode()
        self.assertIn("ID3v2.2 -> ID3v2.3", out)
        self.assertEqual(self.set("--title", "Same").version, (2, 3, 0))

    def test_conflicting_options_are_refused(self):
        self.set("--title", "Old")
        jpeg = self.put(JPEG, "c.jpg")
        for args, words in (
                (["--title", "A", "--text", "TIT2=B"], ["--title", "--text TIT2"]),
                (["--year", "1", "--text", "TDRC=2"], ["--year", "TDRC"]),
                (["--genre", "A", "--text", "TCON=B"], ["--genre"]),
                (["--delete", "TIT2", "--title", "A"], ["--delete TIT2", "--title"]),
                (["--user-text", "d=a", "--user-text", "d=b"], ['"d"']),
                (["--picture", jpeg, "--picture", jpeg + ":3"], ["type 3"]),
                (["--id3v2.3", "--id3v2.4"], ["--id3v2.3", "--id3v2.4"]),
                (["--id3v2.3", "--footer"], ["--footer"])):
            with self.subTest(args=args):
                self.refused(args, *words)

    def test_erase_either_tag_or_both(self):
        self.set("--title", "T")
        whole = self.contents() + TRAILER
        for args, expected in ((["--v1"], whole[:-128]), ([], AUDIO + TRAILER),
                               (["--v2"], AUDIO + TRAILER), (["--all"], AUDIO)):
            with self.subTest(args=args):
                self.put(whole)
                result = run("erase", *args, self.file)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(self.contents(), expected)
        # A file that is only a trailer ends empty; the end of a tag is never taken for one.
        self.put(TRAILER)
        self.assertEqual(run("erase", "--v1", self.file).returncode, 0)
        self.assertEqual(self.contents(), b"")
        self.tag_with(4, id3.TXXX(encoding=0, desc="x", text="TAG" + "y" * 200))
        tag_only = self.contents()[:id3.ID3(self.file).size]
        self.put(tag_only)
        self.assertEqual(run("erase", "--v1", self.file).returncode, 0)
        self.assertEqual(self.contents(), tag_only)


class Documentation(unittest.TestCase):
    """The manual page and the bash completion know every option each verb's help names."""

    def options(self, verb):
        result = run(verb, "--help")
        if result.returncode != 0:  # a verb left out of this build
            return set()
        help_text = result.stdout.decode()
        self.assertIn("Example", help_text)
        return {w.split("=")[0].rstrip(").;:") for w in help_text.replace(",", " ").split()
                if w.startswith("--") and w != "--help"}

    def test_manual_and_completion_cover_every_option(self):
        root = os.path.join(os.path.dirname(__file__), "..", "..", "cli")
        with open(os.path.join(root, "tagscope.1"), encoding="utf-8") as f:
            manual = f.read().replace("\\-", "-")
        with open(os.path.join(root, "completion", "tagscope.bash"), encoding="utf-8") as f:
            completion = f.read()
        for verb in ("show", "dump", "set", "erase", "pictures", "decode", "fix-encoding", "rename",
                     "check", "repair"):
            for option in self.options(verb):
                with self.subTest(verb=verb, option=option):
                    self.assertIn(option, manual)
                    self.assertIn(option, completion)

    def test_completion_runs_in_bash(self):
        script = os.path.join(os.path.dirname(__file__), "..", "..", "cli", "completion",
                              "tagscope.bash")
        words = {"set f.mp3 --id3": "--id3v2.3 --id3v2.4", "set f.mp3 --delete-picture b":
                 "back band band-logo", "er": "erase", "erase --a": "--ape --all"}
        for line, expected in words.items():
            with self.subTest(line=line):
                result = subprocess.run(
                    ["bash", "-c", 'source "$1"; COMP_WORDS=(tagscope $2); '
                     'COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _tagscope; echo "${COMPREPLY[*]}"',
                     "bash", script, line], capture_output=True, timeout=30)
                self.assertEqual(result.stdout.decode().strip(), expected, result.stderr)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
