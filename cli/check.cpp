// tagscope check [--json] [-r] FILE...: walks every frame of each file's audio and reports
// what is damaged or unusual in it, a line per finding with its byte offset.
#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "cli/audio_facts.h"
#include "cli/json_writer.h"
#include "cli/many_files.h"
#include "cli/verbs.h"
#include "tagscope/engine/stream_report.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

// Exit statuses: the worst over all files.
constexpr int kClean = 0;
constexpr int kDamaged = 1;
constexpr int kNotRead = 2;

std::string CheckText(const std::string& path, const TStreamReport& r) {
  const std::string name = EscapeForTerminal(path);
  if (r.findings.empty())
    return Format("%s: clean (%lld frames, %.3f s)\n", name.c_str(),
                  static_cast<long long>(r.frames), r.duration);
  std::string out;
  for (const TStreamFinding& f : r.findings) out += name + ": " + FindingText(f) + "\n";
  return out;
}

std::string CheckJson(const std::string& path, const TStreamReport& r) {
  TJsonWriter j;
  j.BeginObject();
  j.Member("path", std::string_view(path));
  StreamReportMembers(j, r);
  j.EndObject();
  return j.TakeText() + "\n";
}

struct CheckOptions {
  std::vector<std::string> files;
  bool json = false;
  bool recursive = false;
};

int RunCheck(const CheckOptions& options) {
  const std::vector<TWalkFile> files = CollectFiles(options.files, options.recursive);
  std::atomic<int> worst{kClean};
  // A file that cannot be opened or read raises: the run fails it and goes on with the others.
  const int status = RunForEachFile(files, [&](const TWalkFile& file) {
    TFileStream stream(file.path, TFileMode::fmOpenRead);
    const TStreamReport report = WalkStream(stream);
    if (report.Damaged()) worst = kDamaged;
    TFileOutcome o;
    o.out = options.json ? CheckJson(file.path, report) : CheckText(file.path, report);
    return o;
  });
  return status != 0 ? kNotRead : worst.load();
}

static RegisterVerb registration([](CLI::App& app) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App* cmd = app.add_subcommand(
      "check", "Walk every frame of each file's audio and report damage (exit 1) and notes");
  cmd->add_flag("--json", options->json, "One JSON object per file, one per line");
  cmd->add_flag("-r,--recursive", options->recursive,
                "Check the MP3 files in the folders named, and below them");
  cmd->add_option("FILE", options->files, "MP3 files (and folders, with -r)")->required();
  cmd->footer(
      "Exit status: 0 clean or notes only, 1 some file damaged, 2 some file not read.\n"
      "Examples:\n  tagscope check song.mp3\n  tagscope check --json -r Music/");
  return Verb{cmd, [options] { return RunCheck(*options); }};
});

}  // namespace

}  // namespace tagscope::cli
