#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/file_walk.h"

namespace tagscope::cli {

// What a verb's work on one file printed, held until the file's turn to be printed comes.
struct TFileOutcome {
  std::string out;  // for stdout
  std::string err;  // for stderr
  bool failed = false;
};

using TFileJob = std::function<TFileOutcome(const TWalkFile& file)>;

// Runs the job on each file, on `threads` threads (0: one per core), and prints the outcomes
// in the files' order. A file found in a folder whose content is not MP3 is passed over (the
// job may look at the content itself, with `jobChecksContent`, and return no outcome); an
// error of the walk, or an exception from the job, fails that file and the others still run.
// Shows a progress line on a terminal's stderr when the run is long. Returns the exit status:
// 1 when any file failed, else 0.
int RunForEachFile(const std::vector<TWalkFile>& files, const TFileJob& job, unsigned threads = 0,
                   bool jobChecksContent = false);

// Makes one change to each file. With one file its errors raise, as for any verb; with
// several, each outcome is reported in the files' order ("NAME: `done`" on stdout, or the error
// on stderr) and a file that fails does not stop the others. With `parallel`, the files are
// changed on many threads at once, sharing the flushes of their folders (the change must print
// nothing itself; see TChangeRun), else one after another. Returns the exit status.
int ChangeEachFile(const std::vector<std::string>& files, const std::string& done,
                   const std::function<void(const std::string& file)>& change,
                   bool parallel = false);

// The same for files a walk found (CollectFiles): a file found in a folder is changed only when
// its content is MP3, and never through a link met in the folder, which could lead anywhere.
int ChangeEachFile(const std::vector<TWalkFile>& files, const std::string& done,
                   const std::function<void(const std::string& file)>& change,
                   bool parallel = false);

// An error as the tool prints it on stderr.
std::string ErrorLine(const std::string& message);

}  // namespace tagscope::cli
