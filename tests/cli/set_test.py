#!/usr/bin/env python3
"""Checks `tagscope set` and `tagscope erase`: fields written through the engine (read back with
`tagscope dump --json`), texts taken as UTF-8 and stored in ISO-8859-1 where they fit, and every refused
argument leaving the file unchanged."""
import json
import os
import sys
import tempfile
import unittest
import dump_schema
from tool_run import run

TOOL = sys.argv[1]
AUDIO = bytes((i * 7 + 1) % 251 for i in range(4000))


class SetAndErase(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.file = os.path.join(self.folder.name, "song.mp3")
        self.put(AUDIO)

    def tearDown(self):
        self.folder.cleanup()

    def put(self, data):
        with open(self.file, "wb") as f:
            f.write(data)

    def contents(self):
        with open(self.file, "rb") as f:
            return f.read()

    def dump(self):
        result = run("dump", "--json", self.file)
        self.assertEqual(result.returncode, 0, result.stderr)
        return dump_schema.loads(result.stdout)

    def test_fields_comments_and_texts(self):
        result = run("set", self.file, "--title", "Café", "--artist", "Band", "--album", "LP",
                     "--year", "1999", "--track", "3/12", "--grouping", "(17) Rock",
                     "--encoded-by", "Me", "--subtitle", "Live", "--text", "TCOM=Bach",
                     "--comment", "Note=Grüße", "--lang", "deu", "--comment", "Plain=text")
        self.assertEqual(result.returncode, 0, result.stderr)
        tag = self.dump()
        self.assertEqual(tag["fields"], {
            "title": "Café", "artist": "Band", "album": "LP", "genre": "(17) Rock",
            "year": "", "track": "3/12", "encodedBy": "Me", "subTitle": "Live"})
        # A new tag is ID3v2.4: the year is its recording time.
        self.assertEqual(tag["shown"], {"genre": "(17) Rock", "year": "1999"})
        self.assertEqual(tag["comments"], [
            {"language": "deu", "description": "Note", "text": "Grüße"},
            {"language": "eng", "description": "Plain", "text": "text"}])
        self.assertIn("TCOM", [f["id"] for f in tag["frames"]])
        data = self.contents()
        self.assertEqual(data[tag["tag"]["length"]:], AUDIO)
        # ISO-8859-1 in the file: é is one byte.
        self.assertIn(b"\x00Caf\xe9", data)

    def test_padding_footer_and_trailer(self):
        self.assertEqual(run("set", self.file, "--title", "T", "--padding", "300").returncode, 0)
        self.assertEqual(self.dump()["tag"]["padding"], 300)
        self.assertEqual(run("set", self.file, "--footer", "--v1").returncode, 0)
        tag = self.dump()["tag"]
        self.assertTrue(tag["footer"])
        data = self.contents()
        self.assertEqual(data[tag["length"] - 10:tag["length"] - 7], b"3DI")
        self.assertEqual(data[-128:-125], b"TAG")
        self.assertEqual(data[tag["length"]:-128], AUDIO)

    def test_erase(self):
        self.assertEqual(run("set", self.file, "--title", "T").returncode, 0)
        self.assertNotEqual(self.contents(), AUDIO)
        result = run("erase", self.file)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.contents(), AUDIO)

    def test_preserve_mtime_keeps_the_time_whatever_the_change(self):
        # A new tag (rewritten beside), a change in place, a tag that grows (renamed over), a
        # trailer added in place, a trailer cut off the end, the tag erased (rewritten).
        steps = [("set", "--title", "T", "--padding", "2000"), ("set", "--title", "Short"),
                 ("set", "--title", "x" * 5000), ("set", "--v1"), ("erase", "--v1"), ("erase",)]
        for verb, *args in steps:
            before = self.contents()
            os.utime(self.file, ns=(1_000_000_000, 1_234_567_891_987_654_321))
            result = run(verb, "-p", self.file, *args)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertNotEqual(self.contents(), before, (verb, *args))
            self.assertEqual(os.stat(self.file).st_mtime_ns, 1_234_567_891_987_654_321,
                             (verb, *args))
        self.assertEqual(self.contents(), AUDIO)

    def test_refusals_leave_the_file_unchanged(self):
        self.assertEqual(run("set", self.file, "--title", "Old").returncode, 0)
        before = self.contents()
        refused = [
            ["--artist", b"\xff\xfe"],                # not UTF-8
            ["--text", "TCOM"],                      # no "="
            ["--text", "APIC=x"],                    # not a text frame
            ["--text", "TXXX=x"],                    # user-defined texts carry a description
            ["--comment", "no equals sign"],
            ["--lang", "deu"],                       # no comment before it
            ["--comment", "a=b", "--lang", "de"],
            ["--comment", "a=b", "--lang", "deu", "--lang", "fra"],
            ["--padding", "-1"],
            ["--padding", "10", "--footer"],
        ]
        for args in refused:
            with self.subTest(args=args):
                result = run("set", self.file, *args)
                self.assertNotEqual(result.returncode, 0)
                self.assertTrue(result.stderr.strip())
                self.assertEqual(self.contents(), before)

    def test_a_footer_needs_a_version_4_tag(self):
        body = b"TIT2\x00\x00\x00\x03\x00\x00\x00Ab"
        self.put(b"ID3\x03\x00\x00\x00\x00\x00" + bytes([len(body)]) + body + AUDIO)
        before = self.contents()
        result = run("set", self.file, "--footer")
        self.assertNotEqual(result.returncode, 0)
        self.assertIn(b"ID3v2.3", result.stderr)
        self.assertEqual(self.contents(), before)

    def test_missing_files(self):
        missing = os.path.join(self.folder.name, "missing.mp3")
        for verb in (["set", missing, "--title", "x"], ["erase", missing]):
            result = run(*verb)
            self.assertNotEqual(result.returncode, 0)
            self.assertIn(b"missing.mp3", result.stderr)
        self.assertEqual(os.listdir(self.folder.name), ["song.mp3"])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
