#!/usr/bin/env python3
"""Many files at once: `dump`, `show` and `pictures` over folders with -r (MP3 by content, in
path order, links to folders not followed, FIFOs passed over), `set` and `erase` over several
files with one that fails in the middle, a named FIFO refused without blocking, every verb's
walk naming and counting what it could not read, and walks leaving out the writers' own files."""
import grp
import hashlib
import json
import os
import pwd
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from tool_run import run

TOOL, EXAMPLE = sys.argv[1], sys.argv[2]
FRAME = b"\xff\xfb\x90\x64" + bytes(413)  # MPEG-1 layer III, 128 kbit/s, 44.1 kHz
AUDIO = FRAME * 8


def held_back():
    """The command prefix that runs the tool as a user whom mode bits hold back, or None: root
    reads and writes whatever the modes say, so it becomes `nobody`."""
    if os.geteuid() != 0:
        return [], None
    try:
        ids = pwd.getpwnam("nobody").pw_uid, grp.getgrnam("nogroup").gr_gid
    except KeyError:
        return None
    if not shutil.which("setpriv"):
        return None
    prefix = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]
    if subprocess.run([*prefix, TOOL, "--version"], capture_output=True).returncode != 0:
        return None  # the tool lies where `nobody` cannot reach it
    return prefix, ids


def tag(title):
    frame = b"TIT2" + (len(title) + 1).to_bytes(4, "big") + b"\0\0\0" + title.encode()
    return b"ID3\x03\0\0\0\0" + len(frame).to_bytes(2, "big") + frame


class Folders(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.root = self.folder.name

    def tearDown(self):
        self.folder.cleanup()

    def put(self, name, data):
        path = os.path.join(self.root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def test_dump_walks_a_folder_by_content_in_path_order(self):
        expected = [self.put("b/2.mp3", tag("two") + AUDIO), self.put("a.mp3", tag("one")),
                    self.put("b/1.dat", AUDIO), self.put("c/deep/x", tag("deep"))]
        self.put("notes.mp3", b"plain text, not audio")
        self.put("empty.mp3", b"")
        os.symlink(self.root, os.path.join(self.root, "b", "loop"))  # a link back up
        os.symlink(expected[1], os.path.join(self.root, "c", "link.mp3"))  # a link to a file
        os.mkfifo(os.path.join(self.root, "c", "pipe.mp3"))
        expected.append(os.path.join(self.root, "c", "link.mp3"))
        result = run("dump", "--json", "-r", self.root, timeout=30)
        self.assertEqual(result.returncode, 0, result.stderr)
        objects = [json.loads(line) for line in result.stdout.decode().splitlines()]
        self.assertEqual([o["file"] for o in objects], sorted(expected))
        titles = {o["file"]: o["fields"]["title"] for o in objects}
        self.assertEqual(titles[expected[0]], "two")
        self.assertTrue(objects[1]["audio"]["found"])  # b/1.dat: audio without a tag

    def test_a_file_that_fails_leaves_the_others_dumped_in_order(self):
        good = [self.put("%d.mp3" % i, tag("t%d" % i)) for i in range(40)]
        named = good[:20] + [os.path.join(self.root, "missing.mp3"), self.root] + good[20:]
        result = run("dump", "--json", *named)
        self.assertEqual(result.returncode, 1)
        files = [json.loads(line)["file"] for line in result.stdout.decode().splitlines()]
        self.assertEqual(files, good)
        errors = result.stderr.decode()
        self.assertIn("missing.mp3", errors)
        self.assertIn("is a folder (-r reads the files in it)", errors)

    def test_show_and_pictures_take_folders(self):
        with open(EXAMPLE, "rb") as f:
            example = f.read()
        self.put("b.mp3", example)
        self.put("a.mp3", tag("first") + AUDIO)
        shown = run("show", "-r", self.root)
        self.assertEqual(shown.returncode, 0, shown.stderr)
        text = shown.stdout.decode()
        self.assertLess(text.index("a.mp3"), text.index("b.mp3"))
        self.assertIn("    Format: MPEG-1 layer 3", text)
        self.assertIn("    Bitrate: 128 kbit/s", text)
        out = os.path.join(self.root, "out")
        pictures = run("pictures", "-r", self.root, "--extract", out)
        self.assertEqual(pictures.returncode, 0, pictures.stderr)
        self.assertIn("No pictures.", pictures.stdout.decode())
        self.assertEqual(os.listdir(out), ["2-picture0.bmp"])

    def test_a_named_fifo_is_refused_without_blocking(self):
        fifo = os.path.join(self.root, "pipe.mp3")
        os.mkfifo(fifo)
        for verb in ("dump", "show", "pictures"):
            with self.subTest(verb):
                result = run(verb, fifo, timeout=20)
                self.assertEqual(result.returncode, 1)
                self.assertIn("pipe.mp3", result.stderr.decode())


class Unreadable(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.root = self.folder.name

    def tearDown(self):
        locked = os.path.join(self.root, "locked")
        if os.path.isdir(locked):
            os.chmod(locked, 0o755)
        self.folder.cleanup()

    def put(self, name, data, mode=0o644):
        path = os.path.join(self.root, name)
        with open(path, "wb") as f:
            f.write(data)
        os.chmod(path, mode)
        return path

    def put_deep(self, leaf, data):
        """A file below folders whose path is longer than the system takes (PATH_MAX, 4096)."""
        fd = os.open(self.root, os.O_RDONLY)
        try:
            for i in range(20):
                name = "%02d" % i + "d" * 248
                os.mkdir(name, dir_fd=fd)
                sub = os.open(name, os.O_RDONLY, dir_fd=fd)
                os.close(fd)
                fd = sub
            out = os.open(leaf, os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd)
            os.write(out, data)
            os.close(out)
        finally:
            os.close(fd)

    def test_what_a_walk_cannot_read_is_named_and_counted(self):
        user = held_back()
        self.put("a.mp3", tag("one") + AUDIO)  # done
        self.put("notes.txt", b"plain text")  # passed over
        os.symlink("nowhere", os.path.join(self.root, "gone.mp3"))  # an entry that vanished
        self.put_deep("deep.mp3", tag("deep") + AUDIO)
        expected = [r"Cannot open file \"[^\n]*/deep\.mp3\"\. File name too long",
                    r"Cannot open file \"[^\n]*/gone\.mp3\"\. No such file or directory"]
        counts = (1, 2, 0, 1)
        if user is not None:
            self.put("wo.mp3", tag("two") + AUDIO, 0o200)
            self.put("cover.jpg", b"\xff\xd8\xff", 0o200)
            os.mkdir(os.path.join(self.root, "locked"))
            self.put("locked/x.mp3", tag("three") + AUDIO)
            os.chmod(os.path.join(self.root, "locked"), 0)
            expected += [r"Cannot open file \"[^\n]*/wo\.mp3\"\. Permission denied",
                         r"not read: Cannot open file \"[^\n]*/cover\.jpg\"\. Permission denied",
                         r"Cannot read the folder [^\n]*/locked: Permission denied"]
            counts = (1, 4, 1, 1)
            prefix, ids = user
            if ids:
                os.chown(self.root, *ids)
                for name in os.listdir(self.root):
                    os.chown(os.path.join(self.root, name), *ids, follow_symlinks=False)
        else:
            prefix = []
            print("not tested: files whose mode keeps them from being read (root, and no way "
                  "to run as nobody)")
        summary = "tagscope: files: %d done, %d failed, %d not read, %d passed over\n" % counts
        # Changes last: the title the rename reads stays, and the changes make no new names.
        for verb in (["dump"], ["show"], ["pictures"], ["fix-encoding", "--dry-run"],
                     ["rename", "--format", "%{title}", "--dry-run"], ["set", "--title", "one"],
                     ["erase", "--v1"]):
            with self.subTest(verb[0]):
                result = run(verb[0], "-r", self.root, *verb[1:], prefix=prefix)
                errors = result.stderr.decode()
                self.assertEqual(result.returncode, 1, errors)
                for pattern in expected:
                    self.assertRegex(errors, pattern)
                self.assertTrue(errors.endswith(summary), errors)

    def test_a_walk_leaves_out_the_writers_own_files(self):
        long = "L" * 230 + ".mp3"
        cut = long[:200] + "." + hashlib.sha256(long.encode()).hexdigest()[:16]
        ours = ["a.mp3.ID3TMP00000000.tmp", "a.mp3.ID3TMP9F3CA0B1.tmp", "a.mp3.ID3JRN",
                "a.mp3.ID3JRN.0123ABCD.stale", cut + ".ID3JRN", cut + ".ID3TMP0000000F.tmp"]
        # Names that come close: the user's files, songs to be read.
        songs = ["a.mp3", "song.mp3", "b.ID3TMP0000000.tmp", "c.ID3TMP0000000G.tmp", ".ID3JRN",
                 "d.ID3JRN.x", "e.ID3JRN.0123ABCD.stal", "f.ID3JRN.stale", "L" * 210 + ".ID3JRN",
                 "g.ID3TMP00000000.tmp.mp3"]
        for name in ours + songs:
            self.put(name, tag("t") + AUDIO)
        result = run("dump", "--json", "-r", self.root)
        self.assertEqual((result.returncode, result.stderr), (0, b""))
        files = [json.loads(line)["file"] for line in result.stdout.decode().splitlines()]
        self.assertEqual(files, sorted(os.path.join(self.root, n) for n in songs))


class Changes(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.files = []
        for i in range(3):
            path = os.path.join(self.folder.name, "%d.mp3" % i)
            with open(path, "wb") as f:
                f.write(tag("old") + AUDIO)
            self.files.append(path)

    def tearDown(self):
        self.folder.cleanup()

    def titles(self):
        result = run("dump", "--json", *self.files)
        return [json.loads(line)["fields"]["title"] for line in result.stdout.decode().splitlines()]

    def test_set_and_erase_go_on_past_a_file_that_fails(self):
        missing = os.path.join(self.folder.name, "missing.mp3")
        named = [self.files[0], missing, self.files[1], self.files[2]]
        result = run("set", *named, "--comment", "a=b", "--title", "New")
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout.decode().splitlines(),
                         [f + ": written" for f in self.files])
        self.assertIn("File not found: " + missing, result.stderr.decode())
        self.assertEqual(self.titles(), ["New"] * 3)
        result = run("erase", self.files[0], missing, *self.files[1:])
        self.assertEqual(result.returncode, 1)
        self.assertEqual(len(result.stdout.decode().splitlines()), 3)
        self.assertEqual(self.titles(), [""] * 3)

    def test_one_file_is_as_before(self):
        result = run("set", self.files[0], "--title", "Only")
        self.assertEqual((result.returncode, result.stdout), (0, b""))
        result = run("set", "--title", "x", os.path.join(self.folder.name, "missing.mp3"))
        self.assertEqual(result.returncode, 1)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]], verbosity=1)
