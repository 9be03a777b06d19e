#include "engine/file/tag_file.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>
#include <utility>

#include "engine/file/change_mark.h"
#include "engine/file/file_replace.h"
#include "engine/file/journal_format.h"
#include "engine/file/pending_writes.h"
#include "engine/file/tag_journal.h"
#include "engine/file/undo_stream.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

#ifndef NDEBUG
namespace {

// In debug builds, a broken invariant of the file side stops the program where it is found.
void Expect(bool holds, const char* invariant) {
  if (!holds) {
    std::fprintf(stderr, "tagscope: file side invariant %s broken\n", invariant);
    std::abort();
  }
}

}  // namespace
#endif

TTagFile::~TTagFile() = default;

struct TTagFile::TChanging {
  TTagFile& file;
  explicit TChanging(TTagFile& f) : file(f) {
    file.CheckState();
    file.FState = TState::Changing;
    file.FMayOverwrite = false;
  }
  ~TChanging() {
    file.FState = TState::Writing;
    file.FMayOverwrite = false;
    file.CheckState();
  }
  TChanging(const TChanging&) = delete;
  TChanging& operator=(const TChanging&) = delete;
};

void TTagFile::ExpectMayOverwrite() const {
#ifndef NDEBUG
  Expect(FState == TState::Changing && FMayOverwrite, "5 (a journal or the new content first)");
#endif
}

void TTagFile::CheckState() const {
#ifndef NDEBUG
  switch (FState) {
    case TState::Closed:
      Expect(!FStream && !FPlace && !FLock.Held() && !FLaterReads, "1 (closed)");
      break;
    case TState::Reading:
      Expect(FStream && !FPlace && !FLock.Held(), "2 (reading)");
      break;
    case TState::Writing:
    case TState::Changing:
      Expect(FStream && FPlace && !FPlace->Leaf().empty() && FLock.Held(), "3 (writing)");
      Expect(!FOpened.identity.empty() || FStream->Identity().empty(), "4 (the file opened)");
      break;
  }
#endif
}

void TTagFile::Close() {
  FLaterReads.reset();
  FReadFacts.reset();
  FLock.Release();
  FStream.reset();
  FPlace.reset();
  FCache.Clear();
  FState = TState::Closed;
  CheckState();
}

bool TTagFile::Open(const std::string& name, bool readOnly, std::string& problem) {
  Close();
  FName = name;
  FReadOnly = readOnly;
  FRecoveryNote.clear();
  FJournalPending = false;
  FWriterAtWork = false;
  FNameIsNoLink = false;
  if (!readOnly) CheckWritable();
  // A reader first tries the name as the file itself: where it is (as it mostly is), the
  // journal is looked for beside it without asking whether the name is a link. The shared lock
  // of the ReadWhole that follows is taken on opening, where it is free, and the file looked
  // at once under it.
  if (readOnly) try {
      FStream = FFiles->Open(name, TFileMode::fmOpenReadShared);
      FNameIsNoLink = true;
    } catch (const Exception&) {
    }
  try {
    if (!FStream)
      FStream = FFiles->Open(name, readOnly ? TFileMode::fmOpenRead : TFileMode::fmOpenReadWrite);
  } catch (const EFOpenError& e) {
    // A file that is not there is no error: the caller stays closed, and says why.
    TFileFacts facts;
    if (FFiles->Look(name, facts, true) && !facts.folder) throw;
    problem = e.what();
    return false;
  }
  FState = readOnly ? TState::Reading : TState::Writing;
  if (readOnly) {
    CheckState();
    return true;
  }
  try {
    Locate();
    Prepare();
  } catch (...) {
    Close();
    throw;
  }
  CheckState();
  return true;
}

int64_t TTagFile::SizeForRead() {
  FReadFacts = FactsOf(*FStream);
  return FReadFacts->size;
}

std::weak_ptr<TLaterReads> TTagFile::NewLaterReads() {
  if (!FReadFacts) SizeForRead();
  FLaterReads = std::make_shared<TLaterReads>(*FStream, FName, *FReadFacts);
  return FLaterReads;
}

void TTagFile::CheckWritable() {
  TFileFacts facts;
  // A folder is no file at all: opening it fails as for a missing file.
  if (FFiles->Look(FName, facts, true) && !facts.regular && !facts.folder)
    throw EFOpenError(
        Format("Cannot write to \"%s\": it is not a regular file (a device, FIFO, "
               "socket or folder), and only regular files are changed",
               FName.c_str()));
}

void TTagFile::Locate() {
  // The name the user gave may be a link: the file's data, and the new files and journal
  // beside it, live where it leads. That folder is opened once and every later name is taken
  // in it, so a link or folder swapped in later leads nowhere else.
  const std::string resolved = FFiles->Resolve(FName);
  const std::string folder = ExtractFilePath(resolved);
  FPlace = std::make_unique<TBeside>(*FFiles, FFiles->OpenFolder(folder),
                                     resolved.substr(folder.size()));
  FOpened = FactsOf(*FStream);
  TFileFacts named;
  // Another writer may have put its new file in place since the name was opened: the wait
  // for the lock finds that and opens the file now there.
  if (!FPlace->Look(FPlace->Target(), named) || !named.regular)
    throw EFOpenError(
        Format("Cannot write to \"%s\": it was moved, deleted or replaced by a link while it "
               "was opened; nothing was changed",
               FName.c_str()));
}

void TTagFile::LockForWriting() {
  if (FLock.Held()) return;
  FLock = TLockGuard(*FStream, TFileLock::flExclusive, FFiles->LockPatience());
  if (FLock.Held()) return;
  const long long seconds =
      std::chrono::duration_cast<std::chrono::seconds>(FFiles->LockPatience()).count();
  throw EFOpenError(
      Format("Cannot write to \"%s\": another program holds it (reading it, or writing it and "
             "perhaps stopped) and did not let go within %lld seconds; nothing was changed",
             FName.c_str(), seconds));
}

void TTagFile::Prepare() {
  // The lock is held until the file is closed, from the read to the end of every write. A
  // writer that waited may find that the name now leads to the file another writer put in
  // place: it opens that one instead, in the same folder and never through a link.
  // Where the platform cannot rename over an open file, the writer before may have let go
  // of the old file just before its new one takes the name: that one's lock is waited for,
  // within the same patience.
  using namespace std::chrono;
  const auto giveUp = steady_clock::now() + FFiles->LockPatience();
  std::optional<TNewFiles> newFiles;
  for (;;) {
    LockForWriting();
    FOpened = FactsOf(*FStream);
    TFileFacts named;
    if (!FPlace->Look(FPlace->Target(), named) || !named.regular)
      throw EFOpenError(Format(
          "Cannot write to \"%s\": its name no longer leads to a regular file (it was moved, "
          "deleted or replaced by a link while this writer waited); nothing was changed",
          FName.c_str()));
    newFiles.emplace(*FPlace);
    if (!FOpened.identity.empty() && named.identity != FOpened.identity) {
      FLock.Release();
      FStream = FPlace->Open(FPlace->Target(), TFileMode::fmOpenReadWrite);
    } else if (steady_clock::now() < giveUp && newFiles->Replacing(FOpened.owner)) {
      FLock.Release();
      std::this_thread::sleep_for(milliseconds(10));
    } else {
      break;
    }
  }
  FRecoveryNote = TTagJournal::Recover(*FPlace, *FStream).note;
  const std::string plants = newFiles->RemoveLeftovers(FOpened.owner);
  if (!plants.empty()) FRecoveryNote += (FRecoveryNote.empty() ? "" : ". ") + plants;
  FOpened = FactsOf(*FStream);
}

void TTagFile::ReadWhole(const std::function<void()>& read) {
  // No writer at work, and none can begin while the shared lock is held: the read sees the
  // file whole, unless a writer was stopped half way, whose journal then tells.
  {
    TLockGuard shared(*FStream, TFileLock::flShared, std::chrono::milliseconds(0));
    if (shared.Held()) {
      read();
      // Looked for under the lock: a writer that puts the file right meanwhile cannot remove
      // the journal of what was read.
      FJournalPending = TTagJournal::Pending(*FFiles, FName, *FStream, FNameIsNoLink, nullptr,
                                             FNoJournalListed && FReadOnly);
      // Held on: it goes with the file when the reader closes it.
      if (FHoldReadLock && FReadOnly) shared.Forget();
      return;
    }
  }
  // A live writer holds the file: the read is taken again while a change of its is under way,
  // or when the file changed while it was read, for as long as patience lasts.
  using namespace std::chrono;
  const auto patience = milliseconds(1000);
  const auto start = steady_clock::now();
  for (;;) {
    const TFileFacts before = FactsOf(*FStream);
    read();
    const bool pending = TTagJournal::Pending(*FFiles, FName, *FStream, FNameIsNoLink, nullptr,
                                              FNoJournalListed && FReadOnly);
    const bool whole = !pending && SameState(FactsOf(*FStream), before);
    if (whole || steady_clock::now() - start >= patience) {
      // A journal beside a file a live writer holds is that writer's, not one left behind.
      FWriterAtWork = !whole;
      FJournalPending = false;
      return;
    }
    std::this_thread::sleep_for(milliseconds(5));
  }
}

bool TTagFile::ChangeInPlace(const std::function<void(TStream&)>& write) {
  CheckState();
  FNotDurable.clear();
  TStream& file = *FStream;
  // The change is gathered first, so that its journal records what it overwrites and writes.
  TPendingWrites change(file);
  write(change);
  // Only what differs is journalled and written: an edit of one field touches a block or two.
  change.KeepChangesOnly(journal::kMostRanges);
  if (change.Writes().empty() && change.Size() == file.Size()) return true;
  // Whether the time can be kept is learnt before anything is written.
  KeepModified(file);
  // A disk stores a sector of 512 bytes whole or not at all, and a process that is killed has
  // made a write within one page whole or not at all: a change within one such block is made
  // by one write, and needs no journal.
  TChanging changing(*this);
  std::optional<TTagJournal> journal;
  std::optional<TChangeMark> mark;
  if (!change.JoinWithin(512)) {
    const std::string journalName = TTagJournal::NameFor(FPlace->Target(), true);
    mark = Mark();
    try {
      journal.emplace(
          TTagJournal::ForUndo(*FPlace, file, change, mark ? &*mark : nullptr, Journals()));
    } catch (const EFCreateError&) {
      Unmark(mark);
      if (FPlace->Taken(journalName)) return false;
      throw;
    } catch (...) {
      Unmark(mark);
      throw;
    }
    // The journal's name, and a mark other names depend on, are durable before the file is
    // touched. The journal's content was flushed once, the file is flushed after the change.
    try {
      SyncFolder();
      if (mark && mark->FlushedFirst()) file.Flush();
    } catch (...) {
      FPlace->Remove(journal->FileName());
      Unmark(mark);
      throw;
    }
  } else {
    // A journal of this file removed earlier (by a run stopped before it flushed the folder,
    // or by the recovery at this open) must not come back after a power cut to roll this
    // change back with the one it guarded: the folder's names are durable first.
    SyncRemovals();
  }
  FMayOverwrite = true;
  TUndoStream undo(file);
  for (const TPendingWrites::TWrite& w : change.Writes()) undo.Know(w.offset, w.old);
  try {
    undo.ChangeOrRollBack(
        [&] {
          ExpectMayOverwrite();
          change.Apply(undo);
          KeepModified(file);
          undo.Flush();
          // The journal goes first: a mark whose journal is gone leads nowhere, under any name.
          if (journal) journal->Finish();
          Unmark(mark);
        },
        "tag");
  } catch (...) {
    // Rolled back: the journal would only put back what the file holds again. When putting
    // back failed, it stays for the next writer to finish the job.
    if (journal && undo.RolledBack()) {
      FPlace->Remove(journal->FileName());
      Unmark(mark);
    }
    throw;
  }
  if (journal) JournalRemoved();
  FOpened = FactsOf(file);
  return true;
}

void TTagFile::CutEnd(int64_t size) {
  TChanging changing(*this);
  TStream& file = *FStream;
  KeepModified(file);  // whether the time can be kept, before anything is cut
  SyncRemovals();
  FMayOverwrite = true;
  TUndoStream undo(file);
  undo.ChangeOrRollBack(
      [&] {
        ExpectMayOverwrite();
        undo.SetSize(size);
        KeepModified(file);
        undo.Flush();
      },
      "bytes");
  FOpened = FactsOf(file);
}

void TTagFile::Replace(const std::function<void(TStream&)>& write) {
  TChanging changing(*this);
  FNotDurable.clear();
  TFileReplacement replacement(*FPlace);
  write(replacement.Stream());
  KeepModified(replacement.Stream());
  replacement.Stream().Flush();
  if (!replacement.RenameKeepsIdentity(FOpened)) {
    CopyBack(replacement);
    return;
  }
  // The old file stays open, and locked, until the new one has its name, so that a writer that
  // waits for the lock finds the new file. Where the rename is refused (some platforms do not
  // replace a file that is open, here or in another program), the new content is copied in.
  bool renamed = false;
  try {
    renamed = replacement.Commit(FOpened);
  } catch (const std::exception&) {
    CopyBack(replacement);
    return;
  }
  if (!renamed)
    throw EWriteError(Format(
        "\"%s\" was replaced while it was written (its name now leads to another file, or to a "
        "link): nothing was put in its place, and no other file was changed",
        FName.c_str()));
  FLock.Forget();
  FStream = replacement.TakeStream();
  FLock = TLockGuard(*FStream, TFileLock::flExclusive, std::chrono::milliseconds(0));
  FOpened = FactsOf(*FStream);
  // The new file has the name and stays: the caller accounts for the change, then raises this.
  try {
    SyncFolder();
  } catch (const std::exception& e) {
    FNotDurable = Format(
        "\"%s\" holds its new content, but its new name may not be on the disk yet: a power cut "
        "may still bring back the old file. %s",
        FName.c_str(), e.what());
  }
}

std::optional<TChangeMark> TTagFile::Mark() {
  TChangeMark mark = TChangeMark::For(*FPlace, FOpened.links > 1);
  if (!mark.Store(*FStream)) return std::nullopt;
  return mark;
}

void TTagFile::Unmark(const std::optional<TChangeMark>& mark) {
  if (!mark) return;
  try {
    TChangeMark::Remove(*FStream);
  } catch (const Exception&) {
    // A mark whose journal is gone is removed by the next writer.
  }
}

void TTagFile::JournalRemoved() {
  // Until the folder's names are durable, a power cut can bring the journal back: with a
  // group, once its writes in the folder are done; else now.
  try {
    if (FFlushGroup)
      FFlushGroup->SyncLater(*FFiles, FPlace->SharedFolder());
    else
      FPlace->Sync();
  } catch (const std::exception& e) {
    // Raised once the engine holds what the file holds (RaiseNotDurable).
    if (FNotDurable.empty())
      FNotDurable = Format(
          "\"%s\" holds its new content, but the removal of its journal may not be on the disk "
          "yet: a power cut may still take the change back. %s",
          FName.c_str(), e.what());
  }
}

void TTagFile::RaiseNotDurable() {
  if (FNotDurable.empty()) return;
  throw ENotDurable(std::exchange(FNotDurable, std::string()));
}

void TTagFile::KeepModified(TStream& file) {
  if (!FKeepModified || file.SetModified(FOpened.modified)) return;
  throw EWriteError(Format("Cannot keep the time of last write of \"%s\" as it was. %s",
                           FName.c_str(), LastSystemErrorText().c_str()));
}

TJournalPool* TTagFile::Journals() const {
  return FFlushGroup ? &FFlushGroup->Journals() : nullptr;
}

void TTagFile::SyncFolder() {
  if (FFlushGroup)
    FFlushGroup->SyncFolder(*FFiles, FPlace->Folder());
  else
    FPlace->Sync();
}

void TTagFile::SyncRemovals() {
  if (!FRecoveryNote.empty() || !FFlushGroup)
    SyncFolder();
  else
    FFlushGroup->SyncFolderOnce(*FFiles, FPlace->Folder());
}

void TTagFile::CopyBack(TFileReplacement& replacement) {
  // The new content is complete and on the disk; a journal names it, so that a copy cut short
  // is finished by the next writer rather than leaving the file half old, half new.
  TStream& source = replacement.Stream();
  const int64_t size = source.Size();
  TStream& file = *FStream;
  const int64_t before = file.Size();
  const std::string journalName = TTagJournal::NameFor(FPlace->Target(), true);
  const std::optional<TChangeMark> mark = Mark();
  // The file's other names look for a journal beside themselves: without a mark that leads
  // them to this one, a copy cut short would pass for the file's content through them.
  if (!mark && FOpened.links > 1)
    throw EWriteError(Format(
        "\"%s\" has %llu names (hard links), and its file system keeps no mark that would show "
        "them a change of it cut short: its new content cannot be copied into it safely, and "
        "nothing was changed",
        FName.c_str(), static_cast<unsigned long long>(FOpened.links)));
  std::optional<TTagJournal> journal;
  try {
    journal.emplace(TTagJournal::ForCopy(*FPlace, file, source, replacement.Digits(),
                                         mark ? &*mark : nullptr, Journals()));
  } catch (const EFCreateError&) {
    Unmark(mark);
    TFileFacts planted;
    if (!FPlace->Look(journalName, planted)) throw;
    throw EWriteError(
        Format("The file must be copied over under a journal, and its journal's name \"%s\" is "
               "taken by something this writer may not remove, of %s; nothing was changed. Its "
               "owner can remove it (rm -- '%s')",
               journalName.c_str(), OwnerText(planted.owner).c_str(), journalName.c_str()));
  } catch (...) {
    Unmark(mark);
    throw;
  }
  replacement.Keep();
  try {
    SyncFolder();
    // Whether the time can be kept is learnt before a byte of the file changes.
    KeepModified(file);
    if (mark && mark->FlushedFirst()) file.Flush();
  } catch (...) {
    journal->Finish();
    Unmark(mark);
    replacement.Keep(false);
    throw;
  }
  // Room first: a full disk stops the copy before a byte of the file is overwritten. A file
  // with holes keeps them, and is asked room for its data only.
  try {
    ReserveFor(source, file, size);
  } catch (const std::exception&) {
    try {
      if (file.Size() != before) file.SetSize(before);
      file.Flush();
      journal->Finish();
      Unmark(mark);
      FPlace->Remove(replacement.TempName());
    } catch (const std::exception&) {
      // The journal stays, and the next writer puts the file right.
    }
    throw;
  }
  // Past this point the file is only ever finished, never put back: a step that fails is tried
  // once more, and when it fails again the journal leaves the rest to the next writer.
  FMayOverwrite = true;
  auto finish = [&] {
    ExpectMayOverwrite();
    CopyContent(source, file, size);
    KeepModified(file);
    file.Flush();
    journal->Finish();
    Unmark(mark);
  };
  try {
    try {
      finish();
    } catch (const std::exception&) {
      finish();
    }
  } catch (const std::exception& e) {
    throw EWriteError(
        Format("%s. The new content is complete in \"%s\"; the next change of the "
               "file (journal \"%s\") copies it in",
               e.what(), replacement.TempName().c_str(), journal->FileName().c_str()));
  }
  // A copy left behind is only a leftover, which the next writer deletes.
  if (!FPlace->Remove(replacement.TempName())) FPlace->Remove(replacement.TempName());
  FOpened = FactsOf(file);
  JournalRemoved();
}

}  // namespace tagscope
