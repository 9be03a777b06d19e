#!/usr/bin/env python3
"""`tagscope loudness` on audio ffmpeg makes: its measures against an independent one (loudgain
where installed, else ffmpeg's ebur128 filter), and the ReplayGain values it writes read back
by mutagen: formats, album values, values of other case and in an APE tag replaced, silence,
--dry-run, -p, --rva2, and the rest of the tag untouched.
Exit 77 when mutagen or ffmpeg is missing."""
import functools
import json
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

import tool_run

tool_run.needs("ffmpeg", modules=("mutagen",))
from mutagen.apev2 import APEv2, APENoHeaderError
from mutagen.id3 import ID3, TXXX, TIT2, COMM, APIC, ID3NoHeaderError

KEYS = ["REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK", "REPLAYGAIN_TRACK_RANGE",
        "REPLAYGAIN_REFERENCE_LOUDNESS"]
ALBUM_KEYS = ["REPLAYGAIN_ALBUM_GAIN", "REPLAYGAIN_ALBUM_PEAK", "REPLAYGAIN_ALBUM_RANGE"]

# Programme-like audio: noise under a slow swell, with a tone, so loudness and range vary.
MUSIC = ("anoisesrc=c=pink:r={rate}:a={amp}:d={secs}:s=7,"
         "volume='0.3+0.7*abs(sin(t/2))':eval=frame")


def make(folder, name, codec, rate=44100, channels=2, amp=0.3, secs=8, source=None):
    path = os.path.join(folder, name + ".mp3")
    src = source or MUSIC.format(rate=rate, amp=amp, secs=secs)
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i", src,
                    "-ac", str(channels), "-ar", str(rate), *codec, path], check=True, timeout=60)
    return path


run = functools.partial(tool_run.run, "loudness", text=True, timeout=120, ok=True)


def ffmpeg_measure(path):
    """(gain, linear true peak) by ffmpeg's ebur128 filter, to three decimals."""
    out = subprocess.run(["ffmpeg", "-nostdin", "-hide_banner", "-i", path, "-af",
                          "ebur128=metadata=1:peak=true,ametadata=print:file=-", "-f", "null",
                          "-"], capture_output=True, text=True, timeout=120).stdout
    loudness = float(re.findall(r"lavfi\.r128\.I=(\S+)", out)[-1])
    peak = float(re.findall(r"lavfi\.r128\.true_peak=(\S+)", out)[-1])
    return -18 - loudness, peak


def oracle(path, clipping=False):
    """(gain, linear true peak) by loudgain, else by ffmpeg. loudgain clips what it decodes to
    full scale, so audio above it is measured by ffmpeg, which keeps it as we do."""
    if not shutil.which("loudgain") or clipping:
        return ffmpeg_measure(path)
    out = subprocess.run(["loudgain", "-s", "s", path], capture_output=True, text=True,
                         timeout=120).stdout
    gain = float(re.search(r"Gain:\s+(\S+) dB", out).group(1))
    peak = float(re.search(r"Peak:\s+(\S+) ", out).group(1))
    return gain, peak


def txxx(path):
    """The file's user texts, by description as stored."""
    try:
        tag = ID3(path)
    except ID3NoHeaderError:
        return {}
    return {f.desc: f.text[0] for f in tag.getall("TXXX")}


class Loudness(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        d = cls.dir.name
        cls.cbr = make(d, "cbr", ["-c:a", "libmp3lame", "-b:a", "192k"])
        cls.sources = {
            "cbr": cls.cbr,
            "vbr48-mono": make(d, "vbr48-mono", ["-c:a", "libmp3lame", "-q:a", "4"], 48000, 1),
            "mpeg2": make(d, "mpeg2", ["-c:a", "libmp3lame", "-b:a", "64k"], 22050),
            "clipping": make(d, "clipping", ["-c:a", "libmp3lame", "-b:a", "256k"], amp=1.0,
                             source="aevalsrc=1.4*sin(2*PI*440*t)|1.4*sin(2*PI*660*t):s=44100:d=5"),
        }
        cls.silent = make(d, "silence", ["-c:a", "libmp3lame"],
                          source="anullsrc=r=44100:cl=stereo:d=4")

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def copy(self, source, name):
        path = os.path.join(self.dir.name, name)
        shutil.copyfile(source, path)
        return path

    def test_measures_agree_with_the_oracle(self):
        files = [self.copy(p, "o-" + n + ".mp3") for n, p in self.sources.items()]
        report = json.loads(run("--dry-run", "--json", *files).stdout)
        for entry, path in zip(report["files"], files):
            with self.subTest(os.path.basename(path)):
                gain, peak = oracle(path, "clipping" in path)
                self.assertAlmostEqual(entry["gain"], gain, delta=0.05)
                self.assertAlmostEqual(entry["peak"], peak, delta=peak * 0.005)
                if "clipping" in path:
                    self.assertGreater(entry["peak"], 1.2)

    def test_writes_track_values_as_players_read_them(self):
        path = self.copy(self.cbr, "track.mp3")
        report = json.loads(run("--json", path).stdout)["files"][0]
        values = txxx(path)
        self.assertEqual(sorted(values), sorted(KEYS))
        self.assertEqual(values["REPLAYGAIN_TRACK_GAIN"], "%.2f dB" % report["gain"])
        self.assertRegex(values["REPLAYGAIN_TRACK_GAIN"], r"^-?\d+\.\d\d dB$")
        self.assertRegex(values["REPLAYGAIN_TRACK_PEAK"], r"^\d\.\d{6}$")
        self.assertRegex(values["REPLAYGAIN_TRACK_RANGE"], r"^\d+\.\d\d dB$")
        self.assertEqual(values["REPLAYGAIN_REFERENCE_LOUDNESS"], "-18.00 LUFS")
        self.assertAlmostEqual(float(values["REPLAYGAIN_TRACK_PEAK"]), report["peak"], places=6)
        # Again: the values are replaced, not added.
        run(path)
        self.assertEqual(len(ID3(path).getall("TXXX")), 4)

    def test_album_over_the_run_and_per_folder(self):
        a = self.copy(self.cbr, "album-a.mp3")
        b = self.copy(self.sources["mpeg2"], "album-b.mp3")
        report = json.loads(run("--album", "--json", a, b).stdout)
        album = report["albums"][0]
        self.assertEqual(album["files"], 2)
        self.assertEqual(album["peak"], max(f["peak"] for f in report["files"]))
        for path in (a, b):
            values = txxx(path)
            self.assertEqual(sorted(values), sorted(KEYS + ALBUM_KEYS))
            self.assertEqual(values["REPLAYGAIN_ALBUM_GAIN"], "%.2f dB" % album["gain"])
        # The album lies between its tracks.
        gains = sorted(f["gain"] for f in report["files"])
        self.assertTrue(gains[0] <= album["gain"] <= gains[1])
        # One album per folder.
        for sub in ("x", "y"):
            os.makedirs(os.path.join(self.dir.name, sub), exist_ok=True)
        x1 = self.copy(self.cbr, "x/1.mp3")
        self.copy(self.sources["mpeg2"], "x/2.mp3")
        y1 = self.copy(self.sources["vbr48-mono"], "y/1.mp3")
        report = json.loads(run("--album-per-folder", "-r", "--json",
                                os.path.join(self.dir.name, "x"),
                                os.path.join(self.dir.name, "y")).stdout)
        self.assertEqual([a["files"] for a in report["albums"]], [2, 1])
        self.assertEqual(txxx(y1)["REPLAYGAIN_ALBUM_GAIN"], txxx(y1)["REPLAYGAIN_TRACK_GAIN"])
        self.assertNotEqual(txxx(x1)["REPLAYGAIN_ALBUM_GAIN"], txxx(x1)["REPLAYGAIN_TRACK_GAIN"])

    def test_values_of_other_case_and_in_an_ape_tag_are_replaced(self):
        path = self.copy(self.cbr, "old.mp3")
        tag = ID3()
        tag.add(TIT2(encoding=3, text="Title"))
        tag.add(TXXX(encoding=3, desc="replaygain_track_gain", text="+3.00 dB"))
        tag.add(TXXX(encoding=3, desc="Replaygain_Album_Gain", text="-1.00 dB"))
        tag.save(path)
        ape = APEv2()
        ape["REPLAYGAIN_TRACK_GAIN"] = "+9.00 dB"
        ape["replaygain_track_peak"] = "0.5"
        ape["REPLAYGAIN_ALBUM_GAIN"] = "-2.00 dB"
        ape["Artist"] = "Someone"
        ape.save(path)
        result = run(path)
        values = txxx(path)
        # One of each: the track's new; the album's, not measured by this run, the ID3v2 tag's
        # over the APE tag's, as when the APE tag is moved (set --ape-to-id3).
        self.assertEqual(sorted(values), sorted(KEYS + ["REPLAYGAIN_ALBUM_GAIN"]))
        self.assertEqual(values["REPLAYGAIN_ALBUM_GAIN"], "-1.00 dB")
        self.assertNotEqual(values["REPLAYGAIN_TRACK_GAIN"], "+9.00 dB")
        self.assertEqual(ID3(path)["TPE1"].text, ["Someone"])
        with self.assertRaises(APENoHeaderError):
            APEv2(path)
        self.assertEqual(result.stderr, "")

    def test_an_ape_tag_with_what_the_id3_tag_cannot_take_is_left_whole(self):
        path = self.copy(self.cbr, "ape-conflict.mp3")
        tag = ID3()
        tag.add(TIT2(encoding=3, text="ID3 title"))
        tag.save(path)
        ape = APEv2()
        ape["REPLAYGAIN_TRACK_GAIN"] = "+9.00 dB"
        ape["Title"] = "APE title"
        ape.save(path)
        with open(path, "rb") as f:
            before = f.read()
        result = run(path, ok=False)
        self.assertEqual(result.returncode, 1)
        self.assertIn("APE tag", result.stderr)
        with open(path, "rb") as f:
            self.assertEqual(f.read(), before)

    def test_silence_gets_no_gain_and_a_note(self):
        path = self.copy(self.silent, "silent.mp3")
        tag = ID3()
        tag.add(TXXX(encoding=3, desc="REPLAYGAIN_TRACK_GAIN", text="inf dB"))
        tag.save(path)
        result = run("--json", path)
        self.assertIn("digital silence", result.stderr)
        entry = json.loads(result.stdout)["files"][0]
        self.assertTrue(entry["silent"])
        self.assertIsNone(entry["gain"])
        self.assertEqual(txxx(path), {})

    def test_dry_run_changes_nothing_and_preserve_keeps_the_time(self):
        path = self.copy(self.cbr, "dry.mp3")
        with open(path, "rb") as f:
            before = f.read()
        result = run("--dry-run", path)
        self.assertIn("REPLAYGAIN_TRACK_GAIN", result.stdout)
        with open(path, "rb") as f:
            self.assertEqual(f.read(), before)
        os.utime(path, (1000000000, 1000000000))
        run("-p", path)
        self.assertEqual(os.stat(path).st_mtime, 1000000000)
        self.assertIn("REPLAYGAIN_TRACK_GAIN", txxx(path))

    def test_other_frames_are_untouched(self):
        path = self.copy(self.cbr, "tagged.mp3")
        tag = ID3()
        tag.add(TIT2(encoding=3, text="Grüße"))
        tag.add(COMM(encoding=1, lang="deu", desc="d", text="Kommentar"))
        tag.add(APIC(encoding=0, mime="image/png", type=3, desc="", data=b"\x89PNG" + bytes(900)))
        tag.add(TXXX(encoding=3, desc="MOOD", text="calm"))
        tag.save(path, v2_version=3)
        before = [(f.HashKey, f._pprint()) for f in ID3(path).values()
                  if f.FrameID != "TXXX" or f.desc == "MOOD"]
        run(path)
        after = ID3(path)
        self.assertEqual(after.version, (2, 3, 0))
        self.assertEqual([(f.HashKey, f._pprint()) for f in after.values()
                          if f.FrameID != "TXXX" or f.desc == "MOOD"], before)

    def test_rva2_in_a_v24_tag_only(self):
        v24 = self.copy(self.cbr, "rva24.mp3")
        tag = ID3()
        tag.add(TIT2(encoding=3, text="x"))
        tag.save(v24, v2_version=4)
        v23 = self.copy(self.cbr, "rva23.mp3")
        tag.save(v23, v2_version=3)
        result = run("--rva2", "--album", "--json", v24, v23)
        report = json.loads(result.stdout)
        rva = {f.desc: f.gain for f in ID3(v24).getall("RVA2")}
        self.assertAlmostEqual(rva["track"], report["files"][0]["gain"], delta=1 / 512)
        self.assertAlmostEqual(rva["album"], report["albums"][0]["gain"], delta=1 / 512)
        self.assertEqual(ID3(v23).getall("RVA2"), [])
        self.assertIn("RVA2 not written", result.stderr)

    def test_what_is_not_audio_fails_alone(self):
        junk = os.path.join(self.dir.name, "junk.mp3")
        with open(junk, "wb") as f:
            f.write(b"not audio at all" * 100)
        good = self.copy(self.cbr, "good.mp3")
        result = run(junk, good, ok=False)
        self.assertEqual(result.returncode, 1)
        self.assertIn("junk.mp3", result.stderr)
        self.assertIn("REPLAYGAIN_TRACK_GAIN", txxx(good))
        self.assertIn("good.mp3", result.stdout)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=1)
