#include "engine/file_replace.h"

#include <cstdio>
#include <filesystem>
#include <random>

#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

namespace {

constexpr const char* kMark = ".ID3TMP";
constexpr size_t kDigits = 8;
// Room left in a 255-byte name for the mark, the digits and ".tmp".
constexpr size_t kNameRoom = 200;

std::string RandomHexDigits() {
  static std::mt19937 generator{std::random_device{}()};
  char digits[16];
  std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(generator()));
  return digits;
}

// The part of a new file's name that names the file it replaces.
std::string Prefix(const std::string& target) {
  return target.substr(ExtractFilePath(target).size()).substr(0, kNameRoom) + kMark;
}

bool IsLeftoverOf(const std::string& name, const std::string& prefix) {
  if (name.size() != prefix.size() + kDigits + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(prefix.size() + kDigits, 4, ".tmp") != 0)
    return false;
  for (size_t i = prefix.size(); i < prefix.size() + kDigits; ++i)
    if (!std::isxdigit(static_cast<unsigned char>(name[i]))) return false;
  return true;
}

}  // namespace

TFileReplacement::TFileReplacement(TFileSystem& files, const std::string& fileName)
    : FFiles(files), FTarget(ResolveFileName(fileName)) {
  // Creating exclusively never takes over another file (or a link planted under the name);
  // a name that turns out to exist is replaced by another.
  const std::string stem = ExtractFilePath(FTarget) + Prefix(FTarget);
  constexpr int kAttempts = 100;
  for (int attempt = 1;; ++attempt) {
    FTempName = stem + RandomHexDigits() + ".tmp";
    try {
      FStream = FFiles.Open(FTempName, TFileMode::fmCreateNew);
      break;
    } catch (const EFCreateError&) {
      if (attempt == kAttempts || !FileExists(FTempName)) throw;
    }
  }
  // Held until the new content is in place, and on by the stream that then serves the file.
  FStream->Lock(TFileLock::flExclusive);
}

TFileReplacement::~TFileReplacement() {
  if (FCommitted || FKept) return;
  FStream.reset();
  FFiles.Remove(FTempName);
}

bool TFileReplacement::RenameKeepsIdentity() {
  TFileInfo info;
  if (!GetFileInfo(FTarget, info) || info.links > 1) return false;
  CopyFilePermissions(FTarget, FTempName);
  return SameOwnership(FTarget, FTempName);
}

void TFileReplacement::Commit() {
  FFiles.Rename(FTempName, FTarget);
  FCommitted = true;
  SyncFolder(ExtractFilePath(FTarget));
}

namespace {

// The new files beside `fileName` that name it, with whether a live writer holds each.
std::vector<std::pair<std::string, bool>> NewFilesOf(TFileSystem& files,
                                                     const std::string& fileName) {
  const std::string target = ResolveFileName(fileName);
  const std::string folder = ExtractFilePath(target);
  const std::string prefix = Prefix(target);
  std::error_code error;
  std::vector<std::pair<std::string, bool>> found;
  for (const auto& entry :
       std::filesystem::directory_iterator(folder.empty() ? "." : folder, error)) {
    const std::string name = entry.path().filename().string();
    if (!IsLeftoverOf(name, prefix)) continue;
    bool held = false;
    try {
      held = !files.Open(folder + name, TFileMode::fmOpenRead)->Lock(TFileLock::flShared, false);
    } catch (const Exception&) {
      // Gone in the meantime, or not ours to open.
      continue;
    }
    found.emplace_back(folder + name, held);
  }
  return found;
}

}  // namespace

void TFileReplacement::RemoveLeftovers(TFileSystem& files, const std::string& fileName) {
  for (const auto& [name, held] : NewFilesOf(files, fileName))
    if (!held) files.Remove(name);
}

bool TFileReplacement::Replacing(TFileSystem& files, const std::string& fileName) {
  for (const auto& [name, held] : NewFilesOf(files, fileName))
    if (held) return true;
  return false;
}

}  // namespace tagscope
