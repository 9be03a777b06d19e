#!/usr/bin/env python3
"""Many files at once: `dump`, `show` and `pictures` over folders with -r (MP3 by content, in
path order, links to folders not followed, FIFOs passed over), `set` and `erase` over several
files with one that fails in the middle, and a named FIFO refused without blocking."""
import json
import os
import subprocess
import sys
import tempfile
import unittest

TOOL, EXAMPLE = sys.argv[1], sys.argv[2]
FRAME = b"\xff\xfb\x90\x64" + bytes(413)  # MPEG-1 layer III, 128 kbit/s, 44.1 kHz
AUDIO = FRAME * 8


def run(*args, timeout=60):
    return subprocess.run([TOOL, *args], capture_output=True, timeout=timeout)


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
