#!/usr/bin/python3
"""Whole-process repair speed: `tagscope repair FILES` against `mp3val -f -nb FILES`, one
process each over the same damaged files, in one run.

  bench/cli/repair_bench.py [--tagscope PATH] [--files 200] [--seconds 20] [--runs 5] [--dir DIR]

--files damaged MP3s are made in a scratch folder (under --dir, else the system's temporary
folder): ffmpeg encodes --seconds of noise three ways (128 kbit/s CBR, VBR stereo, VBR mono at
22.05 kHz, each with its Xing or Info header and LAME tag), and each file takes one of these and
one damage in turn: junk between frames, a last frame cut short, a Xing header counting twice
the frames, a second ID3v1 trailer, junk and a cut end together. Each run copies them afresh
into a folder per program and times the whole process (start-up included); the programs take
turns at going first. A second row times a run over files that need nothing (the first run's
output). The best and median of the runs are printed, and the ratio of tagscope's to mp3val's.

tagscope flushes each file and its folder, so that it ends old or new after a kill or a power
cut at any point; mp3val writes a new file and renames it, and flushes nothing. After the runs,
`tagscope check` and mp3val look at both programs' output (mp3val's warning that a file has no
tags aside).
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BITRATES = {1: [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320],
            2: [0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160]}
RATES = {1: [44100, 48000, 32000], 2: [22050, 24000, 16000]}


def frames(audio):
    """The offset of each frame of a layer III stream that begins at byte 0."""
    out, pos = [], 0
    while pos + 4 <= len(audio) and audio[pos] == 0xFF:
        bits = int.from_bytes(audio[pos:pos + 4], "big")
        v1 = 1 if (bits >> 19) & 1 else 2
        samples = 1152 if v1 == 1 else 576
        out.append(pos)
        pos += (samples // 8 * BITRATES[v1][(bits >> 12) & 15] * 1000 // RATES[v1][(bits >> 10) & 3]
                + ((bits >> 9) & 1))
    return out


def encode(path, seconds, *args):
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    "anoisesrc=d=%d:c=pink:a=0.3" % seconds, *args, "-c:a", "libmp3lame",
                    "-id3v2_version", "0", path], check=True)
    with open(path, "rb") as f:
        return f.read()


def damage(audio, kind):
    at = frames(audio)
    middle = at[len(at) // 2]
    if kind == "junk":
        return audio[:middle] + b"\x12\x34\x56" * 100 + audio[middle:]
    if kind == "cut":
        return audio[:at[-1] + 50]
    if kind == "header":
        data = bytearray(audio)
        i = max(audio.find(b"Xing", 0, 64), audio.find(b"Info", 0, 64))
        n = int.from_bytes(data[i + 8:i + 12], "big")
        data[i + 8:i + 12] = (2 * n).to_bytes(4, "big")
        return bytes(data)
    if kind == "two-v1":
        return audio + b"TAG" + b"old".ljust(125, b"\0") + b"TAG" + b"new".ljust(125, b"\0")
    return damage(damage(audio, "junk"), "cut")


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tagscope", default=os.path.join(ROOT, "build/linux/cli/tagscope"))
    parser.add_argument("--files", type=int, default=200)
    parser.add_argument("--seconds", type=int, default=20)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--dir")
    a = parser.parse_args()
    if not shutil.which("mp3val") or not shutil.which("ffmpeg"):
        sys.exit("mp3val and ffmpeg are needed")
    scratch = tempfile.mkdtemp(dir=a.dir)
    try:
        sources = [encode(os.path.join(scratch, "s%d.mp3" % i), a.seconds, *args)
                   for i, args in enumerate((["-b:a", "128k"], ["-q:a", "2"],
                                             ["-ac", "1", "-ar", "22050", "-q:a", "4"]))]
        kinds = ["junk", "cut", "header", "two-v1", "junk+cut"]
        damaged = os.path.join(scratch, "damaged")
        os.mkdir(damaged)
        for i in range(a.files):
            with open(os.path.join(damaged, "%04d.mp3" % i), "wb") as f:
                f.write(damage(sources[i % 3], kinds[(i // 3) % len(kinds)]))
        size = sum(os.path.getsize(os.path.join(damaged, n)) for n in os.listdir(damaged))
        print("%d files, %.1f MB" % (a.files, size / 1e6))
        programs = {
            "tagscope": lambda d: [a.tagscope, "repair", "-r", d],
            "mp3val": lambda d: ["mp3val", "-f", "-nb", "-si"] + sorted(
                os.path.join(d, n) for n in os.listdir(d)),
        }
        times = {(p, row): [] for p in programs for row in ("damaged", "repaired")}
        for run in range(a.runs):
            order = list(programs) if run % 2 == 0 else list(reversed(programs))
            for p in order:
                folder = os.path.join(scratch, p)
                shutil.rmtree(folder, ignore_errors=True)
                shutil.copytree(damaged, folder)
                subprocess.run(["sync"])
                times[(p, "damaged")].append(timed(programs[p](folder)))
                times[(p, "repaired")].append(timed(programs[p](folder)))
        print("| files | program | best s | median s | ratio (best) |")
        print("|---|---|---|---|---|")
        for row in ("damaged", "repaired"):
            best = {p: min(times[(p, row)]) for p in programs}
            for p in programs:
                print("| %s | %s | %.3f | %.3f | %s |" % (
                    row, p, best[p], statistics.median(times[(p, row)]),
                    "%.2f" % (best[p] / best["mp3val"]) if p == "tagscope" else ""))
        # What each program's output still holds, by the other's eyes too.
        for p in programs:
            folder = os.path.join(scratch, p)
            check = subprocess.run([a.tagscope, "check", "-r", folder], capture_output=True,
                                   text=True).stdout
            damaged_files = len({line.split(": damage")[0] for line in check.splitlines()
                                 if ": damage at" in line})
            val = subprocess.run(["mp3val", "-si"] + sorted(
                os.path.join(folder, n) for n in os.listdir(folder)), capture_output=True,
                text=True).stdout
            # A file without tags is no damage of a stream.
            warned = len({line.split('"')[1] for line in val.splitlines()
                          if line.startswith("WARNING") and "No supported tags" not in line})
            print("%s's output: %d files damaged by check, %d warned about by mp3val" %
                  (p, damaged_files, warned))
    finally:
        shutil.rmtree(scratch)


if __name__ == "__main__":
    main()
