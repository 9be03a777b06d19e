// What a writer does with a journal it finds beside the file it opened, and what a reader
// learns from one.
#include <algorithm>

#include "engine/file/file_facts.h"
#include "engine/file/file_replace.h"
#include "engine/file/journal_format.h"
#include "engine/file/tag_journal.h"
#include "engine/stream_helpers.h"
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

// Opens what stands under a journal's or a new file's name as input: the name itself, a
// regular file, never waiting; raises EFOpenError saying why not.
std::unique_ptr<TStream> OpenInput(TFileSystem& files, const std::string& name) {
  return files.Open(name, TFileMode::fmOpenReadPlain);
}

// A journal's bytes, read in pieces: its start first, which tells whether it is a marked
// journal of this file at all, then the rest, never more than a journal of the file can hold.
std::string ReadJournal(TStream& stream, int64_t size) {
  constexpr int64_t kPiece = 1 << 20;
  std::string bytes = Read(stream, 0, std::min<int64_t>(size, journal::kHeadSize));
  if (!journal::Marked(bytes)) return bytes;
  bytes.reserve(static_cast<size_t>(size));
  for (int64_t at = static_cast<int64_t>(bytes.size()); at < size; at += kPiece)
    bytes += Read(stream, at, std::min(kPiece, size - at));
  return bytes;
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
std::string CheckCopy(const TBeside& place, const journal::TRecord& r, TStream& file,
                      const TFileFacts& facts, const std::string& journalOwner,
                      std::unique_ptr<TStream>& source) {
  const std::string name = beside::TempName(place.Target(), r.digits);
  try {
    source = place.Open(name, TFileMode::fmOpenReadPlain);
  } catch (const EFOpenError& e) {
    return Format("the new content it names is not there as a plain file (%s)", e.what());
  }
  const TFileFacts made = FactsOf(*source);
  // The new content is the journal's writer's: a file of anyone else's under its name is not.
  if (made.owner != journalOwner || made.size != r.sizeAfter)
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

// Whether the file holds exactly the old content a copy journal records.
bool HoldsOld(const journal::TRecord& r, TStream& file, int64_t size) {
  if (size != r.sizeBefore) return false;
  for (size_t i = 0; i < r.oldSums.size(); ++i) {
    const std::string block =
        Read(file, int64_t(i) * kBlock, std::min(kBlock, size - int64_t(i) * kBlock));
    if (journal::Checksum(block.data(), block.size()) != r.oldSums[i]) return false;
  }
  return true;
}

void CopyForward(TStream& source, TStream& file, int64_t size) {
  CopyContent(source, file, size);
  file.Flush();
}

// A journal that is not applied: moved aside to a name a person finds beside the file.
TTagJournal::TRecovery SetAside(const TBeside& place, const std::string& name,
                                const std::string& why) {
  const std::string target = place.Target();
  const std::string aside = name + "." + beside::RandomDigits() + ".stale";
  try {
    place.Rename(name, aside);
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

TTagJournal::TRecovery Removed(const TBeside& place, const std::string& name, std::string note) {
  if (place.Remove(name)) return {std::move(note), false};
  return {
      Format("%s, but it could not be removed. %s", note.c_str(), LastSystemErrorText().c_str()),
      true};
}

}  // namespace

TTagJournal::TRecovery TTagJournal::Recover(const TBeside& place, TStream& file) {
  const std::string target = place.Target();
  const std::string name = NameFor(target, true);
  TFileFacts own;
  if (!place.Look(name, own)) return {};
  const TFileFacts facts = FactsOf(file);
  auto setAside = [&](const std::string& why) { return SetAside(place, name, why); };
  std::string bytes;
  try {
    const auto stream = place.Open(name, TFileMode::fmOpenReadPlain);
    own = FactsOf(*stream);
    // Whose it is, as the opened journal tells: the user who made it. This user's own journal
    // is always theirs to finish; the file's owner's is as good as the file; anyone else's
    // could put bytes in the file that its writer never had.
    const std::string me = place.Files().User();
    if (!own.owner.empty() && own.owner != me && own.owner != facts.owner)
      return setAside(
          Format("it was made by another user (number %s) than this one or the file's "
                 "owner",
                 own.owner.c_str()));
    // No journal of this file can be larger: the old and new bytes of a change of it, or two
    // checksums per block.
    if (own.size > journal::MaxJournalFor(facts.size))
      return setAside("it is far larger than any journal of this file");
    bytes = ReadJournal(*stream, own.size);
  } catch (const Exception& e) {
    return setAside(e.what());
  }
  if (!journal::Marked(bytes)) {
    // Made, perhaps only in part, but the file not touched yet: the writer was stopped before
    // it began, and nothing is to be done.
    if (journal::Unmarked(bytes))
      return Removed(place, name,
                     Format("An unfinished change of \"%s\" had not touched it yet; its journal "
                            "\"%s\" was removed",
                            target.c_str(), name.c_str()));
    return setAside("it is no journal of this file");
  }
  const std::optional<journal::TRecord> record = journal::Decode(bytes);
  bytes = std::string();
  if (!record) return setAside("it is damaged, and the file may be half old, half new: check it");
  bool deviceMoved = false;
  if (!SameIdentity(record->identity, facts, &deviceMoved))
    return setAside("it was made for another file (a copy, or one since replaced)");
  // The writer marks its journal before it touches the file: a file last changed before the
  // journal took its present form was not written by that change since. A journal put back
  // from a copy or a backup is newer than the file's last change (a time of change cannot be
  // set back), and it may only find the file as the change found it.
  const bool writtenSince = facts.changed >= own.changed;
  // After a power cut the disk may hold some of the change's bytes but not the file's new time
  // of change (the system writes a file's content and its record apart): a file whose time of
  // change is still the one the change found was changed by nothing else since, so whatever
  // of the change it holds is this change's.
  const bool recordAsFound = record->changed != 0 && facts.changed == record->changed;
  const std::string moved =
      deviceMoved ? " (the volume's device number changed since; the file was known by its "
                    "number, size and content)"
                  : "";
  if (record->kind == journal::TKind::Undo) {
    bool untouched = false;
    const std::string problem = CheckUndo(*record, file, facts.size, untouched);
    if (!problem.empty()) return setAside(problem);
    if (!untouched && !writtenSince && !recordAsFound)
      return setAside(
          "the file was not written since the journal was made, so the journal is not of the "
          "change that made it what it is (it was put back from elsewhere)");
    if (!untouched) RollBack(*record, file);
    return Removed(
        place, name,
        Format("An interrupted change of \"%s\" was rolled back from its journal \"%s\"%s",
               target.c_str(), name.c_str(), moved.c_str()));
  }
  if (!writtenSince) {
    // Stopped before the copy began: the file is as it was, and stays so.
    if (HoldsOld(*record, file, facts.size))
      return Removed(place, name,
                     Format("An unfinished change of \"%s\" had not touched it yet; its journal "
                            "\"%s\" was removed",
                            target.c_str(), name.c_str()));
    if (!recordAsFound)
      return setAside(
          "the file was not written since the journal was made, so the journal is not of the "
          "change that made it what it is (it was put back from elsewhere)");
  }
  std::unique_ptr<TStream> source;
  const std::string problem = CheckCopy(place, *record, file, facts, own.owner, source);
  if (!problem.empty()) return setAside(problem);
  CopyForward(*source, file, record->sizeAfter);
  source.reset();
  // The journal goes first: a copy left behind by a crash in between is only a leftover.
  TRecovery done =
      Removed(place, name,
              Format("An interrupted change of \"%s\" was completed from its journal \"%s\"%s",
                     target.c_str(), name.c_str(), moved.c_str()));
  // Only this user's own new file is deleted; another's stays for them.
  if (own.owner.empty() || own.owner == place.Files().User())
    place.Remove(beside::TempName(target, record->digits));
  return done;
}

bool TTagJournal::Pending(TFileSystem& files, const std::string& target, TStream& file,
                          bool targetIsNoLink) {
  const std::string name = NameFor(targetIsNoLink ? target : files.Resolve(target), true);
  TFileFacts look;
  if (!files.Look(name, look, false)) return false;  // as a rule: one look, and no error to raise
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
  const std::optional<std::string> identity = journal::IdentityOf(head);
  return (own.owner == facts.owner || own.owner == files.User()) && identity &&
         SameIdentity(*identity, facts);
}

}  // namespace tagscope
