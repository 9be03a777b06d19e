// tagscope fix-encoding [--dry-run] [--from CHARSET] [-r] FILE...: repairs texts stored in one
// character set and read in another.
#include <sstream>
#include <string>
#include <vector>

#include "cli/file_walk.h"
#include "cli/many_files.h"
#include "cli/open_engine.h"
#include "cli/trailer_tags_print.h"
#include "cli/verbs.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/text_repair.h"
#include "tagscope/engine/trailer_tags.h"
#include "tagscope/rtl/charset.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

struct TFixOptions {
  std::vector<std::string> files;
  std::string from;
  bool dryRun = false;
  bool recursive = false;
  bool force = false;
  bool preserveModified = false;
};

// The ID3v1 trailer's texts, which count for finding the character set with the tag's.
std::vector<TLooseText> TrailerTexts(TID3Engine& engine) {
  const TTrailerTags t = ReadTrailerTags(engine);
  if (!t.ID3v1) return {};
  return ID3v1LooseTexts(engine.ReadFileBytes(t.ID3v1Place.Offset, t.ID3v1Place.Size));
}

TFileOutcome FixFile(const TWalkFile& file, const TFixOptions& o, bool named) {
  // A link met in a folder could lead anywhere, out of the tree too: as set and erase do.
  if (file.found && ResolveLinkName(file.path) != file.path) {
    TFileOutcome outcome = PassedOver();
    outcome.err = EscapeForTerminal(file.path) + ": passed over: a link\n";
    return outcome;
  }
  TID3Engine engine;
  // Kept through the open file, never set again through the name.
  engine.Options().keepModified = o.preserveModified && !o.dryRun;
  OpenEngine(engine, file.path, o.dryRun, o.force);
  if (file.found && !LooksLikeMp3(engine.ReadFileBytes(0, 4))) return PassedOver();
  // Without an ID3v2 tag the engine holds the trailer's fields as frames: the trailer is
  // looked at as it is instead, and no tag is made.
  const bool hasTag = engine.Header().Size() >= 0;
  const TID3Tag none;
  const TTextRepairPlan plan =
      PlanTextRepairs(hasTag ? engine.Tag() : none, TrailerTexts(engine), o.from);
  std::ostringstream out;
  const std::string prefix = named ? EscapeForTerminal(file.path) + ": " : "";
  std::string trailerSet;
  for (const TTextRepair& r : plan.Repairs) {
    out << prefix << EscapeForTerminal(r.Where) << ": " << EscapeForTerminal(r.Old) << " -> "
        << EscapeForTerminal(r.New) << " (" << r.Charset << ")\n";
    if (r.Frame < 0 && trailerSet.empty()) trailerSet = r.Charset;
  }
  // The trailer has no encoding to mark: its bytes stay, and are read with the set named.
  if (!trailerSet.empty())
    out << prefix << "the ID3v1 trailer keeps its bytes: show and dump read it with --v1-charset "
        << trailerSet << "\n";
  if (!o.dryRun && ApplyTextRepairs(engine.Tag(), plan) > 0) Change(engine, &TID3Engine::WriteTag);
  return TFileOutcome{out.str(), "", false};
}

int RunFix(const TFixOptions& o) {
  CheckCharset(o.from);
  const std::vector<TWalkFile> files = CollectFiles(o.files, o.recursive);
  const bool named = files.size() > 1 || o.recursive;
  return RunForEachFile(
      files, [&](const TWalkFile& f) { return FixFile(f, o, named); }, 1, true);
}

RegisterVerb registerFixEncoding([](CLI::App& app) {
  static TFixOptions o;
  auto* cmd = app.add_subcommand(
      "fix-encoding",
      "Repair texts stored in one character set and read in another (\"CafÃ©\", \"Ãðóïïà\")");
  cmd->add_option("FILE", o.files, "MP3 files (and folders, with -r)")->required();
  cmd->add_flag("-n,--dry-run", o.dryRun, "Print the repairs without writing them");
  cmd->add_option("--from", o.from,
                  "The character set the texts were written in (WINDOWS-1251, KOI8-R, "
                  "WINDOWS-1250, WINDOWS-1252, SHIFT_JIS, GBK, BIG5, EUC-KR, ...) instead of "
                  "finding it");
  cmd->add_flag("-r,--recursive", o.recursive, "Repair the MP3 files in the folders named");
  cmd->add_flag("--force", o.force, "Write although the tag could not be read in full");
  cmd->add_flag("-p,--preserve-mtime", o.preserveModified, "Keep each file's modification time");
  cmd->footer(
      "Texts that read right are left alone; the others are written back in UTF-8 (ID3v2.4) "
      "or UTF-16 (older versions).\nExamples:\n  tagscope fix-encoding --dry-run song.mp3\n  "
      "tagscope fix-encoding -r Music\n  tagscope fix-encoding --from WINDOWS-1251 song.mp3");
  return Verb{cmd, [] { return RunFix(o); }};
});

}  // namespace

}  // namespace tagscope::cli
