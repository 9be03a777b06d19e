#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/file/change_mark.h"
#include "engine/file/file_facts.h"
#include "engine/file/later_reads.h"
#include "engine/file/read_cache.h"
#include "tagscope/engine/file_system.h"
#include "tagscope/engine/flush_group.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

class TJournalPool;

class TFileReplacement;

// The file side of an engine: its open file and everything that touches the file and what
// stands beside it. Opening (regular files only, never waiting on a FIFO), locking against
// other writers, the journal and the recovery of a change cut short, reading so that a live
// writer's change is not seen half done, the in-place change under a journal, and the new file
// written beside the old one and put in its place (or copied back under a journal). Whatever
// fails, and wherever the process stops, the file afterwards holds its old content or its new.
//
// States:
//   Closed    no file open.
//   Reading   open for reading only; no folder, no lock held between calls (but for the
//             shared lock opening may take for the ReadWhole that follows it).
//   Writing   open for reading and writing: the folder that holds the file's data is open,
//             the file's name in it is known, and the exclusive lock is held.
//   Changing  inside ChangeInPlace or Replace: a journal or a new file beside the file may
//             exist; the state returns to Writing (or, when a step failed, stays Writing with
//             the file old or new and its journal left for the next writer).
//
//   Transitions:
//
//     Closed   --Open(read only)----------------------------------> Reading
//     Closed   --Open(for writing): lock, recover a change cut short--> Writing
//     Reading, Writing --Close------------------------------------> Closed
//     Writing  --ChangeInPlace, Replace---------------------------> Changing
//     Changing: its journal durable (or its new content flushed beside the file)
//              --> the file's bytes may be overwritten (invariant 5)
//     Changing --done, rolled back, or left to the next writer----> Writing
//
// Invariants (checked in debug builds by CheckState, and 5 where a byte is overwritten):
//   1. Closed: no stream, no folder, no lock, no later reads.
//   2. Reading: a stream; no folder and no lock held.
//   3. Writing: a stream, a folder and a name in it, and the lock held on the stream.
//   4. Writing: the stream's file is the one the name led to when it was opened or last
//      replaced (its identity noted in FOpened); every later name is taken in the folder.
//   5. Changing: no byte of the file is written before a journal of the change is on the disk
//      and marked, or the new content is complete and flushed beside it.
//   6. Whatever is renamed over the name, the name led to the opened file just before (as
//      TFileReplacement::Commit makes sure), and nothing is renamed or deleted outside the
//      folder (every name is taken through the TBeside of the folder).
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
  void Close();
  bool IsOpen() const { return FStream != nullptr; }
  // The open file; the slot itself for the engine, which reads through it.
  TStream& Stream() { return *FStream; }
  std::unique_ptr<TStream>& Slot() { return FStream; }
  const std::string& Name() const { return FName; }
  // The name the next Open takes when given none of its own; while closed.
  void SetName(const std::string& name) { FName = name; }
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
  // The caller listed the file's folder before Open and saw no writer's name in it: a reader
  // then looks for a journal only when the file carries a mark (see TTagJournal::Pending).
  void SetNoJournalListed(bool value) { FNoJournalListed = value; }
  // See TEngineOptions::holdReadLock.
  void SetHoldReadLock(bool value) { FHoldReadLock = value; }
  // Whether another program held the file for a change of its own while it was read (what was
  // read may then be half old, half new: it is no change cut short).
  bool WriterAtWork() const { return FWriterAtWork; }

  // Makes the change that `write` makes through the stream it is given, in place, under a
  // journal: rolled back if it fails part way. False, nothing changed, when no journal can be
  // made beside the file (its name is taken by something the writer may not move).
  bool ChangeInPlace(const std::function<void(TStream&)>& write);
  // Writes the new content through `write` into a new file beside the file, then puts it in
  // the file's place: renamed over it where that keeps what makes the file itself, else
  // copied into it under a journal. The open file is the one with the new content afterwards.
  // When making the new name durable fails, the file stays new and the error waits for
  // RaiseNotDurable.
  void Replace(const std::function<void(TStream&)>& write);
  // Cuts the file's end off at `size`: one change of its size, which the file takes whole or
  // not at all, put back when it fails; no journal.
  void CutEnd(int64_t size);
  // Raises, once, the error of the last Replace whose new name may not be on the disk; nothing
  // when there is none. Called once the change is accounted for.
  void RaiseNotDurable();

  // Whether each change keeps the file's time of last write as it was before the change.
  void SetKeepModified(bool value) { FKeepModified = value; }
  // When the time is kept: sets it on `file`, open on the file that ends up with the change's
  // content, before that file's last flush of the change; raises EWriteError naming the file
  // when the system refuses.
  void KeepModified(TStream& file);

 private:
  enum class TState { Closed, Reading, Writing, Changing };
  // Raises when the name leads to something other than a regular file: nothing else is written.
  void CheckWritable();
  // Finds the folder that holds the opened file's data and the file's name in it, and opens the
  // folder; raises when the name no longer leads to the opened file.
  void Locate();
  // Locks the file opened for writing, follows a rename by the writer before, puts right what
  // a stopped writer left.
  void Prepare();
  // Takes the exclusive lock within the file system's patience, or raises naming the file.
  void LockForWriting();
  void CopyBack(TFileReplacement& replacement);
  // Checks the numbered invariants above in debug builds.
  void CheckState() const;
  // Makes the names in the file's folder durable, through the flush group when there is one.
  void SyncFolder();
  // Makes the folder's earlier removals of this file's journals durable: once a group.
  void SyncRemovals();
  // The journal files the writes of this file's group pass on; none without a group.
  TJournalPool* Journals() const;
  // Stores a new change's mark on the file; none where its file system keeps none.
  std::optional<TChangeMark> Mark();
  // Removes the mark of a change that did not begin; one that stays is the next writer's.
  void Unmark(const std::optional<TChangeMark>& mark);
  // Makes a journal's removal durable, now or when the group's writes in the folder are done.
  void JournalRemoved();

  std::shared_ptr<TFileSystem> FFiles = PlatformFileSystem();
  std::shared_ptr<TFlushGroup> FFlushGroup;
  std::unique_ptr<TStream> FStream;
  std::string FName;
  bool FReadOnly = false;
  TState FState = TState::Closed;
  // Changing, past the point where the file's bytes may be overwritten (invariant 5).
  bool FMayOverwrite = false;
  // Holds the state at Changing for a scope, and checks it on every way out.
  struct TChanging;
  // In debug builds: stops the program unless a byte of the file may be overwritten now.
  void ExpectMayOverwrite() const;
  std::unique_ptr<TBeside> FPlace;  // Writing: the folder and the file's name in it
  TFileFacts FOpened;               // Writing: the file the name led to
  TLockGuard FLock;                 // Writing: the exclusive lock on FStream
  std::string FRecoveryNote;
  bool FJournalPending = false;
  bool FWriterAtWork = false;
  bool FNameIsNoLink = false;  // the name was opened as the file itself, no link followed
  bool FNoJournalListed = false;
  bool FHoldReadLock = false;
  bool FKeepModified = false;
  std::string FNotDurable;  // why the last Replace's new name may not be on the disk
  TReadCache FCache;
  std::shared_ptr<TLaterReads> FLaterReads;
  std::optional<TFileFacts> FReadFacts;
};

}  // namespace tagscope
