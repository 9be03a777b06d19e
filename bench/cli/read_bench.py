#!/usr/bin/python3
"""Whole-process read speed: `tagscope dump --json` against a small TagLib program.

Both programs get the same file list in one invocation each; the wall time of the whole process
(start-up included) is measured several times and the best and median runs are reported. TagLib
runs twice: reading the tag alone (like for like: `dump` computes no audio properties) and
reading the tag and the audio properties, as its default does. The ratios are tagscope's time
over TagLib's. The last row reads a folder of --folder files of the first two kinds, mixed:
`dump --json -r` of the folder against TagLib reading the same files one after another.

  bench/cli/read_bench.py [--tagscope PATH] [--taglib PATH] [--copies N] [--folder N] [--runs R]
                          [--dump-args ARGS] [--before PATH] [--only NAMES]

--before names an older tagscope build, timed in the same run as a further column.

The samples are made in a scratch folder: a 5.4 MB MP3 whose tag holds a 325 KB JPEG cover,
the bundled example, and tags of 20 000 and 40 000 comment frames and of 100 000 picture frames
(the frame-count cases show whether the time grows linearly). Copies are hard links, so the
file list is long without using the disk.
"""
import argparse
import io
import os
import random
import resource
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def frame(fid, payload):
    return fid.encode() + struct.pack(">I", len(payload)) + b"\0\0" + payload


def tag(frames, padding=1024):
    body = b"".join(frames) + b"\0" * padding
    return b"ID3\x03\x00\x00" + syncsafe(len(body)) + body


def example_audio():
    data = open(os.path.join(ROOT, "examples", "example.mp3"), "rb").read()
    tag_len = 10 + ((data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9])
    return data[tag_len:]


def jpeg(target=325 * 1024):
    from PIL import Image
    rnd = random.Random(7)
    side = 300
    while True:
        img = Image.frombytes("RGB", (side, side), bytes(rnd.getrandbits(8) for _ in range(side * side * 3)))
        out = io.BytesIO()
        img.save(out, "JPEG", quality=85)
        if out.tell() >= target:
            return out.getvalue()
        side += 20


def text(fid, value):
    return frame(fid, b"\0" + value.encode("latin-1"))


def make_samples(folder):
    audio = example_audio()
    fields = [text("TIT2", "Cover song"), text("TPE1", "An artist"), text("TALB", "An album"),
              text("TYER", "2024")]
    cover = jpeg()
    apic = frame("APIC", b"\0image/jpeg\0\x03Front cover\0" + cover)
    head = tag(fields + [apic])
    body = audio * ((5_400_000 - len(head)) // len(audio) + 1)
    samples = {"big-cover": head + body[: 5_400_000 - len(head)]}
    samples["example"] = open(os.path.join(ROOT, "examples", "example.mp3"), "rb").read()
    comm = lambda i: frame("COMM", b"\0ENG\0comment %d" % i)
    for n in (20000, 40000):
        samples["comm-%d" % n] = tag(fields + [comm(i) for i in range(n)]) + audio
    small = frame("APIC", b"\0image/png\0\x03\0" + b"\x89PNG" + b"x" * 60)
    samples["apic-100000"] = tag(fields + [small] * 100000) + audio
    paths = {}
    for name, data in samples.items():
        path = os.path.join(folder, name + ".mp3")
        with open(path, "wb") as f:
            f.write(data)
        paths[name] = path
    return paths


def links(folder, path, copies):
    names = []
    base = os.path.splitext(os.path.basename(path))[0]
    for i in range(copies):
        name = os.path.join(folder, "%s-%05d.mp3" % (base, i))
        os.link(path, name)
        names.append(name)
    return names


def mixed_folder(folder, samples, count):
    """A folder of `count` hard links, big-cover and example taking turns, in two levels."""
    top = os.path.join(folder, "mixed")
    names = []
    for i in range(count):
        sub = os.path.join(top, "%02d" % (i % 50))
        os.makedirs(sub, exist_ok=True)
        name = os.path.join(sub, "%05d.mp3" % i)
        os.link(samples["big-cover" if i % 2 else "example"], name)
        names.append(name)
    return top, sorted(names)


def timed(command):
    """Wall time and CPU time (user and system) of one run of the command."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if done.returncode not in (0, 1):
        sys.exit("%s failed (%d): %s" % (command[0], done.returncode, done.stderr[:300]))
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return elapsed, cpu


def best_and_median(times):
    walls = [t[0] for t in times]
    return min(walls), statistics.median(walls), min(t[1] for t in times)


def find(name, given):
    if given:
        return given
    for candidate in (os.path.join(ROOT, "build", "linux", "cli", name),
                      os.path.join(ROOT, "build", "linux", "bench", "cli", name)):
        if os.path.exists(candidate):
            return candidate
    return None


def measure(args, tagscope, taglib, name, files, dump_names, runs):
    """Times `dump` of `dump_names` beside TagLib reading `files`, and prints the row."""
    # The programs take turns, so that a slower spell of the machine hits all.
    ours, tag_only, props, before = [], [], [], []
    for _ in range(runs):
        ours.append(timed([tagscope, "dump"] + args.dump_args.split() + dump_names))
        if args.before:  # an older build may not know -r: it is given the files
            before.append(timed([args.before, "dump", "--json"] + files))
        if taglib:
            tag_only.append(timed([taglib, "--tag-only"] + files))
            props.append(timed([taglib] + files))
    cells = [best_and_median(ours)]
    if taglib:
        cells += [best_and_median(tag_only), best_and_median(props)]
    row = "%-14s %7d %11.4f" % (name, len(files), cells[0][0])
    for other in cells[1:]:
        row += " %11.4f %7.2f" % (other[0], cells[0][0] / other[0])
    if before:
        old = best_and_median(before)
        row += " %11.4f %7.2f" % (old[0], old[0] / cells[1][0] if taglib else 0)
        cells.append(old)
    print(row + "   (medians " + " / ".join("%.4f" % c[1] for c in cells) + ")", flush=True)
    if taglib:
        # On a busy machine the CPU times vary less than the wall times.
        print("%-14s %7s %11.4f %11.4f %7.2f %11.4f %7.2f   (CPU seconds, best run)" % (
            "", "", cells[0][2], cells[1][2], cells[0][2] / cells[1][2], cells[2][2],
            cells[0][2] / cells[2][2]), flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tagscope")
    parser.add_argument("--taglib")
    parser.add_argument("--copies", type=int, default=2000)
    parser.add_argument("--folder", type=int, default=10000)
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--dump-args", default="--json",
                        help="the dump verb's options, split at blanks (default --json)")
    parser.add_argument("--before", help="an older tagscope, timed alongside")
    parser.add_argument("--only", help="the samples to run, separated by commas")
    args = parser.parse_args()
    tagscope = find("tagscope", args.tagscope)
    taglib = find("taglib_read", args.taglib)
    if not tagscope:
        sys.exit("tagscope not found: build it (cmake --build --preset linux --target tagscope)")
    if not taglib:
        print("TagLib yardstick not built (libtag1-dev missing?): tagscope times only")
    folder = tempfile.mkdtemp(prefix="tagscope-read-bench-")
    try:
        samples = make_samples(folder)
        print("%-14s %7s %11s %11s %7s %11s %7s%s" % (
            "sample", "files", "tagscope s", "tag only s", "ratio", "+props s", "ratio",
            "   before s   ratio" if args.before else ""))
        for name, copies, runs in (("big-cover", args.copies, args.runs),
                                   ("example", args.copies, args.runs),
                                   ("comm-20000", 1, 3), ("comm-40000", 1, 3),
                                   ("apic-100000", 1, 3)):
            if args.only and name not in args.only.split(","):
                continue
            files = links(folder, samples[name], copies) if copies > 1 else [samples[name]]
            measure(args, tagscope, taglib, name, files, files, runs)
            for f in files:
                if f != samples[name]:
                    os.unlink(f)
        if args.folder and (not args.only or "folder" in args.only.split(",")):
            top, files = mixed_folder(folder, samples, args.folder)
            measure(args, tagscope, taglib, "folder -r", files, ["-r", top], 3)
    finally:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()
