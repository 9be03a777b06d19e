#!/usr/bin/python3
"""Whole-process time of one tag edit on a 50 MiB file, `tagscope set` beside mutagen (the tool
a Python user would pick), side by side in one run: an edit that fits in the padding, and one
that outgrows it. Usage: write_vs_mutagen.py TAGSCOPE [ROUNDS]"""
import os
import subprocess
import sys
import tempfile
import time


TOOL = sys.argv[1]
ROUNDS = int(sys.argv[2]) if len(sys.argv) > 2 else 10
SIZE = 50 << 20


def make(path):
    with open(path, "wb") as f:
        f.write(bytes(SIZE))
    subprocess.run([TOOL, "set", path, "--title", "Title", "--padding", "2048"], check=True)


def tagscope_edit(path, title):
    subprocess.run([TOOL, "set", path, "--title", title], check=True)


def mutagen_edit(path, title):
    # A process per edit, as a user's script run once per file would be.
    subprocess.run([sys.executable, "-c",
                    "import sys; from mutagen.id3 import ID3, TIT2; t = ID3(sys.argv[1]); "
                    "t.setall('TIT2', [TIT2(encoding=0, text=sys.argv[2])]); "
                    "t.save(v2_version=4, padding=lambda info: max(info.padding, 0))",
                    path, title], check=True)


def measure(edit, path, titles):
    start = time.perf_counter()
    for title in titles:
        edit(path, title)
    return (time.perf_counter() - start) / len(titles) * 1000


def main():
    with tempfile.TemporaryDirectory(dir=os.environ.get("BENCH_DIR")) as folder:
        path = os.path.join(folder, "big.mp3")
        fits = ["Title" + "p" * (95 * (i % 2)) for i in range(ROUNDS)]
        for name, edit in (("tagscope", tagscope_edit), ("mutagen", mutagen_edit)):
            make(path)
            in_place = measure(edit, path, fits)
            grows = measure(edit, path, ["T" * (3000 * (i + 1)) for i in range(3)])
            print(f"{name:9s} edit into padding {in_place:8.1f} ms   edit that grows {grows:8.1f} ms")


if __name__ == "__main__":
    main()
