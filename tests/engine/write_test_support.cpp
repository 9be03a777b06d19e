#include "tests/engine/write_test_support.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <random>
#include <sstream>

#include "rtl/files.h"
#include "tagscope/rtl/exception.h"

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

void TestEngine::Open(const std::string& fileName, bool readOnly) {
  SetReadOnly(readOnly);
  SetFileName(fileName);
  SetActive(true);
}

namespace {

// A file stream whose changes go through the faulty file system's count.
class FaultyStream : public TStream {
 public:
  FaultyStream(std::unique_ptr<TStream> inner, FaultyFileSystem& files)
      : FInner(std::move(inner)), FFiles(files) {}

  int64_t Read(void* buffer, int64_t count) override { return FInner->Read(buffer, count); }
  int64_t Write(const void* buffer, int64_t count) override {
    const bool fails = FFiles.Step();
    // A crash stops the writes that follow it; the first one is cut in half.
    const int64_t wanted = fails ? (FFiles.Changes() == FFiles.FailAt() ? count / 2 : 0) : count;
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
  void Reserve(int64_t size) override {
    if (FFiles.Step()) throw EWriteError(kInjected);
    FInner->Reserve(size);
  }
  void Flush() override {
    if (FFiles.Step()) throw EWriteError(kInjected);
    FInner->Flush();
  }

 private:
  std::unique_ptr<TStream> FInner;
  FaultyFileSystem& FFiles;
};

}  // namespace

bool FaultyFileSystem::Step() {
  ++FChanges;
  if (FFailed && FCrash) return true;
  if (FChanges != FFailAt) return false;
  FFailed = true;
  return true;
}

bool FaultyFileSystem::Remove(const std::string& fileName) {
  if (Step()) return false;
  return TFileSystem::Remove(fileName);
}

std::unique_ptr<TStream> FaultyFileSystem::Open(const std::string& fileName, TFileMode mode) {
  const bool creating = mode == TFileMode::fmCreate || mode == TFileMode::fmCreateNew;
  if (creating && Step()) throw EFCreateError(kInjected);
  const bool reading = mode == TFileMode::fmOpenRead || mode == TFileMode::fmOpenReadPlain;
  if (!reading && FCrash && FFailed) throw EFOpenError(kInjected);
  return std::make_unique<FaultyStream>(TFileSystem::Open(fileName, mode), *this);
}

void FaultyFileSystem::Rename(const std::string& from, const std::string& to) {
  if (Step()) throw EWriteError(kInjected);
  TFileSystem::Rename(from, to);
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
