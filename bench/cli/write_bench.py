#!/usr/bin/python3
"""Whole-process write speed: `tagscope set --album X FILES` against mutagen's
`mid3v2 --album X FILES`, one process each over the same files, in one run.

  bench/cli/write_bench.py [--tagscope PATH] [--before PATH] [--files 1000] [--crowd 500]
                           [--others 20000] [--runs 5] [--dir DIR]

Two sets of files are made in a scratch folder (under --dir, else the system's temporary
folder, which should be on the disk being measured):
  songs   --files MP3s of about 350 KB, each with a 30 KB JPEG cover, in a folder of their own;
  crowd   --crowd such MP3s in a folder that also holds --others small files of other kinds.
The audio is encoded once (ffmpeg with libmp3lame; a stretch of noise, so that it does not
shrink), tagged with mutagen (title, artist, album, cover) and then copied: every file is a
file of its own, no hard links, so both programs write in place as they would in a user's
collection. Each run gives the album a new value of the same length to every file, with
tagscope and mid3v2 taking turns at going first, and the wall time of the whole process
(start-up included) is measured, in two cases: each timed run following the other program's
write (a first edit of files another tool tagged), and following a write of its own. The best
and median of the runs are printed, and the ratios of tagscope's to mid3v2's. --before names an older tagscope build, timed in the same run.

mid3v2 flushes nothing to the disk; tagscope makes every file end whole, old or new, after a
kill or a power cut at any point, so its time includes the flushes that promise needs.
After the last run the album of every file is read back with mutagen as a check.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def cover(target=30 * 1024):
    """A JPEG of about `target` bytes: noise, so that its size follows its side."""
    import io

    from PIL import Image
    rnd = random.Random(5)
    side = 60
    while True:
        image = Image.frombytes("RGB", (side, side), bytes(rnd.getrandbits(8) for _ in range(side * side * 3)))
        out = io.BytesIO()
        image.save(out, "JPEG", quality=90)
        if out.tell() >= target or side > 400:
            return out.getvalue()
        side += 10


def make_song(path, scratch):
    raw = os.path.join(scratch, "audio.mp3")
    subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    "anoisesrc=d=20:c=pink:a=0.3", "-ac", "2", "-c:a", "libmp3lame", "-b:a", "128k",
                    raw], check=True)
    from mutagen.id3 import APIC, ID3, TALB, TIT2, TPE1
    shutil.copyfile(raw, path)
    tag = ID3()
    tag.add(TIT2(encoding=3, text="A song"))
    tag.add(TPE1(encoding=3, text="An artist"))
    tag.add(TALB(encoding=3, text="Album 0000"))
    tag.add(APIC(encoding=0, mime="image/jpeg", type=3, desc="", data=cover()))
    tag.save(path, v2_version=4)


def make_sets(scratch, files, crowd, others):
    song = os.path.join(scratch, "song.mp3")
    make_song(song, scratch)
    songs = os.path.join(scratch, "songs")
    folder = os.path.join(scratch, "crowd")
    os.mkdir(songs)
    os.mkdir(folder)
    first = [os.path.join(songs, f"{i:05d} A song.mp3") for i in range(files)]
    second = [os.path.join(folder, f"{i:05d} A song.mp3") for i in range(crowd)]
    for path in first + second:
        shutil.copyfile(song, path)
    for i in range(others):
        with open(os.path.join(folder, f"note {i:05d}.txt"), "w") as f:
            f.write(f"Not a song, number {i}.\n")
    return {"songs": first, "crowd": second}, os.path.getsize(song)


def timed(command):
    start = time.perf_counter()
    done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    took = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit(f"{command[0]} failed: {done.stderr.decode(errors='replace')[:2000]}")
    return took


def check(paths, album):
    from mutagen.id3 import ID3
    for path in paths:
        found = ID3(path).get("TALB")
        if found is None or str(found) != album:
            sys.exit(f"{path}: album {found!r}, expected {album!r}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--tagscope", default=os.path.join(ROOT, "build", "linux", "cli", "tagscope"))
    parser.add_argument("--before", help="an older tagscope, timed in the same run")
    parser.add_argument("--mid3v2", default=shutil.which("mid3v2") or "/usr/bin/mid3v2")
    parser.add_argument("--files", type=int, default=1000)
    parser.add_argument("--crowd", type=int, default=500)
    parser.add_argument("--others", type=int, default=20000)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--dir", default=os.environ.get("BENCH_DIR"))
    args = parser.parse_args()

    tools = [("tagscope", lambda a, p: [args.tagscope, "set", "--album", a] + p)]
    if args.before:
        tools.append(("before", lambda a, p: [args.before, "set", "--album", a] + p))
    tools.append(("mid3v2", lambda a, p: [args.mid3v2, "--album", a] + p))

    with tempfile.TemporaryDirectory(dir=args.dir) as scratch:
        sets, size = make_sets(scratch, args.files, args.crowd, args.others)
        print(f"one song: {size} bytes; {args.runs} runs; times in seconds, whole process")
        print(f"{'set':6s} {'follows':12s} {'files':>6s} " +
              " ".join(f"{n + ' best':>14s} {n + ' median':>15s}" for n, _ in tools) +
              "   ratio best (median)")
        serial = 0
        # "after other": every timed run follows the other program's write of the same files, as
        # a first edit of files another tool tagged does; "after itself": it follows a write of
        # its own (untimed), as a second edit of the same files does. tagscope writes a text
        # frame without the terminator mid3v2 puts after it, so after mid3v2 every later frame
        # moves and tagscope journals the whole rest of the tag; after itself, a new value of
        # the same length changes a few bytes in one block.
        for name, paths in sets.items():
            for case in ("after other", "after itself"):
                times = {n: [] for n, _ in tools}
                for run in range(args.runs):
                    order = tools if run % 2 == 0 else tools[::-1]
                    for tool, command in order:
                        serial += 1
                        album = f"Album {serial:04d}"
                        other = dict(tools)["tagscope" if tool == "mid3v2" else "mid3v2"]
                        first = command if case == "after itself" else other
                        timed(first(f"Album {serial + 5000:04d}", paths))
                        times[tool].append(timed(command(album, paths)))
                        check(paths[:: max(1, len(paths) // 50)], album)
                check(paths, album)
                best = {n: min(t) for n, t in times.items()}
                median = {n: statistics.median(t) for n, t in times.items()}
                row = " ".join(f"{best[n]:14.3f} {median[n]:15.3f}" for n, _ in tools)
                ratios = " ".join(f"{n} {best[n] / best['mid3v2']:.2f}x ({median[n] / median['mid3v2']:.2f}x)"
                                  for n, _ in tools if n != "mid3v2")
                print(f"{name:6s} {case:12s} {len(paths):6d} {row}   {ratios}", flush=True)

if __name__ == "__main__":
    main()
