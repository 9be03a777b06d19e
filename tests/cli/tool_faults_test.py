#!/usr/bin/env python3
"""Faults of the tool once found by hand, each with its own test: outputs written through a link
planted under their names, tags glued to files that are not MP3, a frame added past the limit
every read stops at, a change cut short shown without a warning, names whose escape sequences
reach the terminal, a header's counts the file cannot hold shown as its length, and folder walks
that stop without a word or list a folder twice. Everything is made in the test's own folder."""
import functools
import os
import random
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

import dump_schema
import tool_run

TOOL = tool_run.TOOL
AUDIO = bytes((i * 7 + 1) % 251 for i in range(20000))
# A 3 x 2 GIF, as the decode tests have it.
GIF = (b"GIF89a\x03\x00\x02\x00\x81\x00\x00" + bytes([255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 8, 7])
       + b",\x00\x00\x00\x00\x03\x00\x02\x00\x00\x02\x04\x44\x34\x10\x05\x00;")


run = functools.partial(tool_run.run, timeout=120)


def syncsafe(n):
    return bytes([(n >> 21) & 127, (n >> 14) & 127, (n >> 7) & 127, n & 127])


def frame(ident, payload):
    return ident + syncsafe(len(payload)) + b"\0\0" + payload


def tag(frames, padding=0):
    return b"ID3\x04\x00\x00" + syncsafe(len(frames) + padding) + frames + b"\0" * padding


class ToolFaults(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.folder.cleanup()

    def path(self, *names):
        return os.path.join(self.folder.name, *names)

    def put(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def test_outputs_are_never_written_through_a_planted_link(self):
        victim = self.put("victim.txt", b"precious")
        song = self.put("song.mp3", tag(frame(b"APIC", b"\0image/gif\0\x03\0" + GIF)) + AUDIO)
        os.mkdir(self.path("out"))
        os.symlink(victim, self.path("out", "picture0.gif"))
        os.symlink(victim, self.path("out.ppm"))
        for args in (["pictures", song, "--extract", self.path("out")],
                     ["decode", self.put("p.gif", GIF), self.path("out.ppm")]):
            with self.subTest(args[0]):
                result = run(*args)
                self.assertEqual(result.returncode, 1)
                self.assertIn(b"exists already; it is not replaced (--overwrite", result.stderr)
                self.assertEqual(self.read("victim.txt"), b"precious")
                # Asked to, the link itself is replaced: its target is never written.
                result = run(*args, "--overwrite")
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(self.read("victim.txt"), b"precious")
        self.assertEqual(self.read("out/picture0.gif"), GIF)
        self.assertFalse(os.path.islink(self.path("out.ppm")))
        self.assertEqual(sorted(os.listdir(self.path("out"))), ["picture0.gif"])

    def test_files_that_are_not_mp3_are_refused_unless_forced(self):
        kinds = {"a.flac": (b"fLaC\0\0\0\x22", "a FLAC file"),
                 "a.ogg": (b"OggS\0\x02", "an Ogg file"),
                 "a.m4a": (b"\0\0\0\x20ftypM4A ", "an MP4 file"),
                 "a.wav": (b"RIFF\x24\0\0\0WAVEfmt ", "a WAV file"),
                 "a.jpg": (b"\xFF\xD8\xFF\xE0\0\x10JFIF", "a JPEG picture"),
                 "a.pdf": (b"%PDF-1.7\n", "a PDF document")}
        for name, (head, kind) in kinds.items():
            with self.subTest(name):
                original = head + AUDIO[:3000]
                path = self.put(name, original)
                result = run("set", path, "--title", "X")
                self.assertEqual(result.returncode, 1)
                self.assertIn(("it is %s, not MP3" % kind).encode(), result.stderr)
                self.assertIn(b"(--force)", result.stderr)
                self.assertEqual(self.read(name), original)
        # Forced, the tag goes on; its content is still seen past it, and only a forced erase
        # takes the tag off again.
        path = self.path("a.flac")
        original = self.read("a.flac")
        self.assertEqual(run("set", path, "--title", "X", "--force").returncode, 0)
        self.assertTrue(self.read("a.flac").startswith(b"ID3"))
        for args in (["set", path, "--title", "Y"], ["erase", "--all", path]):
            result = run(*args)
            self.assertEqual(result.returncode, 1)
            self.assertIn(b"it is a FLAC file, not MP3", result.stderr)
        self.assertEqual(run("erase", path, "--force").returncode, 0)
        self.assertEqual(self.read("a.flac"), original)

    def test_a_tag_at_the_frame_limit_takes_no_more_frames(self):
        frames = b"".join(frame(b"PRIV", b"o\0" + str(i).encode()) for i in range(50000))
        original = tag(frames) + AUDIO
        path = self.put("full.mp3", original)
        for force in ([], ["--force"]):
            result = run("set", path, "--title", "one more", *force)
            self.assertEqual(result.returncode, 1)
            self.assertIn(b"50001 frames", result.stderr)
            self.assertIn(b"50000th frame only", result.stderr)
            self.assertEqual(self.read("full.mp3"), original)

    def test_a_change_cut_short_is_shown_with_a_warning_and_names_are_escaped(self):
        # A writer killed between its marked journal and the end of its write, under a name that
        # holds an escape sequence.
        name = "a\x1b[31mred.mp3"
        path = self.put(name, AUDIO)
        self.assertEqual(run("set", path, "--title", "Old", "--padding", "600").returncode, 0)
        rng = random.Random(5)
        # The kills fall anywhere in a whole run, however long this build takes to start.
        started = time.monotonic()
        # Titles that differ over blocks of the disk from the one before, so that every write
        # is journalled.
        def title(n):
            return "New %d " % n + "nm"[n % 2] * 500
        for n in range(3):
            run("set", path, "--title", title(n))
        whole = (time.monotonic() - started) / 3
        for attempt in range(3000):
            if time.monotonic() - started > 120:
                self.fail("no kill left a marked journal in two minutes")
            process = subprocess.Popen([TOOL, "set", path, "--title", title(attempt)],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(rng.uniform(0, whole * 1.2))
            process.send_signal(signal.SIGKILL)
            process.wait()
            journal = self.path(name + ".ID3JRN")
            if os.path.exists(journal):
                with open(journal, "rb") as f:
                    if f.read(9)[8:9] == b"1":
                        break
        else:
            self.fail("no kill left a marked journal")
        warning = b"An interrupted change left a journal beside this file"
        for verb in ("dump", "show", "pictures"):
            with self.subTest(verb):
                result = run(verb, path)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertIn(warning, result.stdout)
        result = run("set", path, "--year", "2000")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn(b"a\\x1B[31mred.mp3", result.stderr)
        self.assertNotIn(b"\x1b", result.stderr)
        for args in (["decode", self.path(name), self.path("out.ppm")],
                     ["decode", self.put("p.gif", GIF), self.path("b\x1b]0;x\x07", "o.ppm")],
                     ["dump", "--\x1bx"]):
            result = run(*args)
            self.assertNotEqual(result.returncode, 0, args)
            self.assertNotIn(b"\x1b", result.stderr, args)
            self.assertNotIn(b"\x07", result.stderr, args)

    def test_header_counts_the_file_cannot_hold_are_no_length(self):
        # A 2 KB file whose Xing header counts 4 000 000 frames: over 29 hours.
        first = bytearray(b"\xFF\xFB\x90\x64" + bytes(413))
        first[36:48] = b"Xing" + struct.pack(">II", 3, 4000000)
        frames = bytes(first) + (b"\xFF\xFB\x90\x64" + bytes(413)) * 4
        path = self.put("short.mp3", frames)
        audio = dump_schema.loads(run("dump", "--json", path).stdout)["audio"]
        self.assertLess(audio["duration"], 1)
        self.assertEqual(audio["frames"], 4)
        self.assertIn("counts 4000000 frames, more than", audio["vbrHeaderProblem"])
        shown = run("show", path).stdout.decode()
        self.assertIn("counted: the Xing header counts 4000000 frames", shown)

    def test_deep_trees_are_reported_and_loops_read_once(self):
        song = tag(frame(b"TIT2", b"\0deep")) + AUDIO
        deep = self.path("root")
        for _ in range(260):
            deep = os.path.join(deep, "d")
        os.makedirs(deep)
        self.put(os.path.join(deep, "x.mp3"), song)
        self.put(os.path.join("root", "top.mp3"), song)
        result = run("dump", "-r", self.path("root"))
        self.assertEqual(result.returncode, 1)
        self.assertIn(b"lies more than 256 folders deep; it is not read", result.stderr)
        self.assertEqual(result.stdout.count(b"File: "), 1)
        shutil.rmtree(self.path("root"))
        # A bind mount of a folder inside itself, where this machine lets the test make one.
        os.makedirs(self.path("loop", "inner"))
        self.put(os.path.join("loop", "a.mp3"), song)
        if subprocess.run(["mount", "--bind", self.path("loop"), self.path("loop", "inner")],
                          capture_output=True).returncode != 0:
            self.skipTest("no bind mounts here")
        try:
            result = run("dump", "-r", self.path("loop"))
        finally:
            subprocess.run(["umount", self.path("loop", "inner")], check=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.count(b"File: "), 1)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]])
