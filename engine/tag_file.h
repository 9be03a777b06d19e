#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/later_reads.h"
#include "engine/read_cache.h"
#include "tagscope/engine/file_system.h"
#include "tagscope/engine/flush_group.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

class TFileReplacement;

// The file side of an engine: its open file and everything that touches the file and what
// stands beside it. Opening (regular files only, never waiting on a FIFO), locking against
// other writers, the journal and the recovery of a change cut short, reading so that a live
// writer's change is not seen half done, the in-place change under a journal, and the new file
// written beside the old one and put in its place (or copied back under a journal). Whatever
// fails, and wherever the process stops, the file afterwards holds its old content or its new.
class TTagFile {
 public:
  TTagFile() = default;
  TTagFile(const TTagFile&) = delete;
  TTagFile& operator=(const TTagFile&) = delete;
  ~TTagFile();

  // The file operations used (the platform's unless replaced, as tests do).
  void SetFileSystem(std::shared_ptr<TFileSystem> value) { FFiles = std::move(value); }
  TFileSystem& Files() { return *FFiles; }
  // The group whose writes share the flushes of their folders; none: each write flushes its own.
  void SetFlushGroup(std::shared_ptr<TFlushGroup> value) { FFlushGroup = std::move(value); }

  // Opens `name` for reading only or for reading and writing; false, `problem` saying why,
  // when no file has the name. A file opened for writing stays locked against other writers
  // until it is closed, and a change an earlier writer did not finish is put right first.
  bool Open(const std::string& name, bool readOnly, std::string& problem);
  void Close() {
    FLaterReads.reset();
    FReadFacts.reset();
    FStream.reset();
    FCache.Clear();
  }
  bool IsOpen() const { return FStream != nullptr; }
  // The open file; the slot itself for the engine, which reads through it.
  TStream& Stream() { return *FStream; }
  std::unique_ptr<TStream>& Slot() { return FStream; }
  const std::string& Name() const { return FName; }
  bool ReadOnly() const { return FReadOnly; }
  // What the reads of the open file fetched, from the last read of its tag on. Read again
  // after that only while the file is open for reading only, where nothing changes it here.
  TReadCache& Cache() { return FCache; }
  // The open file's size for a read of it. Its identity and time of last write are noted with
  // it: later reads (NewLaterReads) hold the file to them.
  int64_t SizeForRead();
  // Reads of the open file after its tag was read, of the content it had then (at the last
  // SizeForRead): they end with the file, or when this is asked for again.
  std::weak_ptr<TLaterReads> NewLaterReads();

  // Runs `read` on a file opened for reading only so that a writer's change in progress is not
  // seen half done: under a shared lock when no writer holds the file; else again while a live
  // writer's change is under way or the file changed during the read, for a second at most.
  void ReadWhole(const std::function<void()>& read);
  // What opening for writing did to finish an earlier writer's change; empty when nothing.
  const std::string& RecoveryNote() const { return FRecoveryNote; }
  // Whether the marked journal of a change cut short stood beside the file when it was read.
  bool JournalPending() const { return FJournalPending; }

  // Makes the change that `write` makes through the stream it is given, in place, under a
  // journal: rolled back if it fails part way. False, nothing changed, when no journal can be
  // made beside the file (its name is taken by something the writer may not move).
  bool ChangeInPlace(const std::function<void(TStream&)>& write);
  // Writes the new content through `write` into a new file beside the file, then puts it in
  // the file's place: renamed over it where that keeps what makes the file itself, else
  // copied into it under a journal. The open file is the one with the new content afterwards.
  void Replace(const std::function<void(TStream&)>& write);

 private:
  // Raises when the name leads to something other than a regular file: nothing else is written.
  void CheckWritable() const;
  // Locks the file opened for writing, follows a rename by the writer before, puts right what
  // a stopped writer left.
  void Prepare();
  void CopyBack(TFileReplacement& replacement);
  // Makes the names in the folder of `name` durable, through the flush group when there is one.
  void SyncFolderOf(const std::string& name);

  std::shared_ptr<TFileSystem> FFiles = PlatformFileSystem();
  std::shared_ptr<TFlushGroup> FFlushGroup;
  std::unique_ptr<TStream> FStream;
  std::string FName;
  bool FReadOnly = false;
  std::string FRecoveryNote;
  bool FJournalPending = false;
  bool FNameIsNoLink = false;  // the name was opened as the file itself, no link followed
  TReadCache FCache;
  std::shared_ptr<TLaterReads> FLaterReads;
  std::optional<TFileFacts> FReadFacts;
};

}  // namespace tagscope
