#!/usr/bin/env python3
"""Names and whole folders, end to end on MP3 files that ffmpeg makes and mutagen tags:
`rename` (folders from the format, forbidden characters, long names, collisions, files in the
way, dry runs), `set --from-name`, `set`/`erase` on folders with -r, --preserve-mtime,
the dry run's changes, genres and several values in `show`, the ID3v1 trailer beside the tag,
and `pictures --output`. Exit 77 when mutagen or ffmpeg is missing."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import tool_run
from tool_run import run

tool_run.needs("ffmpeg", modules=("mutagen",))
from mutagen import id3

TOOL = tool_run.TOOL
JPEG = b"\xff\xd8\xff\xe0\x00\x10JFIF\x00" + bytes(range(200)) + b"\xff\xd9"


def make_audio(path):
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                    "sine=frequency=440:duration=0.3", "-ac", "1", "-ar", "22050", "-c:a",
                    "libmp3lame", "-b:a", "32k", path], check=True, timeout=60)


class Names(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.audio_folder = tempfile.TemporaryDirectory()
        cls.audio_path = os.path.join(cls.audio_folder.name, "a.mp3")
        make_audio(cls.audio_path)

    @classmethod
    def tearDownClass(cls):
        cls.audio_folder.cleanup()

    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.root = self.folder.name

    def tearDown(self):
        self.folder.cleanup()

    def song(self, name, version=4, **frames):
        """An MP3 file under the test folder with the frames given (ID=text or list)."""
        path = os.path.join(self.root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        shutil.copyfile(self.audio_path, path)
        tags = id3.ID3()
        for frame_id, text in frames.items():
            tags.add(getattr(id3, frame_id)(encoding=3, text=text))
        tags.save(path, v2_version=version)
        return path

    def files(self):
        found = []
        for folder, _, names in os.walk(self.root):
            found += [os.path.relpath(os.path.join(folder, n), self.root) for n in names]
        return sorted(found)

    def ok(self, *args):
        result = run(*args)
        self.assertEqual(result.returncode, 0, result.stderr.decode())
        return result.stdout.decode()

    # --- rename ---

    def test_rename_makes_folders_pads_and_resolves_the_genre(self):
        self.song("x.mp3", TPE1="Band", TALB="First", TRCK="3/12", TIT2="Song", TCON="(17)",
                  TDRC="1999-05-01", TPOS="1")
        self.ok("rename", os.path.join(self.root, "x.mp3"), "--to", self.root, "--format",
                "%{artist}/%{year} %{album}/%{disc}-%{track:02} %{title} [%{genre}] 100%%")
        self.assertEqual(self.files(), ["Band/1999 First/1-03 Song [Rock] 100%.mp3"])

    def test_folders_are_made_under_one_root_so_a_second_run_changes_nothing(self):
        # The -r folder is the root: the file found in Art/Alb is at its name already.
        self.song("x.mp3", TPE1="Art", TALB="Alb", TRCK="1", TIT2="T", TCON="(80)")
        fmt = "%{artist}/%{album}/%{track:02} %{title} %{genre}"
        for _ in range(2):
            self.ok("rename", "-r", self.root, "--format", fmt)
            self.assertEqual(self.files(), ["Art/Alb/01 T Folk.mp3"])
        placed = os.path.join(self.root, "Art", "Alb", "01 T Folk.mp3")
        self.assertEqual(self.ok("rename", "--to", self.root, placed, "--format", fmt), "")
        # A file named alone goes under the working folder, and stays there on a second run.
        work = os.path.join(self.root, "work")
        os.mkdir(work)
        for _ in range(2):
            result = subprocess.run([TOOL, "rename", os.path.abspath(placed), "--format", fmt],
                                    cwd=work, capture_output=True, timeout=60)
            self.assertEqual(result.returncode, 0, result.stderr.decode())
            placed = os.path.join(work, "Art", "Alb", "01 T Folk.mp3")
            self.assertEqual(self.files(), ["work/Art/Alb/01 T Folk.mp3"])
        self.assertEqual(str(id3.ID3(placed)["TIT2"]), "T")
        self.assertNotEqual(run("rename", placed, "--to", os.path.join(self.root, "none"),
                                "--format", fmt).returncode, 0)

    def test_rename_makes_every_value_safe(self):
        self.song("a.mp3", TPE1="AC/DC", TIT2='Wh*t? "Now" <a|b>: c\\d ..')
        self.song("b.mp3", TPE1="con", TIT2="nul")
        self.song("c.mp3", TPE1="..", TIT2="Line\nbreak\t")
        self.ok("rename", "-r", self.root, "--format", "%{artist}/%{title}")
        self.assertEqual(self.files(), ["AC_DC/Wh_t_ _Now_ _a_b__ c_d ...mp3",
                                        "__/Line_break_.mp3", "con_/nul_.mp3"])

    def test_rename_cuts_long_names_on_a_character_boundary(self):
        title = "Ж" * 200  # 400 bytes of UTF-8
        self.song("long.mp3", TPE1="é" * 300, TIT2=title)
        self.ok("rename", os.path.join(self.root, "long.mp3"), "--to", self.root, "--format",
                "%{artist}/%{title}")
        (name,) = self.files()
        folder, file = name.split("/")
        self.assertEqual(folder, "é" * 127)  # 254 bytes: a 128th would cross 255
        self.assertEqual(file, "Ж" * 125 + ".mp3")  # 250 + 4 bytes
        self.assertTrue(file.encode().__len__() <= 255)

    def test_collisions_stop_the_whole_run_before_any_rename(self):
        self.song("1.mp3", TPE1="A", TIT2="Same")
        self.song("2.mp3", TPE1="B", TIT2="Same")
        self.song("3.mp3", TPE1="C", TIT2="Other")
        before = self.files()
        for dry in ([], ["--dry-run"]):
            result = run("rename", "-r", self.root, "--format", "%{title}", *dry)
            self.assertEqual(result.returncode, 1)
            self.assertIn(b"Same.mp3", result.stderr)
            self.assertEqual(self.files(), before)
        # Names that differ only in case are one name on many file systems.
        self.song("4.mp3", TIT2="other")
        self.assertEqual(run("rename", os.path.join(self.root, "3.mp3"),
                             os.path.join(self.root, "4.mp3"), "--format", "%{title}").returncode, 1)

    def test_a_file_in_the_way_is_never_replaced(self):
        self.song("a.mp3", TIT2="Taken")
        self.song("b.mp3", TIT2="Free")
        with open(os.path.join(self.root, "Taken.mp3"), "wb") as f:
            f.write(b"precious")
        os.symlink("nowhere", os.path.join(self.root, "Link.mp3"))
        self.song("c.mp3", TIT2="Link")
        result = run("rename", "-r", self.root, "--format", "%{title}")
        self.assertEqual(result.returncode, 1)
        self.assertIn(b"there already", result.stderr)
        with open(os.path.join(self.root, "Taken.mp3"), "rb") as f:
            self.assertEqual(f.read(), b"precious")
        self.assertEqual(os.readlink(os.path.join(self.root, "Link.mp3")), "nowhere")
        self.assertEqual(self.files(), ["Free.mp3", "Link.mp3", "Taken.mp3", "a.mp3", "c.mp3"])

    def test_a_link_in_the_folder_path_is_not_followed(self):
        outside = tempfile.TemporaryDirectory()
        self.addCleanup(outside.cleanup)
        os.symlink(outside.name, os.path.join(self.root, "Band"))
        self.song("x.mp3", TPE1="Band", TIT2="Song")
        result = run("rename", os.path.join(self.root, "x.mp3"), "--to", self.root, "--format",
                     "%{artist}/%{title}")
        self.assertEqual(result.returncode, 1)
        self.assertEqual(os.listdir(outside.name), [])
        self.assertTrue(os.path.exists(os.path.join(self.root, "x.mp3")))

    def test_chains_dry_runs_and_missing_fields(self):
        # b takes c's name, a takes b's: done in the order that frees each name first.
        self.song("a.mp3", TIT2="b")
        self.song("b.mp3", TIT2="c")
        self.song("untitled.mp3", TPE1="X")
        dry = run("rename", "-r", self.root, "--format", "%{title}", "--dry-run")
        self.assertEqual(dry.returncode, 1)  # the file without a title
        out = dry.stdout.decode()
        self.assertIn("a.mp3 -> " + os.path.join(self.root, "b.mp3"), out)
        self.assertNotIn("there already", dry.stderr.decode())
        self.assertIn("no title", dry.stderr.decode())
        self.assertEqual(self.files(), ["a.mp3", "b.mp3", "untitled.mp3"])
        self.assertEqual(run("rename", "-r", self.root, "--format", "%{title}").returncode, 1)
        self.assertEqual(self.files(), ["b.mp3", "c.mp3", "untitled.mp3"])
        self.assertEqual(str(id3.ID3(os.path.join(self.root, "c.mp3"))["TIT2"]), "c")

    def test_bad_formats_are_refused(self):
        self.song("a.mp3", TIT2="T")
        for fmt, word in (("%{nope}", "nope"), ("/%{title}", "/"), ("%{title}/../x", ".."),
                          ("%{title}:x", ":"), ("%{title", "}"), ("%{title:02}", "pads"),
                          ("a//%{title}", "name")):
            result = run("rename", os.path.join(self.root, "a.mp3"), "--format", fmt)
            self.assertEqual(result.returncode, 1, fmt)
            self.assertIn(word.encode(), result.stderr, fmt)
        self.assertEqual(self.files(), ["a.mp3"])

    # --- set --from-name ---

    def test_from_name_fills_fields_and_reports_names_that_do_not_match(self):
        good = self.song("Band/03 - AC - DC - Live - Song.mp3", TRCK="1/9")
        bad = self.song("Band/no match.mp3", TIT2="Kept")
        result = run("set", good, bad, "--from-name", "%{artist}/%{track} - %{title}")
        self.assertEqual(result.returncode, 1)
        self.assertIn(b"no match.mp3", result.stderr)
        tags = id3.ID3(good)
        self.assertEqual((str(tags["TPE1"]), str(tags["TRCK"]), str(tags["TIT2"])),
                         ("Band", "3/9", "AC - DC - Live - Song"))
        self.assertNotIn("TPE1", id3.ID3(bad))
        # A field given both ways is refused.
        self.assertNotEqual(run("set", good, "--from-name", "%{title}", "--title", "X").returncode, 0)

    # --- folders, times, dry runs ---

    def test_set_and_erase_walk_folders_keeping_times(self):
        one = self.song("d/one.mp3", TIT2="1")
        two = self.song("d/sub/two.mp3", TIT2="2")
        text = os.path.join(self.root, "d", "notes.txt")
        with open(text, "w") as f:
            f.write("not audio")
        for path in (one, two):
            os.utime(path, ns=(1_000_000_000, 1_234_567_891_000_000_000))
        self.ok("set", "-r", "-p", os.path.join(self.root, "d"), "--album", "Walked")
        for path in (one, two):
            self.assertEqual(str(id3.ID3(path)["TALB"]), "Walked")
            self.assertEqual(os.stat(path).st_mtime_ns, 1_234_567_891_000_000_000)
        with open(text) as f:
            self.assertEqual(f.read(), "not audio")
        self.ok("erase", "-r", os.path.join(self.root, "d"))
        self.assertNotEqual(os.stat(one).st_mtime_ns, 1_234_567_891_000_000_000)
        for path in (one, two):
            self.assertRaises(id3.ID3NoHeaderError, id3.ID3, path)
        # Without -r a folder is refused.
        self.assertNotEqual(run("set", os.path.join(self.root, "d"), "--title", "x").returncode, 0)

    def test_dry_run_prints_what_changes(self):
        path = self.song("a.mp3", TALB="Old", TIT2="Keep", TCOM="Gone")
        with open(path, "rb") as f:
            before = f.read()
        out = self.ok("set", path, "--dry-run", "--album", "New", "--delete", "TCOM",
                      "--artist", "Added")
        self.assertIn('TALB: "Old" -> "New"', out)
        self.assertIn('TCOM: removed "Gone"', out)
        self.assertIn('TPE1: added "Added"', out)
        self.assertNotIn("TIT2", out)
        with open(path, "rb") as f:
            self.assertEqual(f.read(), before)

    # --- show, dump, pictures ---

    def test_show_resolves_genres_lists_values_and_the_trailer_beside_the_tag(self):
        path = self.song("a.mp3", TPE1=["One", "Two"], TCON=["(17)Rock"])
        with open(path, "ab") as f:
            f.write(b"TAG" + b"Old title".ljust(30, b"\0") + bytes(93) + b"\x05\x11")
        out = self.ok("show", path)
        self.assertIn("Artist: One; Two", out)
        self.assertIn("Genre: Rock\n", out)
        self.assertIn("ID3v1 trailer", out)
        self.assertIn("Title: Old title", out)
        dump = json.loads(self.ok("dump", "--json", path))
        self.assertEqual((dump["id3v1"]["title"], dump["id3v1"]["track"],
                          dump["id3v1"]["genreName"]), ("Old title", 5, "Rock"))
        self.assertIn("ID3v1 trailer", self.ok("dump", path))
        plain = self.song("b.mp3", TCON="(17)")
        self.assertIn("Genre: Rock\n", self.ok("show", plain))
        self.assertNotIn("id3v1", json.loads(self.ok("dump", "--json", plain)))

    def test_pictures_output_writes_one_picture_to_a_new_file(self):
        path = self.song("a.mp3")
        tags = id3.ID3(path)
        for kind in (3, 4):
            tags.add(id3.APIC(encoding=3, mime="image/jpeg", type=kind, desc=str(kind),
                              data=JPEG + bytes([kind])))
        tags.save(path)
        out = os.path.join(self.root, "cover.jpg")
        result = run("pictures", path, "--output", out)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn(b"--index", result.stderr)
        self.assertFalse(os.path.exists(out))
        self.ok("pictures", path, "--index", "1", "--output", out)
        with open(out, "rb") as f:
            self.assertEqual(f.read(), JPEG + b"\x04")
        # Replaced only with --overwrite, which the refusal names.
        result = run("pictures", path, "--index", "0", "--output", out)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn(b"--overwrite", result.stderr)
        with open(out, "rb") as f:
            self.assertEqual(f.read(), JPEG + b"\x04")
        self.ok("pictures", path, "--index", "0", "--output", out, "--overwrite")
        with open(out, "rb") as f:
            self.assertEqual(f.read(), JPEG + b"\x03")
        # A picture not extracted is said to be written nowhere.
        folder = os.path.join(self.root, "covers")
        self.ok("pictures", path, "--extract", folder)
        result = run("pictures", path, "--extract", folder)
        self.assertNotEqual(result.returncode, 0)
        self.assertNotIn(b"written to", result.stdout)

    def test_version(self):
        self.assertRegex(self.ok("--version"), r"^tagscope \d+\.\d+\.\d+")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
