#!/usr/bin/env python3
"""The audio facts of `tagscope dump --json` on streams ffmpeg makes, against mutagen's MP3
information: MPEG 1, 2 and 2.5 at every rate from 8 to 48 kHz, layers II and III, mono and
stereo, constant and variable bitrates, with and without a Xing header, with junk before the
first frame, a LAME extension that mutagen reads for gapless lengths, and trailers behind the
audio.
Exit 77 when mutagen or ffmpeg is missing."""
import json
import os
import random
import struct
import subprocess
import sys
import tempfile
import unittest

import tool_run

tool_run.needs("ffmpeg", modules=("mutagen",))
from mutagen.mp3 import MP3, BitrateMode

TOOL = tool_run.TOOL

#(name, sample rate, channels, bitrate options, extra muxer options, MPEG version)
STREAMS = [
    ("v1-44k-stereo-cbr", 44100, 2, ["-b:a", "128k"], [], "1"),
    ("v1-48k-mono-vbr", 48000, 1, ["-q:a", "4"], [], "1"),
    ("v1-32k-stereo-cbr-noxing", 32000, 2, ["-b:a", "96k"], ["-write_xing", "0"], "1"),
    ("v2-24k-mono-cbr", 24000, 1, ["-b:a", "32k"], [], "2"),
    ("v2-22k-stereo-vbr", 22050, 2, ["-q:a", "6"], [], "2"),
    ("v2-16k-mono-vbr-noxing", 16000, 1, ["-q:a", "2"], ["-write_xing", "0"], "2"),
    ("v25-12k-mono-cbr", 12000, 1, ["-b:a", "24k"], [], "2.5"),
    ("v25-11k-stereo-vbr", 11025, 2, ["-q:a", "5"], [], "2.5"),
    ("v25-8k-mono-cbr-noxing", 8000, 1, ["-b:a", "16k"], ["-write_xing", "0"], "2.5"),
    # Layer II, which has no Xing header and 1152 samples a frame in every version.
    ("v1-48k-stereo-layer2", 48000, 2, ["-c:a", "mp2", "-b:a", "192k"], ["-f", "mp2"], "1"),
    ("v2-16k-mono-layer2", 16000, 1, ["-c:a", "mp2", "-b:a", "32k"], ["-f", "mp2"], "2"),
]


def make(folder, name, rate, channels, quality, muxer):
    path = os.path.join(folder, name + ".mp3")
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                    "sine=frequency=330:duration=1.3", "-af", "volume=0.5", "-ac",
                    str(channels), "-ar", str(rate), "-c:a", "libmp3lame", *quality, *muxer,
                    path], check=True, timeout=60)
    return path


def audio(path):
    result = subprocess.run([TOOL, "dump", "--json", path], capture_output=True, timeout=60)
    assert result.returncode == 0, result.stderr
    return json.loads(result.stdout)["audio"]


def tag_end(data):
    if data[:3] != b"ID3":
        return 0
    size = (data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9]
    return 10 + size


class AudioFacts(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.files = {s[0]: make(cls.folder.name, *s[:5]) for s in STREAMS}

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def derived(self, name, data):
        path = os.path.join(self.folder.name, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def assertAgrees(self, path, version=None):
        ours, theirs = audio(path), MP3(path).info
        self.assertTrue(ours["found"])
        if version:
            self.assertEqual(ours["version"], version)
        self.assertEqual(float(ours["version"]), theirs.version)
        self.assertEqual(ours["layer"], theirs.layer)
        self.assertEqual(ours["sampleRate"], theirs.sample_rate)
        self.assertEqual(ours["channels"], theirs.channels)
        self.assertEqual(ours["firstFrameOffset"], theirs.frame_offset)
        if theirs.bitrate_mode != BitrateMode.UNKNOWN:
            self.assertEqual(ours["bitrateMode"], str(theirs.bitrate_mode).split(".")[-1])
        elif ours["bitrateMode"] == "VBR":
#Without a header mutagen takes the first frame's bitrate for the whole stream;
#the frames themselves are counted here.
            return ours
        self.assertAlmostEqual(ours["bitrate"], theirs.bitrate, delta=theirs.bitrate * 0.01)
#mutagen leaves out the encoder's delay and padding only where it reads them itself.
        length = ours["gaplessDuration"] if theirs.encoder_info.startswith("LAME") \
            else ours["duration"]
        frame = 1152 / theirs.sample_rate
        tolerance = 0.002 if ours["durationFrom"] == "header" else frame
        self.assertAlmostEqual(length, theirs.length, delta=tolerance)
        return ours

    def test_every_version_rate_and_mode(self):
        for name, rate, channels, quality, muxer, version in STREAMS:
            with self.subTest(name):
                ours = self.assertAgrees(self.files[name], version)
                layer2 = "mp2" in quality
                self.assertEqual(ours["layer"], 2 if layer2 else 3)
                self.assertEqual(ours["vbrHeader"] != "", not layer2 and "-write_xing" not in muxer)
                vbr = quality[0] == "-q:a"
                self.assertEqual(ours["bitrateMode"], "VBR" if vbr else "CBR")
#The encoder's delay and padding add up to two frames.
                spf = 1152 if version == "1" or layer2 else 576
                self.assertGreaterEqual(ours["duration"], 1.3)
                self.assertLess(ours["duration"], 1.3 + 3 * spf / rate)
                self.assertFalse(ours["apeTag"] or ours["lyrics3"] or ours["id3v1"])

    def test_lame_extension_gives_the_gapless_length(self):
#ffmpeg names itself in the LAME extension; under the LAME name mutagen reads the delay
#and padding too and gives the length without them.
        with open(self.files["v1-48k-mono-vbr"], "rb") as f:
            data = bytearray(f.read())
        at = data.index(b"Lavc")
        data[at:at + 9] = b"LAME3.100"
        ours = self.assertAgrees(self.derived("lame.mp3", bytes(data)))
        self.assertEqual(ours["encoder"], "LAME3.100")
        self.assertGreater(ours["encoderDelay"], 0)
        self.assertAlmostEqual(ours["gaplessDuration"], 1.3, delta=0.001)

    def test_junk_before_the_first_frame(self):
        rnd = random.Random(5)
#Bytes that look like frame headers but lead nowhere, and plain noise.
        junk = b"\xff\xfb\x90\x64" * 3 + b"\xff\xe2" + bytes(rnd.getrandbits(8) for _ in range(3000))
        for name in ("v1-44k-stereo-cbr", "v2-16k-mono-vbr-noxing"):
            with self.subTest(name), open(self.files[name], "rb") as f:
                data = f.read()
                end = tag_end(data)
                path = self.derived("junk-" + name + ".mp3", data[:end] + junk + data[end:])
                ours = self.assertAgrees(path)
                self.assertEqual(ours["firstFrameOffset"], end + len(junk))

    def test_trailers_behind_the_audio(self):
        with open(self.files["v1-44k-stereo-cbr"], "rb") as f:
            data = f.read()
        item = struct.pack("<II", 5, 0) + b"Title\0" + b"hello"
        ape = item + b"APETAGEX" + struct.pack("<IIII", 2000, len(item) + 32, 1, 0) + bytes(8)
        lyrics = b"LYRICSBEGININD0000211"
        lyrics += b"%06dLYRICS200" % len(lyrics)
        v1 = b"TAG" + b"Title".ljust(125, b"\0")
        for name, tail, flags in (("ape", ape, "apeTag"), ("lyrics", lyrics + v1, "lyrics3"),
                                  ("all", ape + lyrics + v1, None)):
            with self.subTest(name):
                ours = audio(self.derived("tail-" + name + ".mp3", data + tail))
                self.assertEqual(ours["audioEnd"], len(data))
                if flags:
                    self.assertTrue(ours[flags])
                else:
                    self.assertTrue(ours["apeTag"] and ours["lyrics3"] and ours["id3v1"])

    def test_not_audio(self):
        path = self.derived("text.mp3", b"ID3\x03\0\0\0\0\0\0" + b"just some words " * 300)
        self.assertEqual(audio(path), {"found": False, "apeTag": False, "lyrics3": False,
                                       "id3v1": False})


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]], verbosity=1)
