// One verb over many files: a bounded pool of threads, outcomes printed in the files' order.
#include "cli/many_files.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <optional>
#include <thread>

#include "cli/open_engine.h"
#include "tagscope/rtl/command_line.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

using TClock = std::chrono::steady_clock;
constexpr unsigned kMaxThreads = 64;
constexpr size_t kAheadPerThread = 64;  // outcomes held before their turn, per thread
constexpr auto kProgressAfter = std::chrono::seconds(1);
constexpr auto kProgressEvery = std::chrono::milliseconds(200);

TFileOutcome Failed(const std::string& message) {
  TFileOutcome outcome;
  outcome.err = ErrorLine(message);
  outcome.failed = true;
  return outcome;
}

// A file found in a folder that could not be read, for `reason`.
TFileOutcome NotRead(const TWalkFile& file, const std::string& reason) {
  if (NamedMp3(file.path)) return Failed(reason);
  TFileOutcome outcome;
  outcome.err = ErrorLine("not read: " + reason);
  outcome.notRead = true;
  return outcome;
}

TFileOutcome RunOne(const TWalkFile& file, const TFileJob& job, bool jobChecksContent) {
  if (!file.error.empty()) return Failed(file.error);
  // A file met in a folder is worked on only when it holds MP3 by its content.
  if (file.found && !jobChecksContent)
    if (std::optional<TFileOutcome> outcome = LookBeforeJob(file)) return *outcome;
  TFileOutcome outcome;
  try {
    outcome = job(file);
  } catch (const std::exception& e) {
    outcome.err += ErrorLine(e.what());
    outcome.failed = true;
  }
  // A job that looks at the content opens the file once, itself: whether it failed because the
  // file could not be read (which need not fail the run, and has the system's reason) is found
  // out afterwards.
  std::string reason;
  if (outcome.failed && file.found && jobChecksContent &&
      LookAtFile(file.path, reason) == TContent::ctUnreadable)
    return NotRead(file, reason);
  return outcome;
}

// The progress line on stderr: shown after a second, on a terminal only, erased at the end.
class TProgress {
 public:
  explicit TProgress(size_t total)
      : FTotal(total),
        FOn(StandardErrorIsTerminal()),
        FSharesTerminal(FOn && StandardOutputIsTerminal()) {}
  void Update(size_t done) {
    if (!FOn) return;
    const auto now = TClock::now();
    if (now - FStart < kProgressAfter || now - FLast < kProgressEvery) return;
    FLast = now;
    std::fprintf(stderr, "\r%zu of %zu files", done, FTotal);
    std::fflush(stderr);
    FShown = true;
  }
  // Makes way for output: for errors, and for the files' output when it goes to the same
  // terminal.
  void MakeWay(bool forStdout) {
    if (!forStdout || FSharesTerminal) Clear();
  }
  void Clear() {
    if (!FShown) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    FShown = false;
  }

 private:
  size_t FTotal;
  bool FOn;
  bool FSharesTerminal;
  bool FShown = false;
  TClock::time_point FStart = TClock::now();
  TClock::time_point FLast{};
};

// The files' output on stdout: gathered and written in large pieces where it goes to a file or
// a pipe (a dump of many small files writes a few kilobytes each), at least every fifth of a
// second; as it comes to a terminal.
class TOutput {
 public:
  explicit TOutput(TProgress& progress)
      : FProgress(progress), FGather(!StandardOutputIsTerminal()) {}
  ~TOutput() { Flush(); }
  TOutput(const TOutput&) = delete;
  TOutput& operator=(const TOutput&) = delete;

  void Print(const TFileOutcome& o) {
    if (!o.out.empty()) {
      FProgress.MakeWay(true);
      FPending += o.out;
      if (!FGather || FPending.size() >= kPiece || TClock::now() - FLast >= kProgressEvery) Flush();
    }
    if (o.err.empty()) return;
    Flush();
    std::cout.flush();
    FProgress.MakeWay(false);
    std::cerr << o.err;
    std::cerr.flush();
  }
  // Writes what was gathered: before stderr, and while the next file keeps the run waiting.
  void Flush() {
    if (FPending.empty()) return;
    std::cout.write(FPending.data(), static_cast<std::streamsize>(FPending.size()));
    FPending.clear();
    FLast = TClock::now();
  }

 private:
  static constexpr size_t kPiece = 64 * 1024;
  TProgress& FProgress;
  bool FGather;
  std::string FPending;
  TClock::time_point FLast = TClock::now();
};

// The pool: the calling thread and its helpers take the files in batches, never too far ahead
// of the printer, and hand over a batch's outcomes at once: one wake-up per batch, not per file.
class TPool {
 public:
  TPool(const std::vector<TWalkFile>& files, const TFileJob& job, unsigned threads,
        bool jobChecksContent)
      : FFiles(files),
        FJob(job),
        FJobChecksContent(jobChecksContent),
        FResults(files.size()),
        FBatch(std::clamp<size_t>(files.size() / (threads * kBatchesPerThread), 1, kMaxBatch)),
        FAhead(threads * kAheadPerThread) {
    for (unsigned i = 1; i < threads; ++i) FThreads.emplace_back([this] { Work(); });
  }
  ~TPool() {
    {
      std::lock_guard lock(FMutex);
      FStop = true;
    }
    FRoom.notify_all();
    for (std::thread& t : FThreads) t.join();
  }

  // The outcome of file i, once it is there: the caller works on a batch itself while its
  // file is not done and there is one to take, and calls `waiting` while it waits.
  TFileOutcome Take(size_t i, const std::function<void()>& waiting) {
    std::unique_lock lock(FMutex);
    while (!FResults[i]) {
      if (HasRoom() && FNext < FFiles.size()) {
        RunBatch(lock);
        continue;
      }
      FWaitingFor = i;
      const bool timedOut = FReady.wait_for(lock, kProgressEvery) == std::cv_status::timeout;
      FWaitingFor = kNobody;
      if (timedOut) {
        lock.unlock();
        waiting();
        lock.lock();
      }
    }
    TFileOutcome o = std::move(*FResults[i]);
    FResults[i].reset();
    FPrinted = i + 1;
    const bool wake = FRoomWaiters > 0 && HasRoom();
    lock.unlock();
    if (wake) FRoom.notify_all();
    return o;
  }

 private:
  static constexpr size_t kNobody = SIZE_MAX;
  static constexpr size_t kBatchesPerThread = 8;
  static constexpr size_t kMaxBatch = 16;

  bool HasRoom() const { return FNext < FPrinted + FAhead; }

  // Takes the next batch, works on it with the lock let go, and puts its outcomes in place;
  // returns the index after the batch's last file.
  size_t RunBatch(std::unique_lock<std::mutex>& lock) {
    const size_t from = FNext;
    const size_t to = std::min(FFiles.size(), from + FBatch);
    FNext = to;
    lock.unlock();
    std::vector<TFileOutcome> done;
    done.reserve(to - from);
    for (size_t i = from; i < to; ++i) done.push_back(RunOne(FFiles[i], FJob, FJobChecksContent));
    lock.lock();
    for (size_t i = from; i < to; ++i) FResults[i] = std::move(done[i - from]);
    return to;
  }

  void Work() {
    std::unique_lock lock(FMutex);
    for (;;) {
      ++FRoomWaiters;
      FRoom.wait(lock, [this] { return FStop || FNext >= FFiles.size() || HasRoom(); });
      --FRoomWaiters;
      if (FStop || FNext >= FFiles.size()) return;
      const size_t from = FNext;
      const size_t to = RunBatch(lock);
      if (FWaitingFor >= from && FWaitingFor < to) FReady.notify_one();
    }
  }

  const std::vector<TWalkFile>& FFiles;
  const TFileJob& FJob;
  bool FJobChecksContent;
  std::vector<std::optional<TFileOutcome>> FResults;
  size_t FBatch;
  size_t FAhead;
  size_t FNext = 0;
  size_t FPrinted = 0;
  size_t FWaitingFor = kNobody;
  int FRoomWaiters = 0;
  bool FStop = false;
  std::mutex FMutex;
  std::condition_variable FReady, FRoom;
  std::vector<std::thread> FThreads;
};

}  // namespace

// Most of a write's time is spent waiting for the disk to flush, and the file system commits
// many flushes at once about as fast as one, so there are as many as the pool takes, whatever
// the cores (measured: 64 writers take a quarter less time than 16 on a machine of two cores;
// more gain nothing).
unsigned WriteThreads() {
  return kMaxThreads;
}

TFileOutcome PassedOver() {
  TFileOutcome outcome;
  outcome.passedOver = true;
  return outcome;
}

std::optional<TFileOutcome> LookBeforeJob(const TWalkFile& file) {
  std::string reason;
  switch (LookAtFile(file.path, reason)) {
    case TContent::ctMp3:
      return std::nullopt;
    case TContent::ctOther:
      return PassedOver();
    case TContent::ctUnreadable:
      break;
  }
  return NotRead(file, reason);
}

void TRunTally::Count(const TWalkFile& file, const TFileOutcome& outcome) {
  walked = walked || file.found;
  ++(outcome.failed ? failed : outcome.notRead ? notRead : outcome.passedOver ? passedOver : done);
}

std::string TRunTally::Summary() const {
  if (!walked || failed + notRead == 0) return "";
  return Format("tagscope: files: %zu done, %zu failed, %zu not read, %zu passed over\n", done,
                failed, notRead, passedOver);
}

std::string ErrorLine(const std::string& message) {
  // Messages may quote file names and tag texts: shown escaped, as the texts are.
  return "tagscope: " + EscapeForTerminal(message) + "\n";
}

int RunForEachFile(const std::vector<TWalkFile>& files, const TFileJob& job, unsigned threads,
                   bool jobChecksContent) {
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  threads = std::min<unsigned>({threads, kMaxThreads, static_cast<unsigned>(files.size())});
  TProgress progress(files.size());
  TOutput output(progress);
  bool failed = false;
  TRunTally tally;
  const auto done = [&](size_t i, const TFileOutcome& o) {
    output.Print(o);
    failed = failed || o.failed;
    tally.Count(files[i], o);
    progress.Update(i + 1);
  };
  if (threads <= 1) {
    for (size_t i = 0; i < files.size(); ++i) done(i, RunOne(files[i], job, jobChecksContent));
  } else {
    TPool pool(files, job, threads, jobChecksContent);
    for (size_t i = 0; i < files.size(); ++i)
      done(i, pool.Take(i, [&] {
        output.Flush();
        progress.Update(i);
      }));
  }
  output.Flush();
  progress.Clear();
  std::cout.flush();
  std::cerr << tally.Summary();
  return failed ? 1 : 0;
}

TFileOutcome ChangeOneOfMany(const TWalkFile& file, const std::shared_ptr<TFlushGroup>& flushes,
                             bool parallel,
                             const std::function<std::string(const std::string& file)>& change) {
  // A link met in a folder could lead anywhere: never changed through.
  if (file.found && ResolveLinkName(file.path) != file.path) {
    TFileOutcome outcome = PassedOver();
    outcome.err = EscapeForTerminal(file.path) + ": passed over: a link\n";
    return outcome;
  }
  TChangeRun run{flushes, std::string()};
  if (parallel) SetChangeRun(&run);
  TFileOutcome outcome;
  try {
    outcome.out = change(file.path);
  } catch (const std::exception& e) {
    outcome.err = ErrorLine(e.what());
    outcome.failed = true;
  }
  SetChangeRun(nullptr);
  // What opening did to finish an earlier change comes first.
  outcome.err = run.notes + outcome.err;
  return outcome;
}

int ChangeEachFile(const std::vector<std::string>& files, const std::string& done,
                   const std::function<void(const std::string& file)>& change, bool parallel) {
  std::vector<TWalkFile> named;
  for (const std::string& file : files) named.push_back({file, false, ""});
  return ChangeEachFile(named, done, change, parallel);
}

int ChangeEachFile(const std::vector<TWalkFile>& files, const std::string& done,
                   const std::function<void(const std::string& file)>& change, bool parallel) {
  if (files.size() == 1 && !files.front().found && files.front().error.empty()) {
    change(files.front().path);
    return 0;
  }
  const auto flushes = std::make_shared<TFlushGroup>();
  int status = RunForEachFile(
      files,
      [&](const TWalkFile& f) {
        return ChangeOneOfMany(f, flushes, parallel, [&](const std::string& path) {
          change(path);
          return EscapeForTerminal(path) + ": " + done + "\n";
        });
      },
      parallel ? WriteThreads() : 1);
  // What the run removed from its folders (the journals of done changes) is durable before it
  // ends: a power cut after it finds every change done.
  try {
    flushes->SyncWaiting();
  } catch (const std::exception& e) {
    std::cerr << ErrorLine(std::string(e.what()) +
                           " (the files were written, but a power cut now could undo the last "
                           "changes)");
    status = 1;
  }
  return status;
}

}  // namespace tagscope::cli
