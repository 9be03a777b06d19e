// What a writer does with a journal it finds beside the file it opened, and what a reader
// learns from one.
#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "engine/file/change_mark.h"
#include "engine/file/file_facts.h"
#include "engine/file/file_replace.h"
#include "engine/file/journal_format.h"
#include "engine/file/tag_journal.h"
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
std::string CheckUndo(const journal::TRecord& r, TStream& file, int64_t size, bool& untouched,
                      bool& complete) {
  if (size < r.sizeBefore || size > r.sizeAfter)
    return Format("the file has %lld bytes, where the change left %lld or %lld",
                  static_cast<long long>(size), static_cast<long long>(r.sizeBefore),
                  static_cast<long long>(r.sizeAfter));
  untouched = size == r.sizeBefore;
  complete = size == r.sizeAfter;
  for (const journal::TRange& range : r.ranges) {
    const auto length = static_cast<int64_t>(range.fresh.size());
    const std::string now =
        Read(file, range.offset, std::clamp<int64_t>(size - range.offset, 0, length));
    complete = complete && static_cast<int64_t>(now.size()) == length;
    for (size_t i = 0; i < now.size(); ++i) {
      // Past the old end, the disk may have kept the new size without the bytes written there.
      const bool old = i < range.old.size() ? now[i] == range.old[i] : now[i] == '\0';
      untouched = untouched && old;
      complete = complete && now[i] == range.fresh[i];
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
                      std::unique_ptr<TStream>& source, bool& complete) {
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
  complete = size == r.sizeAfter;
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
    complete = complete && written;
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

namespace {

// Whether a mark names the journal beside `place` itself (a mark of a file of one name names
// no place: its journal stands in the file's folder).
bool MarksPlace(const TChangeMark& mark, const TBeside& place) {
  return mark.folder.empty() ||
         (mark.target == place.Leaf() && mark.folder == TChangeMark::FolderOf(place));
}

// What recovery knows of the change the journal may belong to.
struct TChangeState {
  const TChangeMark* mark = nullptr;  // the file's mark; none: it carries none
  bool marksKept = false;             // whether the file system keeps marks at all
  bool elsewhere = false;             // the journal stands beside another name of the file
};

class TRecoveryAt {
 public:
  TRecoveryAt(const TBeside& place, TStream& file, const TChangeState& state)
      : FPlace(place),
        FFile(file),
        FState(state),
        FTarget(place.Target()),
        FName(TTagJournal::NameFor(FTarget, true)) {}

  TTagJournal::TRecovery Run();

 private:
  // A journal that is not applied: one beside this name is moved aside; one beside another
  // name of the file is not this writer's to move, and stays.
  TTagJournal::TRecovery NotApplied(const std::string& why) {
    if (!FState.elsewhere) return SetAside(FPlace, FName, why);
    return {Format("The journal \"%s\" that the mark on \"%s\" names was not applied: %s",
                   FName.c_str(), FTarget.c_str(), why.c_str()),
            false};
  }
  // The file is whole: the journal goes (and then the mark, see Recover).
  TTagJournal::TRecovery Done(std::string note) {
    TTagJournal::TRecovery done = Removed(FPlace, FName, std::move(note));
    done.found = true;
    return done;
  }
  TTagJournal::TRecovery Undo(const journal::TRecord& record, const TFileFacts& facts);
  TTagJournal::TRecovery Copy(const journal::TRecord& record, const TFileFacts& facts,
                              const std::string& owner);

  const TBeside& FPlace;
  TStream& FFile;
  TChangeState FState;
  std::string FTarget, FName;
  std::string FMoved;  // said of a journal known across a change of the volume's number
};

TTagJournal::TRecovery TRecoveryAt::Run() {
  TFileFacts own;
  if (!FPlace.Look(FName, own)) {
    if (!FState.mark) return {};
    // The journal is on the disk before the file's first byte changes, and removed before the
    // mark once the change is flushed.
    return {Format("\"%s\" carried the mark of a change whose journal \"%s\" was not found: the "
                   "change had not begun to touch it or had ended, unless the file was moved from "
                   "another folder since (or the journal deleted): check it",
                   FTarget.c_str(), FName.c_str()),
            false};
  }
  const TFileFacts facts = FactsOf(FFile);
  std::string bytes;
  try {
    const auto stream = FPlace.Open(FName, TFileMode::fmOpenReadPlain);
    own = FactsOf(*stream);
    // Whose it is, as the opened journal tells: the user who made it. This user's own journal
    // is always theirs to finish; the file's owner's is as good as the file; anyone else's
    // could put bytes in the file that its writer never had.
    const std::string me = FPlace.Files().User();
    if (!own.owner.empty() && own.owner != me && own.owner != facts.owner)
      return NotApplied(
          Format("it was made by another user (number %s) than this one or the file's owner",
                 own.owner.c_str()));
    // No journal of this file can be larger: the old and new bytes of a change of it, or two
    // checksums per block.
    if (own.size > journal::MaxJournalFor(facts.size))
      return NotApplied("it is far larger than any journal of this file");
    bytes = ReadJournal(*stream, own.size);
  } catch (const Exception& e) {
    return NotApplied(e.what());
  }
  if (!journal::Marked(bytes)) {
    // Made, perhaps only in part, but the file not touched yet: the writer was stopped before
    // it began, and nothing is to be done.
    if (journal::Unmarked(bytes) && !FState.elsewhere)
      return Removed(FPlace, FName,
                     Format("An unfinished change of \"%s\" had not touched it yet; its journal "
                            "\"%s\" was removed",
                            FTarget.c_str(), FName.c_str()));
    return NotApplied("it is no journal of this file");
  }
  const std::optional<journal::TRecord> record = journal::Decode(bytes);
  bytes = std::string();
  if (!record) return NotApplied("it is damaged, and the file may be half old, half new: check it");
  bool deviceMoved = false;
  if (!SameIdentity(record->identity, facts, &deviceMoved))
    return NotApplied("it was made for another file (a copy, or one since replaced)");
  if (deviceMoved)
    FMoved =
        " (the volume's device number changed since; the file was known by its number, size and "
        "content)";
  if (FState.mark && record->nonce != FState.mark->nonce)
    return NotApplied("it is not the journal of the change marked on the file");
  // A mark flushed before the first byte changed is removed after the last flush: a file
  // without one was not in the middle of the change the journal records.
  if (!FState.mark && FState.marksKept && record->markFlushed && !FState.elsewhere) {
    if (record->kind == journal::TKind::Copy &&
        (own.owner.empty() || own.owner == FPlace.Files().User()))
      FPlace.Remove(beside::TempName(FTarget, record->digits));
    return Removed(FPlace, FName,
                   Format("The journal \"%s\" of \"%s\" was not applied but removed: the "
                          "change it records had not begun to touch the file, or had ended",
                          FName.c_str(), FTarget.c_str()));
  }
  return record->kind == journal::TKind::Undo ? Undo(*record, facts)
                                              : Copy(*record, facts, own.owner);
}

TTagJournal::TRecovery TRecoveryAt::Undo(const journal::TRecord& record, const TFileFacts& facts) {
  bool untouched = false, complete = false;
  const std::string problem = CheckUndo(record, FFile, facts.size, untouched, complete);
  if (!problem.empty()) return NotApplied(problem);
  if (untouched || complete)
    return Done(Format("An unfinished change of \"%s\" had %s; its journal \"%s\" was removed",
                       FTarget.c_str(), untouched ? "not touched it yet" : "been made in full",
                       FName.c_str()));
  RollBack(record, FFile);
  return Done(Format("An interrupted change of \"%s\" was rolled back from its journal \"%s\"%s",
                     FTarget.c_str(), FName.c_str(), FMoved.c_str()));
}

TTagJournal::TRecovery TRecoveryAt::Copy(const journal::TRecord& record, const TFileFacts& facts,
                                         const std::string& owner) {
  const std::string source = beside::TempName(FTarget, record.digits);
  // Only this user's own new file is deleted; another's stays for them.
  const bool mine = owner.empty() || owner == FPlace.Files().User();
  if (HoldsOld(record, FFile, facts.size)) {
    if (mine) FPlace.Remove(source);
    return Done(
        Format("An unfinished change of \"%s\" had not touched it yet; its journal "
               "\"%s\" was removed",
               FTarget.c_str(), FName.c_str()));
  }
  std::unique_ptr<TStream> content;
  bool complete = false;
  const std::string problem = CheckCopy(FPlace, record, FFile, facts, owner, content, complete);
  if (!problem.empty()) return NotApplied(problem);
  if (!complete) CopyForward(*content, FFile, record.sizeAfter);
  content.reset();
  // The journal goes first: a copy left behind by a crash in between is only a leftover.
  TTagJournal::TRecovery done =
      Done(Format("An interrupted change of \"%s\" was completed from its journal \"%s\"%s",
                  FTarget.c_str(), FName.c_str(), FMoved.c_str()));
  if (mine) FPlace.Remove(source);
  return done;
}

// Looks through the folder for the journal of the marked change, beside another name: only
// where the file carries a mark, so no folder is read on any common path.
TTagJournal::TRecovery RecoverRenamed(const TBeside& place, TStream& file, TChangeState state) {
  constexpr std::string_view kEnd = TTagJournal::kSuffix;
  const std::string own = TTagJournal::NameFor(place.Target(), true);
  std::error_code failed;
  std::filesystem::directory_iterator entry(
      place.Folder().Path().empty() ? "." : place.Folder().Path(), failed);
  state.elsewhere = true;
  for (int seen = 0; !failed && entry != std::filesystem::directory_iterator() && seen < 100000;
       entry.increment(failed), ++seen) {
    const std::string name = entry->path().filename().string();
    if (!name.ends_with(kEnd) || place.Folder().Path() + name == own) continue;
    const std::string leaf = name.substr(0, name.size() - kEnd.size());
    if (beside::OwnName(leaf) != leaf) continue;  // a long name's journal: its name is not known
    const TBeside other(place.Files(), place.SharedFolder(), leaf);
    TTagJournal::TRecovery done = TRecoveryAt(other, file, state).Run();
    if (done.found) return done;
  }
  return {};
}

}  // namespace

TTagJournal::TRecovery TTagJournal::Recover(const TBeside& place, TStream& file) {
  TChangeState state;
  const std::optional<TChangeMark> mark = TChangeMark::Read(file, &state.marksKept);
  if (!mark) return TRecoveryAt(place, file, state).Run();
  state.mark = &*mark;
  // The journal stands where the mark says: beside this name, or beside another name of the
  // file (a hard link, or the name it had before a rename).
  std::optional<TBeside> there;
  if (!MarksPlace(*mark, place)) {
    try {
      there.emplace(place.Files(), place.Files().OpenFolder(mark->folder), mark->target);
    } catch (const Exception& e) {
      return {Format("\"%s\" carries the mark of a change cut short, whose journal stands in "
                     "\"%s\", which cannot be opened (%s): the file may be half old, half new. "
                     "Write it through the name it was changed through, \"%s%s\"",
                     place.Target().c_str(), mark->folder.c_str(), e.what(), mark->folder.c_str(),
                     mark->target.c_str()),
              true};
    }
    state.elsewhere = true;
  }
  TRecovery done = TRecoveryAt(there ? *there : place, file, state).Run();
  // A file of one name renamed within its folder after its change was cut short: the journal
  // stands beside the name it had.
  if (!done.found && !done.blocked && mark->folder.empty()) {
    TRecovery moved = RecoverRenamed(place, file, state);
    if (moved.found) done = moved;
  }
  // A journal applied took the mark with it; one that is gone, or not this change's, leaves
  // nothing the mark could still lead to.
  if (!done.blocked) TChangeMark::Remove(file);
  return done;
}

bool TTagJournal::Pending(TFileSystem& files, const std::string& target, TStream& file,
                          bool targetIsNoLink, std::string* journalName, bool noneListed) {
  bool marksKept = false;
  const std::optional<TChangeMark> mark = TChangeMark::Read(file, &marksKept);
  // A writer stores the mark before it makes the journal, and removes it after the journal:
  // a journal that was not there when the folder was listed shows by the mark. One left by a
  // power cut, whose mark the disk may not have kept, was there before the listing.
  if (!mark && marksKept && noneListed && targetIsNoLink) return false;
  const std::string name = mark && !mark->folder.empty()
                               ? NameFor(mark->folder + mark->target, true)
                               : NameFor(targetIsNoLink ? target : files.Resolve(target), true);
  // The mark is set once the change is about to begin and goes when it is done: wherever its
  // journal stands now (beside another name the file had), the change was cut short.
  if (mark) {
    TFileFacts look;
    if (journalName) *journalName = files.Look(name, look, false) ? name : std::string();
    return true;
  }
  TFileFacts look;
  if (!files.Look(name, look, false)) return false;  // as a rule: one look, and no error to raise
  const TFileFacts facts = FactsOf(file);
  std::string bytes;
  TFileFacts own;
  try {
    const auto stream = OpenInput(files, name);
    own = FactsOf(*stream);
    if (own.owner != facts.owner && own.owner != files.User()) return false;
    // Which change it records is told at its end: read whole only where that decides.
    if (marksKept && own.size > journal::MaxJournalFor(facts.size)) return false;
    bytes = marksKept ? ReadJournal(*stream, own.size)
                      : Read(*stream, 0, std::min<int64_t>(own.size, journal::kHeadSize));
  } catch (const Exception&) {
    return false;  // none, or nothing a writer of this file made
  }
  if (!journal::Marked(bytes)) return false;
  const std::optional<std::string> identity = journal::IdentityOf(bytes);
  if (!identity || !SameIdentity(*identity, facts)) return false;
  if (marksKept) {
    // A journal whose mark was flushed first is pending only while the file carries the mark;
    // one that does not check is shown as pending, for the next writer to set aside.
    const std::optional<journal::TRecord> record = journal::Decode(bytes);
    if (record && record->markFlushed) return false;
  }
  if (journalName) *journalName = name;
  return true;
}

}  // namespace tagscope
