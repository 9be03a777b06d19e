#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <utility>

#include "tagscope/engine/file_system.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

// What a file is now: its identity, size, times, owner and permissions, or its size alone
// where the stream cannot tell more. The one answer that recovery, later reads and the writer
// all go by.
TFileFacts FactsOf(TStream& file);
// Whether two descriptions are of the same file as it stood at one moment: its identity, size
// and time of last write.
bool SameState(const TFileFacts& a, const TFileFacts& b);
// Whether `recorded` (an identity as a journal records it, see RecordedIdentity) names the
// file `now` describes: the same file number and, where both know it, the same time of
// making. The device number alone may differ: a volume mounted anew (a removable drive, a
// logical volume, a network mount) keeps its files' numbers but not its own. `deviceMoved`
// tells whether it did.
bool SameIdentity(const std::string& recorded, const TFileFacts& now, bool* deviceMoved = nullptr);
// The identity a journal records for a file: device and number, and when it was made where
// the platform knows (a file made anew under a number freed by a deleted one differs by it).
std::string RecordedIdentity(const TFileFacts& facts);

// The files a writer makes beside the file it changes, named in the folder that holds the
// file's data: opened once, every name relative to it, no link under a name followed. The
// names passed are full names in that folder, as the journal's and the new files' patterns
// derive them from `Target()`.
class TBeside {
 public:
  TBeside(TFileSystem& files, std::shared_ptr<const TFolder> folder, std::string leaf)
      : FFiles(files), FFolder(std::move(folder)), FLeaf(std::move(leaf)) {}

  TFileSystem& Files() const { return FFiles; }
  const TFolder& Folder() const { return *FFolder; }
  const std::shared_ptr<const TFolder>& SharedFolder() const { return FFolder; }
  // The file's own name in the folder, and its full name.
  const std::string& Leaf() const { return FLeaf; }
  std::string Target() const { return FFolder->Path() + FLeaf; }

  std::unique_ptr<TStream> Open(const std::string& name, TFileMode mode) const;
  bool Look(const std::string& name, TFileFacts& facts) const;
  // Whether anything stands under the name (a link included).
  bool Taken(const std::string& name) const {
    TFileFacts facts;
    return Look(name, facts);
  }
  void Rename(const std::string& from, const std::string& to) const;
  // Renames only where nothing stands under `to` (see TFileSystem::RenameNewIn).
  void RenameNew(const std::string& from, const std::string& to) const;
  bool Remove(const std::string& name) const;
  void Sync() const { FFiles.SyncFolder(*FFolder); }
  // A full name's part within the folder.
  std::string LeafOf(const std::string& name) const;

 private:
  TFileSystem& FFiles;
  std::shared_ptr<const TFolder> FFolder;
  std::string FLeaf;
};

// Holds a lock on an open file for as long as it lives, and lets go of it on every way out.
class TLockGuard {
 public:
  TLockGuard() = default;
  // Takes `kind` on `file`, waiting at most `patience` for others to let go; Held() tells
  // whether it was taken.
  TLockGuard(TStream& file, TFileLock kind, std::chrono::milliseconds patience);
  ~TLockGuard() { Release(); }
  TLockGuard(const TLockGuard&) = delete;
  TLockGuard& operator=(const TLockGuard&) = delete;
  TLockGuard(TLockGuard&& other) noexcept : FFile(std::exchange(other.FFile, nullptr)) {}
  TLockGuard& operator=(TLockGuard&& other) noexcept {
    if (this != &other) {
      Release();
      FFile = std::exchange(other.FFile, nullptr);
    }
    return *this;
  }

  bool Held() const { return FFile != nullptr; }
  // Lets go of the lock now (the stream may be closing).
  void Release();
  // Forgets the lock without touching the stream: it went with a stream now closed.
  void Forget() { FFile = nullptr; }

 private:
  TStream* FFile = nullptr;
};

// Takes `kind` on `file`, trying again for at most `patience` while another process holds a
// lock that excludes it; false when it could not be taken in that time.
bool LockWithin(TStream& file, TFileLock kind, std::chrono::milliseconds patience);

}  // namespace tagscope
