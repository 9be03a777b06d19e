#!/usr/bin/env python3
"""`tagscope repair` on files ffmpeg encodes, damaged as downloads and writers damage them: each
damage found by `check`, repaired, and the repaired file checked by `check`, ffmpeg (decodes
without a word, the same samples as the undamaged file up to what was cut), mutagen (the length
from the new header agrees with ffmpeg's) and mp3val; tags and trailers kept byte for byte; a
kill at any write leaves the file old or new.

Usage: repair_test.py TAGSCOPE. Exit 77 when ffmpeg or mutagen is missing."""

import itertools
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest

try:
    from mutagen import mp3
except ImportError:
    mp3 = None
if not shutil.which("ffmpeg") or not shutil.which("ffprobe") or mp3 is None:
    print("ffmpeg or mutagen is missing")
    sys.exit(77)

TOOL = sys.argv[1]
MP3VAL = shutil.which("mp3val")
STRACE = shutil.which("strace")
if STRACE and subprocess.run([STRACE, "-qq", "-o", os.devnull, "true"],
                             capture_output=True).returncode != 0:
    STRACE = None
CHANGES = ("write", "pwrite64", "ftruncate", "fsync", "fdatasync", "rename", "renameat",
           "renameat2", "unlinkat")

BITRATES = {1: [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320],
            2: [0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160]}
RATES = {1: [44100, 48000, 32000], 2: [22050, 24000, 16000]}
ID3V2 = b"ID3\x03\0\0\0\0\0\x15TIT2\0\0\0\x0b\0\0\0Repaired!!"
V1 = b"TAG" + b"V1 title".ljust(125, b"\0")
OLD_V1 = b"TAG" + b"an older trailer".ljust(125, b"\0")
APE_ITEM = struct.pack("<II", 5, 0) + b"Title\0hello"
APE = b"".join(b"APETAGEX" + struct.pack("<IIII", 2000, 32 + len(APE_ITEM), 1, 1 << 31 | flag) +
               bytes(8) + item for flag, item in ((1 << 29, APE_ITEM), (0, b"")))


def encode(path, *args):
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    "sine=frequency=440:duration=3", *args, "-c:a", "libmp3lame",
                    "-id3v2_version", "0", "-write_id3v1", "0", path], check=True)
    with open(path, "rb") as f:
        return f.read()


def frames(audio):
    """(offset, length, samples) of each frame of a layer III stream that begins at byte 0."""
    out, pos = [], 0
    while pos + 4 <= len(audio) and audio[pos] == 0xFF:
        bits = int.from_bytes(audio[pos:pos + 4], "big")
        mpeg1 = (bits >> 19) & 1
        rate = RATES[1 if mpeg1 else 2][(bits >> 10) & 3]
        samples = 1152 if mpeg1 else 576
        length = samples // 8 * BITRATES[1 if mpeg1 else 2][(bits >> 12) & 15] * 1000 // rate
        out.append((pos, length + ((bits >> 9) & 1), samples))
        pos += out[-1][1]
    return out


def pcm(path):
    return subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "s16le", "-"],
                          capture_output=True, check=True).stdout


def tool(*args):
    return subprocess.run([TOOL, *args], capture_output=True, text=True)


class Repair(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp()
        cls.sources = {
            "cbr": encode(os.path.join(cls.dir, "cbr.mp3"), "-b:a", "128k"),
            "vbr-mono-22k": encode(os.path.join(cls.dir, "vbr.mp3"), "-ac", "1", "-ar", "22050",
                                   "-q:a", "4"),
            "vbr-stereo": encode(os.path.join(cls.dir, "vbr2.mp3"), "-ac", "2", "-q:a", "2"),
        }

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def damaged(self, audio):
        """name: (audio damaged, expected check finding, samples cut, whether the undamaged
        file's decode is the oracle)"""
        at = frames(audio)
        header = bytearray(audio)
        i = audio.find(b"Xing", 0, 64) if b"Xing" in audio[:64] else audio.find(b"Info", 0, 64)
        count = int.from_bytes(header[i + 8:i + 12], "big")
        header[i + 8:i + 12] = (count * 2).to_bytes(4, "big")
        crc = bytearray(audio)
        lame = i + 8 + 4 + 4 + 100 + 4
        crc[lame + 34] ^= 0x5A
        last = at[-1]
        # A VBRI header (its fixed place, 36 bytes in) in the Xing header's frame, counting
        # twice the frames.
        vbri = (audio[:4] + bytes(32) + b"VBRI" + struct.pack(">HHHII", 1, 576, 75, len(audio),
                                                              2 * (len(at) - 1)) +
                bytes(8)).ljust(at[0][1], b"\0")
        return {
            "junk": (audio[:at[40][0]] + b"\x12\x34\x56" * 40 + audio[at[40][0]:], "junk", 0,
                     True),
            "junk-before-first": (b"junk!" * 30 + audio, "junk", 0, True),
            "cut-short": (audio[:last[0] + last[1] // 2], "truncated-frame", last[2], True),
            "lying-header": (bytes(header), "header-frame-count", 0, True),
            "lame-crc": (bytes(crc), "lame-crc", 0, True),
            "no-header": (audio[at[1][0]:] + audio[:0], None, 0, False),
            "two-v1": (audio + OLD_V1, "second-id3v1", 0, True),
            "vbri-header": (vbri + audio[at[1][0]:], "header-frame-count", 0, False),
            # Frames that draw on the bit reservoir of frames gone: said, not mended.
            "cut-at-start": (audio[at[20][0]:], None, 0, False),
        }

    def test_each_damage_is_repaired(self):
        for source, audio in self.sources.items():
            for name, (data, kind, cut, same) in self.damaged(audio).items():
                with self.subTest(source=source, damage=name):
                    self.check_repair(source + "-" + name, audio, data, kind, cut, same)

    def check_repair(self, name, audio, data, kind, cut, same):
        # Tags before and blocks behind the audio stay as they are (a second ID3v1 trailer is
        # the one right below the last).
        tail = V1 if name.endswith("two-v1") else APE + V1
        path = os.path.join(self.dir, name + ".mp3")
        with open(path, "wb") as f:
            f.write(ID3V2 + data + tail)
        undamaged = os.path.join(self.dir, name + ".orig.mp3")
        with open(undamaged, "wb") as f:
            f.write(ID3V2 + (audio if same else data) + tail)
        r = tool("check", "--json", path)
        report = json.loads(r.stdout)
        if kind:
            self.assertEqual(r.returncode, 1, r.stdout)
            self.assertIn(kind, [f["kind"] for f in report["findings"]])
        if name.endswith("cut-at-start"):
            self.assertIn(path + ": note: the first frame draws on ", tool("repair", "--dry-run",
                                                                           path).stdout)
        if not kind and "vbr" not in name:
            # A constant bitrate without a header is no damage: nothing to do.
            r = tool("repair", path)
            self.assertEqual(r.returncode, 0)
            self.assertTrue(r.stdout.endswith(path + ": nothing to repair\n"), r.stdout)
            return
        dry = tool("repair", "--dry-run", path)
        self.assertEqual(dry.returncode, 0, dry.stdout + dry.stderr)
        with open(path, "rb") as f:
            self.assertEqual(f.read(), ID3V2 + data + tail)
        r = tool("repair", path)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertEqual(r.stdout.replace("repaired", "x"),
                         dry.stdout.replace("not changed (dry run)", "x"))
        r = tool("check", "--json", path)
        report = json.loads(r.stdout)
        self.assertEqual(report["findings"], [], r.stdout)
        self.assertIn(report["vbrHeader"], ("Xing", "Info"))
        with open(path, "rb") as f:
            repaired = f.read()
        self.assertTrue(repaired.startswith(ID3V2) and repaired.endswith(tail))
        if name.endswith("two-v1"):
            self.assertEqual(repaired, ID3V2 + audio + tail)
        # Decodes without a word, and as the undamaged file did, less what was cut.
        r = subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "null", "-"],
                           capture_output=True, text=True)
        self.assertEqual(r.stderr, "")
        after, before = pcm(path), pcm(undamaged)
        self.assertEqual(after, before[:len(after)])
        self.assertLessEqual(len(before) - len(after), cut * 2 * (2 if "stereo" in name or
                                                                  "cbr" in name else 1))
        if cut == 0:
            self.assertEqual(len(after), len(before))
        # The length from the header, as mutagen and ffmpeg read it.
        probe = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format=duration",
                                "-of", "csv=p=0", path], capture_output=True, text=True)
        self.assertAlmostEqual(mp3.MP3(path).info.length, float(probe.stdout), places=3)
        self.assertAlmostEqual(mp3.MP3(path).info.length, report["length"], places=3)
        audio_facts = json.loads(tool("dump", "--json", path).stdout)["audio"]
        self.assertEqual((audio_facts["durationFrom"], audio_facts["frames"]),
                         ("header", report["frames"]))
        if MP3VAL:
            r = subprocess.run([MP3VAL, path], capture_output=True, text=True)
            self.assertNotIn("WARNING", r.stdout, r.stdout)
        # A second run finds nothing to do.
        r = tool("repair", path)
        self.assertEqual(r.returncode, 0)
        self.assertTrue(r.stdout.endswith(path + ": nothing to repair\n"), r.stdout)

    def test_several_files_exit_status_and_what_is_left(self):
        folder = os.path.join(self.dir, "many")
        os.mkdir(folder)
        audio = self.sources["cbr"]
        at = frames(audio)
        big = b"\x12\x34\x56" * 24000  # more than 64 KB: maybe someone's data
        files = {
            "clean": audio,
            "junk": audio[:at[9][0]] + b"junk" * 9 + audio[at[9][0]:],
            "big-junk": audio[:at[20][0]] + big + audio[at[20][0]:],
            "tag-inside": audio[:at[30][0]] + b"ID3\x03\0\0\0\0\0\x20" + bytes(32) +
                          audio[at[30][0]:],
        }
        paths = {}
        for name, data in files.items():
            paths[name] = os.path.join(folder, name + ".mp3")
            with open(paths[name], "wb") as f:
                f.write(data)
            os.utime(paths[name], (1e9, 1e9))
        r = tool("repair", "-p", paths["clean"], paths["junk"], paths["big-junk"])
        self.assertEqual(r.returncode, 1, r.stdout + r.stderr)
        lines = r.stdout.splitlines()
        self.assertEqual(lines[0], paths["clean"] + ": nothing to repair")
        self.assertIn(paths["junk"] + ": at byte %d: cut junk between frames (36 bytes)" %
                      at[9][0], lines)
        self.assertIn(paths["big-junk"] + ": left: junk between frames (72000 bytes) at byte "
                      "%d: not cut: more than 64 KB, which may be someone's data (--force cuts "
                      "it)" % at[20][0], lines)
        with open(paths["junk"], "rb") as f:
            self.assertEqual(f.read(), audio)
        self.assertEqual(os.stat(paths["junk"]).st_mtime, 1e9)
        # Forced, the long run goes too; an ID3v2 tag inside the audio stays.
        self.assertEqual(tool("repair", "--force", paths["big-junk"]).returncode, 0)
        with open(paths["big-junk"], "rb") as f:
            self.assertEqual(f.read(), audio)
        r = tool("repair", paths["tag-inside"])
        self.assertEqual(r.returncode, 1)
        self.assertIn("left: an ID3v2 tag inside the audio (42 bytes)", r.stdout)
        with open(paths["tag-inside"], "rb") as f:
            self.assertEqual(f.read(), files["tag-inside"])
        # A file that cannot be read: 2, the others still done, a summary for the folder.
        r = tool("repair", "-r", folder, os.path.join(folder, "missing.mp3"))
        self.assertEqual(r.returncode, 2, r.stdout + r.stderr)
        self.assertEqual(len(r.stdout.splitlines()), 5)
        self.assertIn("missing.mp3", r.stderr)
        self.assertIn("files: ", r.stderr)

    def killed(self, path, args, original):
        """Runs the tool on the file again and again, each time from the original bytes and
        killed at another write, flush, rename or size change; yields after each kill."""
        # Under the sanitizers (whose runs make many more calls, each slower) the kills fall at
        # random moments: that run is for what touches memory, this one's kills natively.
        if not STRACE or "ASAN_OPTIONS" in os.environ:
            for n in range(12):
                with open(path, "wb") as f:
                    f.write(original)
                process = subprocess.Popen([TOOL, *args, path], stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL)
                time.sleep(n * 0.002)
                process.kill()
                process.wait()
                yield "after %.1f ms" % (n * 2)
            return
        for call in CHANGES:
            for n in itertools.count(1):
                with open(path, "wb") as f:
                    f.write(original)
                r = subprocess.run([STRACE, "-f", "-qq", "-o", os.devnull, "-e",
                                    "inject=%s:signal=KILL:when=%d" % (call, n), TOOL, *args,
                                    path], capture_output=True, timeout=60)
                if r.returncode == 0:
                    break  # it makes fewer such calls
                yield "%s %d" % (call, n)

    def test_a_killed_repair_leaves_the_file_old_or_new(self):
        audio = self.sources["vbr-mono-22k"]
        damages = self.damaged(audio)
        # Cuts rewrite the file beside it; a header frame alone is changed in place.
        for name in ("junk", "lame-crc"):
            with self.subTest(name):
                folder = os.path.join(self.dir, "kill-" + name)
                os.mkdir(folder)
                path = os.path.join(folder, "song.mp3")
                old = ID3V2 + damages[name][0] + V1
                with open(path, "wb") as f:
                    f.write(old)
                tool("repair", path)
                with open(path, "rb") as f:
                    new = f.read()
                self.assertNotEqual(new, old)
                kills = 0
                for point in self.killed(path, ["repair"], old):
                    kills += 1
                    with open(path, "rb") as f:
                        self.assertIn(f.read(), (old, new), point)
                    tool("repair", path)
                    with open(path, "rb") as f:
                        self.assertEqual(f.read(), new, point)
                    self.assertEqual(os.listdir(folder), ["song.mp3"], point)
                self.assertGreater(kills, 0)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
