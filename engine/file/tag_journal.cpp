#include "engine/file/tag_journal.h"

#include <algorithm>

#include "engine/file/journal_format.h"
#include "engine/file/journal_pool.h"
#include "engine/file/pending_writes.h"
#include "tagscope/rtl/beside_file.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

namespace {

journal::TRecord Bound(TStream& file, journal::TKind kind) {
  journal::TRecord record;
  record.kind = kind;
  const TFileFacts facts = FactsOf(file);
  record.identity = RecordedIdentity(facts);
  record.sizeBefore = facts.size;
  record.changed = facts.changed;
  return record;
}

void Note(journal::TRecord& record, const TChangeMark* mark) {
  if (!mark) return;
  record.nonce = mark->nonce;
  record.markFlushed = mark->FlushedFirst();
}

// The checksums of each block of a stream's content.
std::vector<uint32_t> BlockSums(TStream& stream, int64_t size) {
  std::vector<uint32_t> sums;
  std::string block(static_cast<size_t>(journal::kBlock), '\0');
  for (int64_t at = 0; at < size; at += journal::kBlock) {
    const int64_t n = std::min(journal::kBlock, size - at);
    if (stream.ReadAt(at, block.data(), n) != n) throw EReadError(SReadError);
    sums.push_back(journal::Checksum(block.data(), static_cast<size_t>(n)));
  }
  return sums;
}

}  // namespace

std::string TTagJournal::NameFor(const std::string& target, bool targetIsNoLink) {
  const std::string resolved = targetIsNoLink ? target : ResolveLinkName(target);
  const std::string folder = ExtractFilePath(resolved);
  return folder + beside::OwnName(resolved.substr(folder.size())) + std::string(kSuffix);
}

TTagJournal::TTagJournal(const TBeside& place, std::string name, TJournalPool* pool)
    : FPlace(place), FName(std::move(name)) {
  if (pool && TJournalPool::Enabled()) {
    FFiles = place.Files().weak_from_this().lock();
    if (FFiles) FPool = pool;
  }
}

void TTagJournal::Create(std::string content) {
  // Written whole, with its mark, under a scratch name beside the file (one of the writer's
  // slots), flushed, and only then given the journal's name: under that name there is only
  // ever a whole journal, whatever part of the scratch file the disk kept when the machine
  // stopped (the next writer removes that as a leftover). The checksum tells a whole journal
  // too; the name is what says it was flushed before the file was touched.
  content[journal::kMarkAt] = journal::kMarked;
  if (FPool && CreateInKept(content)) return;
  std::string scratch;
  auto stream = beside::CreateTemp(
      FPlace.Target(), scratch,
      [&](const std::string& name) { return FPlace.Open(name, TFileMode::fmCreateNew); }, true,
      [&](const std::string& name) { return FPlace.Taken(name); });
  try {
    // A file the pool keeps is locked from the start, and stays so while it waits under a scratch
    // name of a file this writer no longer holds: the writers of that file, of this run or of
    // another, see it held by a live process, and neither delete nor take it.
    const bool locked = FPool && stream->Lock(TFileLock::flExclusive, false);
    stream->WriteString(content);
    stream->Flush();
    // Kept open only to be given to the pool, and renamed only where that works on open files.
    if (locked) FIdentity = FactsOf(*stream).identity;
    if (!FPool || FIdentity.empty()) stream.reset();
    // Never over what stands under the name (a link included): a name that is taken is not
    // used.
    FPlace.RenameNew(scratch, FName);
    FStream = std::move(stream);
  } catch (...) {
    stream.reset();
    FPlace.Remove(scratch);
    throw;
  }
}

bool TTagJournal::CreateInKept(const std::string& content) {
  std::optional<TJournalPool::TKept> kept = FPool->Take(FPlace.Folder().Path());
  if (!kept) return false;
  try {
    // Under its scratch name the file is only a leftover, whatever part of this the disk keeps.
    TStream& stream = *kept->stream;
    stream.SetPosition(0);
    stream.WriteString(content);
    if (stream.Size() != static_cast<int64_t>(content.size()))
      stream.SetSize(static_cast<int64_t>(content.size()));
    stream.FlushData();
    // Its lock, held all along, keeps every writer from deleting it or renaming another file
    // into its name (a writer renames only to names that are free); the name is looked at
    // again for whatever does not ask for locks.
    TFileFacts now;
    if (!kept->files->LookIn(*kept->folder, kept->leaf, now) || now.identity != kept->identity) {
      Discard(*kept);
      return false;
    }
    kept->files->RenameNewIn(*kept->folder, kept->leaf, FPlace.LeafOf(FName));
  } catch (const Exception&) {
    // The name is taken, or the file could not be written: a new one is made, which says why.
    Discard(*kept);
    return false;
  }
  kept->leaf = FPlace.LeafOf(FName);
  TFileFacts named;
  if (!FPlace.Look(FName, named) || named.identity != kept->identity) {
    // The journal went into another folder than the file's (the folder was swapped under its
    // name meanwhile): it is no journal of this file.
    Discard(*kept);
    throw EWriteError(
        Format("The journal of \"%s\" could not be put beside it (its folder "
               "was replaced while it was written); nothing was changed",
               FPlace.Target().c_str()));
  }
  FStream = std::move(kept->stream);
  FIdentity = kept->identity;
  return true;
}

bool TTagJournal::GiveBack() {
  for (int slot = 0; slot < beside::kSlots; ++slot) {
    const std::string name = beside::TempName(FPlace.Target(), beside::SlotDigits(slot));
    try {
      FPlace.RenameNew(FName, name);
    } catch (const EFCreateError&) {
      continue;  // taken
    } catch (const Exception&) {
      return false;
    }
    FPool->Keep(
        {FFiles, FPlace.SharedFolder(), FPlace.LeafOf(name), std::move(FStream), FIdentity});
    return true;
  }
  return false;
}

TTagJournal TTagJournal::ForUndo(const TBeside& place, TStream& file, TPendingWrites& change,
                                 const TChangeMark* mark, TJournalPool* pool) {
  TTagJournal result(place, NameFor(place.Target(), true), pool);
  journal::TRecord record = Bound(file, journal::TKind::Undo);
  Note(record, mark);
  record.sizeAfter = std::max(record.sizeBefore, change.Size());
  // Each write, apart from the others, with what it overwrites.
  change.KeepChangesOnly(journal::kMostRanges);
  for (const TPendingWrites::TWrite& w : change.Writes()) {
    journal::TRange range;
    range.offset = w.offset;
    range.old = w.old;
    range.fresh = w.bytes;
    record.ranges.push_back(std::move(range));
  }
  result.Create(journal::Encode(record));
  return result;
}

TTagJournal TTagJournal::ForCopy(const TBeside& place, TStream& file, TStream& source,
                                 const std::string& digits, const TChangeMark* mark,
                                 TJournalPool* pool) {
  TTagJournal result(place, NameFor(place.Target(), true), pool);
  journal::TRecord record = Bound(file, journal::TKind::Copy);
  Note(record, mark);
  record.sizeAfter = source.Size();
  record.digits = digits;
  record.oldSums = BlockSums(file, record.sizeBefore);
  record.newSums = BlockSums(source, record.sizeAfter);
  result.Create(journal::Encode(record));
  return result;
}

void TTagJournal::Finish() {
  if (FStream && GiveBack()) return;
  FStream.reset();
  if (!FPlace.Remove(FName))
    throw EWriteError(Format("Cannot remove the journal \"%s\". %s", FName.c_str(),
                             LastSystemErrorText().c_str()));
}

}  // namespace tagscope
