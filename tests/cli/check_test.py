#!/usr/bin/env python3
"""`tagscope check` on files ffmpeg makes, damaged in the ways downloads and writers damage them:
each damage found at its offset, the exit status the worst of the files', and, where mp3val is
installed, every file it warns about flagged here too, over a corpus of CBR, VBR, mono and MPEG-2
streams each damaged every way. `dump --check` carries the same report, and `dump` alone the
findings a look at the file's end gives.

Usage: check_test.py TAGSCOPE. Exit 77 when ffmpeg is missing."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

if not shutil.which("ffmpeg"):
    print("ffmpeg is missing")
    sys.exit(77)

TOOL = sys.argv[1]
BITRATES = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320]


def make(path, *quality):
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    "sine=frequency=440:duration=3", "-c:a", "libmp3lame", *quality, path],
                   check=True)
    with open(path, "rb") as f:
        return f.read()


def frame_offsets(data):
    """Where each frame of an MPEG-1 layer III stream at 44.1 kHz begins, after the ID3v2 tag."""
    pos = 0
    if data[:3] == b"ID3":
        pos = 10 + int.from_bytes(bytes(b & 0x7F for b in data[6:10]), "big")
    out = []
    while pos + 4 <= len(data) and data[pos] == 0xFF:
        bits = int.from_bytes(data[pos:pos + 4], "big")
        out.append(pos)
        pos += 144 * BITRATES[(bits >> 12) & 15] * 1000 // 44100 + ((bits >> 9) & 1)
    return out


V2_BITRATES = [0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160]
RATES = [44100, 48000, 32000]


def frames_of(data):
    """(offset, length) of each Layer III frame of an MPEG-1 or MPEG-2 stream, after the tag."""
    pos = 0
    if data[:3] == b"ID3":
        pos = 10 + int.from_bytes(bytes(b & 0x7F for b in data[6:10]), "big")
    out = []
    while pos + 4 <= len(data) and data[pos] == 0xFF and data[pos + 1] & 0xE0 == 0xE0:
        bits = int.from_bytes(data[pos:pos + 4], "big")
        mpeg1 = (bits >> 19) & 1
        rate = RATES[(bits >> 10) & 3] // (1 if mpeg1 else 2)
        kbits = (BITRATES if mpeg1 else V2_BITRATES)[(bits >> 12) & 15]
        out.append((pos, (144 if mpeg1 else 72) * kbits * 1000 // rate + ((bits >> 9) & 1)))
        pos += out[-1][1]
    return out


def check(*args):
    return subprocess.run([TOOL, "check", *args], capture_output=True, text=True)


class Check(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp()
        cbr = make(os.path.join(cls.dir, "clean.mp3"), "-b:a", "128k")
        vbr = make(os.path.join(cls.dir, "vbr.mp3"), "-q:a", "2")
        at = frame_offsets(cbr)
        v1 = b"TAG" + b"t" * 125
        info = bytearray(cbr)
        i = info.find(b"Info")
        count = int.from_bytes(info[i + 8:i + 12], "big")
        info[i + 8:i + 12] = (2 * count).to_bytes(4, "big")
        vbr_at = frame_offsets(vbr)
        # name: (bytes, the kind of finding expected, its offset)
        cls.damaged = {
            "junk": (cbr[:at[50]] + b"\x12\x34" * 50 + cbr[at[50]:], "junk", at[50]),
            "cut": (cbr[:at[-1] + 100], "truncated-frame", at[-1]),
            "garbage": (cbr + b"garbage!" * 20 + v1, "garbage-after-audio", len(cbr)),
            "doubled-count": (bytes(info), "header-frame-count", at[0]),
            "second-v1": (cbr + v1 + v1, "second-id3v1", len(cbr)),
            "tag-inside": (cbr[:at[60]] + b"ID3\x03\0\0\0\0\0\x20" + b"\0" * 32 + cbr[at[60]:],
                           "id3v2-inside-audio", at[60]),
        }
        # A VBR stream whose Xing frame was cut away: legal, and a note only.
        cls.notes = {"no-xing": (vbr[:vbr_at[0]] + vbr[vbr_at[1]:], "vbr-without-header",
                                 vbr_at[0])}
        cls.paths = {}
        for name, (data, _, _) in {**cls.damaged, **cls.notes}.items():
            cls.paths[name] = os.path.join(cls.dir, name + ".mp3")
            with open(cls.paths[name], "wb") as f:
                f.write(data)
        cls.clean = [os.path.join(cls.dir, "clean.mp3"), os.path.join(cls.dir, "vbr.mp3")]

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def test_each_damage_found_at_its_offset(self):
        for name, (_, kind, offset) in {**self.damaged, **self.notes}.items():
            with self.subTest(name):
                r = check("--json", self.paths[name])
                self.assertEqual(r.returncode, 1 if name in self.damaged else 0, r.stdout)
                report = json.loads(r.stdout)
                self.assertEqual(report["path"], self.paths[name])
                found = [f for f in report["findings"] if f["kind"] == kind]
                self.assertEqual([f["offset"] for f in found], [offset], report["findings"])
                self.assertEqual(found[0]["severity"],
                                 "damage" if name in self.damaged else "note")
                self.assertIn("%s: %s at byte %d: %s" %
                              (self.paths[name], found[0]["severity"], offset, found[0]["text"]),
                              check(self.paths[name]).stdout.splitlines())

    def test_clean_files_and_exit_status_is_the_worst(self):
        r = check("--json", *self.clean)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        for line in r.stdout.splitlines():
            report = json.loads(line)
            self.assertEqual(report["findings"], [])
            self.assertEqual(report["frames"], 116)  # 3 s at 1152 samples a frame, rounded up
            self.assertAlmostEqual(report["length"], 116 * 1152 / 44100, places=3)
        missing = os.path.join(self.dir, "missing.mp3")
        self.assertEqual(check(self.clean[0], self.paths["no-xing"]).returncode, 0)
        self.assertEqual(check(self.clean[0], self.paths["junk"]).returncode, 1)
        r = check(self.paths["junk"], missing, self.clean[0])
        self.assertEqual(r.returncode, 2)
        self.assertIn("missing.mp3", r.stderr)
        # The other files are still checked, in their order.
        self.assertEqual(len(r.stdout.splitlines()), 2)
        # A folder is walked with -r.
        r = check("--json", "-r", self.dir)
        self.assertEqual(r.returncode, 1)
        self.assertEqual(len(r.stdout.splitlines()), len(self.paths) + len(self.clean))

    @unittest.skipUnless(shutil.which("mp3val"), "mp3val is missing")
    def test_every_file_mp3val_warns_about_is_flagged(self):
        for path in self.clean + list(self.paths.values()):
            with self.subTest(os.path.basename(path)):
                out = subprocess.run(["mp3val", path], capture_output=True, text=True).stdout
                ours = json.loads(check("--json", path).stdout)["findings"]
                if "WARNING" in out:
                    self.assertTrue(ours, out)


# What `check` reports of each damage that mp3val does not warn about, and why both are right.
EXPLAINED = {
    # mp3val does not look at the LAME extension's checksum; players that do ignore the gapless
    # and ReplayGain fields of an extension whose checksum is wrong.
    "lame-crc": "lame-crc",
}
# Damages neither reports: a CBR stream needs no header to be sought in.
SILENT = {("cbr", "no-xing"), ("mpeg2", "no-xing")}


class Corpus(unittest.TestCase):
    """Each base stream damaged each way; mp3val's warnings are a yardstick where installed."""

    BASES = {"cbr": ["-ac", "2", "-b:a", "128k"], "vbr": ["-ac", "2", "-q:a", "2"],
             "mono": ["-ac", "1", "-q:a", "5"],
             "mpeg2": ["-ac", "2", "-ar", "22050", "-b:a", "64k"]}

    @staticmethod
    def damages(data):
        """name: (bytes, the kind of finding expected, its offset)"""
        f = frames_of(data)
        at = [p for p, _ in f]
        v1 = b"TAG" + b"t" * 125
        lying = bytearray(data)
        i = max(lying.find(b"Xing"), lying.find(b"Info"))
        count = int.from_bytes(lying[i + 8:i + 12], "big")
        lying[i + 8:i + 12] = (2 * count).to_bytes(4, "big")
        crc = bytearray(data)
        lame = crc.find(b"Lavc")
        crc[lame + 10] ^= 0x55  # the lowpass byte, which the checksum covers
        return {
            "junk": (data[:at[50]] + b"\x12\x34" * 50 + data[at[50]:], "junk", at[50]),
            "cut": (data[:at[-1] + f[-1][1] // 2], "truncated-frame", at[-1]),
            "garbage": (data + b"garbage!" * 20 + v1, "garbage-after-audio", len(data)),
            "no-xing": (data[:at[0]] + data[at[1]:], None, at[0]),
            "lying-xing": (bytes(lying), "header-frame-count", at[0]),
            "lame-crc": (bytes(crc), "lame-crc", lame + 34),
            "two-v1": (data + v1 + v1, "second-id3v1", len(data)),
            "tag-inside": (data[:at[60]] + b"ID3\x03\0\0\0\0\0\x20" + b"\0" * 32 + data[at[60]:],
                           "id3v2-inside-audio", at[60]),
        }

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp()
        cls.files = {}  # (base, damage or None): (path, kind, offset)
        for base, quality in cls.BASES.items():
            path = os.path.join(cls.dir, base + ".mp3")
            data = make(path, *quality)
            cls.files[(base, None)] = (path, None, 0)
            for name, (damaged, kind, offset) in cls.damages(data).items():
                path = os.path.join(cls.dir, "%s-%s.mp3" % (base, name))
                with open(path, "wb") as f:
                    f.write(damaged)
                cls.files[(base, name)] = (path, kind, offset)
        paths = [p for p, _, _ in cls.files.values()]
        # One run over every file, on all cores, in the files' order.
        run = check("--json", *paths)
        cls.reports = [json.loads(line) for line in run.stdout.splitlines()]
        cls.status = run.returncode

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def report(self, key):
        return self.reports[list(self.files).index(key)]

    def test_each_damage_of_each_stream_found_at_its_offset(self):
        self.assertEqual([r["path"] for r in self.reports], [p for p, _, _ in self.files.values()])
        self.assertEqual(self.status, 1)
        for (base, name), (path, kind, offset) in self.files.items():
            with self.subTest(base=base, damage=name):
                findings = self.report((base, name))["findings"]
                if name is None:
                    # Clean as ffmpeg made it: mono frames' LAME checksums summed its way too.
                    self.assertEqual(findings, [])
                elif kind is None:
                    # A VBR stream without its header is legal: a note only.
                    self.assertTrue(all(f["severity"] == "note" for f in findings), findings)
                    self.assertEqual(bool(findings), base in ("vbr", "mono"), findings)
                else:
                    self.assertIn((kind, offset), [(f["kind"], f["offset"]) for f in findings])

    @unittest.skipUnless(shutil.which("mp3val"), "mp3val is missing")
    def test_every_file_mp3val_warns_about_is_flagged_and_each_difference_explained(self):
        for (base, name), (path, kind, _) in self.files.items():
            with self.subTest(base=base, damage=name):
                out = subprocess.run(["mp3val", path], capture_output=True, text=True).stdout
                warned = "WARNING" in out
                ours = self.report((base, name))["findings"]
                if warned:
                    self.assertTrue(ours, out)
                elif ours:
                    self.assertIn(name, EXPLAINED, (out, ours))
                    self.assertEqual({f["kind"] for f in ours}, {EXPLAINED[name]})
                else:
                    self.assertTrue(name is None or (base, name) in SILENT, out)

    def test_dump_carries_the_check_and_the_findings_of_the_files_end(self):
        for name in ("two-v1", "junk"):
            path = self.files[("vbr", name)][0]
            dumped = json.loads(subprocess.run([TOOL, "dump", "--check", "--json", path],
                                               capture_output=True, text=True).stdout)
            report = dict(self.report(("vbr", name)))
            del report["path"]
            self.assertEqual(dumped["check"], report)
            # Junk between frames takes a walk to find; a trailer below the trailer does not.
            quick = [f for f in report["findings"] if f["kind"] == "second-id3v1"]
            self.assertEqual(dumped["findings"], quick)
            text = subprocess.run([TOOL, "dump", path], capture_output=True, text=True).stdout
            self.assertEqual("second ID3v1" in text, bool(quick))
        # A header that counts more frames than the file can hold is seen from its start.
        with open(self.files[("cbr", None)][0], "rb") as f:
            data = bytearray(f.read())
        i = data.find(b"Info")
        data[i + 8:i + 12] = (100000).to_bytes(4, "big")
        path = os.path.join(self.dir, "wild-count.mp3")
        with open(path, "wb") as f:
            f.write(data)
        dumped = json.loads(subprocess.run([TOOL, "dump", "--json", path], capture_output=True,
                                           text=True).stdout)
        self.assertEqual([(f["kind"], f["offset"]) for f in dumped["findings"]],
                         [("header-frame-count", frames_of(bytes(data))[0][0])])


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]], verbosity=1)
