#!/usr/bin/env python3
"""Checks `tagscope decode`: its PPM against giflib's and libjpeg's own tools, that it never
writes onto its own picture (under any name), and that a failed decode leaves the output file
as it was and no scratch file behind."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

TOOL, JPEG = sys.argv[1], sys.argv[2]
PNG_DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "imaging", "png")

# A 3 x 2 GIF with a four-colour table; rows 0 1 2 / 3 0 1 as the LZW codes of code size 2.
COLORS = bytes([255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 8, 7])
GIF = (b"GIF89a\x03\x00\x02\x00\x81\x00\x00" + COLORS + b",\x00\x00\x00\x00\x03\x00\x02\x00\x00"
       b"\x02\x04\x44\x34\x10\x05\x00;")
GIF_RGB = b"".join(COLORS[i * 3:i * 3 + 3] for i in (0, 1, 2, 3, 0, 1))


def decode(picture, output, *options):
    return subprocess.run([TOOL, "decode", *options, picture, output], capture_output=True,
                          timeout=60)


def ppm_pixels(data):
    for _ in range(3):  # P6, size, maximum value
        data = data[data.index(b"\n") + 1:]
    return data


class DecodeTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.gif = self.path("p.gif")
        with open(self.gif, "wb") as f:
            f.write(GIF)

    def tearDown(self):
        shutil.rmtree(self.dir)

    def path(self, name):
        return os.path.join(self.dir, name)

    def read(self, name):
        with open(name, "rb") as f:
            return f.read()

    def test_pixels_of_a_gif(self):
        result = decode(self.gif, self.path("out.ppm"))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.read(self.path("out.ppm")), b"P6\n3 2\n255\n" + GIF_RGB)

    @unittest.skipUnless(shutil.which("gif2rgb") and shutil.which("djpeg"), "giflib-tools, djpeg")
    def test_same_pixels_as_giflib_and_libjpeg(self):
        subprocess.run(["gif2rgb", "-1", "-o", self.path("giflib.rgb"), self.gif], check=True)
        self.assertEqual(decode(self.gif, self.path("gif.ppm")).returncode, 0)
        self.assertEqual(ppm_pixels(self.read(self.path("gif.ppm"))),
                         self.read(self.path("giflib.rgb")))
        subprocess.run(["djpeg", "-ppm", "-outfile", self.path("djpeg.ppm"), JPEG], check=True)
        self.assertEqual(decode(JPEG, self.path("jpeg.ppm")).returncode, 0)
        self.assertEqual(self.read(self.path("jpeg.ppm")), self.read(self.path("djpeg.ppm")))

    def test_never_writes_onto_its_picture(self):
        os.link(self.gif, self.path("hard.gif"))
        os.symlink(self.gif, self.path("soft.ppm"))
        for output in (self.gif, os.path.join(self.dir, ".", "p.gif"), self.path("hard.gif"),
                       self.path("soft.ppm")):
            with self.subTest(output=output):
                result = decode(self.gif, output)
                self.assertEqual(result.returncode, 1)
                self.assertIn(b"not overwritten", result.stderr)
                self.assertEqual(self.read(self.gif), GIF)
        self.assertEqual(sorted(os.listdir(self.dir)), ["hard.gif", "p.gif", "soft.ppm"])

    def test_failed_decode_leaves_the_output_as_it_was(self):
        broken = self.path("broken.gif")
        with open(broken, "wb") as f:
            f.write(GIF[:6] + b"\x03\x00\x02\x00\x81\x00\x00" + COLORS + b"\x21\x42")
        output = self.path("out.ppm")
        with open(output, "wb") as f:
            f.write(b"old contents")
        result = decode(broken, output, "--overwrite")
        self.assertEqual(result.returncode, 1)
        self.assertIn(b"Unrecognized extension block: 42", result.stderr)
        self.assertEqual(self.read(output), b"old contents")
        self.assertEqual(sorted(os.listdir(self.dir)), ["broken.gif", "out.ppm", "p.gif"])

    def test_replaces_a_longer_output_whole(self):
        output = self.path("out.ppm")
        with open(output, "wb") as f:
            f.write(b"x" * 100000)
        # Replaced only when asked to.
        self.assertEqual(decode(self.gif, output).returncode, 1)
        self.assertEqual(self.read(output), b"x" * 100000)
        self.assertEqual(decode(self.gif, output, "--overwrite").returncode, 0)
        self.assertEqual(self.read(output), b"P6\n3 2\n255\n" + GIF_RGB)
        self.assertEqual(sorted(os.listdir(self.dir)), ["out.ppm", "p.gif"])

    def test_png_by_its_bytes_whatever_its_name(self):
        # Pillow's pixels, kept beside each picture; opacity is left out of the PPM.
        for name in ("rgba16", "palette_trns_adam7"):
            with self.subTest(name=name):
                source = os.path.join(PNG_DATA, name + ".png")
                named_jpg = self.path(name + ".jpg")
                shutil.copy(source, named_jpg)
                result = decode(named_jpg, self.path(name + ".ppm"))
                self.assertEqual(result.returncode, 0, result.stderr)
                rgba = self.read(os.path.join(PNG_DATA, name + ".rgba"))
                rgb = b"".join(rgba[i:i + 3] for i in range(0, len(rgba), 4))
                self.assertEqual(self.read(self.path(name + ".ppm")), b"P6\n13 11\n255\n" + rgb)
        broken = self.path("broken.png")
        with open(broken, "wb") as f:
            f.write(self.read(os.path.join(PNG_DATA, "rgb8.png"))[:60])
        result = decode(broken, self.path("broken.ppm"))
        self.assertEqual(result.returncode, 1)
        self.assertIn(b"PNG error: ", result.stderr)
        self.assertIn(b".png", subprocess.run([TOOL, "decode", "--help"], capture_output=True,
                                              timeout=60).stdout)

    def test_output_folder_that_does_not_exist(self):
        result = decode(self.gif, self.path("missing/out.ppm"))
        self.assertEqual(result.returncode, 1)
        self.assertIn(b"missing/out.ppm", result.stderr)
        self.assertEqual(sorted(os.listdir(self.dir)), ["p.gif"])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
