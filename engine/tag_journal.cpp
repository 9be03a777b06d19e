#include "engine/tag_journal.h"

#include <algorithm>

#include "engine/journal_format.h"
#include "engine/pending_writes.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

namespace {

// Names longer than this are shortened in the journal's name.
constexpr size_t kNameRoom = 200;

journal::TRecord Bound(TStream& file, journal::TKind kind) {
  journal::TRecord record;
  record.kind = kind;
  const TFileFacts facts = FactsOf(file);
  record.identity = RecordedIdentity(facts);
  record.sizeBefore = facts.size;
  record.modified = facts.modified;
  return record;
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

// The ranges a change writes: its writes joined where they meet or overlap.
std::vector<std::pair<int64_t, int64_t>> Extents(const TPendingWrites& change) {
  std::vector<std::pair<int64_t, int64_t>> spans;
  for (const TPendingWrites::TWrite& w : change.Writes())
    spans.emplace_back(w.offset, w.offset + static_cast<int64_t>(w.bytes.size()));
  std::sort(spans.begin(), spans.end());
  std::vector<std::pair<int64_t, int64_t>> joined;
  for (const auto& [from, to] : spans) {
    if (!joined.empty() && from <= joined.back().first + joined.back().second)
      joined.back().second = std::max(joined.back().second, to - joined.back().first);
    else
      joined.emplace_back(from, to - from);
  }
  return joined;
}

}  // namespace

std::string TTagJournal::NameFor(const std::string& target, bool targetIsNoLink) {
  const std::string resolved = targetIsNoLink ? target : ResolveLinkName(target);
  const std::string folder = ExtractFilePath(resolved);
  return folder + resolved.substr(folder.size()).substr(0, kNameRoom) + ".ID3JRN";
}

void TTagJournal::Create(const std::string& content) {
  // Created exclusively: a name that is taken (by anything, a link included) is not used.
  auto stream = FPlace.Open(FName, TFileMode::fmCreateNew);
  try {
    stream->WriteString(content);
    stream->Flush();
    FPlace.Sync();
    // Only now, the rest on the disk, does the mark say that the file may be touched.
    stream->SetPosition(journal::kMarkAt);
    stream->WriteString(std::string(1, journal::kMarked));
    stream->Flush();
  } catch (...) {
    stream.reset();
    FPlace.Remove(FName);
    throw;
  }
}

TTagJournal TTagJournal::ForUndo(const TBeside& place, TStream& file,
                                 const TPendingWrites& change) {
  TTagJournal result(place, NameFor(place.Target(), true));
  journal::TRecord record = Bound(file, journal::TKind::Undo);
  TPendingWrites& after = const_cast<TPendingWrites&>(change);
  record.sizeAfter = std::max(record.sizeBefore, after.Size());
  for (const auto& [offset, length] : Extents(change)) {
    journal::TRange range;
    range.offset = offset;
    const int64_t old = std::clamp<int64_t>(record.sizeBefore - offset, 0, length);
    range.old.resize(static_cast<size_t>(old));
    if (old > 0 && file.ReadAt(offset, range.old.data(), old) != old) throw EReadError(SReadError);
    // What the whole change leaves in the range.
    range.fresh.resize(static_cast<size_t>(length));
    after.SetPosition(offset);
    after.ReadBuffer(range.fresh.data(), length);
    record.ranges.push_back(std::move(range));
  }
  result.Create(journal::Encode(record));
  return result;
}

TTagJournal TTagJournal::ForCopy(const TBeside& place, TStream& file, TStream& source,
                                 const std::string& digits) {
  TTagJournal result(place, NameFor(place.Target(), true));
  journal::TRecord record = Bound(file, journal::TKind::Copy);
  record.sizeAfter = source.Size();
  record.digits = digits;
  record.oldSums = BlockSums(file, record.sizeBefore);
  record.newSums = BlockSums(source, record.sizeAfter);
  result.Create(journal::Encode(record));
  return result;
}

void TTagJournal::Finish() {
  if (!FPlace.Remove(FName))
    throw EWriteError(Format("Cannot remove the journal \"%s\". %s", FName.c_str(),
                             LastSystemErrorText().c_str()));
}

}  // namespace tagscope
