#include "tests/engine/write_test_support.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>

#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/files.h"

namespace tagscope::test {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
  static const std::string run = std::to_string(std::random_device{}());
  static std::atomic<int> counter{0};
  FPath = fs::path(GetTempDir()) / ("tagscope-write-test-" + run + "-" + std::to_string(counter++));
  fs::create_directories(FPath);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::remove_all(FPath, ignored);
}

std::string ScratchFolder::Put(const std::string& name, const std::string& bytes) const {
  const std::string fileName = Path(name);
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return fileName;
}

std::vector<std::string> ScratchFolder::Files() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(FPath))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TBeside BesideOf(const std::string& fileName, const std::shared_ptr<TFileSystem>& files) {
  const std::string folder = ExtractFilePath(fileName);
  return TBeside(*files, files->OpenFolder(folder), fileName.substr(folder.size()));
}

void TestEngine::Open(const std::string& fileName, bool readOnly) {
  SetReadOnly(readOnly);
  SetFileName(fileName);
  SetActive(true);
}

TUnfaultedRun RunUnfaulted(const TWriteRun& write) {
  ScratchFolder dir;
  auto files = std::make_shared<FaultyFileSystem>();
  TestEngine e;
  const std::string name = write(dir, files, e);
  return {ReadFile(name), files->Changes()};
}

namespace {

// The whole content of an open file; its position stays.
std::string Contents(TStream& stream) {
  const int64_t position = stream.Position();
  stream.SetPosition(0);
  std::string content = stream.ReadString(stream.Size());
  stream.SetPosition(position);
  return content;
}

// The name under which a file's durable content is kept: the engine resolves the names it is
// given, a test may not.
std::string Key(const std::string& fileName) {
  std::error_code ignored;
  return fs::weakly_canonical(fs::path(fileName), ignored).string();
}

// A file stream whose changes go through the faulty file system's count.
class FaultyStream : public TStream {
 public:
  FaultyStream(std::unique_ptr<TStream> inner, FaultyFileSystem& files)
      : FInner(std::move(inner)), FFiles(files) {}
  FaultyStream(std::unique_ptr<TStream> inner, FaultyFileSystem& files, std::string fileName)
      : FInner(std::move(inner)), FFiles(files), FName(std::move(fileName)) {}

  int64_t Read(void* buffer, int64_t count) override { return FInner->Read(buffer, count); }
  int64_t Write(const void* buffer, int64_t count) override {
    const bool fails = FFiles.Step();
    // A crash stops the writes that follow it; the first one is cut in half, unless it lies
    // within one 512-byte block: a disk stores such a block whole or not at all, and a process
    // that stops has made such a write whole or not at all.
    const int64_t at = FInner->Position();
    const bool oneBlock = count > 0 && at / 512 == (at + count - 1) / 512;
    const int64_t wanted =
        fails ? (FFiles.Changes() == FFiles.FailAt() && !oneBlock ? count / 2 : 0) : count;
    const int64_t written = FInner->Write(buffer, wanted);
    FFiles.AddBytesWritten(written);
    if (written > 0 && FFiles.Disk()) FFiles.Disk()->Stamp(*FInner);
    return written;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override { return FInner->Seek(offset, origin); }
  void SetSize(int64_t size) override {
    if (FFiles.Step()) throw EWriteError(kInjected);
    FInner->SetSize(size);
    if (FFiles.Disk()) FFiles.Disk()->Stamp(*FInner);
  }
  int64_t Size() override { return FInner->Size(); }
  bool Lock(TFileLock kind, bool wait) override { return FInner->Lock(kind, wait); }
  std::string Identity() override { return FInner->Identity(); }
  bool Describe(TFileFacts& facts) override {
    if (!FInner->Describe(facts)) return false;
    if (FFiles.Disk()) FFiles.Disk()->Report(facts);
    return true;
  }
  bool SetModified(int64_t modified) override { return FInner->SetModified(modified); }
  void Reserve(int64_t size, int64_t data) override {
    if (FFiles.Step()) throw EWriteError(kInjected);
    FInner->Reserve(size, data);
    if (FFiles.Disk()) FFiles.Disk()->Stamp(*FInner);
  }
  TAttribute GetAttribute(const std::string& name, std::string& value) override {
    if (!FFiles.KeepsAttributes()) return TAttribute::Unsupported;
    return FInner->GetAttribute(name, value);
  }
  bool SetAttribute(const std::string& name, const std::string& value) override {
    if (!FFiles.KeepsAttributes()) return false;
    if (FFiles.Step()) throw EWriteError(kInjected);
    if (!FFiles.Disk()) return FInner->SetAttribute(name, value);
    FFiles.Disk()->AttributeChanging(*FInner, name);
    const bool set = FInner->SetAttribute(name, value);
    FFiles.Disk()->Stamp(*FInner);
    return set;
  }
  void RemoveAttribute(const std::string& name) override {
    if (!FFiles.KeepsAttributes()) return;
    if (FFiles.Step()) throw EWriteError(kInjected);
    if (FFiles.Disk()) FFiles.Disk()->AttributeChanging(*FInner, name);
    FInner->RemoveAttribute(name);
    if (FFiles.Disk()) FFiles.Disk()->Stamp(*FInner);
  }
  void Flush() override { Flushing(true); }
  void FlushData() override { Flushing(false); }

 private:
  std::unique_ptr<TStream> FInner;
  FaultyFileSystem& FFiles;
  std::string FName;  // of a stream that may change its file

  // With the disk modelled, the model alone decides what a flush made durable.
  void Flushing(bool metadata) {
    if (FFiles.Step()) throw EWriteError(kInjected);
    if (TDiskModel* disk = FFiles.Disk())
      disk->Flushed(*FInner, metadata);
    else if (metadata)
      FInner->Flush();
    else
      FInner->FlushData();
    if (!FName.empty()) FFiles.NoteDurable(FFiles.NameNow(FName, *FInner), Contents(*FInner));
  }
};

}  // namespace

FaultyFileSystem::FaultyFileSystem(int failAt, bool crash) : FFailAt(failAt), FCrash(crash) {}

FaultyFileSystem::~FaultyFileSystem() = default;

bool FaultyFileSystem::Step() {
  ++FChanges;
  if (FFailed && FCrash) return true;
  if (FChanges != FFailAt) return false;
  FFailed = true;
  return true;
}

bool FaultyFileSystem::RemoveIn(const TFolder& folder, const std::string& leaf) {
  if (Step()) return false;
  if (FDisk) FDisk->Removing(folder.Path(), leaf);
  if (!TFileSystem::RemoveIn(folder, leaf)) return false;
  if (FDisk) FDisk->Removed(folder.Path(), leaf);
  FDurable.erase(Key(folder.Path() + leaf));
  return true;
}

std::unique_ptr<TStream> FaultyFileSystem::Open(const std::string& fileName, TFileMode mode) {
  return Wrap(fileName, mode, [&] { return TFileSystem::Open(fileName, mode); });
}

std::unique_ptr<TStream> FaultyFileSystem::OpenIn(const TFolder& folder, const std::string& leaf,
                                                  TFileMode mode) {
  return Wrap(folder.Path() + leaf, mode, [&] { return TFileSystem::OpenIn(folder, leaf, mode); });
}

std::unique_ptr<TStream> FaultyFileSystem::Wrap(
    const std::string& fileName, TFileMode mode,
    const std::function<std::unique_ptr<TStream>()>& open) {
  const bool creating = mode == TFileMode::fmCreate || mode == TFileMode::fmCreateNew;
  if (creating && Step()) throw EFCreateError(kInjected);
  const bool reading = mode == TFileMode::fmOpenRead || mode == TFileMode::fmOpenReadPlain ||
                       mode == TFileMode::fmOpenReadShared;
  if (!reading && FCrash && FFailed) throw EFOpenError(kInjected);
  TFileFacts before;
  const bool made = creating && FDisk && !TFileSystem::Look(fileName, before, false);
  if (FDisk) FDisk->Seen(fileName);
  auto inner = open();
  if (made)
    FDisk->Created(ExtractFilePath(fileName), fileName.substr(ExtractFilePath(fileName).size()));
  if (reading) return std::make_unique<FaultyStream>(std::move(inner), *this);
  if (!Tracked(fileName)) NoteDurable(fileName, creating ? std::string() : Contents(*inner));
  return std::make_unique<FaultyStream>(std::move(inner), *this, fileName);
}

void FaultyFileSystem::RenameIn(const TFolder& folder, const std::string& fromLeaf,
                                const std::string& toLeaf) {
  if (Step()) throw EWriteError(kInjected);
  ++FRenames;
  if (FDisk) FDisk->Renaming(folder.Path(), fromLeaf, toLeaf);
  TFileSystem::RenameIn(folder, fromLeaf, toLeaf);
  if (FDisk) FDisk->Renamed(folder.Path(), fromLeaf, toLeaf);
  Renamed(folder.Path() + fromLeaf, folder.Path() + toLeaf);
}

void FaultyFileSystem::RenameNewIn(const TFolder& folder, const std::string& fromLeaf,
                                   const std::string& toLeaf) {
  if (Step()) throw EWriteError(kInjected);
  if (FDisk) FDisk->Renaming(folder.Path(), fromLeaf, toLeaf);
  TFileSystem::RenameNewIn(folder, fromLeaf, toLeaf);
  if (FDisk) FDisk->Renamed(folder.Path(), fromLeaf, toLeaf);
  Renamed(folder.Path() + fromLeaf, folder.Path() + toLeaf);
}

void FaultyFileSystem::SyncFolder(const TFolder& folder) {
  if (Step()) throw EWriteError(kInjected);
  if (++FFolderSyncs == FFolderSyncFailsAt) {
    throw EWriteError(Format("Cannot make the names in the folder \"%s\" durable. %s",
                             folder.Path().c_str(), std::strerror(EIO)));
  }
  if (FDisk)
    FDisk->FolderFlushed(folder.Path());
  else
    TFileSystem::SyncFolder(folder);
}

void FaultyFileSystem::Renamed(const std::string& from, const std::string& to) {
  // The rename itself reaches the disk (the writer syncs the folder); the content the new
  // name leads to is what the renamed file held for certain.
  FMoved[Key(from)] = Key(to);
  const auto renamed = FDurable.find(Key(from));
  if (renamed == FDurable.end()) {
    FDurable.erase(Key(to));
    return;
  }
  std::string content = std::move(renamed->second);
  FDurable.erase(renamed);
  FDurable[Key(to)] = std::move(content);
}

std::string FaultyFileSystem::NameNow(const std::string& fileName, TStream& file) {
  // Renames followed from the name it was opened by, as far as one leads to the same file.
  TFileFacts mine;
  if (!file.Describe(mine)) return fileName;
  std::string at = Key(fileName);
  for (int step = 0; step < 64; ++step) {
    TFileFacts there;
    if (TFileSystem::Look(at, there, false) && there.identity == mine.identity) return at;
    const auto next = FMoved.find(at);
    if (next == FMoved.end()) break;
    at = next->second;
  }
  return fileName;
}

void FaultyFileSystem::NoteDurable(const std::string& fileName, std::string content) {
  FDurable[Key(fileName)] = std::move(content);
}

bool FaultyFileSystem::Tracked(const std::string& fileName) const {
  return FDurable.count(Key(fileName)) != 0;
}

namespace {

// What a file holds after the machine stopped: its durable content, with the blocks of what it
// held last that the disk stored.
std::string Stored(const std::string& durable, const std::string& last,
                   FaultyFileSystem::TStored stored) {
  using TStored = FaultyFileSystem::TStored;
  if (stored == TStored::None) return durable;
  constexpr size_t kBlock = 512;
  std::string result = durable;
  result.resize(last.size(), '\0');
  size_t changed = 0;
  for (size_t at = 0; at < last.size(); at += kBlock) {
    const size_t n = std::min(kBlock, last.size() - at);
    if (durable.compare(std::min(at, durable.size()), n, last, at, n) == 0) continue;
    const bool keep = stored == TStored::All                ? true
                      : stored == TStored::FirstBlock       ? changed == 0
                      : stored == TStored::AllButFirstBlock ? changed > 0
                                                            : changed % 2 == 0;
    if (keep) result.replace(at, n, last, at, n);
    ++changed;
  }
  return result;
}

}  // namespace

void FaultyFileSystem::PowerCut(const std::vector<std::string>& kept, TStored stored) {
  std::vector<std::string> keys;
  for (const std::string& name : kept) keys.push_back(Key(name));
  // Journals first: a real power cut leaves every file's time of change as the writes before
  // it set them, and the writer's journal was made before the file was touched.
  int64_t newestJournal = 0;
  for (const bool journals : {true, false})
    for (const auto& [name, content] : FDurable) {
      if (std::find(keys.begin(), keys.end(), name) != keys.end()) continue;
      if ((name.find(".ID3JRN") != std::string::npos) != journals) continue;
      const std::string result = Stored(content, ReadFile(name), stored);
      {
        std::ofstream out(name, std::ios::binary | std::ios::trunc);
        out.write(result.data(), static_cast<std::streamsize>(result.size()));
      }
      TFileFacts facts;
      if (journals && TFileStream(name, TFileMode::fmOpenRead).Describe(facts))
        newestJournal = std::max(newestJournal, facts.modified);
    }
  // The files whose writes were stored were written after their journals: rewriting those
  // above must not make them look older than their own journal. Setting the time of the last
  // write changes the time of change too, where the platform keeps one apart.
  for (const std::string& name : keys) {
    TFileStream file(name, TFileMode::fmOpenReadWrite);
    TFileFacts facts;
    if (file.Describe(facts)) file.SetModified(std::max(facts.modified, newestJournal + 1));
  }
  FDurable.clear();
}

bool FaultyFileSystem::Look(const std::string& fileName, TFileFacts& facts, bool follow) {
  if (!TFileSystem::Look(fileName, facts, follow)) return false;
  if (FDisk) FDisk->Report(facts);
  return true;
}

bool FaultyFileSystem::LookIn(const TFolder& folder, const std::string& leaf, TFileFacts& facts) {
  if (!TFileSystem::LookIn(folder, leaf, facts)) return false;
  if (FDisk) FDisk->Report(facts);
  return true;
}

void FaultyFileSystem::ModelTheDisk() {
  if (!FDisk) FDisk = std::make_unique<TDiskModel>();
}

int FaultyFileSystem::PowerCutStates() const {
  return FDisk ? FDisk->States() : 0;
}

void FaultyFileSystem::PowerCut(int index) {
  FDisk->Cut(TDiskModel::State(index));
  // The machine starts again: the process that failed is gone.
  FFailAt = 0;
  FCrash = false;
  FFailed = false;
  FDurable.clear();
  FMoved.clear();
}

void FaultyFileSystem::StepClockBack(int64_t nanoseconds) {
  ModelTheDisk();
  FDisk->StepClockBack(nanoseconds);
}

std::string FaultyFileSystem::DescribePowerCut(int index) const {
  return TDiskModel::Describe(index);
}

namespace {

constexpr int kDataChoices = 5;  // TStored's

// A folder's path as the model keys it: resolved, ending with the delimiter.
std::string FolderKey(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  std::string key = Key(trimmed.empty() ? "." : trimmed);
  if (key.empty() || key.back() != '/') key += '/';
  return key;
}

bool LookAt(const std::string& fileName, TFileFacts& facts) {
  return PlatformFileSystem()->TFileSystem::Look(fileName, facts, false) && facts.regular;
}

std::optional<std::string> AttributeOf(TStream& file, const std::string& name) {
  std::string value;
  if (file.GetAttribute(name, value) != TStream::TAttribute::Present) return std::nullopt;
  return value;
}

// Of the sectors that differ between `durable` (zero past its end) and `last` (the same), those
// `stored` keeps, within `size` bytes.
std::string SectorsLeft(const std::string& durable, const std::string& last, int64_t size,
                        FaultyFileSystem::TStored stored) {
  using TStored = FaultyFileSystem::TStored;
  constexpr size_t kSector = 512;
  std::string result = durable;
  result.resize(static_cast<size_t>(size), '\0');
  size_t changed = 0;
  for (size_t at = 0; at < result.size(); at += kSector) {
    const size_t n = std::min(kSector, result.size() - at);
    std::string now = at < last.size() ? last.substr(at, n) : std::string();
    now.resize(n, '\0');
    if (result.compare(at, n, now) == 0) continue;
    const bool keep = stored == TStored::All                ? true
                      : stored == TStored::None             ? false
                      : stored == TStored::FirstBlock       ? changed == 0
                      : stored == TStored::AllButFirstBlock ? changed > 0
                                                            : changed % 2 == 0;
    if (keep) result.replace(at, n, now);
    ++changed;
  }
  return result;
}

}  // namespace

TDiskModel::~TDiskModel() {
  std::error_code ignored;
  if (!FLimbo.empty()) fs::remove_all(FLimbo, ignored);
}

TDiskModel::TFolderNames& TDiskModel::FolderOf(const std::string& folder) {
  const std::string key = FolderKey(folder);
  const auto known = FFolders.find(key);
  if (known != FFolders.end()) return known->second;
  // Seen first: what it holds is durable, as the test put it there.
  TFolderNames& names = FFolders[key];
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(key, error)) {
    const std::string leaf = entry.path().filename().string();
    TFileFacts facts;
    if (!LookAt(key + leaf, facts)) continue;
    names.durable[leaf] = facts.identity;
    FileOf(key + leaf, facts.identity);
  }
  return names;
}

TDiskModel::TFile& TDiskModel::FileOf(const std::string& fileName, const std::string& identity) {
  const auto known = FFiles.find(identity);
  if (known != FFiles.end()) return known->second;
  TFile& file = FFiles[identity];
  file.data = ReadFile(fileName);
  TFileFacts facts;
  if (LookAt(fileName, facts)) {
    file.modified = facts.modified;
    file.changed = ChangedOf(facts);
    FNow = std::max(FNow, file.changed);
  }
  return file;
}

void TDiskModel::Seen(const std::string& fileName) {
  FolderOf(ExtractFilePath(Key(fileName)));
}

void TDiskModel::Created(const std::string& folder, const std::string& leaf) {
  TFolderNames& names = FolderOf(folder);
  TFileFacts facts;
  if (!LookAt(FolderKey(folder) + leaf, facts)) return;
  TFile& file = FFiles[facts.identity];
  file = TFile();
  Stamp(facts.identity);
  file.modified = facts.modified;
  file.changed = ChangedOf(facts);
  names.pending.push_back({"", leaf, facts.identity});
}

void TDiskModel::Renaming(const std::string& folder, const std::string& from,
                          const std::string& to) {
  FolderOf(folder);
  TFileFacts source, target;
  const std::string path = FolderKey(folder);
  if (LookAt(path + to, target) &&
      !(LookAt(path + from, source) && source.identity == target.identity))
    LosesName(path + to);
}

void TDiskModel::Renamed(const std::string& folder, const std::string& from,
                         const std::string& to) {
  TFolderNames& names = FolderOf(folder);
  TFileFacts facts;
  if (!LookAt(FolderKey(folder) + to, facts)) return;
  FileOf(FolderKey(folder) + to, facts.identity);
  Stamp(facts.identity);
  names.pending.push_back({from, to, facts.identity});
}

void TDiskModel::Removing(const std::string& folder, const std::string& leaf) {
  FolderOf(folder);
  LosesName(FolderKey(folder) + leaf);
}

void TDiskModel::Removed(const std::string& folder, const std::string& leaf) {
  FolderOf(folder).pending.push_back({leaf, "", ""});
}

void TDiskModel::FolderFlushed(const std::string& folder) {
  TFolderNames& names = FolderOf(folder);
  names.durable = NamesNow(names, names.pending.size());
  names.pending.clear();
  if (FClockSteps) {
    FClockSteps = false;
    FNow -= FClockBack;
  }
}

TDiskModel::TFile& TDiskModel::FileOf(TStream& stream, TFileFacts& facts) {
  stream.Describe(facts);
  const auto known = FFiles.find(facts.identity);
  if (known != FFiles.end()) return known->second;
  // Made outside the model: durable as it is.
  TFile& file = FFiles[facts.identity];
  file.data = Contents(stream);
  file.modified = facts.modified;
  file.changed = ChangedOf(facts);
  FNow = std::max(FNow, file.changed);
  return file;
}

void TDiskModel::Flushed(TStream& stream, bool metadata) {
  TFileFacts facts;
  TFile& file = FileOf(stream, facts);
  file.data = Contents(stream);
  if (!metadata) return;
  file.modified = facts.modified;
  file.changed = ChangedOf(facts);
  for (auto& [name, value] : file.attributes) value = AttributeOf(stream, name);
}

void TDiskModel::AttributeChanging(TStream& stream, const std::string& name) {
  TFileFacts facts;
  TFile& file = FileOf(stream, facts);
  if (!file.attributes.count(name)) file.attributes[name] = AttributeOf(stream, name);
}

void TDiskModel::Report(TFileFacts& facts) const {
  const auto stamp = FStamps.find(facts.identity);
  if (stamp != FStamps.end()) facts.changed = stamp->second;
}

void TDiskModel::StepClockBack(int64_t nanoseconds) {
  FClockBack = nanoseconds;
  FClockSteps = true;
}

void TDiskModel::Stamp(const std::string& identity) {
  // A microsecond apart: times of change the file system's clock would tell apart.
  if (FNow == 0)
    FNow = std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
               .count();
  FNow += 1000;
  FStamps[identity] = FNow;
}

void TDiskModel::Stamp(TStream& stream) {
  TFileFacts facts;
  if (stream.Describe(facts)) Stamp(facts.identity);
}

int64_t TDiskModel::ChangedOf(const TFileFacts& facts) const {
  const auto stamp = FStamps.find(facts.identity);
  return stamp != FStamps.end() ? stamp->second : facts.changed;
}

std::map<std::string, std::string> TDiskModel::NamesNow(const TFolderNames& names,
                                                        size_t kept) const {
  std::map<std::string, std::string> table = names.durable;
  for (size_t i = 0; i < std::min(kept, names.pending.size()); ++i) {
    const TNameOp& op = names.pending[i];
    if (!op.from.empty()) table.erase(op.from);
    if (!op.to.empty()) table[op.to] = op.identity;
  }
  return table;
}

void TDiskModel::LosesName(const std::string& fileName) {
  KeepInLimbo(fileName);
  // Which changes it.
  TFileFacts facts;
  if (LookAt(fileName, facts)) Stamp(facts.identity);
}

void TDiskModel::KeepInLimbo(const std::string& fileName) {
  TFileFacts facts;
  if (!LookAt(fileName, facts)) return;
  TFile& file = FileOf(fileName, facts.identity);
  if (!file.limbo.empty()) return;
  std::error_code error;
  if (FLimbo.empty()) {
    static const std::string run = std::to_string(std::random_device{}());
    static std::atomic<int> counter{0};
    FLimbo =
        (fs::path(GetTempDir()) / ("tagscope-disk-model-" + run + "-" + std::to_string(counter++)))
            .string();
    fs::create_directories(FLimbo, error);
  }
  const std::string limbo = FLimbo + "/" + std::to_string(FLimboCount++);
  fs::create_hard_link(fileName, limbo, error);
  if (!error) file.limbo = limbo;
}

std::string TDiskModel::PathOf(const std::string& identity) const {
  const auto file = FFiles.find(identity);
  if (file != FFiles.end() && !file->second.limbo.empty()) return file->second.limbo;
  for (const auto& [folder, names] : FFolders)
    for (const auto& [leaf, id] : NamesNow(names, names.pending.size()))
      if (id == identity) return folder + leaf;
  return std::string();
}

int TDiskModel::States() const {
  size_t most = 0;
  for (const auto& [folder, names] : FFolders) most = std::max(most, names.pending.size());
  return static_cast<int>(most + 1) * kDataChoices * 2;
}

TPowerCutState TDiskModel::State(int index) {
  TPowerCutState state;
  state.metadata = index % 2 != 0;
  state.data = static_cast<FaultyFileSystem::TStored>((index / 2) % kDataChoices);
  state.names = static_cast<size_t>(index / (2 * kDataChoices));
  return state;
}

int TDiskModel::Index(const TPowerCutState& state) {
  return (static_cast<int>(state.names) * kDataChoices + static_cast<int>(state.data)) * 2 +
         (state.metadata ? 1 : 0);
}

std::string TDiskModel::Describe(int index) {
  static const char* const data[] = {"no unflushed sector", "the first changed sector",
                                     "all changed sectors but the first",
                                     "every other changed sector", "every changed sector"};
  const TPowerCutState state = State(index);
  return "power cut state " + std::to_string(index) + ": " + std::to_string(state.names) +
         " unflushed name operations kept per folder, " + data[static_cast<int>(state.data)] +
         " kept, " + (state.metadata ? "the latest metadata" : "the metadata of the last Flush");
}

void TDiskModel::Cut(const TPowerCutState& state) {
  // The name tables the cut leaves, and the files they name.
  std::map<std::string, std::map<std::string, std::string>> tables;
  std::set<std::string> identities;
  for (const auto& [folder, names] : FFolders) {
    tables[folder] = NamesNow(names, state.names);
    for (const auto& [leaf, identity] : tables[folder]) identities.insert(identity);
  }
  // What each of them holds last, read before anything is touched; each gets a name in limbo,
  // from which its names are made anew.
  struct TLast {
    std::string data;
    TFileFacts facts;
  };
  std::map<std::string, TLast> last;
  for (const std::string& identity : identities) {
    const std::string path = PathOf(identity);
    TLast& now = last[identity];
    if (path.empty() || !LookAt(path, now.facts)) continue;
    now.data = ReadFile(path);
    KeepInLimbo(path);
    if (FFiles[identity].limbo.empty())
      throw std::runtime_error("The disk model cannot give \"" + path + "\" a name of its own in " +
                               GetTempDir());
  }
  std::error_code ignored;
  for (const auto& [folder, names] : FFolders) {
    for (const auto& [leaf, identity] : NamesNow(names, names.pending.size()))
      fs::remove(folder + leaf, ignored);
    for (const auto& [leaf, identity] : tables[folder]) {
      fs::remove(folder + leaf, ignored);
      const auto file = FFiles.find(identity);
      if (file != FFiles.end() && !file->second.limbo.empty())
        fs::create_hard_link(file->second.limbo, folder + leaf, ignored);
    }
  }
  // Each file gets the content and metadata the state leaves it, and the limbo names go.
  std::vector<std::pair<std::string, std::unique_ptr<TFileStream>>> streams;
  for (const std::string& identity : identities) {
    TFile& file = FFiles[identity];
    const TLast& now = last[identity];
    if (file.limbo.empty()) continue;
    const int64_t size = state.metadata ? now.facts.size : static_cast<int64_t>(file.data.size());
    const std::string left = SectorsLeft(file.data, now.data, size, state.data);
    streams.emplace_back(identity,
                         std::make_unique<TFileStream>(file.limbo, TFileMode::fmOpenReadWrite));
    TFileStream& stream = *streams.back().second;
    if (left != now.data) {
      stream.SetPosition(0);
      stream.WriteString(left);
      stream.SetSize(size);
    }
    if (!state.metadata) {
      for (const auto& [name, value] : file.attributes) {
        if (value)
          stream.SetAttribute(name, *value);
        else
          stream.RemoveAttribute(name);
      }
    }
    stream.SetModified(state.metadata ? now.facts.modified : file.modified);
  }
  fs::remove_all(FLimbo, ignored);
  FLimbo.clear();
  for (const auto& [identity, stream] : streams)
    FStamps[identity] = state.metadata ? ChangedOf(last[identity].facts) : FFiles[identity].changed;
  // The machine starts again.
  FFolders.clear();
  FFiles.clear();
}

std::string PatternBytes(size_t count, unsigned salt) {
  static const unsigned char motif[] = {0xFF, 0xE0, 0x41, 0xFF, 0x00, 0xFF, 0xFF, 0xFB,
                                        0x42, 0x00, 0xFF, 0x7F, 0x43, 0xFF, 0xF0, 0x44};
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(motif[(i + salt) % sizeof motif]);
  if (count > 0) bytes.back() = static_cast<char>(0xFF);
  return bytes;
}

}  // namespace tagscope::test
