#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "cli/file_walk.h"
#include "tagscope/audio/loudness.h"

namespace tagscope::cli {

// What `loudness` measured of one file, and what it writes there.
struct TTrackLoudness {
  std::string path;
  bool found = false;     // found in a folder (see TWalkFile)
  bool measured = false;  // decoded and measured; the rest holds only then
  TLoudness meter;        // kept for the album's measure
  TLoudnessResult result;
  double peak = 0;   // the peak written: the true peak, or the sample peak
  int album = -1;    // index into the run's albums, or -1
  std::string note;  // told after the writes, in the files' order
};

struct TAlbumLoudness {
  std::string name;  // the folder with --album-per-folder, else empty
  std::vector<size_t> tracks;
  double loudness = 0;  // LUFS; -infinity when every track is silent
  double range = 0;
  double peak = 0;
  bool Silent() const;
};

// The options the verb was given.
struct TLoudnessOptions {
  std::vector<std::string> fileNames;
  bool recursive = false, album = false, albumPerFolder = false, samplePeak = false, dryRun = false,
       preserveModified = false, rva2 = false, json = false;
};

// Decodes and measures every file on all cores (a progress line on a terminal's stderr); the
// files that could not be measured are reported on stderr. Returns the exit status so far.
int MeasureFiles(const std::vector<TWalkFile>& files, const TLoudnessOptions& options,
                 std::vector<TTrackLoudness>& tracks);
// The albums of the run: one of every measured file (--album) or one per folder.
std::vector<TAlbumLoudness> GroupAlbums(std::vector<TTrackLoudness>& tracks,
                                        const TLoudnessOptions& options);
// Writes the values into each measured file's tag (or prints what would change, --dry-run).
int WriteLoudness(std::vector<TTrackLoudness>& tracks, const std::vector<TAlbumLoudness>& albums,
                  const TLoudnessOptions& options);
// The summary: a table, or JSON with --json, on stdout.
void PrintLoudness(const std::vector<TTrackLoudness>& tracks,
                   const std::vector<TAlbumLoudness>& albums, const TLoudnessOptions& options);

// The texts as written: "-7.23 dB", "0.988553", "5.10 dB", "-18.00 LUFS".
std::string GainText(double gain);
std::string PeakText(double peak);
std::string RangeText(double range);

}  // namespace tagscope::cli
