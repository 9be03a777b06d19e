#!/usr/bin/python3
"""Whole-process speed and agreement of `tagscope loudness --album FILES` against loudgain
(`loudgain -a -s e FILES`, one process, the ReplayGain tags written by both), or, where loudgain
is not installed, against ffmpeg's ebur128 filter run on each file in turn, as a user would
script it.

  bench/cli/loudness_bench.py [--tagscope PATH] [--files 200] [--seconds 20] [--runs 7]
                              [--dir DIR]

The files are made once with ffmpeg (libmp3lame) from noise under a slow swell, in six kinds
taking turns: CBR 44.1 kHz stereo, VBR 44.1 kHz stereo, VBR 48 kHz mono, MPEG-2 22.05 kHz, CBR
48 kHz, and audio encoded above full scale (clipping). Each run times the whole process (start-up
included), the two programs taking turns at going first; the wall and processor times (user +
system of the process and its children) are printed as medians of the runs, with the ratios of
tagscope's to the yardstick's.

Agreement: every file's gain and peak as tagscope measures them (--dry-run --json) against the
yardstick's on the same file: loudgain's, except for the clipping files, which loudgain clips to
full scale as it decodes; those, and all files where loudgain is missing, against ffmpeg's
ebur128 filter (true peak, three decimals).
"""
import argparse
import json
import os
import re
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SOURCE = ("anoisesrc=c=pink:r={rate}:a={amp}:d={secs}:s={noise},"
          "volume='0.3+0.7*abs(sin(t/{period}))':eval=frame")
# name, sample rate, channels, encoder options, amplitude
KINDS = [
    ("cbr44", 44100, 2, ["-b:a", "192k"], 0.3),
    ("vbr44", 44100, 2, ["-q:a", "2"], 0.2),
    ("mono48", 48000, 1, ["-q:a", "4"], 0.3),
    ("mpeg2", 22050, 2, ["-b:a", "64k"], 0.25),
    ("cbr48", 48000, 2, ["-b:a", "256k"], 0.4),
    ("clipping", 44100, 2, ["-b:a", "320k"], 1.0),
]


def make_files(folder, count, seconds):
    masters = {}
    for i, (name, rate, channels, options, amp) in enumerate(KINDS):
        path = os.path.join(folder, "master-%s.mp3" % name)
        source = SOURCE.format(rate=rate, amp=amp, secs=seconds, noise=i + 1, period=1 + i)
        if name == "clipping":
            source += ",volume=6dB"
        subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                        source, "-ac", str(channels), "-ar", str(rate), "-c:a", "libmp3lame",
                        *options, path], check=True)
        masters[name] = path
    songs = os.path.join(folder, "songs")
    os.makedirs(songs, exist_ok=True)
    files = []
    for i in range(count):
        kind = KINDS[i % len(KINDS)][0]
        path = os.path.join(songs, "%04d-%s.mp3" % (i, kind))
        shutil.copyfile(masters[kind], path)
        files.append(path)
    return files


def timed(command):
    """(wall seconds, processor seconds) of one process and its children."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def ffmpeg_measure(path):
    out = subprocess.run(["ffmpeg", "-nostdin", "-hide_banner", "-i", path, "-af",
                          "ebur128=metadata=1:peak=true,ametadata=print:file=-", "-f", "null",
                          "-"], capture_output=True, text=True, check=True).stdout
    loudness = float(re.findall(r"lavfi\.r128\.I=(\S+)", out)[-1])
    peak = float(re.findall(r"lavfi\.r128\.true_peak=(\S+)", out)[-1])
    return -18 - loudness, peak


def loudgain_measure(files):
    out = subprocess.run(["loudgain", "-s", "s", *files], capture_output=True, text=True,
                         check=True).stdout
    found = {}
    for block in out.split("Track: ")[1:]:
        name = block.splitlines()[0].strip()
        gain = float(re.search(r"Gain:\s+(\S+) dB", block).group(1))
        peak = float(re.search(r"Peak:\s+(\S+) ", block).group(1))
        found[name] = (gain, peak)
    return found


class FfmpegPerFile:
    """What a user would script without loudgain: ffmpeg's filter run on each file in turn."""

    def __init__(self, files):
        self.script = os.path.join(os.path.dirname(files[0]), "..", "measure.sh")
        with open(self.script, "w") as f:
            f.write('for f in "$@"; do ffmpeg -nostdin -hide_banner -i "$f" '
                    '-af ebur128=peak=true -f null - 2>/dev/null; done\n')

    def command(self, files):
        return ["sh", self.script, *files]


def agreement(tool, files, have_loudgain):
    ours = json.loads(subprocess.run([tool, "loudness", "--dry-run", "--json", *files],
                                     capture_output=True, text=True, check=True).stdout)
    theirs = loudgain_measure(files) if have_loudgain else {}
    worst_gain, worst_peak = (-1.0, ""), (-1.0, "")
    for entry in ours["files"]:
        path = entry["file"]
        gain, peak = theirs[path] if path in theirs and "clipping" not in path \
            else ffmpeg_measure(path)
        worst_gain = max(worst_gain, (abs(entry["gain"] - gain), path))
        worst_peak = max(worst_peak, (abs(entry["peak"] - peak) / peak, path))
    return worst_gain, worst_peak


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tagscope", default=os.path.join(ROOT, "build/linux/cli/tagscope"))
    parser.add_argument("--files", type=int, default=200)
    parser.add_argument("--seconds", type=int, default=20)
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--dir")
    args = parser.parse_args()
    have_loudgain = shutil.which("loudgain") is not None
    with tempfile.TemporaryDirectory(dir=args.dir) as scratch:
        print("making %d files of %d s ..." % (args.files, args.seconds), flush=True)
        files = make_files(scratch, args.files, args.seconds)
        ours = [args.tagscope, "loudness", "--album", *files]
        if have_loudgain:
            name, theirs = "loudgain", ["loudgain", "-q", "-a", "-s", "e", *files]
        else:
            name, theirs = "ffmpeg per file", FfmpegPerFile(files).command(files)
        times = {"tagscope": [], name: []}
        for run in range(args.runs):
            order = [("tagscope", ours), (name, theirs)]
            for label, command in order if run % 2 == 0 else reversed(order):
                times[label].append(timed(command))
        print("%-16s %10s %10s" % ("", "wall s", "cpu s"))
        medians = {}
        for label, values in times.items():
            medians[label] = (statistics.median(v[0] for v in values),
                              statistics.median(v[1] for v in values))
            print("%-16s %10.3f %10.3f" % (label, *medians[label]))
        print("%-16s %10.2f %10.2f" % ("ratio", medians["tagscope"][0] / medians[name][0],
                                       medians["tagscope"][1] / medians[name][1]))
        (gain, gain_file), (peak, peak_file) = agreement(args.tagscope, files, have_loudgain)
        print("largest gain difference %.3f dB (%s), peak difference %.3f %% (%s)"
              % (gain, os.path.basename(gain_file), peak * 100, os.path.basename(peak_file)))
        return 0 if gain <= 0.05 and peak <= 0.005 else 1


if __name__ == "__main__":
    sys.exit(main())
