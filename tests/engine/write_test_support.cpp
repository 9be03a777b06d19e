#include "tests/engine/write_test_support.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

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
    return written;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override { return FInner->Seek(offset, origin); }
  void SetSize(int64_t size) override {
    if (FFiles.Step()) throw EWriteError(kInjected);
    FInner->SetSize(size);
  }
  int64_t Size() override { return FInner->Size(); }
  bool Lock(TFileLock kind, bool wait) override { return FInner->Lock(kind, wait); }
  std::string Identity() override { return FInner->Identity(); }
  bool Describe(TFileFacts& facts) override { return FInner->Describe(facts); }
  bool SetModified(int64_t modified) override { return FInner->SetModified(modified); }
  void Reserve(int64_t size, int64_t data) override {
    if (FFiles.Step()) throw EWriteError(kInjected);
    FInner->Reserve(size, data);
  }
  void Flush() override {
    if (FFiles.Step()) throw EWriteError(kInjected);
    FInner->Flush();
    if (!FName.empty()) FFiles.NoteDurable(FFiles.NameNow(FName, *FInner), Contents(*FInner));
  }

 private:
  std::unique_ptr<TStream> FInner;
  FaultyFileSystem& FFiles;
  std::string FName;  // of a stream that may change its file
};

}  // namespace

bool FaultyFileSystem::Step() {
  ++FChanges;
  if (FFailed && FCrash) return true;
  if (FChanges != FFailAt) return false;
  FFailed = true;
  return true;
}

bool FaultyFileSystem::RemoveIn(const TFolder& folder, const std::string& leaf) {
  if (Step()) return false;
  if (!TFileSystem::RemoveIn(folder, leaf)) return false;
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
  const bool reading = mode == TFileMode::fmOpenRead || mode == TFileMode::fmOpenReadPlain;
  if (!reading && FCrash && FFailed) throw EFOpenError(kInjected);
  auto inner = open();
  if (reading) return std::make_unique<FaultyStream>(std::move(inner), *this);
  if (!Tracked(fileName)) NoteDurable(fileName, creating ? std::string() : Contents(*inner));
  return std::make_unique<FaultyStream>(std::move(inner), *this, fileName);
}

void FaultyFileSystem::RenameIn(const TFolder& folder, const std::string& fromLeaf,
                                const std::string& toLeaf) {
  if (Step()) throw EWriteError(kInjected);
  ++FRenames;
  TFileSystem::RenameIn(folder, fromLeaf, toLeaf);
  Renamed(folder.Path() + fromLeaf, folder.Path() + toLeaf);
}

void FaultyFileSystem::RenameNewIn(const TFolder& folder, const std::string& fromLeaf,
                                   const std::string& toLeaf) {
  if (Step()) throw EWriteError(kInjected);
  TFileSystem::RenameNewIn(folder, fromLeaf, toLeaf);
  Renamed(folder.Path() + fromLeaf, folder.Path() + toLeaf);
}

void FaultyFileSystem::SyncFolder(const TFolder& folder) {
  if (Step()) throw EWriteError(kInjected);
  if (++FFolderSyncs == FFolderSyncFailsAt) {
    throw EWriteError(Format("Cannot make the names in the folder \"%s\" durable. %s",
                             folder.Path().c_str(), std::strerror(EIO)));
  }
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
    const bool keep = stored == TStored::FirstBlock         ? changed == 0
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

std::string PatternBytes(size_t count, unsigned salt) {
  static const unsigned char motif[] = {0xFF, 0xE0, 0x41, 0xFF, 0x00, 0xFF, 0xFF, 0xFB,
                                        0x42, 0x00, 0xFF, 0x7F, 0x43, 0xFF, 0xF0, 0x44};
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(motif[(i + salt) % sizeof motif]);
  if (count > 0) bytes.back() = static_cast<char>(0xFF);
  return bytes;
}

}  // namespace tagscope::test
