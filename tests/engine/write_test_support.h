#pragma once

// Shared by the tag writer's tests: a scratch folder per test, an engine whose file operations
// can be replaced, and a file system that makes the Nth change to any file fail.
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/file/file_facts.h"
#include "tagscope/engine/file_system.h"
#include "tagscope/engine/id3_engine.h"

namespace tagscope::test {

// A fresh folder in the temporary folder, deleted with everything in it at the end.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // Writes a file of the folder and returns its full name.
  std::string Put(const std::string& name, const std::string& bytes) const;
  std::string Path(const std::string& name) const { return (FPath / name).string(); }
  // The names of the files the folder holds, sorted.
  std::vector<std::string> Files() const;

 private:
  std::filesystem::path FPath;
};

std::string ReadFile(const std::string& fileName);
// The folder of a file (not a link) and its name in it, as a writer of the file works in them.
TBeside BesideOf(const std::string& fileName,
                 const std::shared_ptr<TFileSystem>& files = PlatformFileSystem());

// The engine with its file operations open to replacement.
class TestEngine : public TID3Engine {
 public:
  using TID3Engine::SetFileSystem;
  using TID3Engine::SetReadReport;
  // Opens the file for reading and writing (or reading only).
  void Open(const std::string& fileName, bool readOnly = false);
};

// Counts every change made to files through it (creating one, writing, changing a size,
// flushing a file or folder, renaming, deleting) and makes change number failAt fail; a failing
// write stores half of its bytes first, as a full disk would (a write within one 512-byte block,
// none: a block is stored whole or not at all). A crashing one fails every change
// from there on, as if the process had stopped: nothing is put back and nothing tidied away. It
// also keeps what each file it changed holds for certain, as of the file's last flush, so that a
// test can stop the machine as well (PowerCut), and counts the renames asked of the platform.
class FaultyFileSystem : public TFileSystem {
 public:
  explicit FaultyFileSystem(int failAt = 0, bool crash = false) : FFailAt(failAt), FCrash(crash) {}

  std::unique_ptr<TStream> Open(const std::string& fileName, TFileMode mode) override;
  std::unique_ptr<TStream> OpenIn(const TFolder& folder, const std::string& leaf,
                                  TFileMode mode) override;
  void RenameIn(const TFolder& folder, const std::string& from, const std::string& to) override;
  void RenameNewIn(const TFolder& folder, const std::string& from, const std::string& to) override;
  bool RemoveIn(const TFolder& folder, const std::string& leaf) override;
  void SyncFolder(const TFolder& folder) override;

  // Counts one change; true when this one is to fail.
  bool Step();
  int Changes() const { return FChanges; }
  int FailAt() const { return FFailAt; }
  bool Failed() const { return FFailed; }
  long long BytesWritten() const { return FBytesWritten; }
  void AddBytesWritten(long long count) { FBytesWritten += count; }
  int Renames() const { return FRenames; }
  // Makes the nth flush of a folder from now on (1: the next) fail as a disk that cannot write
  // makes it fail (EIO), apart from the count of changes; and how many there were.
  void FailFolderSync(int nth) { FFolderSyncFailsAt = FFolderSyncs + nth; }
  int FolderSyncs() const { return FFolderSyncs; }

  // Which of the bytes written since a file's last flush a disk stores before the machine
  // stops: none, all (for the files PowerCut names), or some of the 512-byte blocks that
  // changed, in any mix (the first block alone, as a commit mark written after its content
  // would be; all blocks but the first; every other block). The file keeps the size it was
  // given unless nothing is stored.
  enum class TStored { None, FirstBlock, AllButFirstBlock, EveryOtherBlock };
  // The machine stops: every file changed through this file system loses what was written to
  // it since its last flush, as `stored` says, except the files named in `kept`, whose writes
  // the disk happened to store whole. Call it once the engine has let go of its files.
  void PowerCut(const std::vector<std::string>& kept = {}, TStored stored = TStored::None);
  // What a file holds for certain: what it held when it was opened for a change (nothing, for
  // one created), then what it held at each flush.
  void NoteDurable(const std::string& fileName, std::string content);
  bool Tracked(const std::string& fileName) const;
  // The name a file opened as `fileName` has now, the renames made through this file system
  // followed (a file kept open while it is renamed).
  std::string NameNow(const std::string& fileName, TStream& file);

 private:
  int FFailAt;
  bool FCrash;
  int FChanges = 0;
  bool FFailed = false;
  long long FBytesWritten = 0;
  int FRenames = 0;
  int FFolderSyncs = 0;
  int FFolderSyncFailsAt = 0;
  // A rename done: the content the new name leads to is what the renamed file held for certain.
  void Renamed(const std::string& from, const std::string& to);
  // By full name: the content that survives a power cut.
  std::map<std::string, std::string> FDurable;
  // By full name: the name the file under it was last renamed to.
  std::map<std::string, std::string> FMoved;
  std::unique_ptr<TStream> Wrap(const std::string& fileName, TFileMode mode,
                                const std::function<std::unique_ptr<TStream>()>& open);
};

inline constexpr const char* kInjected = "Injected failure";

// Bytes with every value that unsynchronisation cares about: runs of 0xFF before 0xE0 and
// above, before zero, and at the very end.
std::string PatternBytes(size_t count, unsigned salt = 0);

}  // namespace tagscope::test
