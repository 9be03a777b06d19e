#!/usr/bin/env python3
"""`tagscope set --id3v2.3` and `--id3v2.4` against the version changes of mutagen
(update_to_v23 and a save as version 3, or a save as version 4) and, when its converter is
given, TagLib (a save in the other version), on tags other programs write. Where the peers
agree on a frame, the tool must too; where they differ, it must do as one of them. Frames of
the other version are refused by `set` rather than written into a tag that lacks them.

Usage: version_test.py TOOL [TAGLIB-CONVERTER]. Exit 77 when mutagen is missing."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import tool_run

tool_run.needs(modules=("mutagen",))
from mutagen import id3

TOOL = tool_run.TOOL
TAGLIB = sys.argv[2] if len(sys.argv) > 2 and sys.argv[2] else None
AUDIO = (b"\xff\xfb\x90\x64" + bytes(413)) * 20

VERSION4 = [
    id3.TIT2(encoding=3, text="Song"), id3.TPE1(encoding=3, text=["A", "B"]),
    id3.TCOM(encoding=3, text="Łódź ✓"), id3.TPE2(encoding=3, text="AC/DC"),
    id3.TCON(encoding=3, text=["Rock", "Pop"]),
    id3.TIPL(encoding=3, people=[["producer", "P"], ["mix", "Ž"]]),
    id3.TMCL(encoding=3, people=[["guitar", "G"]]),
    id3.TDRC(encoding=3, text="2004-05-06T07:08"), id3.TDOR(encoding=3, text="1999-01-02"),
    id3.TSOP(encoding=3, text="Sort"), id3.TMOO(encoding=3, text="Calm"),
    id3.TDRL(encoding=3, text="2005"), id3.TDEN(encoding=3, text="2004"),
    id3.TSST(encoding=3, text="Set"), id3.TPRO(encoding=3, text="2004 P"),
    id3.RVA2(desc="track", channel=1, gain=1.0, peak=0.5),
    # A title of 150 characters: a sub-frame whose size is coded differently in each version.
    id3.CHAP(element_id="c", start_time=0, end_time=900, sub_frames=[
        id3.TIT2(encoding=3, text="Ž" * 149 + "\u266a")]),
    id3.SYLT(encoding=3, lang="eng", format=2, type=1, desc="", text=[("Ž", 0), ("b", 10)]),
]
VERSION3 = [
    id3.TIT2(encoding=1, text="Sông"), id3.TPE1(encoding=0, text="AC/DC"),
    id3.IPLS(encoding=0, people=[["producer", "P"], ["mix", "M"]]),
    id3.TYER(encoding=0, text="2004"), id3.TDAT(encoding=0, text="0605"),
    id3.TIME(encoding=0, text="0708"), id3.TORY(encoding=0, text="1999"),
    id3.RVAD(adjustments=[10, 10]), id3.TSIZ(encoding=0, text="123"),
]


def view(name):
    """Each frame's content by ID, in forms the readers' orders and encodings do not change."""
    tags = id3.ID3(name, translate=False)
    out = {}
    for frame in tags.values():
        if frame.FrameID == "SYLT":
            value = (frame.encoding != 3, list(frame.text))
        elif frame.FrameID == "CHAP":
            value = (frame.element_id, frame.start_time, frame.end_time,
                     [(f.FrameID, f.encoding, f.text) for f in frame.sub_frames.values()])
        elif hasattr(frame, "people"):
            value = sorted(map(tuple, frame.people))
        elif hasattr(frame, "text"):
            value = [str(t) for t in frame.text]
        else:
            value = frame._pprint()
        out[frame.FrameID] = value
    return tags.version[1], out


class VersionChange(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.folder.cleanup()

    def tagged(self, label, version, frames):
        name = os.path.join(self.folder.name, label + ".mp3")
        with open(name, "wb") as f:
            f.write(AUDIO)
        tags = id3.ID3()
        for frame in frames:
            tags.add(frame)
        tags.save(name, v2_version=version, v1=0)
        return name

    def converted(self, frames, source, target):
        ours = self.tagged("ours", source, frames)
        result = subprocess.run([TOOL, "set", ours, "--id3v2.%d" % target], capture_output=True,
                                timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)
        peers = {}
        name = self.tagged("mutagen", source, frames)
        tags = id3.ID3(name)
        if target == 3:
            tags.update_to_v23()
        tags.save(name, v2_version=target)
        peers["mutagen"] = view(name)[1]
        if TAGLIB:
            name = self.tagged("taglib", source, frames)
            subprocess.run([TAGLIB, str(target), name], check=True, timeout=60)
            peers["taglib"] = view(name)[1]
        version, got = view(ours)
        self.assertEqual(version, target)
        for frame in set(got).union(*peers.values()):
            values = [p.get(frame) for p in peers.values()]
            with self.subTest(frame=frame, peers=values):
                if all(v == values[0] for v in values):
                    self.assertEqual(got.get(frame), values[0])
                else:
                    self.assertIn(got.get(frame), values)
        return ours, got, result.stderr.decode()

    def test_version_4_to_3(self):
        name, got, note = self.converted(VERSION4, 4, 3)
        # The standard's conversions, whatever the peers do.
        self.assertEqual(got["IPLS"], [("guitar", "G"), ("mix", "Ž"), ("producer", "P")])
        self.assertEqual([got[f] for f in ("TYER", "TDAT", "TIME", "TORY")],
                         [["2004"], ["0605"], ["0708"], ["1999"]])
        self.assertEqual((got["TPE1"], got["TCON"]), (["A/B"], ["Rock/Pop"]))
        self.assertFalse({"TIPL", "TMCL", "TDRC", "TDOR", "RVA2", "TSOP"} & set(got))
        self.assertEqual(got["CHAP"], ("c", 0, 900, [("TIT2", 1, ["Ž" * 149 + "\u266a"])]))
        self.assertEqual(got["SYLT"], (True, [("Ž", 0), ("b", 10)]))
        for dropped in ("TSOP", "TMOO", "TDRL", "TDEN", "TSST", "TPRO", "RVA2"):
            self.assertIn(dropped, note)
        tags = id3.ID3(name, translate=False)
        self.assertTrue(all(f.encoding != 3 for f in tags.values() if hasattr(f, "encoding")))

    def test_version_3_to_4(self):
        _, got, note = self.converted(VERSION3, 3, 4)
        self.assertEqual(got["TIPL"], [("mix", "M"), ("producer", "P")])
        self.assertEqual((got["TDRC"], got["TDOR"]), (["2004-05-06 07:08"], ["1999"]))
        # A "/" in a version 3 text is no separator of values.
        self.assertEqual(got["TPE1"], ["AC/DC"])
        self.assertFalse({"IPLS", "TYER", "TDAT", "TIME", "TORY", "RVAD", "TSIZ"} & set(got))
        self.assertIn("RVAD", note)

    # A frame set in a tag of the version that lacks it: converted where the version has a form
    # for its content, kept with a note where players write it so, else refused (--force writes
    # it as it is). What mutagen reads: the frames' texts by ID, after a title "Song".
    RULES = [
        (3, ["--text", "TDRC=2004-05-06T07:08"], {"TYER": ["2004"], "TDAT": ["0605"],
                                                   "TIME": ["0708"]}, None),
        (3, ["--frame", "TDOR=1999"], {"TORY": ["1999"]}, None),
        (3, ["--text", "TIPL=a", "--text", "TIPL=b"], {"IPLS": [("a", "b")]}, None),
        (3, ["--frame", "TSOP=Sort", "--frame", "TCMP=1"], {"TSOP": ["Sort"], "TCMP": ["1"]},
         "TSOP, TCMP"),
        (3, ["--text", "TDRL=2005"], "TDRL", None),
        (3, ["--frame", "TMOO=Calm"], "TMOO", None),
        (3, ["--frame", "TDEN=2004"], "TDEN", None),
        (3, ["--volume", "track=-1"], "RVA2", None),
        (3, ["--frame", "TMOO=Calm", "--force"], {"TMOO": ["Calm"]}, "TMOO"),
        (4, ["--text", "TYER=2005"], {"TDRC": ["2005"]}, None),
        (4, ["--frame", "TYER=2005", "--frame", "TDAT=0605", "--frame", "TIME=0708"],
         {"TDRC": ["2005-05-06 07:08"]}, None),
        (4, ["--frame", "TORY=1970"], {"TDOR": ["1970"]}, None),
        (4, ["--frame", "TDAT=0605"], "TYER", None),
        (4, ["--frame", "TRDA=June"], "TRDA", None),
        (4, ["--frame", "ZZZZ=hello"], "ZZZZ", None),
    ]

    def test_frames_of_the_other_version(self):
        for version, options, expected, note in self.RULES:
            with self.subTest(version=version, options=options):
                name = self.tagged("rules", version, [id3.TIT2(encoding=0, text="Song")])
                with open(name, "rb") as f:
                    before = f.read()
                result = subprocess.run([TOOL, "set", name, *options], capture_output=True,
                                        timeout=60)
                if isinstance(expected, str):
                    self.assertNotEqual(result.returncode, 0)
                    self.assertIn(expected, result.stderr.decode())
                    self.assertIn("--force", result.stderr.decode())
                    with open(name, "rb") as f:
                        self.assertEqual(f.read(), before)
                    continue
                self.assertEqual(result.returncode, 0, result.stderr)
                tags = id3.ID3(name, translate=False)
                self.assertEqual(tags.version[1], version)
                got = {f.FrameID: [tuple(p) for p in f.people] if hasattr(f, "people")
                       else [str(t) for t in f.text] for f in tags.values()}
                self.assertEqual(got, {"TIT2": ["Song"], **expected})
                if note:
                    self.assertIn(note, result.stderr.decode())
                else:
                    self.assertEqual(result.stderr, b"")
        # A day, time or year changes that part of the recording time.
        name = self.tagged("date", 4, [id3.TDRC(encoding=0, text="2004-05-06T07:08")])
        for options, date in ((["--frame", "TDAT=0101"], "2004-01-01 07:08"),
                              (["--text", "TYER=2005"], "2005-01-01 07:08")):
            subprocess.run([TOOL, "set", name, *options], check=True, capture_output=True,
                           timeout=60)
            self.assertEqual([str(t) for t in id3.ID3(name).getall("TDRC")[0].text], [date])
        name = self.tagged("v3", 3, [id3.TIT2(encoding=0, text="Song")])
        subprocess.run([TOOL, "set", name, "--id3v2.4", "--text", "TSOP=Sort"], check=True,
                       capture_output=True, timeout=60)
        self.assertEqual(id3.ID3(name)["TSOP"].text, ["Sort"])

    def test_what_a_failed_change_would_drop_is_not_noted(self):
        name = self.tagged("rvad", 3, [id3.TIT2(encoding=0, text="Song"),
                                        id3.RVAD(adjustments=[10, 10])])
        result = subprocess.run([TOOL, "set", name, "--id3v2.4", "--frame", "TRDA=x"],
                                capture_output=True, timeout=60)
        self.assertNotEqual(result.returncode, 0)
        self.assertNotIn("RVAD", result.stderr.decode())

if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
