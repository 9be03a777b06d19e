#!/usr/bin/env python3
"""Checks `tagscope dump`: its JSON keys and values on the example file, ISO-8859-1 texts as
UTF-8, --full-seek, the text form, and files that cannot be opened."""
import functools
import json
import os
import sys
import tempfile
import unittest
import dump_schema
import tool_run

EXAMPLE = sys.argv[2]

TAG_KEYS = ["offset", "length", "padding", "size", "version", "revision", "unsynchronisation",
            "extendedHeader", "experimental", "footer", "extended", "read"]
EXTENDED_KEYS = ["update", "crcPresent", "crc", "restricted", "restrictions"]
RESTRICTION_KEYS = ["tagSize", "textEncoding", "textSize", "imageEncoding", "imageSize"]
FRAME_KEYS = ["id", "name", "size", "tagAlterDiscardable", "fileAlterDiscardable", "readOnly",
              "grouping", "compress", "encrypted", "unsynchronisation", "dataLengthIndicator",
              "groupId", "encryptionId", "kind", "content"]
FIELD_KEYS = ["title", "artist", "album", "genre", "year", "track", "encodedBy", "subTitle"]


run = functools.partial(tool_run.run, "dump")


def dump_json(*args):
    result = run("--json", *args)
    return result, dump_schema.loads_lines(result.stdout)


def sync_safe(v):
    return bytes([(v >> 21) & 0x7F, (v >> 14) & 0x7F, (v >> 7) & 0x7F, v & 0x7F])


def v3_tag(frames):
    body = b"".join(fid + len(p).to_bytes(4, "big") + b"\0\0" + p for fid, p in frames)
    return b"ID3\x03\x00\x00" + sync_safe(len(body)) + body


class TempFile:
    def __init__(self, data):
        fd, self.name = tempfile.mkstemp(suffix=".mp3")
        with os.fdopen(fd, "wb") as f:
            f.write(data)

    def __enter__(self):
        return self.name

    def __exit__(self, *exc):
        os.remove(self.name)


class DumpTest(unittest.TestCase):
    def test_json_keys_and_values_of_the_example(self):
        result, objects = dump_json(EXAMPLE)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(len(objects), 1)
        o = objects[0]
        self.assertEqual(list(o), ["file", "active", "tag", "frames", "fields", "shown", "comments",
                                   "pictures", "urls", "audio", "replayGain", "findings"])
        self.assertTrue(o["active"])
        self.assertEqual(list(o["tag"]), TAG_KEYS)
        self.assertEqual(list(o["tag"]["extended"]), EXTENDED_KEYS)
        self.assertEqual(list(o["tag"]["extended"]["restrictions"]), RESTRICTION_KEYS)
        self.assertEqual(o["tag"]["extended"]["restrictions"]["tagSize"], "sr128Frames_1MB")
        self.assertEqual((o["tag"]["version"], o["tag"]["offset"], o["tag"]["padding"]), (3, 0, 256))
        self.assertEqual(o["tag"]["length"], o["tag"]["size"] + 10)
        for frame in o["frames"]:
            self.assertEqual(list(frame), FRAME_KEYS)
        self.assertEqual(o["frames"][0]["name"], "Title")
        self.assertEqual(list(o["fields"]), FIELD_KEYS)
        self.assertEqual(o["fields"]["title"], "Example Song")
        self.assertEqual(o["fields"]["track"], "3/12")
        self.assertEqual([c["description"] for c in o["comments"]], ["", "Second"])
        self.assertEqual(list(o["comments"][0]), ["language", "description", "text"])
        self.assertEqual(o["pictures"], [{"mimeType": "image/bmp", "pictureType": 3,
                                          "description": "Front cover", "size": 822}])
        self.assertEqual(o["urls"], [{"description": "Example home page",
                                      "url": "http://www.example.com/"}])

    def test_latin1_texts_come_out_as_utf8_and_escaped_wherever_they_stand(self):
        # Every byte JSON escapes, in each place of an eight-byte run, amid plain ones.
        tricky = bytes(range(1, 0x20)) + b'"\\' + b"".join(
            b"x" * i + c + b"y" * (9 - i) for i in range(9) for c in (b'"', b"\\", b"\x1f"))
        with TempFile(v3_tag([(b"TIT2", b"\x00Caf\xe9"), (b"TPE1", b"\x01\xff\xfe\xe9\x00"),
                              (b"TALB", b"\x00" + tricky)])) as f:
            _, objects = dump_json(f)
        self.assertEqual(objects[0]["fields"]["title"], "Caf\u00e9")
        self.assertEqual(objects[0]["fields"]["artist"], "\u00e9")
        self.assertEqual(objects[0]["frames"][2]["content"]["text"], [tricky.decode("ascii")])

    def test_full_seek_finds_a_tag_behind_other_bytes(self):
        with open(EXAMPLE, "rb") as f:
            example = f.read()
        with TempFile(b"\x55" * 5000 + example) as f:
            _, plain = dump_json(f)
            _, full = dump_json("--full-seek", f)
        self.assertEqual(plain[0]["tag"]["size"], -1)
        self.assertEqual(full[0]["tag"]["offset"], 5000)
        self.assertEqual(full[0]["fields"]["title"], "Example Song")

    def test_unopenable_files_are_reported_and_the_others_dumped(self):
        missing = os.path.join(tempfile.gettempdir(), "tagscope-no-such-file.mp3")
        result, objects = dump_json(missing, EXAMPLE)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn(missing, result.stderr.decode())
        self.assertEqual(len(objects), 1)
        self.assertEqual(objects[0]["file"], EXAMPLE)

    def test_file_names_as_given(self):
        # A UTF-8 name as it is; bytes that are not UTF-8 as U+FFFD, keeping the output UTF-8,
        # with the name's bytes beside it.
        with tempfile.TemporaryDirectory() as folder:
            utf8 = os.path.join(folder, "Café-日本.mp3")
            latin1 = os.path.join(folder.encode(), b"Caf\xe9.mp3")
            for name in (utf8, latin1):
                with open(name, "wb") as f:
                    f.write(b"\0" * 100)
            result = run("--json", utf8, latin1)
            self.assertEqual(result.returncode, 0, result.stderr)
            objects = dump_schema.loads_lines(result.stdout)
            self.assertEqual([o["file"] for o in objects],
                             [utf8, latin1.decode("utf-8", "replace")])
            self.assertNotIn("fileBytes", objects[0])
            self.assertEqual(bytes.fromhex(objects[1]["fileBytes"]), latin1)
            text = run(utf8)
            self.assertIn("File: " + utf8 + "\n", text.stdout.decode())

    def test_text_form(self):
        result = run(EXAMPLE)
        self.assertEqual(result.returncode, 0)
        text = result.stdout.decode("utf-8")
        self.assertIn("ID3v2.3.0 tag at offset 0", text)
        self.assertIn("Title: Example Song", text)
        self.assertIn("Link 0: Example home page http://www.example.com/", text)

    def test_replay_gain_of_each_source_and_where_they_disagree(self):
        with open(EXAMPLE, "rb") as f:
            example = f.read()
        audio = example[10 + int.from_bytes(bytes(b & 0x7F for b in example[6:10]), "big"):]
        tag = v3_tag([(b"TXXX", b"\0replaygain_track_gain\0-7.23 dB"),
                      (b"TXXX", b"\0REPLAYGAIN_TRACK_PEAK\x000.988553"),
                      # master volume -3702/512 dB, a 16-bit peak of 32393
                      (b"RVA2", b"track\0\x01\xf1\x8a\x10\x7e\x89"),
                      (b"TXXX", b"\0REPLAYGAIN_ALBUM_GAIN\0-6.50 dB")])
        item = b"-6.00 dB"
        items = len(item).to_bytes(4, "little") + b"\0" * 4 + b"REPLAYGAIN_ALBUM_GAIN\0" + item
        ape = items + b"APETAGEX" + (2000).to_bytes(4, "little") + \
            (len(items) + 32).to_bytes(4, "little") + (1).to_bytes(4, "little") + b"\0" * 12
        with TempFile(tag + audio + ape) as f:
            _, objects = dump_json(f)
            text = run(f).stdout.decode()
        gain = objects[0]["replayGain"]
        self.assertEqual(gain["id3"], {"trackGain": {"text": "-7.23 dB", "value": -7.23},
                                       "trackPeak": {"text": "0.988553", "value": 0.988553},
                                       "albumGain": {"text": "-6.50 dB", "value": -6.5}})
        self.assertEqual(gain["rva2"]["trackGain"]["value"], -3702 / 512)
        self.assertEqual(gain["rva2"]["trackPeak"]["value"], 32393 / 32768)
        self.assertEqual(gain["ape"], {"albumGain": {"text": "-6.00 dB", "value": -6.0}})
        self.assertEqual(objects[0]["findings"], [])
        self.assertIn("ReplayGain:\n  Track gain: -7.23 dB, peak 0.988553\n"
                      "  Album gain (ID3): -6.50 dB\n  Album gain (APE): -6.00 dB\n", text)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]], verbosity=1)
