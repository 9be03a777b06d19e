// tagscope erase FILE... [--v1|--v2|--ape|--all]: cuts the ID3v2 tag, the ID3v1 trailer, the APE
// tag or all of them out.
#include <iostream>
#include <string>
#include <vector>

#include "cli/many_files.h"
#include "cli/open_engine.h"
#include "cli/verbs.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/trailer_tags.h"
#include "tagscope/rtl/exception.h"

namespace tagscope::cli {

namespace {

struct TEraseOptions {
  std::vector<std::string> fileNames;
  bool v1 = false, v2 = false, ape = false, all = false, force = false;
  bool recursive = false, preserveModified = false;
};

// What a request cuts: the runs of proven blocks, in one change with the ID3v2 tag where that
// goes too, and the damaged blocks it named, which are never cut.
struct TEraseCuts {
  std::vector<TFileRange> ranges;
  std::vector<std::string> damaged;
};

TEraseCuts Plan(const TEraseOptions& o, const TTrailerTags& t) {
  TEraseCuts c;
  auto add = [&](const std::vector<TFileRange>& ranges) {
    c.ranges.insert(c.ranges.end(), ranges.begin(), ranges.end());
  };
  if (o.all) {
    add(t.AllRanges());
  } else {
    if (o.ape) add(t.ApeRanges());
    if (o.v1) add(t.ID3v1Ranges());
  }
  if ((o.all || o.ape) && t.Ape.Present && !t.Ape.Damage.empty())
    c.damaged.push_back("the APE tag is damaged (" + t.Ape.Damage + ")");
  if (o.all && t.Lyrics3.Present && !t.Lyrics3.Damage.empty())
    c.damaged.push_back("the Lyrics3 block is damaged (" + t.Lyrics3.Damage + ")");
  return c;
}

std::string Joined(const std::vector<std::string>& texts) {
  std::string joined;
  for (const std::string& t : texts) joined += (joined.empty() ? "" : "; ") + t;
  return joined;
}

// Every part of the request in one change: a stop half way leaves none of it done. A damaged
// block is never cut, its place being unproven: unforced, nothing is; forced, the rest is.
void EraseFile(const TEraseOptions& o, const std::string& fileName) {
  TID3Engine engine;
  // Kept through the open file, never set again through the name.
  engine.Options().keepModified = o.preserveModified;
  OpenEngine(engine, fileName, false, o.force);
  const TEraseCuts cuts = Plan(o, ReadTrailerTags(engine));
  if (!cuts.damaged.empty() && !o.force)
    throw EWriteRefused(Format(
        "Refusing to erase in \"%s\": %s, and a block whose place is not proven is never cut. "
        "Nothing was changed; --force erases the rest and leaves it",
        fileName.c_str(), Joined(cuts.damaged).c_str()));
  const bool tag = o.all || o.v2 || !(o.v1 || o.ape);
  Change(engine, [&] {
    if (tag) {
      engine.EraseTag(cuts.ranges);
    } else {
      std::vector<TFileSplice> splices;
      for (const TFileRange& r : cuts.ranges) splices.push_back({r, {}});
      engine.SpliceFile(std::move(splices));
    }
  });
  if (!cuts.damaged.empty())
    std::cerr << ErrorLine(Format("\"%s\": erased, but %s: left in place", fileName.c_str(),
                                  Joined(cuts.damaged).c_str()));
}

int Erase(const TEraseOptions& o) {
  const std::vector<TWalkFile> files = CollectFiles(o.fileNames, o.recursive);
  return ChangeEachFile(
      files, "erased", [&](const std::string& fileName) { EraseFile(o, fileName); }, true);
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
                "file's end is cut only as far as it was read. A damaged block behind the audio "
                "is left, the rest erased");
  cmd->footer(
      "Examples:\n  tagscope erase song.mp3\n  tagscope erase --all song.mp3\n  tagscope erase "
      "--ape song.mp3\n  tagscope erase -r -p Music");
  return Verb{cmd, [] { return Erase(o); }};
});

}  // namespace

}  // namespace tagscope::cli
