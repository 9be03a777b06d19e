// tagscope rename FILE... --format FMT: names files from their tags. The whole run is planned
// before any file is renamed: two files that would get one name stop it, and no file that is
// there already is ever replaced.
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/file_walk.h"
#include "cli/many_files.h"
#include "cli/open_engine.h"
#include "cli/verbs.h"
#include "tagscope/engine/file_naming.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/rtl/ascii_case.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_move.h"
#include "tagscope/rtl/files.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

struct TRenameOptions {
  std::vector<std::string> files;
  std::string format;
  bool recursive = false, dryRun = false;
};

// One file's rename: its folder ("" or ending in a delimiter), its name there and the path,
// relative to that folder, that its tag gives it.
struct TRename {
  std::string folder, name, target;
  std::string From() const { return folder + name; }
  std::string To() const { return folder + target; }
};

std::string FolderOf(const std::string& path) {
  // The last delimiter of either kind: Windows takes "/" as well as "\".
  const size_t slash = path.find_last_of(PathDelimiter() == '/' ? "/" : "/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// How two targets are compared: case folded, in the folder as the system resolves it, since
// names that differ only in case are one name on many file systems.
std::string TargetKey(const TRename& r) {
  const std::string folder = ResolveFileName(r.folder.empty() ? "." : r.folder);
  return folder + "/" + AsciiLowerCase(r.target);
}

// The rename the file's tag asks for; none when the file already has that name. Raises when
// the tag lacks a field of the format.
std::optional<TRename> PlanOne(const std::string& path, const TNameFormat& format) {
  TID3Engine engine;
  OpenEngine(engine, path, true, false);
  // The journal of a change cut short stands beside the name: renamed away from it, the file
  // would stay half old, half new.
  if (engine.JournalPending())
    throw EWriteError(
        Format("Cannot rename \"%s\": a change of it was cut short, and its journal "
               "waits beside it. Any write of it (tagscope set) finishes the change; "
               "rename it after that",
               path.c_str()));
  TRename r;
  r.folder = FolderOf(path);
  r.name = path.substr(r.folder.size());
  r.target = format.Expand(TagNameValues(engine.Tag()), NameExtension(r.name));
  if (r.target == r.name) return std::nullopt;
  return r;
}

struct TPlan {
  std::vector<TRename> renames;
  bool failed = false;
  TRunTally tally;  // a planned file counts as done until its rename fails
};

// Every file's rename, or the reason it has none; stops the run when two files would share a
// name.
TPlan PlanAll(const std::vector<TWalkFile>& files, const TNameFormat& format) {
  TPlan plan;
  std::set<std::string> sources;
  for (const TWalkFile& file : files) {
    TFileOutcome outcome;
    if (!file.error.empty()) {
      outcome.err = ErrorLine(file.error);
      outcome.failed = true;
    } else if (std::optional<TFileOutcome> looked =
                   file.found ? LookBeforeJob(file) : std::nullopt) {
      outcome = *looked;
    } else if (!sources.insert(ResolveFileName(file.path)).second) {
      continue;  // a file named twice is renamed once
    } else {
      try {
        if (auto r = PlanOne(file.path, format)) plan.renames.push_back(std::move(*r));
      } catch (const std::exception& e) {
        outcome.err = ErrorLine(Format("%s: not renamed: %s", file.path.c_str(), e.what()));
        outcome.failed = true;
      }
    }
    std::cerr << outcome.err;
    plan.failed = plan.failed || outcome.failed;
    plan.tally.Count(file, outcome);
  }
  std::map<std::string, std::vector<const TRename*>> byTarget;
  for (const TRename& r : plan.renames) byTarget[TargetKey(r)].push_back(&r);
  bool clash = false;
  for (const auto& [key, same] : byTarget) {
    if (same.size() < 2) continue;
    std::string names;
    for (const TRename* r : same) names += "\n  " + EscapeForTerminal(r->From());
    std::cerr << "tagscope: these files would all be named " << EscapeForTerminal(same[0]->To())
              << ":" << names << "\n";
    clash = true;
  }
  if (clash) {
    std::cerr << "tagscope: nothing renamed: give a format that tells them apart\n";
    plan.tally.done -= plan.renames.size();
    plan.tally.failed += plan.renames.size();
    plan.renames.clear();
    plan.failed = true;
  }
  return plan;
}

void PrintMove(const TRename& r) {
  std::cout << EscapeForTerminal(r.From()) << " -> " << EscapeForTerminal(r.To()) << "\n";
}

// Renames the planned files. A target taken by another file of the run is tried again once that
// file has moved away; a target taken by anything else stays as it is, and so does the file.
// Returns the number of files not renamed.
size_t RenameAll(std::vector<TRename> pending) {
  size_t failed = 0;
  for (bool moved = true; moved && !pending.empty();) {
    moved = false;
    std::vector<TRename> taken;
    for (const TRename& r : pending) {
      try {
        if (MoveWithoutReplacing(r.folder, r.name, r.target) == TMoveOutcome::moTargetTaken) {
          taken.push_back(r);
          continue;
        }
        PrintMove(r);
        moved = true;
      } catch (const std::exception& e) {
        std::cerr << ErrorLine(Format("%s: not renamed: %s", r.From().c_str(), e.what()));
        ++failed;
      }
    }
    pending = std::move(taken);
  }
  for (const TRename& r : pending)
    std::cerr << ErrorLine(
        Format("%s: not renamed: %s is there already", r.From().c_str(), r.To().c_str()));
  return failed + pending.size();
}

int Rename(const TRenameOptions& o) {
  const TNameFormat format(o.format);
  TPlan plan = PlanAll(CollectFiles(o.files, o.recursive), format);
  bool failed = plan.failed;
  if (o.dryRun) {
    // A name that a file of the run has now is free once that file has moved.
    std::set<std::string> leaving;
    for (const TRename& r : plan.renames) leaving.insert(TargetKey({r.folder, "", r.name}));
    for (const TRename& r : plan.renames) {
      PrintMove(r);
      if (NameTaken(r.To()) && !SameFile(r.To(), r.From()) && !leaving.contains(TargetKey(r)))
        std::cerr << ErrorLine(
            Format("%s is there already: it would not be replaced", r.To().c_str()));
    }
  } else {
    const size_t notRenamed = RenameAll(plan.renames);
    plan.tally.done -= notRenamed;
    plan.tally.failed += notRenamed;
    failed = notRenamed > 0 || failed;
  }
  std::cerr << plan.tally.Summary();
  return failed ? 1 : 0;
}

const char* const kRenameHelp =
    R"(Fields: %{artist} %{albumartist} %{album} %{title} %{track} %{disc} %{year}
%{genre}; %{track:02} pads a number to two digits; %% is a "%". A "/" makes folders under the
file's folder. In a value, "/", "\" and : * ? " < > | become "_", and so do trailing dots and
blanks; names are cut to 255 bytes, the extension kept. A file whose tag lacks a field of the
format is not renamed. No file that is there already is replaced, and nothing is renamed when
two files would get one name.
Examples:
  tagscope rename *.mp3 --format "%{track:02} - %{title}" --dry-run
  tagscope rename -r Music --format "%{artist}/%{album}/%{track:02} %{title}")";

RegisterVerb registerRename([](CLI::App& app) {
  static TRenameOptions o;
  auto* cmd = app.add_subcommand("rename", "Name files from their tags");
  cmd->add_option("FILE", o.files, "MP3 files (and folders, with -r)")->required();
  cmd->add_option("-f,--format", o.format, "The new name, as in \"%{artist} - %{title}\"")
      ->required()
      ->type_name("FORMAT");
  cmd->add_flag("-r,--recursive", o.recursive, "Rename the MP3 files in the folders named");
  cmd->add_flag("--dry-run", o.dryRun, "Print each OLD -> NEW; rename nothing");
  cmd->footer(kRenameHelp);
  return Verb{cmd, [] { return Rename(o); }};
});

}  // namespace

}  // namespace tagscope::cli
