#!/usr/bin/python3
"""Whole-process stream check speed: `tagscope check` against `mp3val` over the same files.

Both programs get the same list of files in one folder in one invocation each; the wall time of
the whole process (start-up included) is measured --runs times, the programs taking turns at
going first, and the best and median runs and the median processor time are reported. The
ratio is tagscope's median over mp3val's.

  bench/cli/check_bench.py [--tagscope PATH] [--files N] [--seconds S] [--runs R]
                           [--before PATH] [--dir DIR]

--before names an older tagscope build, timed in the same run as a further row.

The files are encoded once with ffmpeg (libmp3lame): CBR 128 and 320 kbit/s, VBR, mono and
MPEG-2 at 22.05 kHz, each --seconds long with a small ID3v2 tag, and every one of the --files
names in the folder is a hard link to one of them, so the list is long without using the disk:
after the first run every byte comes from the page cache, and the time is the programs' own.
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
    "cbr128": ["-b:a", "128k"],
    "cbr320": ["-b:a", "320k"],
    "vbr": ["-q:a", "2"],
    "mono": ["-ac", "1", "-q:a", "5"],
    "mpeg2": ["-ar", "22050", "-b:a", "64k"],
}


def encode(path, seconds, options):
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    "sine=frequency=440:duration=%d" % seconds, "-metadata", "title=Bench",
                    "-c:a", "libmp3lame", *options, path], check=True)


def make_folder(base, count, seconds):
    sources = []
    for name, options in KINDS.items():
        path = os.path.join(base, name + ".mp3")
        encode(path, seconds, options)
        sources.append(path)
    folder = os.path.join(base, "songs")
    os.mkdir(folder)
    files = []
    for i in range(count):
        path = os.path.join(folder, "song%04d.mp3" % i)
        os.link(sources[i % len(sources)], path)
        files.append(path)
    return files


def timed(command):
    """Wall and processor seconds of one run; the output is thrown away."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    # check exits 1 where a file is damaged; anything else is a failure of the run.
    if done.returncode not in (0, 1):
        sys.exit("%s failed (%d): %s" % (command[0], done.returncode, done.stderr[-500:]))
    return wall, cpu


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--tagscope", default=os.path.join(ROOT, "build", "linux", "cli", "tagscope"))
    p.add_argument("--before", help="an older tagscope build, timed in the same run")
    p.add_argument("--files", type=int, default=1000)
    p.add_argument("--seconds", type=int, default=60, help="length of each encoded file")
    p.add_argument("--runs", type=int, default=7)
    p.add_argument("--dir", help="where to make the files (a scratch folder otherwise)")
    args = p.parse_args()
    for tool in ("ffmpeg", "mp3val"):
        if not shutil.which(tool):
            sys.exit(tool + " is missing")
    base = tempfile.mkdtemp(dir=args.dir)
    try:
        files = make_folder(base, args.files, args.seconds)
        programs = {"tagscope check": [args.tagscope, "check", *files],
                    "mp3val": ["mp3val", *files]}
        if args.before:
            programs["before: check"] = [args.before, "check", *files]
        for command in programs.values():
            timed(command)  # brings the files into the page cache
        times = {name: [] for name in programs}
        names = list(programs)
        for run in range(args.runs):
            order = names[run % len(names):] + names[:run % len(names)]
            for name in order:
                times[name].append(timed(programs[name]))
        size = sum(os.path.getsize(f) for f in files) / 1e6
        print("%d files, %.0f MB, %d runs, %d cores" % (len(files), size, args.runs,
                                                        os.cpu_count()))
        print("| program | best s | median s | median CPU s | ratio (median) |")
        print("|---|---|---|---|---|")
        yard = statistics.median(t[0] for t in times["mp3val"])
        for name in names:
            walls = [t[0] for t in times[name]]
            cpus = [t[1] for t in times[name]]
            median = statistics.median(walls)
            print("| %s | %.3f | %.3f | %.3f | %.2f |" % (name, min(walls), median,
                                                          statistics.median(cpus), median / yard))
    finally:
        shutil.rmtree(base)


if __name__ == "__main__":
    main()
