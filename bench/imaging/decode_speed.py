#!/usr/bin/python3
"""Whole-process speed of `tagscope decode` against the tools a user would pick instead.

Makes a 2000x2000 256-colour GIF (stored plain and interlaced), a 600x600 JPEG, and PNGs of
2000x2000 colour and 1000x1000 colour with alpha (Pillow), then runs, interleaved and
several times each, `tagscope decode` against giflib's `gif2rgb -1`, libjpeg's
`djpeg -ppm` and netpbm's `pngtopnm`, and prints the median wall time of each and the ratio. Any number of tagscope
binaries may be given (e.g. one built before a change and one after) to compare them in the
same run. Checks that every tagscope binary's PPM equals the other tool's output.

usage: decode_speed.py [--runs N] [--only TEXT] TAGSCOPE [TAGSCOPE ...]
"""
import argparse
import hashlib
import os
import statistics
import subprocess
import sys
import tempfile
import time

from PIL import Image, ImageDraw, ImageFilter


def make_inputs(folder):
    gif = os.path.join(folder, "big.gif")
    interlaced = os.path.join(folder, "big-interlaced.gif")
    jpg = os.path.join(folder, "photo.jpg")
    png = os.path.join(folder, "photo.png")
    png_alpha = os.path.join(folder, "alpha.png")
    # Smooth gradients with shapes and some noise: compresses like a real picture.
    base = Image.radial_gradient("L").resize((2000, 2000))
    rgb = Image.merge("RGB", (base, base.rotate(90), base.transpose(Image.FLIP_LEFT_RIGHT)))
    draw = ImageDraw.Draw(rgb)
    for i in range(60):
        x, y = (i * 331) % 1900, (i * 577) % 1900
        draw.ellipse((x, y, x + 40 + i * 3, y + 30 + i * 2),
                     fill=((i * 37) % 256, (i * 91) % 256, (i * 53) % 256))
    noise = Image.effect_noise((2000, 2000), 40).convert("RGB")
    rgb = Image.blend(rgb, noise, 0.15)
    paletted = rgb.quantize(256)
    paletted.save(gif, interlace=False)
    paletted.save(interlaced, interlace=True)
    rgb.resize((600, 600)).filter(ImageFilter.DETAIL).save(jpg, quality=90)
    rgb.save(png)
    rgba = rgb.resize((1000, 1000)).convert("RGBA")
    rgba.putalpha(base.resize((1000, 1000)))
    rgba.save(png_alpha)
    return gif, interlaced, jpg, png, png_alpha


def run(command, stdout=None):
    """Wall time of one run; the output goes to the file stdout names, or nowhere."""
    with open(stdout or os.devnull, "wb") as out:
        start = time.perf_counter()
        subprocess.run(command, check=True, stdout=out)
        return time.perf_counter() - start


def digest(path, skip_header=False):
    with open(path, "rb") as f:
        data = f.read()
    if skip_header:  # P6 header: three lines
        for _ in range(3):
            data = data[data.index(b"\n") + 1:]
    return hashlib.sha256(data).hexdigest()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=30)
    parser.add_argument("--only", default="", help="run only the cases whose name has this text")
    parser.add_argument("tagscope", nargs="+")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        gif, interlaced, jpg, png, png_alpha = make_inputs(folder)
        out = os.path.join(folder, "out")
        cases = [
            ("gif 2000x2000", ["gif2rgb", "-1", "-o", out + ".rgb", gif], out + ".rgb", False, gif),
            ("gif 2000x2000 interlaced", ["gif2rgb", "-1", "-o", out + ".rgb", interlaced],
             out + ".rgb", False, interlaced),
            ("jpeg 600x600", ["djpeg", "-ppm", "-outfile", out + ".ppm", jpg], out + ".ppm", True, jpg),
            # pngtopnm writes to its standard output; opacity is left out, as by tagscope.
            ("png 2000x2000", ["pngtopnm", png], out + ".pnm", True, png),
            ("png 1000x1000 with alpha", ["pngtopnm", png_alpha], out + ".pnm", True, png_alpha),
        ]
        for name, oracle, oracle_out, oracle_header, picture in cases:
            if args.only not in name:
                continue
            stdout = oracle_out if oracle[0] == "pngtopnm" else None
            commands = [("oracle", oracle)]
            for i, binary in enumerate(args.tagscope):
                commands.append((f"tagscope[{i}]", [binary, "decode", picture, out + f".{i}.ppm"]))
            times = {label: [] for label, _ in commands}
            for _ in range(args.runs):
                for label, command in commands:
                    times[label].append(run(command, stdout if label == "oracle" else None))
            expected = digest(oracle_out, oracle_header)
            base = statistics.median(times["oracle"])
            print(f"{name}: {oracle[0]} median {base * 1000:.1f} ms")
            for i, binary in enumerate(args.tagscope):
                label = f"tagscope[{i}]"
                median = statistics.median(times[label])
                same = digest(out + f".{i}.ppm", True) == expected
                print(f"  {binary}: median {median * 1000:.1f} ms, {median / base:.2f}x "
                      f"{oracle[0]}, output {'identical' if same else 'DIFFERENT'}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
