#pragma once

// Shared by the tag writer's tests: a scratch folder per test, an engine whose file operations
// can be replaced, and a file system that makes the Nth change to any file fail.
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
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

class TDiskModel;

// Counts every change made to files through it (creating one, writing, changing a size,
// flushing a file or folder, renaming, deleting) and makes change number failAt fail; a failing
// write stores half of its bytes first, as a full disk would (a write within one 512-byte block,
// none: a block is stored whole or not at all). A crashing one fails every change
// from there on, as if the process had stopped: nothing is put back and nothing tidied away. It
// also keeps what each file it changed holds for certain, as of the file's last flush, so that a
// test can stop the machine as well (PowerCut), and counts the renames asked of the platform.
class FaultyFileSystem : public TFileSystem {
 public:
  explicit FaultyFileSystem(int failAt = 0, bool crash = false);
  ~FaultyFileSystem() override;

  std::unique_ptr<TStream> Open(const std::string& fileName, TFileMode mode) override;
  std::unique_ptr<TStream> OpenIn(const TFolder& folder, const std::string& leaf,
                                  TFileMode mode) override;
  void RenameIn(const TFolder& folder, const std::string& from, const std::string& to) override;
  void RenameNewIn(const TFolder& folder, const std::string& from, const std::string& to) override;
  bool RemoveIn(const TFolder& folder, const std::string& leaf) override;
  void SyncFolder(const TFolder& folder) override;
  bool Look(const std::string& fileName, TFileFacts& facts, bool follow) override;
  bool LookIn(const TFolder& folder, const std::string& leaf, TFileFacts& facts) override;

  // Counts one change; true when this one is to fail.
  bool Step();
  int Changes() const { return FChanges; }
  int FailAt() const { return FFailAt; }
  bool Failed() const { return FFailed; }
  long long BytesWritten() const { return FBytesWritten; }
  void AddBytesWritten(long long count) { FBytesWritten += count; }
  int Renames() const { return FRenames; }
  // Whether the files keep extended attributes (as most Linux file systems do), or none (as
  // FAT, some network shares and Windows).
  bool KeepsAttributes() const { return FKeepsAttributes; }
  void SetKeepsAttributes(bool value) { FKeepsAttributes = value; }

  // The disk as weak as real ones (see TDiskModel), from here on: what a power cut leaves of
  // names, data and metadata follows the flushes of folders and files, which the platform is
  // then not asked for (the model decides what they made durable). Call it before the files
  // are opened.
  void ModelTheDisk();
  TDiskModel* Disk() { return FDisk.get(); }
  // How many states the model allows a power cut to leave now (numbered from 0).
  int PowerCutStates() const;
  // The machine stops, leaving the files under the folders seen in the state numbered `index`
  // (see TDiskModel::State), and starts again: nothing fails from here on.
  void PowerCut(int index);
  std::string DescribePowerCut(int index) const;
  // The clock steps back by `nanoseconds` right after the next flush of a folder (between a
  // journal made durable and the first write of its change), as a time service or a virtual
  // machine resumed may step it: the times of change and of last write stamped from then on are
  // that much earlier. The disk is modelled from here on.
  void StepClockBack(int64_t nanoseconds);
  // Makes the nth flush of a folder from now on (1: the next) fail as a disk that cannot write
  // makes it fail (EIO), apart from the count of changes; and how many there were.
  void FailFolderSync(int nth) { FFolderSyncFailsAt = FFolderSyncs + nth; }
  int FolderSyncs() const { return FFolderSyncs; }

  // Which of the bytes written since a file's last flush a disk stores before the machine
  // stops: none, all (for the files PowerCut names), or some of the 512-byte blocks that
  // changed, in any mix (the first block alone, as a commit mark written after its content
  // would be; all blocks but the first; every other block). The file keeps the size it was
  // given unless nothing is stored.
  enum class TStored { None, FirstBlock, AllButFirstBlock, EveryOtherBlock, All };
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
  bool FKeepsAttributes = true;
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
  std::unique_ptr<TDiskModel> FDisk;  // with ModelTheDisk
};

// What a power cut leaves, as TDiskModel allows it.
struct TPowerCutState {
  // How many of each folder's name operations since its last flush survive, oldest first.
  size_t names = 0;
  // Which changed 512-byte sectors written since a file's last flush survive.
  FaultyFileSystem::TStored data = FaultyFileSystem::TStored::None;
  // Whether the size, times and extended attributes a file had last survive, rather than
  // those of its last Flush (a file system writes them apart from the data, as a whole).
  bool metadata = false;
};

// A disk as weak as real ones when the machine stops, in the sense of a file system that
// orders nothing it was not told to:
// - Names: each folder keeps its name table (name -> file) as of its last SyncFolder; the
//   creations, renames and removals made in it since may be lost, as a suffix of them in order.
//   A file's content and metadata follow the file, not its names; two names may share one
//   file (hard links).
// - Data: of the 512-byte sectors a file's content changed since its last Flush or FlushData,
//   any may survive (the TStored choices).
// - Metadata (size, time of last write, time of change, the extended attributes changed
//   through the streams) as a whole: as of the file's last Flush; FlushData keeps the size.
// A flush is a barrier for what it covers, and nothing else orders anything.
//
// The cut rewrites the real files to one such state, each file kept the same file (its
// identity, which journals record, stays: every file that loses a name is first given one in a
// folder of the model's own, so that a lost removal or rename can bring it back; those names go
// at the cut). The time of last write is set back. The time of change cannot be set, and the
// rewrite itself moves it; the file system's own is also too coarse to tell apart changes made
// within a few milliseconds, which would make what the sweeps find depend on their speed. So
// the model keeps the times of change of the files it saw changed: each change (a write, a
// size, an attribute, a creation, a rename) takes the next tick of the model's clock, a
// microsecond apart; the file system's streams and looks report them, and a cut leaves each
// file the one of the state chosen. (The engine must not rely on times anyway, which a clock
// stepped back also shows.)
class TDiskModel {
 public:
  TDiskModel() = default;
  ~TDiskModel();
  TDiskModel(const TDiskModel&) = delete;
  TDiskModel& operator=(const TDiskModel&) = delete;

  // What the file system tells the model, before or after each change.
  void Seen(const std::string& fileName);  // before anything in its folder changes
  void Created(const std::string& folder, const std::string& leaf);
  void Renaming(const std::string& folder, const std::string& from, const std::string& to);
  void Renamed(const std::string& folder, const std::string& from, const std::string& to);
  void Removing(const std::string& folder, const std::string& leaf);
  void Removed(const std::string& folder, const std::string& leaf);
  void FolderFlushed(const std::string& folder);
  void Flushed(TStream& file, bool metadata);
  void AttributeChanging(TStream& file, const std::string& name);
  // A file was changed: its time of change is the model's clock's next tick.
  void Stamp(TStream& file);
  // Reports the time of change of a file the model stamped.
  void Report(TFileFacts& facts) const;
  // See FaultyFileSystem::StepClockBack.
  void StepClockBack(int64_t nanoseconds);

  // The states a cut may leave now: every count of surviving name operations up to the most
  // any folder has pending, by every choice of data and of metadata.
  int States() const;
  static TPowerCutState State(int index);
  static int Index(const TPowerCutState& state);
  static std::string Describe(int index);
  void Cut(const TPowerCutState& state);

 private:
  struct TNameOp {
    std::string from, to;  // creation: no `from`; removal: no `to`
    std::string identity;
  };
  struct TFolderNames {
    std::map<std::string, std::string> durable;  // leaf -> identity
    std::vector<TNameOp> pending;
  };
  struct TFile {
    std::string data;  // durable content (and size)
    int64_t modified = 0, changed = 0;
    // The attributes changed through the streams: their durable values (none: absent).
    std::map<std::string, std::optional<std::string>> attributes;
    std::string limbo;  // a name of the model's own, once the file lost one of its names
  };
  std::map<std::string, TFolderNames> FFolders;  // by the folder's path, ending with '/'
  std::map<std::string, TFile> FFiles;           // by identity
  std::map<std::string, int64_t> FStamps;        // times of change by identity
  int64_t FNow = 0;                              // the clock of the times of change
  std::string FLimbo;
  int FLimboCount = 0;
  bool FClockSteps = false;  // at the next folder flush
  int64_t FClockBack = 0;

  TFolderNames& FolderOf(const std::string& folder);
  TFile& FileOf(const std::string& fileName, const std::string& identity);
  TFile& FileOf(TStream& stream, TFileFacts& facts);
  // The name tables as they stand (every operation applied), or after the first `kept` ones.
  std::map<std::string, std::string> NamesNow(const TFolderNames& names, size_t kept) const;
  // Gives the file a name in limbo, before it loses this one.
  void LosesName(const std::string& fileName);
  void KeepInLimbo(const std::string& fileName);
  void Stamp(const std::string& identity);
  // A file's time of change as the model reports it.
  int64_t ChangedOf(const TFileFacts& facts) const;
  std::string PathOf(const std::string& identity) const;
};

// What a run without failures leaves, which a fault test then repeats failing at each change.
struct TUnfaultedRun {
  std::string content;  // of the file the run changed
  int changes = 0;      // made through the file system
};
// Runs `write` in a fresh folder with an engine and a file system that fails nothing; `write`
// gives the engine the file system, makes its change and returns the name of the file changed.
using TWriteRun = std::function<std::string(
    const ScratchFolder& dir, const std::shared_ptr<FaultyFileSystem>& files, TestEngine& e)>;
TUnfaultedRun RunUnfaulted(const TWriteRun& write);

inline constexpr const char* kInjected = "Injected failure";

// Bytes with every value that unsynchronisation cares about: runs of 0xFF before 0xE0 and
// above, before zero, and at the very end.
std::string PatternBytes(size_t count, unsigned salt = 0);

}  // namespace tagscope::test
