#include "engine/tag_file.h"

#include <chrono>
#include <optional>
#include <thread>

#include "engine/file_replace.h"
#include "engine/pending_writes.h"
#include "engine/stream_helpers.h"
#include "engine/tag_journal.h"
#include "engine/undo_stream.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

namespace {

// Size and time of the last write of the open file: what changes when a writer touches it.
std::pair<int64_t, int64_t> Stamp(TStream& file) {
  TFileFacts facts;
  if (!file.Describe(facts)) return {file.Size(), 0};
  return {facts.size, facts.modified};
}

}  // namespace

TTagFile::~TTagFile() = default;

bool TTagFile::Open(const std::string& name, bool readOnly, std::string& problem) {
  FName = name;
  FReadOnly = readOnly;
  FRecoveryNote.clear();
  FJournalPending = false;
  FLaterReads.reset();
  FReadFacts.reset();
  FStream.reset();
  FCache.Clear();
  FNameIsNoLink = false;
  if (!readOnly) CheckWritable();
  // A reader first tries the name as the file itself: where it is (as it mostly is), the
  // journal is looked for beside it without asking whether the name is a link.
  if (readOnly) try {
      FStream = FFiles->Open(name, TFileMode::fmOpenReadPlain);
      FNameIsNoLink = true;
    } catch (const Exception&) {
    }
  try {
    if (!FStream)
      FStream = FFiles->Open(name, readOnly ? TFileMode::fmOpenRead : TFileMode::fmOpenReadWrite);
  } catch (const EFOpenError& e) {
    // A file that is not there is no error: the caller stays closed, and says why.
    if (FileExists(name)) throw;
    problem = e.what();
    return false;
  }
  try {
    if (!readOnly) Prepare();
  } catch (...) {
    FStream.reset();
    throw;
  }
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

void TTagFile::CheckWritable() const {
  TFileInfo info;
  // A folder is no file at all: opening it fails as for a missing file.
  if (GetFileInfo(FName, info) && !info.regular && !info.folder)
    throw EFOpenError(
        Format("Cannot write to \"%s\": it is not a regular file (a device, FIFO, "
               "socket or folder), and only regular files are changed",
               FName.c_str()));
}

void TTagFile::Prepare() {
  // The lock is held until the file is closed, from the read to the end of every write. A
  // writer that waited may find that the name now leads to the file another writer put in
  // place: it opens that one instead.
  // Where the platform cannot rename over an open file, the writer before may have let go
  // of the old file just before its new one takes the name: that one's lock is waited for.
  constexpr int kAttempts = 1000;
  for (int attempt = 1; attempt < kAttempts; ++attempt) {
    FStream->Lock(TFileLock::flExclusive);
    TFileInfo info;
    const std::string identity = FStream->Identity();
    if (!identity.empty() && GetFileInfo(FName, info) && info.identity != identity) {
      FStream = FFiles->Open(FName, TFileMode::fmOpenReadWrite);
    } else if (TFileReplacement::Replacing(*FFiles, FName)) {
      FStream->Lock(TFileLock::flNone);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } else {
      break;
    }
  }
  FRecoveryNote = TTagJournal::Recover(*FFiles, FName, *FStream).note;
  TFileReplacement::RemoveLeftovers(*FFiles, FName);
}

void TTagFile::ReadWhole(const std::function<void()>& read) {
  // No writer at work, and none can begin while the shared lock is held: the read sees the
  // file whole, unless a writer was stopped half way, whose journal then tells.
  if (FStream->Lock(TFileLock::flShared, false)) {
    try {
      read();
    } catch (...) {
      FStream->Lock(TFileLock::flNone);
      throw;
    }
    FStream->Lock(TFileLock::flNone);
    FJournalPending = TTagJournal::Pending(*FFiles, FName, *FStream, FNameIsNoLink);
    return;
  }
  // A live writer holds the file: the read is taken again while a change of its is under way,
  // or when the file changed while it was read, for as long as patience lasts.
  using namespace std::chrono;
  const auto patience = milliseconds(1000);
  const auto start = steady_clock::now();
  for (;;) {
    const auto before = Stamp(*FStream);
    read();
    FJournalPending = TTagJournal::Pending(*FFiles, FName, *FStream, FNameIsNoLink);
    const bool whole = !FJournalPending && Stamp(*FStream) == before;
    if (whole || steady_clock::now() - start >= patience) return;
    std::this_thread::sleep_for(milliseconds(5));
  }
}

bool TTagFile::ChangeInPlace(const std::function<void(TStream&)>& write) {
  TStream& file = *FStream;
  // The change is gathered first, so that its journal records what it overwrites and writes.
  TPendingWrites change(file);
  write(change);
  std::optional<TTagJournal> journal;
  try {
    journal.emplace(TTagJournal::ForUndo(*FFiles, FName, file, change));
  } catch (const EFCreateError&) {
    if (NameTaken(TTagJournal::NameFor(FName))) return false;
    throw;
  }
  // The journal's name is durable before the file is touched. Its content was flushed once,
  // the file is flushed once, after the change: two flushes of files per write.
  try {
    SyncFolderOf(journal->FileName());
  } catch (...) {
    FFiles->Remove(journal->FileName());
    throw;
  }
  TUndoStream undo(file);
  try {
    undo.ChangeOrRollBack(
        [&] {
          change.Apply(undo);
          undo.Flush();
          journal->Finish();
        },
        "tag");
  } catch (...) {
    // Rolled back: the journal would only put back what the file holds again. When putting
    // back failed, it stays for the next writer to finish the job.
    if (undo.RolledBack()) FFiles->Remove(journal->FileName());
    throw;
  }
  return true;
}

void TTagFile::Replace(const std::function<void(TStream&)>& write) {
  TFileReplacement replacement(*FFiles, FName);
  write(replacement.Stream());
  replacement.Stream().Flush();
  if (!replacement.RenameKeepsIdentity()) {
    CopyBack(replacement);
    return;
  }
  // The old file stays open, and locked, until the new one has its name, so that a writer that
  // waits for the lock finds the new file. Where the rename is refused (some platforms do not
  // replace a file that is open, here or in another program), the new content is copied in.
  try {
    replacement.Commit();
  } catch (const std::exception&) {
    CopyBack(replacement);
    return;
  }
  FStream = replacement.TakeStream();
  // The new file has the name; what follows is not undone when making that durable fails.
  try {
    SyncFolderOf(FName);
  } catch (const std::exception&) {
  }
  FStream->Lock(TFileLock::flExclusive);
}

void TTagFile::SyncFolderOf(const std::string& name) {
  const std::string folder = ExtractFilePath(ResolveLinkName(name));
  if (FFlushGroup)
    FFlushGroup->SyncFolder(*FFiles, folder);
  else
    FFiles->SyncFolder(folder);
}

void TTagFile::CopyBack(TFileReplacement& replacement) {
  // The new content is complete and on the disk; a journal names it, so that a copy cut short
  // is finished by the next writer rather than leaving the file half old, half new.
  TStream& source = replacement.Stream();
  const int64_t size = source.Size();
  TStream& file = *FStream;
  const int64_t before = file.Size();
  const std::string journalName = TTagJournal::NameFor(FName);
  std::optional<TTagJournal> journal;
  try {
    journal.emplace(TTagJournal::ForCopy(*FFiles, FName, file, source, replacement.Digits()));
  } catch (const EFCreateError&) {
    if (!NameTaken(journalName)) throw;
    throw EWriteError(
        Format("The file must be copied over under a journal, and its journal's name \"%s\" is "
               "taken by something this writer may not remove; nothing was changed. Its owner "
               "can remove it (rm -- '%s')",
               journalName.c_str(), journalName.c_str()));
  }
  replacement.Keep();
  try {
    SyncFolderOf(journal->FileName());
  } catch (...) {
    journal->Finish();
    replacement.Keep(false);
    throw;
  }
  // Room first: a full disk stops the copy before a byte of the file is overwritten.
  try {
    file.Reserve(size);
  } catch (const std::exception&) {
    try {
      if (file.Size() != before) file.SetSize(before);
      journal->Finish();
      FFiles->Remove(replacement.TempName());
    } catch (const std::exception&) {
      // The journal stays, and the next writer puts the file right.
    }
    throw;
  }
  // Past this point the file is only ever finished, never put back: a step that fails is tried
  // once more, and when it fails again the journal leaves the rest to the next writer.
  auto finish = [&] {
    source.SetPosition(0);
    file.SetPosition(0);
    if (size > 0) CopyStreamData(source, file, size);
    file.SetSize(size);
    file.Flush();
    journal->Finish();
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
  if (!FFiles->Remove(replacement.TempName())) FFiles->Remove(replacement.TempName());
}

}  // namespace tagscope
