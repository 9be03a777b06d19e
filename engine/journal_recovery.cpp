// What a writer does with a journal it finds beside the file it opened, and what a reader
// learns from one.
#include <algorithm>

#include "engine/journal_format.h"
#include "engine/tag_journal.h"
#include "tagscope/rtl/beside_file.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

namespace {

using journal::kBlock;

std::string Read(TStream& stream, int64_t at, int64_t count) {
  std::string bytes(static_cast<size_t>(std::max<int64_t>(count, 0)), '\0');
  if (count > 0 && stream.ReadAt(at, bytes.data(), count) != count) throw EReadError(SReadError);
  return bytes;
}

TFileFacts FactsOf(TStream& stream) {
  TFileFacts facts;
  if (!stream.Describe(facts)) facts.size = stream.Size();
  return facts;
}

// Opens what stands under a journal's or a new file's name as input: the name itself, a
// regular file, never waiting; raises EFOpenError saying why not.
std::unique_ptr<TStream> OpenInput(TFileSystem& files, const std::string& name) {
  return files.Open(name, TFileMode::fmOpenReadPlain);
}

// Why an in-place change's journal does not apply to the file as it stands; empty when it
// does. Every byte of its ranges must hold what the change found there or what it wrote, in
// whatever mix an interrupted write, or a disk that stored part of it, leaves. `untouched`: the
// file holds all it held before.
std::string CheckUndo(const journal::TRecord& r, TStream& file, int64_t size, bool& untouched) {
  if (size < r.sizeBefore || size > r.sizeAfter)
    return Format("the file has %lld bytes, where the change left %lld or %lld",
                  static_cast<long long>(size), static_cast<long long>(r.sizeBefore),
                  static_cast<long long>(r.sizeAfter));
  untouched = size == r.sizeBefore;
  for (const journal::TRange& range : r.ranges) {
    const auto length = static_cast<int64_t>(range.fresh.size());
    const std::string now =
        Read(file, range.offset, std::clamp<int64_t>(size - range.offset, 0, length));
    for (size_t i = 0; i < now.size(); ++i) {
      // Past the old end, the disk may have kept the new size without the bytes written there.
      const bool old = i < range.old.size() ? now[i] == range.old[i] : now[i] == '\0';
      untouched = untouched && old;
      if (!old && now[i] != range.fresh[i])
        return Format(
            "byte %lld holds neither what the change found there nor what it wrote: "
            "the file was changed since",
            static_cast<long long>(range.offset + static_cast<int64_t>(i)));
    }
  }
  return std::string();
}

void RollBack(const journal::TRecord& r, TStream& file) {
  for (const journal::TRange& range : r.ranges) {
    file.SetPosition(range.offset);
    file.WriteString(range.old);
  }
  file.SetSize(r.sizeBefore);
  file.Flush();
}

// Why a copy journal does not apply; empty when it does, `source` then open on the new content.
std::string CheckCopy(TFileSystem& files, const std::string& target, const journal::TRecord& r,
                      TStream& file, const TFileFacts& facts, std::unique_ptr<TStream>& source) {
  const std::string name = beside::TempName(ResolveLinkName(target), r.digits);
  try {
    source = OpenInput(files, name);
  } catch (const EFOpenError& e) {
    return Format("the new content it names is not there as a plain file (%s)", e.what());
  }
  const TFileFacts made = FactsOf(*source);
  if (made.owner != facts.owner || made.size != r.sizeAfter)
    return Format("\"%s\" is not the new content it names (another owner or size)", name.c_str());
  for (size_t i = 0; i < r.newSums.size(); ++i) {
    const std::string block =
        Read(*source, int64_t(i) * kBlock, std::min(kBlock, r.sizeAfter - int64_t(i) * kBlock));
    if (journal::Checksum(block.data(), block.size()) != r.newSums[i])
      return Format("\"%s\" is not the new content it names (it was changed)", name.c_str());
  }
  const int64_t size = facts.size;
  if (size < std::min(r.sizeBefore, r.sizeAfter) || size > std::max(r.sizeBefore, r.sizeAfter))
    return Format("the file has %lld bytes, where the copy left between %lld and %lld",
                  static_cast<long long>(size),
                  static_cast<long long>(std::min(r.sizeBefore, r.sizeAfter)),
                  static_cast<long long>(std::max(r.sizeBefore, r.sizeAfter)));
  // The copy writes in order from the start, but the disk may have stored any of its blocks
  // that were not flushed: each block is new or old, but for the one block the copy stopped
  // in, new up to some byte.
  bool stopped = false;
  for (int64_t at = 0, i = 0; at < size; at += kBlock, ++i) {
    const int64_t end = std::min(at + kBlock, size);
    const std::string now = Read(file, at, end - at);
    const int64_t newEnd = std::min(end, r.sizeAfter);
    const bool written = at < r.sizeAfter && now.compare(0, static_cast<size_t>(newEnd - at),
                                                         Read(*source, at, newEnd - at)) == 0;
    // Old bytes, and past the old end the zero bytes of the room taken before the copy.
    const int64_t oldLength = std::clamp<int64_t>(r.sizeBefore - at, 0, end - at);
    const bool old =
        (oldLength == 0 || (oldLength == std::min(kBlock, r.sizeBefore - at) &&
                            static_cast<size_t>(i) < r.oldSums.size() &&
                            journal::Checksum(now.data(), static_cast<size_t>(oldLength)) ==
                                r.oldSums[static_cast<size_t>(i)])) &&
        now.find_first_not_of('\0', static_cast<size_t>(oldLength)) == std::string::npos;
    if (written || old) continue;
    if (stopped)
      return Format(
          "bytes %lld to %lld hold neither the old content nor the new: the file was "
          "changed since",
          static_cast<long long>(at), static_cast<long long>(end - 1));
    stopped = true;
  }
  return std::string();
}

void CopyForward(TStream& source, TStream& file, int64_t size) {
  file.Reserve(size);
  std::string block;
  for (int64_t at = 0; at < size; at += 4096) {
    block = Read(source, at, std::min<int64_t>(4096, size - at));
    file.SetPosition(at);
    file.WriteString(block);
  }
  file.SetSize(size);
  file.Flush();
}

// A journal that is not applied: moved aside to a name a person finds beside the file.
TTagJournal::TRecovery SetAside(TFileSystem& files, const std::string& target,
                                const std::string& name, const std::string& why) {
  const std::string aside = name + "." + beside::RandomDigits() + ".stale";
  try {
    files.Rename(name, aside);
  } catch (const Exception& e) {
    return {Format("What stands under the journal name \"%s\" of \"%s\" was not applied: %s. It "
                   "could not be moved aside either (%s), so the file is written without a "
                   "journal of its own; its owner can remove it (rm -- '%s')",
                   name.c_str(), target.c_str(), why.c_str(), e.what(), name.c_str()),
            true};
  }
  return {Format("The journal \"%s\" was not applied to \"%s\": %s. It was moved aside to \"%s\"",
                 name.c_str(), target.c_str(), why.c_str(), aside.c_str()),
          false};
}

TTagJournal::TRecovery Removed(TFileSystem& files, const std::string& name, std::string note) {
  if (files.Remove(name)) return {std::move(note), false};
  return {
      Format("%s, but it could not be removed. %s", note.c_str(), LastSystemErrorText().c_str()),
      true};
}

}  // namespace

TTagJournal::TRecovery TTagJournal::Recover(TFileSystem& files, const std::string& target,
                                            TStream& file) {
  const std::string name = NameFor(target);
  if (!NameTaken(name)) return {};
  const TFileFacts facts = FactsOf(file);
  std::string bytes;
  try {
    const auto stream = OpenInput(files, name);
    const TFileFacts own = FactsOf(*stream);
    if (own.owner != facts.owner)
      return SetAside(files, target, name, "it belongs to another user than the file");
    if (own.size > journal::kMaxJournal)
      return SetAside(files, target, name, "it is far larger than any journal");
    bytes = Read(*stream, 0, own.size);
  } catch (const Exception& e) {
    return SetAside(files, target, name, e.what());
  }
  if (!journal::Marked(bytes)) {
    // Made, perhaps only in part, but the file not touched yet: the writer was stopped before
    // it began, and nothing is to be done.
    if (journal::Unmarked(bytes))
      return Removed(files, name,
                     Format("An unfinished change of \"%s\" had not touched it yet; its journal "
                            "\"%s\" was removed",
                            target.c_str(), name.c_str()));
    return SetAside(files, target, name, "it is no journal of this file");
  }
  const std::optional<journal::TRecord> record = journal::Decode(bytes);
  if (!record)
    return SetAside(files, target, name,
                    "it is damaged, and the file may be half old, half new: check it");
  if (record->identity != facts.identity)
    return SetAside(files, target, name,
                    "it was made for another file (a copy, or one since replaced)");
  if (record->kind == journal::TKind::Undo) {
    bool untouched = false;
    const std::string problem = CheckUndo(*record, file, facts.size, untouched);
    if (!problem.empty()) return SetAside(files, target, name, problem);
    if (!untouched) RollBack(*record, file);
    return Removed(files, name,
                   Format("An interrupted change of \"%s\" was rolled back from its journal \"%s\"",
                          target.c_str(), name.c_str()));
  }
  std::unique_ptr<TStream> source;
  const std::string problem = CheckCopy(files, target, *record, file, facts, source);
  if (!problem.empty()) return SetAside(files, target, name, problem);
  CopyForward(*source, file, record->sizeAfter);
  source.reset();
  // The journal goes first: a copy left behind by a crash in between is only a leftover.
  TRecovery done =
      Removed(files, name,
              Format("An interrupted change of \"%s\" was completed from its journal \"%s\"",
                     target.c_str(), name.c_str()));
  files.Remove(beside::TempName(ResolveLinkName(target), record->digits));
  return done;
}

bool TTagJournal::Pending(TFileSystem& files, const std::string& target, TStream& file,
                          bool targetIsNoLink) {
  const std::string name = NameFor(target, targetIsNoLink);
  if (!NameTaken(name)) return false;  // as a rule: one look, and no error to raise
  std::string head;
  TFileFacts own;
  try {
    const auto stream = OpenInput(files, name);
    own = FactsOf(*stream);
    head = Read(*stream, 0, std::min<int64_t>(own.size, journal::kHeadSize));
  } catch (const Exception&) {
    return false;  // none, or nothing a writer of this file made
  }
  if (!journal::Marked(head)) return false;
  const TFileFacts facts = FactsOf(file);
  return own.owner == facts.owner && journal::IdentityOf(head) == facts.identity;
}

}  // namespace tagscope
