#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/file/change_mark.h"
#include "engine/file/file_facts.h"
#include "tagscope/engine/file_system.h"

namespace tagscope {

class TJournalPool;
class TPendingWrites;

// A file beside the file being changed that says how to bring it back to one whole state if
// the change is interrupted (the process killed, the machine stopped): either the bytes an
// in-place change overwrites (rolled back), or which complete copy of the new content beside
// the file is being copied over it (rolled forward). It is bound to the file and its state:
// the file's identity (its number and when it was made), its size and last change when the
// change began, the size the change gives it, and checksums of what each block of the change
// held before and holds after. The next writer applies it only to that file in a state the
// change can have left, and only when nothing wrote the file since the journal was made; it
// names no path. It is written whole and flushed under a scratch name, then given its name,
// before the file is touched (the caller makes the name durable: TFileSystem::SyncFolder),
// and removed once the file is flushed.
class TTagJournal {
 public:
  // What a journal's name ends with, after the name of the file it is for.
  static constexpr std::string_view kSuffix = ".ID3JRN";
  // The journal's name for a file: beside it, "<name>.ID3JRN" (a long name cut, with a digest
  // of the whole name, see beside::OwnName). Beside
  // the file a link leads to, unless the caller knows `target` is no link.
  static std::string NameFor(const std::string& target, bool targetIsNoLink = false);

  // Records the bytes `change` overwrites in `file` (open on the target of `place`, locked),
  // and what it writes there. With a pool, the journal is written into a file the pool kept,
  // and given back to it by Finish.
  // `mark`: the change's mark on the file (see TChangeMark), null where none could be set.
  static TTagJournal ForUndo(const TBeside& place, TStream& file, TPendingWrites& change,
                             const TChangeMark* mark = nullptr, TJournalPool* pool = nullptr);
  // Records that the complete new content stands in `source`, the target's new file with the
  // given digits (see beside::TempName), to be copied over `file`.
  static TTagJournal ForCopy(const TBeside& place, TStream& file, TStream& source,
                             const std::string& digits, const TChangeMark* mark = nullptr,
                             TJournalPool* pool = nullptr);

  // Removes the journal's name: the change is on the disk (the caller flushed the file), or was
  // never begun. With a pool, the file goes to it under a scratch name of the target.
  void Finish();
  const std::string& FileName() const { return FName; }

  // What opening a file for writing found beside it.
  struct TRecovery {
    std::string note;      // what was done, for the user; empty when nothing was pending
    bool blocked = false;  // the journal's name is taken by something that could not be moved
    bool found = false;    // the journal of the change was found and the file is whole
  };
  // Brings `file` (open on the target of `place`, locked) to a whole state if its journal is
  // pending, and removes the journal. A journal that is not this file's as it stands now, or
  // not made by this user or the file's owner, is never applied: it is moved aside, and the
  // note names both.
  //
  // Where the file carries a change's mark, the journal the mark names is the one looked at,
  // wherever it stands (beside another name of the file), it applies only when it records the
  // mark's nonce, and the mark goes once the file is whole. Where the file carries none, a
  // journal whose mark was flushed before the change began (see TChangeMark::FlushedFirst) is
  // of a change that had not begun to touch the file or had ended: it is removed unapplied.
  // Otherwise a journal applies by what the file holds: untouched or complete, it is removed; a mix
  // of old and new is rolled back (a change in place) or completed (a copy).
  static TRecovery Recover(const TBeside& place, TStream& file);
  // Whether a marked journal of `file` (open on `target`) stands beside it: a change was cut
  // short after it began to overwrite the file, which may be half old, half new until the
  // next writer puts it right. One look at the journal's name when there is none.
  // A mark on the file leads to its journal wherever it stands; `journal` is then its name.
  // `noneListed`: the folder of `target` (no link) was listed before the file was opened and
  // held no writer's name (beside::IsWritersName). Where the file system keeps marks and the
  // file carries none, no journal is then looked for: one made since was marked first.
  static bool Pending(TFileSystem& files, const std::string& target, TStream& file,
                      bool targetIsNoLink = false, std::string* journal = nullptr,
                      bool noneListed = false);

 private:
  TTagJournal(const TBeside& place, std::string name, TJournalPool* pool);
  void Create(std::string content);
  // Writes `content` into a journal file the pool kept in this folder, flushes it and gives it
  // the journal's name; false, nothing named, when there is none or it is no longer ours.
  bool CreateInKept(const std::string& content);
  // Gives the journal file to the pool under a scratch name of the target; false when it could
  // not be renamed.
  bool GiveBack();

  TBeside FPlace;
  std::string FName;
  TJournalPool* FPool = nullptr;
  std::shared_ptr<TFileSystem> FFiles;  // with a pool: the file system the kept files are in
  std::unique_ptr<TStream> FStream;     // with a pool: open on the journal file
  std::string FIdentity;                // with a pool: the journal file's
};

}  // namespace tagscope
