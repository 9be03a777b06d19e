// tagscope loudness FILE...: measures each file's loudness and writes ReplayGain 2.0 values.
// Every file is decoded and measured first, on all cores; then the values go into the tags
// through the same safe write as `set`, so that a decode never waits on a write.
#include "cli/loudness.h"

#include <iostream>

#include "cli/many_files.h"
#include "cli/verbs.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

// Notes on what was left out of a file, in the files' order.
void PrintNotes(const std::vector<TTrackLoudness>& tracks) {
  for (const TTrackLoudness& t : tracks) {
    std::string_view notes = t.note;
    while (!notes.empty()) {
      const size_t end = notes.find('\n');
      std::cerr << "Note: " << EscapeForTerminal(t.path) << ": " << notes.substr(0, end) << "\n";
      notes.remove_prefix(end + 1);
    }
  }
}

int Loudness(const TLoudnessOptions& options) {
  if (options.album && options.albumPerFolder)
    throw EConvertError("--album and --album-per-folder exclude each other: give only one");
  const std::vector<TWalkFile> files = CollectFiles(options.fileNames, options.recursive);
  std::vector<TTrackLoudness> tracks;
  int status = MeasureFiles(files, options, tracks);
  const std::vector<TAlbumLoudness> albums = GroupAlbums(tracks, options);
  status = std::max(status, WriteLoudness(tracks, albums, options));
  PrintNotes(tracks);
  PrintLoudness(tracks, albums, options);
  return status;
}

const char* const kLoudnessExample = R"(Examples:
  tagscope loudness song.mp3
  tagscope loudness --album *.mp3
  tagscope loudness -r --album-per-folder -p Music
  tagscope loudness --dry-run --json song.mp3)";

RegisterVerb registerLoudness([](CLI::App& app) {
  static TLoudnessOptions o;
  auto* cmd = app.add_subcommand(
      "loudness",
      "Measure loudness and write ReplayGain 2.0 values (gain to -18 LUFS, peak, range)");
  cmd->add_option("FILE", o.fileNames, "MP3 files (and folders, with -r)")->required();
  cmd->add_flag("-r,--recursive", o.recursive, "Measure the MP3 files in the folders named");
  cmd->add_flag("--album", o.album, "Also write an album gain over all the files of the run");
  cmd->add_flag("--album-per-folder", o.albumPerFolder,
                "Also write an album gain over the files of each folder");
  cmd->add_flag("--sample-peak", o.samplePeak, "Write the sample peak instead of the true peak");
  cmd->add_flag("--rva2", o.rva2, "Also write RVA2 frames (track, album) where the tag is ID3v2.4");
  cmd->add_flag("-p,--preserve-mtime", o.preserveModified, "Keep each file's modification time");
  cmd->add_flag("--dry-run", o.dryRun, "Measure and print what would change; change nothing");
  cmd->add_flag("--json", o.json, "The summary as JSON on stdout");
  cmd->footer(kLoudnessExample);
  return Verb{cmd, [] { return Loudness(o); }};
});

}  // namespace

}  // namespace tagscope::cli
