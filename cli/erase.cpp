// tagscope erase FILE... [--v1|--v2|--all]: cuts the ID3v2 tag, the ID3v1 trailer or both out.
#include <string>
#include <vector>

#include "cli/many_files.h"
#include "cli/open_engine.h"
#include "cli/verbs.h"
#include "tagscope/engine/id3_engine.h"

namespace tagscope::cli {

namespace {

struct TEraseOptions {
  std::vector<std::string> fileNames;
  bool v1 = false, v2 = false, all = false, force = false;
  bool recursive = false, preserveModified = false;
};

int Erase(const TEraseOptions& o) {
  const std::vector<TWalkFile> files = CollectFiles(o.fileNames, o.recursive);
  return ChangeEachFile(files, "erased", [&](const std::string& fileName) {
    TID3Engine engine;
    const TKeptModified modified(fileName, o.preserveModified);
    OpenEngine(engine, fileName, false, o.force);
    // The ID3v2 tag goes first: its removal replaces the file as a whole, the trailer's then
    // shortens the new file.
    if (o.v2 || o.all || !o.v1) Change(engine, &TID3Engine::EraseTag);
    if (o.v1 || o.all) engine.RemoveID3V1();
    modified.Restore();
  });
}

RegisterVerb registerErase([](CLI::App& app) {
  static TEraseOptions o;
  auto* cmd = app.add_subcommand("erase",
                                 "Cut the ID3v2 tag (and with --v1 or --all the ID3v1 "
                                 "trailer) out of a file");
  cmd->add_option("FILE", o.fileNames, "MP3 files (and folders, with -r)")->required();
  cmd->add_flag("-r,--recursive", o.recursive, "Erase in the MP3 files in the folders named");
  cmd->add_flag("-p,--preserve-mtime", o.preserveModified, "Keep each file's modification time");
  cmd->add_flag("--v1", o.v1, "Remove the ID3v1 trailer");
  cmd->add_flag("--v2", o.v2, "Remove the ID3v2 tag (what erase does without options)");
  cmd->add_flag("--all", o.all, "Remove both");
  cmd->add_flag("--force", o.force,
                "Erase although the tag could not be read in full; a tag that runs past the "
                "file's end is cut only as far as it was read");
  cmd->footer(
      "Examples:\n  tagscope erase song.mp3\n  tagscope erase --all song.mp3\n  tagscope erase -r "
      "-p "
      "Music");
  return Verb{cmd, [] { return Erase(o); }};
});

}  // namespace

}  // namespace tagscope::cli
