#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/file_walk.h"
#include "tagscope/engine/flush_group.h"

namespace tagscope::cli {

// What a verb's work on one file printed, held until the file's turn to be printed comes.
struct TFileOutcome {
  std::string out;  // for stdout
  std::string err;  // for stderr
  bool failed = false;
  bool passedOver = false;  // read, and left alone: not MP3 by its content, a link, ...
  bool notRead = false;     // found in a folder and not named as an MP3, and could not be read
};

// The outcome for a file found in a folder whose content is not MP3.
TFileOutcome PassedOver();

// Looks at the first bytes of a file found in a folder before a job reads it: the outcome when
// it is not to be worked on (passed over, or not read: a failure when it is named as an MP3,
// else a note), none when it holds MP3.
std::optional<TFileOutcome> LookBeforeJob(const TWalkFile& file);

// What a run over many files did with them, for the line that sums it up on stderr.
struct TRunTally {
  bool walked = false;  // some file was found in a folder
  size_t done = 0, failed = 0, notRead = 0, passedOver = 0;

  void Count(const TWalkFile& file, const TFileOutcome& outcome);
  // The summary, when a walk was made and some file failed or could not be read; else empty.
  std::string Summary() const;
};

using TFileJob = std::function<TFileOutcome(const TWalkFile& file)>;

// Runs the job on each file, on `threads` threads (0: one per core), and prints the outcomes
// in the files' order. A file found in a folder whose content is not MP3 is passed over (the
// job may look at the content itself, with `jobChecksContent`, and return PassedOver()); an
// error of the walk, or an exception from the job, fails that file and the others still run. A
// file found in a folder that cannot be read fails too when it is named as an MP3, and is noted
// otherwise. A walk that did not do every file ends with a summary (TRunTally). Shows a
// progress line on a terminal's stderr when the run is long. Returns the exit status: 1 when
// any file failed, else 0.
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

// One file's change in a run over many: never through a link met in a folder; the change's
// output (what `change` returns) on stdout, its error on stderr, what opening the file put right
// first before it. With `parallel`, the change shares the run's `flushes` (see TChangeRun).
TFileOutcome ChangeOneOfMany(const TWalkFile& file, const std::shared_ptr<TFlushGroup>& flushes,
                             bool parallel,
                             const std::function<std::string(const std::string& file)>& change);

// Threads for runs that write many files at once.
unsigned WriteThreads();

// An error as the tool prints it on stderr.
std::string ErrorLine(const std::string& message);

}  // namespace tagscope::cli
