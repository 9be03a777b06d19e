// tagscope rename FILE... --format FMT: names files from their tags. The whole run is planned
// before any file is renamed: two files that would get one name stop it, and no file that is
// there already is ever replaced.
#include <filesystem>
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
  std::string format, to;
  bool recursive = false, dryRun = false;
};

// One file's rename: its path, the folder its new name is under ("" or ending in a delimiter),
// the file as reached from that folder, and the path, relative to that folder, that its tag
// gives it.
struct TRename {
  std::string path, root, name, target;
  std::string From() const { return path; }
  std::string To() const { return root + target; }
};

// The delimiters of a path: Windows takes "/" as well as "\".
const char* Delimiters() {
  return PathDelimiter() == '/' ? "/" : "/\\";
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of(Delimiters());
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A folder as the start of paths: "" for the working folder, else ending in a delimiter.
std::string AsRoot(const std::string& folder) {
  if (folder.empty() || folder.find_last_of(Delimiters()) == folder.size() - 1) return folder;
  return folder + "/";
}

std::vector<std::string> PartsOf(const std::string& path) {
  std::vector<std::string> parts;
  for (size_t from = 0;;) {
    const size_t slash = path.find_first_of(Delimiters(), from);
    parts.push_back(path.substr(from, slash - from));
    if (slash == std::string::npos) return parts;
    from = slash + 1;
  }
}

// The file `path` as reached from the folder `root`: up to the folder both are in, then down.
std::string NameFrom(const std::string& root, const std::string& path) {
  const std::string folder = FolderOf(path);
  if (folder == root) return path.substr(folder.size());
  const std::vector<std::string> from = PartsOf(ResolveFileName(root.empty() ? "." : root));
  const std::vector<std::string> to = PartsOf(ResolveFileName(folder.empty() ? "." : folder));
  size_t same = 0;
  while (same < from.size() && same < to.size() && from[same] == to[same]) ++same;
  std::string name;
  for (size_t i = same; i < from.size(); ++i) name += "../";
  for (size_t i = same; i < to.size(); ++i) name += to[i] + "/";
  return name + path.substr(folder.size());
}

// The folder a file's new name is made under. A format without folders names the file in its
// own folder, unless --to names another; one with folders makes them under --to, else under the
// folder named with -r where the file was found, else under the working folder: never under
// the file's own folder, which a second run would nest them in.
std::string RootOf(const TWalkFile& file, const TRenameOptions& o, const TNameFormat& format) {
  if (!o.to.empty()) return AsRoot(o.to);
  if (format.Depth() == 0) return FolderOf(file.path);
  if (file.found)
    for (const std::string& argument : o.files) {
      const std::string root = AsRoot(argument);
      if (!root.empty() && file.path.compare(0, root.size(), root) == 0) return root;
    }
  return {};
}

// How two targets are compared: case folded, in the folder as the system resolves it, since
// names that differ only in case are one name on many file systems.
std::string TargetKey(const std::string& root, const std::string& target) {
  return ResolveFileName(root.empty() ? "." : root) + "/" + AsciiLowerCase(target);
}
std::string TargetKey(const TRename& r) {
  return TargetKey(r.root, r.target);
}

// The rename the file's tag asks for; none when the file already has that name. Raises when
// the tag lacks a field of the format.
std::optional<TRename> PlanOne(const std::string& path, const std::string& root,
                               const TNameFormat& format) {
  TID3Engine engine;
  OpenEngine(engine, path, true, false);
  // The journal of a change cut short stands beside the name: renamed away from it, the file
  // would stay half old, half new.
  if (engine.Status().journalPending)
    throw EWriteError(
        Format("Cannot rename \"%s\": a change of it was cut short, and its journal "
               "waits beside it. Any write of it (tagscope set) finishes the change; "
               "rename it after that",
               path.c_str()));
  TRename r;
  r.path = path;
  r.root = root;
  r.name = NameFrom(root, path);
  r.target = format.Expand(TagNameValues(engine.Tag()), NameExtension(path));
  // A file at its name already is left alone; one whose name differs in letter case only is
  // renamed.
  if (r.target == r.name) return std::nullopt;
  const std::string to = r.To();
  if (to.substr(FolderOf(to).size()) == path.substr(FolderOf(path).size()) && SameFile(to, path))
    return std::nullopt;
  return r;
}

struct TPlan {
  std::vector<TRename> renames;
  bool failed = false;
  TRunTally tally;  // a planned file counts as done until its rename fails
};

// Every file's rename, or the reason it has none; stops the run when two files would share a
// name.
TPlan PlanAll(const std::vector<TWalkFile>& files, const TRenameOptions& o,
              const TNameFormat& format) {
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
        if (auto r = PlanOne(file.path, RootOf(file, o, format), format))
          plan.renames.push_back(std::move(*r));
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
        if (MoveWithoutReplacing(r.root, r.name, r.target) == TMoveOutcome::moTargetTaken) {
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
  std::error_code error;
  if (!o.to.empty() &&
      !std::filesystem::is_directory(std::u8string(o.to.begin(), o.to.end()), error))
    throw EFOpenError(Format("The folder \"%s\" given with --to is not there", o.to.c_str()));
  TPlan plan = PlanAll(CollectFiles(o.files, o.recursive), o, format);
  bool failed = plan.failed;
  if (o.dryRun) {
    // A name that a file of the run has now is free once that file has moved.
    std::set<std::string> leaving;
    for (const TRename& r : plan.renames) {
      const std::string folder = FolderOf(r.path);
      leaving.insert(TargetKey(folder, r.path.substr(folder.size())));
    }
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
%{genre}; %{track:02} pads a number to two digits; %% is a "%". A "/" makes folders under
the folder given with --to, else the folder given with -r that the file is in, else the
working folder; a file already at its name stays as it is, so a second run changes nothing.
Without a "/", a file is renamed in its own folder (or moved to --to). In a value, "/", "\" and : * ? " < > | become "_", and so do trailing dots and
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
  cmd->add_option("--to", o.to, "The folder the new names (and the format's folders) go in")
      ->type_name("DIR");
  cmd->add_flag("--dry-run", o.dryRun, "Print each OLD -> NEW; rename nothing");
  cmd->footer(kRenameHelp);
  return Verb{cmd, [] { return Rename(o); }};
});

}  // namespace

}  // namespace tagscope::cli
