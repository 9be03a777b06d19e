#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/file/file_facts.h"
#include "tagscope/engine/file_system.h"

namespace tagscope {

// The new content of a file, written beside it under a temporary name and then put in its
// place by one rename, so that the file holds either all of its old content or all of its new.
// Everything happens in the folder that holds the file's data, opened once.
class TFileReplacement {
 public:
  // Creates the new file exclusively beside the target of `place`, under the writers' pattern
  // (see beside::TempName), and locks it.
  explicit TFileReplacement(const TBeside& place);
  // Deletes the new file unless Commit succeeded or Keep was called.
  ~TFileReplacement();
  TFileReplacement(const TFileReplacement&) = delete;
  TFileReplacement& operator=(const TFileReplacement&) = delete;

  TStream& Stream() { return *FStream; }
  const std::string& TempName() const { return FTempName; }
  // The digits that tell the new file from other writers' (see beside::TempName).
  std::string Digits() const;

  // Whether a rename would keep what makes the file `old` describes itself: a single name (a
  // rename would part a hard link from the new content) and its owner, group, permissions and
  // access control list (or none), which the new file is given here as far as this process
  // may, with its other extended attributes.
  bool RenameKeepsIdentity(const TFileFacts& old);
  // Renames the new file over the target, when the target's name still leads to the file
  // `old` describes (checked under the writer's lock, no link followed); the caller flushes
  // the new file first, and makes the rename durable (TFileSystem::SyncFolder) after. False,
  // nothing renamed, when the name now leads elsewhere; raises the rename's error, the new file
  // staying for a copy.
  bool Commit(const TFileFacts& old);
  // The new file stays when this object goes (it is being copied into the file).
  void Keep(bool value = true) { FKept = value; }
  // After Commit: the stream, still open and locked, on the new content under the file's name.
  std::unique_ptr<TStream> TakeStream() { return std::move(FStream); }

 private:
  const TBeside& FPlace;
  std::string FTarget;
  std::string FTempName;
  std::unique_ptr<TStream> FStream;
  bool FCommitted = false;
  bool FKept = false;
};

// The new files beside a target that its writers made, as found in the writers' slots (see
// beside::TempName), with whether a live writer holds each and who made it. What stands under
// such a name but is no plain file (a link, a FIFO, a folder) is nobody's new file, and left
// alone, never opened. The slots' names are looked at, not the folder's list: the cost does not
// grow with the folder. One look answers both questions a writer asks before it begins.
class TNewFiles {
 public:
  explicit TNewFiles(const TBeside& place);
  // Whether a live writer of this user or the file's owner is putting a new file in the place
  // of the target right now. Look-alikes of anyone else are no writer's, and a journal file a
  // run of writes keeps in a slot (see TJournalPool) is no new file.
  bool Replacing(const std::string& fileOwner) const;
  // Deletes the new files that writers of the target killed before their end left behind: this
  // user's, and where this user gives its new files to the file's owner (see
  // TFileReplacement::RenameKeepsIdentity), that owner's. Whatever a live process holds locked
  // is left alone, as is anything of anyone else. When every slot is still taken and not all by
  // this user's writers, new files take random names (see beside::CreateTemp), and the note
  // returned says whose files fill the slots, for them to be removed; else it is empty.
  std::string RemoveLeftovers(const std::string& fileOwner) const;

 private:
  struct TFound {
    std::string name;
    TFileFacts facts;      // as opened, or as looked at by name when it could not be
    bool opened = false;   // a plain file this user could open for reading
    bool held = false;     // opened, and locked by a live process
    bool journal = false;  // held, and a journal file (kept by a run of writes)
  };
  bool Removable(const TFound& file, const std::string& fileOwner) const;
  std::string PlantsNote(const std::vector<const TFound*>& others) const;

  const TBeside& FPlace;
  std::string FUser;
  std::vector<TFound> FFound;
};

// Who `owner` (a user's number, see TFileFacts::owner) is, for a message: "user 1000 (ann)", the
// number alone where the system knows no name for it.
std::string OwnerText(const std::string& owner);

// Takes room in `file` for `size` bytes of `source`: a source with holes is asked room for its
// data only, and keeps its holes in the copy.
void ReserveFor(TStream& source, TStream& file, int64_t size);
// Copies the first `size` bytes of `source` over `file` from its start, in order, and sets its
// size; runs of zero bytes of a source with holes become holes.
void CopyContent(TStream& source, TStream& file, int64_t size);

}  // namespace tagscope
