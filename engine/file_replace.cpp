#include "engine/file_replace.h"

#include <cstdio>
#include <random>

#include "rtl/exception.h"
#include "rtl/files.h"

namespace tagscope {

namespace {

std::string RandomHexDigits() {
  static std::mt19937 generator{std::random_device{}()};
  char digits[16];
  std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(generator()));
  return digits;
}

}  // namespace

TFileReplacement::TFileReplacement(TFileSystem& files, const std::string& fileName)
    : FFiles(files), FTarget(ResolveFileName(fileName)) {
  // Creating exclusively never takes over another file (or a link planted under the name);
  // a name that turns out to exist is replaced by another.
  const std::string folder = ExtractFilePath(FTarget);
  constexpr int kAttempts = 100;
  for (int attempt = 1;; ++attempt) {
    FTempName = folder + "ID3TMP" + RandomHexDigits() + ".tmp";
    try {
      FStream = FFiles.Open(FTempName, TFileMode::fmCreateNew);
      return;
    } catch (const EFCreateError&) {
      if (attempt == kAttempts || !FileExists(FTempName)) throw;
    }
  }
}

TFileReplacement::~TFileReplacement() {
  if (FCommitted) return;
  FStream.reset();
  FFiles.Remove(FTempName);
}

void TFileReplacement::Commit() {
  // Permissions are carried over where the platform allows; a file that keeps this process's
  // defaults is still the right content.
  CopyFilePermissions(FTarget, FTempName);
  FFiles.Rename(FTempName, FTarget);
  FCommitted = true;
}

}  // namespace tagscope
