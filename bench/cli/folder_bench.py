#!/usr/bin/python3
"""Reading a flat folder of many short MP3s: `tagscope dump -r --json FOLDER` against TagLib.

Three folders of --files hard links each to a 20-second MP3 that ffmpeg encodes once, with a
small ID3v2.4 tag (title, artist, album, year): "tagged" (128 kbit/s with the encoder's Info
header), "vbr-noheader" (VBR without a Xing header: its length is counted) and "cbr-noheader"
(128 kbit/s without a header: its length is estimated). Each run times, taking turns, tagscope,
an older tagscope (--before), and TagLib reading the same files one after another, with its
audio properties and with the tag alone (bench/cli/taglib_read). Prints the median and best wall
time and the median processor time (user and system) of --runs runs, and the ratios of the
medians to TagLib's.

  cmake --build --preset linux --target tagscope taglib_read
  /usr/bin/python3 bench/cli/folder_bench.py [--files 10000] [--runs 7] [--before OLD/tagscope]
"""
import argparse
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

KINDS = {
    "tagged": ["-b:a", "128k"],
    "vbr-noheader": ["-q:a", "2", "-write_xing", "0"],
    "cbr-noheader": ["-b:a", "128k", "-write_xing", "0"],
}


def encode(path, options):
    # Music-like: a tone over noise whose loudness moves, so that VBR frames vary.
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                    "anoisesrc=d=20:a=0.3:s=1", "-f", "lavfi", "-i", "sine=f=220:d=20",
                    "-filter_complex", "amix=inputs=2,volume='0.2+0.8*abs(sin(t/3))':eval=frame",
                    "-ac", "2", "-ar", "44100", "-c:a", "libmp3lame", *options,
                    "-id3v2_version", "4", "-metadata", "title=A song", "-metadata",
                    "artist=An artist", "-metadata", "album=An album", "-metadata", "date=2024",
                    path], check=True, timeout=120)


def folder_of(top, kind, count):
    source = os.path.join(top, kind + ".mp3")
    encode(source, KINDS[kind])
    folder = os.path.join(top, kind)
    os.mkdir(folder)
    names = []
    for i in range(count):
        name = os.path.join(folder, "%05d.mp3" % i)
        os.link(source, name)
        names.append(name)
    return folder, names


def timed(command):
    """Wall time and processor time (user and system) of one run of the command."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if done.returncode not in (0, 1):
        sys.exit("%s failed (%d): %s" % (command[0], done.returncode, done.stderr[:300]))
    return elapsed, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def find(name, given):
    if given:
        return given
    for candidate in (os.path.join(ROOT, "build", "linux", "cli", name),
                      os.path.join(ROOT, "build", "linux", "bench", "cli", name)):
        if os.path.exists(candidate):
            return candidate
    sys.exit(name + " not found: build it (cmake --build --preset linux --target " + name + ")")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tagscope")
    parser.add_argument("--taglib")
    parser.add_argument("--before", help="an older tagscope, timed alongside")
    parser.add_argument("--files", type=int, default=10000)
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--kinds", default=",".join(KINDS))
    args = parser.parse_args()
    tagscope, taglib = find("tagscope", args.tagscope), find("taglib_read", args.taglib)
    programs = [("tagscope", lambda f, n: [tagscope, "dump", "--json", "-r", f])]
    if args.before:
        programs.append(("before", lambda f, n: [args.before, "dump", "--json", "-r", f]))
    programs += [("TagLib +props", lambda f, n: [taglib] + n),
                 ("TagLib tag", lambda f, n: [taglib, "--tag-only"] + n)]
    top = tempfile.mkdtemp(prefix="tagscope-folder-bench-")
    try:
        print("%-13s %-13s %9s %9s %9s %8s %8s" % ("folder", "program", "median s", "best s",
                                                  "CPU s", "wall/TL", "CPU/TL"))
        for kind in args.kinds.split(","):
            folder, names = folder_of(top, kind, args.files)
            times = {name: [] for name, _ in programs}
            for run in range(args.runs):
                # Turns rotate, so that no program always follows the same one.
                for name, command in programs[run % len(programs):] + programs[:run % len(programs)]:
                    times[name].append(timed(command(folder, names)))
            walls = {n: statistics.median(t[0] for t in ts) for n, ts in times.items()}
            cpus = {n: statistics.median(t[1] for t in ts) for n, ts in times.items()}
            for name, _ in programs:
                print("%-13s %-13s %9.4f %9.4f %9.4f %8.2f %8.2f" % (
                    kind, name, walls[name], min(t[0] for t in times[name]), cpus[name],
                    walls[name] / walls["TagLib +props"], cpus[name] / cpus["TagLib +props"]),
                    flush=True)
            shutil.rmtree(folder)
    finally:
        shutil.rmtree(top)


if __name__ == "__main__":
    main()
