// tagscope repair [-r] [-p] [--dry-run] [--force] FILE...: mends what `check` finds damaged in a
// stream (junk, a last frame cut short, a wrong or missing Xing/Info header, a second ID3v1
// trailer) in one change per file, every other byte kept.
#include <algorithm>
#include <atomic>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/many_files.h"
#include "cli/open_engine.h"
#include "cli/verbs.h"
#include "tagscope/engine/flush_group.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/stream_repair.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

// Exit statuses, as check's: the worst over all files.
constexpr int kDone = 0;
constexpr int kLeft = 1;
constexpr int kNotRead = 2;

struct TRepairOptions {
  std::vector<std::string> files;
  bool recursive = false, preserveModified = false, dryRun = false, force = false;
};

// The engine's open file as a stream to walk: what is planned is read through the handle that
// is then changed, under its lock.
class TEngineBytes : public TStream {
 public:
  explicit TEngineBytes(TID3Engine& engine) : FEngine(engine), FSize(engine.Status().fileSize) {}
  int64_t Read(void* buffer, int64_t count) override {
    const std::string bytes = FEngine.ReadFileBytes(FPosition, count);
    std::copy(bytes.begin(), bytes.end(), static_cast<char*>(buffer));
    FPosition += static_cast<int64_t>(bytes.size());
    return static_cast<int64_t>(bytes.size());
  }
  int64_t Write(const void*, int64_t) override { throw EWriteError("Read only"); }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    FPosition = offset + (origin == TSeekOrigin::soBeginning ? 0
                          : origin == TSeekOrigin::soCurrent ? FPosition
                                                             : FSize);
    return FPosition;
  }
  void SetSize(int64_t) override { throw EWriteError("Read only"); }
  int64_t Size() override { return FSize; }

 private:
  TID3Engine& FEngine;
  int64_t FSize;
  int64_t FPosition = 0;
};

std::string PlanText(const std::string& path, const TStreamRepairPlan& plan, bool dryRun) {
  const std::string name = EscapeForTerminal(path);
  std::string out;
  for (const TStreamRepairStep& s : plan.steps)
    out += Format("%s: at byte %lld: %s\n", name.c_str(),
                  static_cast<long long>(s.splice.range.Offset), EscapeForTerminal(s.text).c_str());
  for (const std::string& left : plan.left)
    out += name + ": left: " + EscapeForTerminal(left) + "\n";
  for (const std::string& note : plan.notes)
    out += name + ": note: " + EscapeForTerminal(note) + "\n";
  if (plan.steps.empty())
    out += name + (plan.left.empty() ? ": nothing to repair\n" : ": not changed\n");
  else
    out += Format("%s: %s (%lld frames, %.3f s)\n", name.c_str(),
                  dryRun ? "not changed (dry run)" : "repaired",
                  static_cast<long long>(plan.frames), plan.duration);
  return out;
}

// Plans the repair of one file and makes it in one change; returns what is printed of it.
std::string RepairFile(const TRepairOptions& o, const std::string& path, std::atomic<int>& worst) {
  TID3Engine engine;
  // Kept through the open file, never set again through the name.
  engine.Options().keepModified = o.preserveModified && !o.dryRun;
  OpenEngine(engine, path, o.dryRun, o.force);
  TEngineBytes bytes(engine);
  const TStreamRepairPlan plan = PlanStreamRepair(bytes, {o.force});
  // What the write would refuse, a dry run says too.
  if (o.dryRun && !o.force && !plan.steps.empty()) {
    const std::string kind = engine.ForeignContent();
    if (!kind.empty())
      throw EWriteRefused(
          Format("A repair of \"%s\" would be refused: by its content it is %s, not MP3 (--force)",
                 path.c_str(), kind.c_str()));
  }
  if (!o.dryRun) Change(engine, [&] { engine.SpliceFile(plan.Splices()); });
  if (!plan.left.empty()) worst = kLeft;
  return PlanText(path, plan, o.dryRun);
}

int RunRepair(const TRepairOptions& o) {
  const std::vector<TWalkFile> files = CollectFiles(o.files, o.recursive);
  std::atomic<int> worst{kDone};
  const auto flushes = std::make_shared<TFlushGroup>();
  const auto job = [&](const TWalkFile& file) {
    return ChangeOneOfMany(file, flushes, true,
                           [&](const std::string& path) { return RepairFile(o, path, worst); });
  };
  // A dry run only reads.
  const int status = RunForEachFile(files, job, o.dryRun ? 0 : WriteThreads());
  try {
    flushes->SyncWaiting();
  } catch (const std::exception& e) {
    std::cerr << ErrorLine(std::string(e.what()) +
                           " (the files were repaired, but a power cut now could undo the last "
                           "changes)");
    return kNotRead;
  }
  return status != 0 ? kNotRead : worst.load();
}

static RegisterVerb registration([](CLI::App& app) {
  auto o = std::make_shared<TRepairOptions>();
  CLI::App* cmd = app.add_subcommand(
      "repair",
      "Cut junk, a last frame cut short and a second ID3v1 trailer out of each file's audio and "
      "write a correct Xing or Info header");
  cmd->add_option("FILE", o->files, "MP3 files (and folders, with -r)")->required();
  cmd->add_flag("-r,--recursive", o->recursive, "Repair the MP3 files in the folders named");
  cmd->add_flag("-p,--preserve-mtime", o->preserveModified, "Keep each file's modification time");
  cmd->add_flag("--dry-run", o->dryRun, "Show what would be done; change nothing");
  cmd->add_flag("--force", o->force,
                "Cut runs longer than 64 KB too (which may be someone's data), and change a file "
                "that is not MP3 by its content");
  cmd->footer(
      "Each change is listed with its byte offset. Exit status: 0 nothing to do or repaired, 1 "
      "some damage left, 2 some file not read or not written.\n"
      "Examples:\n  tagscope repair --dry-run song.mp3\n  tagscope repair -r -p Music/");
  return Verb{cmd, [o] { return RunRepair(*o); }};
});

}  // namespace

}  // namespace tagscope::cli
