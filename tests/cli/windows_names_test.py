#!/usr/bin/env python3
"""Checks the Windows build of the tool under Wine with names and texts outside the ANSI code
page: arguments reach it as UTF-8, files with such names are read, written and created, and its
output is UTF-8. Arguments: the emulator that runs Windows programs, the tool, the example."""
import functools
import json
import os
import shutil
import sys
import tempfile
import unittest
import dump_schema
import tool_run

EMULATOR, TOOL, EXAMPLE = sys.argv[1], sys.argv[2], sys.argv[3]
AUDIO = bytes((i * 7 + 1) % 251 for i in range(4000))
# Wine reads the Unix arguments in the locale's encoding.
ENV = dict(os.environ, LC_ALL="C.UTF-8", WINE_TIMEOUT="60")


run = functools.partial(tool_run.run, tool=TOOL, prefix=(EMULATOR,), timeout=120, env=ENV)


def windows_name(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class UnicodeNames(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.folder.cleanup()

    def path(self, name):
        return os.path.join(self.folder.name, name)

    def test_set_and_dump(self):
        path = self.path("Ünïcødé-日本.mp3")
        with open(path, "wb") as f:
            f.write(AUDIO)
        result = run("set", windows_name(path), "--title", "Café Ünïcødé", "--comment", "Grüße=Öl")
        self.assertEqual(result.returncode, 0, result.stderr.decode("utf-8", "replace"))
        result = run("dump", "--json", windows_name(path))
        self.assertEqual(result.returncode, 0, result.stderr.decode("utf-8", "replace"))
        tag = dump_schema.loads(result.stdout)
        self.assertEqual(tag["file"], windows_name(path))
        self.assertEqual(tag["fields"]["title"], "Café Ünïcødé")
        self.assertEqual(tag["comments"],
                         [{"language": "eng", "description": "Grüße", "text": "Öl"}])
        with open(path, "rb") as f:
            data = f.read()
        self.assertIn("Café Ünïcødé".encode("latin-1"), data)
        self.assertEqual(data[tag["tag"]["length"]:], AUDIO)
        self.assertEqual(os.listdir(self.folder.name), ["Ünïcødé-日本.mp3"])

    def test_pictures_extracted_into_a_new_folder(self):
        path = self.path("日本.mp3")
        shutil.copyfile(EXAMPLE, path)
        out = self.path("Bilder-Ελληνικά")
        result = run("pictures", windows_name(path), "--extract", windows_name(out))
        self.assertEqual(result.returncode, 0, result.stderr.decode("utf-8", "replace"))
        self.assertIn("written to " + windows_name(out) + "\\picture0.",
                      result.stdout.decode("utf-8"))
        self.assertTrue(os.listdir(out))
        self.assertEqual(sorted(os.listdir(self.folder.name)), ["Bilder-Ελληνικά", "日本.mp3"])

    def test_missing_file_named_in_the_message(self):
        missing = windows_name(self.path("Ελληνικά.mp3"))
        result = run("dump", missing)
        self.assertEqual(result.returncode, 1)
        self.assertIn(missing, result.stderr.decode("utf-8"))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
