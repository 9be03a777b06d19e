#!/usr/bin/env python3
"""Lengths `tagscope dump --json` gives against what ffmpeg's decoder plays, where an estimate
from the first frames would be far off: VBR without a Xing header, a Xing header counting more
frames than the file holds (edited, or the file cut short), and constant bitrates, whose
estimate is kept. Chapters past the estimate but within the decoded length are accepted.

Usage: lengths_test.py TOOL. Exit 77 when ffmpeg is missing."""
import functools
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import tool_run

tool_run.needs("ffmpeg")

FRAME = 1152 / 44100


run = functools.partial(tool_run.run, ok=True)


def encode(path, seconds, options):
    # Noise, then near silence: the first frames' bitrate is far above the rest's.
    loud = seconds / 4
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                    "anoisesrc=d=%s:a=0.4:s=3" % seconds, "-af",
                    "volume='if(lt(t,%s),1,0.001)':eval=frame" % loud, "-ac", "2", "-ar",
                    "44100", "-c:a", "libmp3lame", *options, path], check=True, timeout=60)


def decoded(path):
    """Seconds ffmpeg's decoder plays: the last time its decode to nowhere reports."""
    result = subprocess.run(["ffmpeg", "-nostdin", "-i", path, "-f", "null", "-"],
                            capture_output=True, text=True, timeout=60)
    h, m, s = re.findall(r"time=(\d+):(\d+):([\d.]+)", result.stderr)[-1]
    return int(h) * 3600 + int(m) * 60 + float(s)


def audio(path):
    return json.loads(run("dump", "--json", path).stdout)["audio"]


class Lengths(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.vbr = cls.path("vbr-noxing.mp3")
        encode(cls.vbr, 40.04, ["-q:a", "2", "-write_xing", "0"])
        cls.cbr = cls.path("cbr-noxing.mp3")
        encode(cls.cbr, 20, ["-b:a", "128k", "-write_xing", "0"])
        xing = cls.path("vbr-xing.mp3")
        encode(xing, 30, ["-q:a", "2"])
        with open(xing, "rb") as f:
            data = f.read()
        at = data.index(b"Xing") + 8
        frames = struct.unpack(">I", data[at:at + 4])[0]
        cls.longer = cls.path("xing-frames-longer.mp3")
        with open(cls.longer, "wb") as f:
            f.write(data[:at] + struct.pack(">I", frames * 13 // 10) + data[at + 4:])
        cls.cut = cls.path("xing-file-cut.mp3")
        with open(cls.cut, "wb") as f:
            f.write(data[:len(data) * 6 // 10])

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    @classmethod
    def path(cls, name):
        return os.path.join(cls.folder.name, name)

    def test_lengths_in_doubt_are_counted_and_agree_with_the_decoder(self):
        for path, source in ((self.vbr, "counted"), (self.longer, "counted"),
                             (self.cut, "counted"), (self.cbr, "estimated")):
            with self.subTest(os.path.basename(path)):
                ours = audio(path)
                self.assertEqual(ours["durationFrom"], source)
                self.assertNotIn("durationInDoubt", ours)
                # The decoder leaves out the encoder's delay where a LAME extension gives it.
                self.assertAlmostEqual(ours["duration"], decoded(path), delta=2 * FRAME)

    def test_chapters_past_the_estimate_but_within_the_counted_length(self):
        name = self.path("chapters.mp3")
        shutil.copyfile(self.vbr, name)
        chapters = self.path("chapters.txt")
        with open(chapters, "w") as f:
            f.write("00:00 Loud\n00:38 Quiet\n")
        run("set", name, "--chapters", chapters)
        frames = json.loads(run("dump", "--json", name).stdout)["frames"]
        ends = [f["content"]["endTime"] for f in frames if f["id"] == "CHAP"]
        self.assertEqual(ends[0], 38000)
        self.assertAlmostEqual(ends[1] / 1000, decoded(self.vbr), delta=2 * FRAME)
        with open(chapters, "w") as f:
            f.write("00:00 Loud\n00:41 Past\n")
        result = run("set", name, "--chapters", chapters, ok=False)
        self.assertIn("past the audio's end at 00:00:40.0", result.stderr.decode())


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]], verbosity=1)
