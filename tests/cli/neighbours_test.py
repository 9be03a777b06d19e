#!/usr/bin/env python3
"""What stands beside the file or is named on the command line is input: FIFOs are refused at
once by every verb, links under value and picture names are not followed, a value file is read
to its end, and a journal a stopped writer left holds no reader up. Everything is made in the
test's own folder."""
import json
import os
import subprocess
import sys
import tempfile
import time
import unittest
from tool_run import run

TOOL = sys.argv[1]
AUDIO = bytes((i * 7 + 1) % 251 for i in range(20000))


class Neighbours(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.file = self.path("song.mp3")
        with open(self.file, "wb") as f:
            f.write(AUDIO)
        self.assertEqual(run("set", self.file, "--title", "Old").returncode, 0)

    def tearDown(self):
        self.folder.cleanup()

    def path(self, name):
        return os.path.join(self.folder.name, name)

    def fifo(self, name):
        os.mkfifo(self.path(name))
        return self.path(name)

    def test_every_verb_refuses_a_fifo_at_once(self):
        pipe = self.fifo("pipe.mp3")
        for args in (["dump", pipe], ["dump", "--json", pipe], ["show", pipe],
                     ["pictures", pipe], ["set", pipe, "--title", "X"], ["erase", pipe],
                     ["decode", self.fifo("pipe.gif"), self.path("out.ppm")]):
            result = run(*args)
            self.assertNotEqual(result.returncode, 0, args)
            self.assertIn(b"FIFO", result.stderr, args)

    def test_value_and_picture_files_are_plain_files_read_to_their_end(self):
        pipe = self.fifo("notes.txt")
        result = run("set", self.file, "--value-from-file", "--title", "@" + pipe)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn(b"FIFO", result.stderr)
        secret = self.path("secret.txt")
        with open(secret, "w") as f:
            f.write("private words")
        os.symlink(secret, self.path("link.txt"))
        os.symlink(secret, self.path("cover.jpg"))
        result = run("set", self.file, "--value-from-file", "--title", "@" + self.path("link.txt"))
        self.assertIn(b"symbolic link", result.stderr)
        result = run("set", self.file, "--picture", self.path("cover.jpg"))
        self.assertIn(b"symbolic link", result.stderr)
        with open(self.file, "rb") as f:
            self.assertNotIn(b"private", f.read())

    def test_a_dead_writers_journal_holds_no_reader_up(self):
        # Left by a writer stopped before it touched the file: no mark.
        with open(self.file + ".ID3JRN", "wb") as f:
            f.write(b"ID3JRN2\n0U")
        start = time.monotonic()
        for _ in range(5):
            dump = json.loads(run("dump", "--json", self.file).stdout)
            self.assertNotIn("journalPending", dump)
        self.assertLess(time.monotonic() - start, 2.5, "readers waited for a dead writer")
        self.assertEqual(run("set", self.file, "--title", "New").returncode, 0)
        self.assertEqual(sorted(os.listdir(self.folder.name)), ["song.mp3"])

    @unittest.skipUnless(os.geteuid() == 0, "giving a file to another user needs root")
    def test_slots_another_user_fills_hold_no_write_up_and_are_named(self):
        os.chmod(self.folder.name, 0o1777)
        slots = ["song.mp3.ID3TMP%08X.tmp" % slot for slot in range(16)]
        for slot in slots:
            with open(self.path(slot), "w") as f:
                f.write("planted")
            os.chown(self.path(slot), 65534, 65534)
        for title in ("In place " + "i" * 700, "Grown " + "g" * 3000):
            result = run("set", self.file, "--title", title)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn(b"user 65534", result.stderr)
            show = json.loads(run("dump", "--json", self.file).stdout)
            self.assertIn(title, json.dumps(show))
        self.assertEqual(sorted(os.listdir(self.folder.name)), sorted(["song.mp3"] + slots))
        for slot in slots:
            with open(self.path(slot)) as f:
                self.assertEqual(f.read(), "planted")

    @unittest.skipUnless(os.geteuid() == 0, "running as another user needs root")
    def test_a_copy_back_refused_for_a_planted_journal_names_its_owner(self):
        # A writer that is not the file's owner copies a grown tag back under a journal; a third
        # user's file under the journal's name in a shared folder is neither removed nor used.
        os.chmod(self.folder.name, 0o1777)
        os.chmod(self.file, 0o666)
        journal = self.file + ".ID3JRN"
        with open(journal, "w") as f:
            f.write("planted")
        os.chown(journal, 12345, 12345)
        os.chmod(journal, 0o600)
        with open(self.file, "rb") as f:
            before = f.read()
        result = subprocess.run(["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                 TOOL, "set", self.file, "--title", "G" * 3000],
                                capture_output=True, timeout=20)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn(b"of user 12345", result.stderr)
        with open(self.file, "rb") as f:
            self.assertEqual(f.read(), before)
        with open(journal) as f:
            self.assertEqual(f.read(), "planted")
        self.assertEqual(sorted(os.listdir(self.folder.name)), ["song.mp3", "song.mp3.ID3JRN"])

    def test_two_runs_over_one_folder_leave_every_song_whole_and_nothing_beside(self):
        # Each run passes its journal files on under scratch names beside the songs; the other
        # run neither takes them for songs nor removes, renames or uses them.
        songs = self.path("many")
        os.mkdir(songs)
        with open(self.file, "rb") as f:
            song = f.read()
        names = [f"{i:03d}.mp3" for i in range(120)]
        for name in names:
            with open(os.path.join(songs, name), "wb") as f:
                f.write(song)
        runs = [subprocess.Popen([TOOL, "set", "-r", songs, "--album", album * 700],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
                for album in ("A", "B")]
        for r in runs:
            _, err = r.communicate(timeout=120)
            self.assertEqual(r.returncode, 0, err.decode(errors="replace")[:2000])
            self.assertNotIn(b"stale", err)
        self.assertEqual(sorted(os.listdir(songs)), names)
        for name in names:
            shown = run("dump", "--json", os.path.join(songs, name))
            self.assertEqual(shown.returncode, 0, name)
            albums = [f["content"]["text"] for f in json.loads(shown.stdout)["frames"]
                      if f.get("id") == "TALB"]
            self.assertIn(albums, ([["A" * 700]], [["B" * 700]]), name)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]])
