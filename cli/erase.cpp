// tagscope erase FILE... [--v1|--v2|--ape|--all]: cuts the ID3v2 tag, the ID3v1 trailer, the APE
// tag or all of them out.
#include <string>
#include <vector>

#include "cli/many_files.h"
#include "cli/open_engine.h"
#include "cli/verbs.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/trailer_tags.h"

namespace tagscope::cli {

namespace {

struct TEraseOptions {
  std::vector<std::string> fileNames;
  bool v1 = false, v2 = false, ape = false, all = false, force = false;
  bool recursive = false, preserveModified = false;
};

// Removes the ID3v1 trailer together with a Lyrics3 block right before it, which belongs to
// it and would be left without meaning: with one write.
void RemoveTrailer(TID3Engine& engine) {
  const TTrailerTags t = ReadTrailerTags(engine);
  if (t.ID3v1 && t.Lyrics3.Present && t.Lyrics3.Place.End() == t.ID3v1Place.Offset)
    engine.CutFileRanges({t.Lyrics3.Place, t.ID3v1Place});
  else
    engine.RemoveID3V1();
}

// Every block behind the audio: the APE tag, the Lyrics3 block and the ID3v1 trailer.
std::vector<TFileRange> AllTrailers(const TTrailerTags& t) {
  std::vector<TFileRange> ranges;
  if (t.Ape.Present) ranges.push_back(t.Ape.Place);
  if (t.Lyrics3.Present) ranges.push_back(t.Lyrics3.Place);
  if (t.ID3v1) ranges.push_back(t.ID3v1Place);
  return ranges;
}

int Erase(const TEraseOptions& o) {
  const std::vector<TWalkFile> files = CollectFiles(o.fileNames, o.recursive);
  return ChangeEachFile(
      files, "erased",
      [&](const std::string& fileName) {
        TID3Engine engine;
        // Kept through the open file, never set again through the name.
        engine.SetKeepModified(o.preserveModified);
        OpenEngine(engine, fileName, false, o.force);
        if (o.all) {
          // The tag and every block behind the audio go in one change: a stop half way leaves none
          // of it done.
          Change(engine, [&] { engine.EraseTagAndTrailers(AllTrailers(ReadTrailerTags(engine))); });
        } else {
          if (o.v2 || !(o.v1 || o.ape)) Change(engine, &TID3Engine::EraseTag);
          if (o.ape)
            Change(engine, [&] { engine.CutFileRanges(ReadTrailerTags(engine).ApeRanges()); });
          if (o.v1) Change(engine, [&] { RemoveTrailer(engine); });
        }
      },
      true);
}

RegisterVerb registerErase([](CLI::App& app) {
  static TEraseOptions o;
  auto* cmd = app.add_subcommand("erase",
                                 "Cut the ID3v2 tag (and with --v1, --ape or --all the "
                                 "blocks behind the audio) out of a file");
  cmd->add_option("FILE", o.fileNames, "MP3 files (and folders, with -r)")->required();
  cmd->add_flag("-r,--recursive", o.recursive, "Erase in the MP3 files in the folders named");
  cmd->add_flag("-p,--preserve-mtime", o.preserveModified, "Keep each file's modification time");
  cmd->add_flag("--v1", o.v1, "Remove the ID3v1 trailer");
  cmd->add_flag("--v2", o.v2, "Remove the ID3v2 tag (what erase does without options)");
  cmd->add_flag("--ape", o.ape, "Remove the APE tag (and a Lyrics3 block that stands next to it)");
  cmd->add_flag("--all", o.all,
                "Remove the ID3v2 tag and every block behind the audio: APE tag, Lyrics3 block "
                "and ID3v1 trailer");
  cmd->add_flag("--force", o.force,
                "Erase although the tag could not be read in full; a tag that runs past the "
                "file's end is cut only as far as it was read");
  cmd->footer(
      "Examples:\n  tagscope erase song.mp3\n  tagscope erase --all song.mp3\n  tagscope erase "
      "--ape song.mp3\n  tagscope erase -r -p Music");
  return Verb{cmd, [] { return Erase(o); }};
});

}  // namespace

}  // namespace tagscope::cli
