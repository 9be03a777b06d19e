#!/usr/bin/env python3
"""The ID3v1 trailer that `tagscope set --v1` writes into files other programs tagged, read
back by mutagen and, when its reader is given, by TagLib: the track of "3/12", the genre of a
reference, a number or a name, no genre ("Blues" is genre 0) where the tag has none, and the
first comment, cut to fit beside a track number or not. A trailer imported into a new tag puts
its genre where both read it.

Usage: trailer_test.py TOOL [TAGLIB-READER]. Exit 77 when mutagen is missing."""
import os
import subprocess
import sys
import tempfile
import unittest

import tool_run

tool_run.needs(modules=("mutagen",))
from mutagen import id3

TOOL = tool_run.TOOL
TAGLIB = sys.argv[2] if len(sys.argv) > 2 and sys.argv[2] else None
# MPEG-1 layer III frames (128 kbit/s, 44.1 kHz) that both readers take for audio.
FRAME = b"\xff\xfb\x90\x64" + bytes(413)
AUDIO = FRAME * 20

# Tags as other programs write them: version, frames; the trailer's track and genre
# (None: the reader shows none). The comment: 28 characters beside a track, else 29 (a 30th
# would be a track to mutagen).
COMMENTS = ["Recorded live at the Old Hal", None, None, "Recorded live at the Old Hall", None]
CASES = [
    (3, [id3.TRCK(encoding=0, text="3/12"), id3.TCON(encoding=0, text="(17)"),
         id3.TYER(encoding=0, text="1999"), id3.COMM(encoding=1, lang="eng", desc="",
                                                      text="Recorded live at the Old Hall, 1999")],
     "3", "Rock", "1999"),
    (4, [id3.TRCK(encoding=3, text="7"), id3.TCON(encoding=3, text="Hip-Hop"),
         id3.TDRC(encoding=3, text="2004-05-06")], "7", "Hip-Hop", "2004"),
    (4, [id3.TRCK(encoding=1, text="12/12"), id3.TCON(encoding=3, text="31")], "12", "Trance",
     None),
    (3, [id3.TRCK(encoding=0, text="300"),
         id3.COMM(encoding=0, lang="eng", desc="", text="Recorded live at the Old Hall, 1999")],
     None, None, None),
    (4, [id3.TCON(encoding=3, text="Synthwave")], None, None, None),
]


class Trailer(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.folder.cleanup()

    def tagged(self, index, version, frames):
        name = os.path.join(self.folder.name, f"song{index}.mp3")
        with open(name, "wb") as f:
            f.write(AUDIO)
        tags = id3.ID3()
        tags.add(id3.TIT2(encoding=3, text="Song"))
        for frame in frames:
            tags.add(frame)
        tags.save(name, v2_version=version, v1=0)
        return name

    def trailer_alone(self, name):
        """The trailer in a file of its own, so that mutagen reads it and nothing else."""
        with open(name, "rb") as f:
            trailer = f.read()[-128:]
        self.assertEqual(trailer[:3], b"TAG")
        alone = name + ".v1"
        with open(alone, "wb") as f:
            f.write(trailer)
        return alone

    def test_other_readers_find_the_track_genre_and_year(self):
        names = []
        for index, (version, frames, track, genre, year) in enumerate(CASES):
            with self.subTest(case=index):
                name = self.tagged(index, version, frames)
                result = subprocess.run([TOOL, "set", name, "--v1"], capture_output=True,
                                        timeout=60)
                self.assertEqual(result.returncode, 0, result.stderr)
                names.append(name)
                tags = id3.ID3(self.trailer_alone(name))
                self.assertEqual(str(tags["TIT2"]), "Song")
                self.assertEqual(str(tags["TRCK"]) if "TRCK" in tags else None, track)
                self.assertEqual(tags["TCON"].genres[0] if "TCON" in tags else None, genre)
                self.assertEqual(str(tags["TDRC"]) if "TDRC" in tags else None, year)
                comments = tags.getall("COMM")
                self.assertEqual(comments[0].text[0] if comments else None, COMMENTS[index])
        if not TAGLIB:
            return
        lines = subprocess.run([TAGLIB, *names], capture_output=True, timeout=60,
                               check=True).stdout.decode().splitlines()
        for line, (version, frames, track, genre, year), comment in zip(lines, CASES, COMMENTS):
            with self.subTest(line=line):
                self.assertEqual(line.split("\t"), ["Song", year or "0", track or "0", genre or "",
                                                    comment or ""])

    def test_an_imported_trailer_gives_its_genre_as_the_content_type(self):
        name = self.tagged(9, 3, [id3.TCON(encoding=0, text="Rock")])
        subprocess.run([TOOL, "set", name, "--v1"], check=True, capture_output=True, timeout=60)
        alone = self.trailer_alone(name)
        with open(alone, "rb") as f:
            trailer = f.read()
        with open(alone, "wb") as f:
            f.write(AUDIO + trailer)
        subprocess.run([TOOL, "set", alone, "--title", "New"], check=True, capture_output=True,
                       timeout=60)
        tags = id3.ID3(alone, translate=False)
        self.assertEqual(tags["TCON"].genres, ["Rock"])
        self.assertNotIn("TIT1", tags)

    def test_an_imported_trailer_is_written_as_other_taggers_write_it(self):
        # The year where the version keeps it, no frame for an empty field or track 0, the
        # comment in "eng" without a description; a comment the edit sets replaces it.
        def trailer(album, comment, track):
            t = bytearray(128)
            t[0:3], t[3:7], t[63:63 + len(album)] = b"TAG", b"Song", album
            t[93:97], t[97:97 + len(comment)], t[126], t[127] = b"1999", comment, track, 255
            return bytes(t)
        cases = [([], b"", b"", 0, {"TIT2": ["Song"], "TDRC": ["1999"], "TPE1": ["X"]}),
                 (["--id3v2.3"], b"Album", b"nice", 5,
                  {"TIT2": ["Song"], "TYER": ["1999"], "TPE1": ["X"], "TALB": ["Album"],
                   "TRCK": ["5"], "COMM": ("eng", "", ["nice"])}),
                 (["--comment", "=new"], b"", b"old", 0,
                  {"TIT2": ["Song"], "TDRC": ["1999"], "TPE1": ["X"],
                   "COMM": ("eng", "", ["new"])})]
        for index, (options, album, comment, track, expected) in enumerate(cases):
            with self.subTest(options=options):
                name = os.path.join(self.folder.name, f"v1only{index}.mp3")
                with open(name, "wb") as f:
                    f.write(AUDIO + trailer(album, comment, track))
                subprocess.run([TOOL, "set", name, "--artist", "X", *options], check=True,
                               capture_output=True, timeout=60)
                tags = id3.ID3()
                tags.load(name, translate=False, load_v1=False)
                got = {f.FrameID: (f.lang, f.desc, f.text) if f.FrameID == "COMM"
                       else [str(t) for t in f.text] for f in tags.values()}
                self.assertEqual(got, expected)
                self.assertEqual(len(tags.getall("COMM")), 1 if "COMM" in expected else 0)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
