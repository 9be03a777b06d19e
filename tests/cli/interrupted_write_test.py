#!/usr/bin/env python3
"""Stops `tagscope set` at many points of in-place and growing writes, by SIGKILL and by the
file-size limit, and checks that the next run finds the file whole: the old tag or the new one,
the audio untouched, nothing left beside the file."""
import json
import os
import random
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import dump_schema
from tool_run import run

TOOL = sys.argv[1]
AUDIO = bytes((i * 13 + 5) % 253 for i in range(1_000_000))
# Titles that fit the padding: one changes bytes within one block of the disk (one write, no
# journal), the other spans blocks (journalled). The third outgrows the tag (a new file).
SHORT, IN_PLACE, GROWN = "New", "New in place " + "n" * 500, "N" * 2000


class InterruptedWrites(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.file = os.path.join(self.folder.name, "song.mp3")

    def tearDown(self):
        self.folder.cleanup()

    def start(self):
        with open(self.file, "wb") as f:
            f.write(AUDIO)
        result = run("set", self.file, "--title", "Old", "--padding", "600")
        self.assertEqual(result.returncode, 0, result.stderr)

    def check_whole(self, titles):
        # The next run puts right what the stopped one left, then reads the file.
        result = run("set", self.file, "--year", "2000")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(os.listdir(self.folder.name), ["song.mp3"])
        dump = run("dump", "--json", self.file)
        tag = dump_schema.loads(dump.stdout)
        self.assertIn(tag["fields"]["title"], titles)
        with open(self.file, "rb") as f:
            data = f.read()
        self.assertEqual(data[tag["tag"]["length"]:], AUDIO)
        return tag["fields"]["title"]

    def test_file_size_limit_at_many_points(self):
        # An edit into the padding (in place) and one that outgrows it (a new file).
        for title in (IN_PLACE, GROWN):
            seen = set()
            journals = 0
            for limit in list(range(0, 1600, 131)) + [500_000, 1_000_500, 10**9]:
                self.start()
                run("set", self.file, "--title", title, limit=limit)
                left = os.listdir(self.folder.name)
                # A journal is written whole under a scratch name before it takes its own.
                journals += any(n.startswith("song.mp3.ID3TMP") for n in left)
                if "song.mp3.ID3JRN" in left:
                    # The file may be torn only once the journal is marked: before, the writer
                    # had not touched it.
                    with open(self.file + ".ID3JRN", "rb") as f:
                        marked = f.read(9)[8:9] == b"1"
                    dump = dump_schema.loads(run("dump", "--json", self.file).stdout)
                    self.assertEqual(bool(dump.get("journalPending")), marked)
                    # Found by a walk of the folder too, which lists the journal beside it.
                    walked = dump_schema.loads(run("dump", "--json", "-r", self.folder.name).stdout)
                    self.assertEqual(bool(walked.get("journalPending")), marked)
                    journals += 1
                    # Renamed away from its journal, a torn file would stay torn.
                    if marked:
                        moved = run("rename", self.file, "--format", "%{title}")
                        self.assertNotEqual(moved.returncode, 0)
                        self.assertIn(b"cut short", moved.stderr)
                        self.assertIn("song.mp3", os.listdir(self.folder.name))
                seen.add(self.check_whole({"Old", title}))
            self.assertTrue(len(seen) == 2, "every run ended alike")
            if title == IN_PLACE:
                self.assertGreater(journals, 0, "no stop fell between journal and tag")

    def test_sigkill_at_many_points(self):
        rng = random.Random(11)
        for title in (SHORT, IN_PLACE, GROWN):
            for _ in range(8):
                self.start()
                process = subprocess.Popen([TOOL, "set", self.file, "--title", title],
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                time.sleep(rng.uniform(0, 0.03))
                process.send_signal(signal.SIGKILL)
                process.wait()
                self.check_whole({"Old", title})

    def test_sigkill_of_many_files_written_at_once(self):
        # Files written on many threads at once, in place and beside, sharing their folder's
        # flushes: each ends old or new, and the next run leaves nothing beside them.
        rng = random.Random(5)
        names = [os.path.join(self.folder.name, "%02d.mp3" % i) for i in range(24)]
        for round in range(6):
            for name in names:
                with open(name, "wb") as f:
                    f.write(AUDIO[:200_000])
            self.assertEqual(run("set", *names, "--title", "Old", "--padding", "600").returncode, 0)
            title = (SHORT, IN_PLACE, GROWN)[round % 3]
            process = subprocess.Popen([TOOL, "set", *names, "--title", title],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(rng.uniform(0.005, 0.06))
            process.send_signal(signal.SIGKILL)
            process.wait()
            result = run("set", *names, "--year", "2000")
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(sorted(os.listdir(self.folder.name)), [os.path.basename(n) for n in names])
            for line in run("dump", "--json", *names).stdout.decode().splitlines():
                tag = dump_schema.loads(line)
                self.assertIn(tag["fields"]["title"], {"Old", title})
                with open(tag["file"], "rb") as f:
                    self.assertEqual(f.read()[tag["tag"]["length"]:], AUDIO[:200_000])


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]])
