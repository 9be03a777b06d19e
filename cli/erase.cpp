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
};

int Erase(const TEraseOptions& o) {
  return ChangeEachFile(
      o.fileNames, "erased",
      [&](const std::string& fileName) {
        TID3Engine engine;
        OpenEngine(engine, fileName, false, o.force);
        // The ID3v2 tag goes first: its removal replaces the file as a whole, the trailer's then
        // shortens the new file.
        if (o.v2 || o.all || !o.v1) Change(engine, &TID3Engine::EraseTag);
        if (o.v1 || o.all) engine.RemoveID3V1();
      },
      true);
}

RegisterVerb registerErase([](CLI::App& app) {
  static TEraseOptions o;
  auto* cmd = app.add_subcommand("erase",
                                 "Cut the ID3v2 tag (and with --v1 or --all the ID3v1 "
                                 "trailer) out of a file");
  cmd->add_option("FILE", o.fileNames, "MP3 files")->required();
  cmd->add_flag("--v1", o.v1, "Remove the ID3v1 trailer");
  cmd->add_flag("--v2", o.v2, "Remove the ID3v2 tag (what erase does without options)");
  cmd->add_flag("--all", o.all, "Remove both");
  cmd->add_flag("--force", o.force,
                "Erase although the tag could not be read in full; a tag that runs past the "
                "file's end is cut only as far as it was read");
  cmd->footer("Examples:\n  tagscope erase song.mp3\n  tagscope erase --all song.mp3");
  return Verb{cmd, [] { return Erase(o); }};
});

}  // namespace

}  // namespace tagscope::cli
