#include "engine/temp_file.h"

#include <cstdio>
#include <random>

#include "rtl/exception.h"
#include "rtl/files.h"

namespace tagscope {

namespace {

std::string RandomTempName() {
  static std::mt19937 generator{std::random_device{}()};
  std::uniform_int_distribution<uint32_t> pick(0, 0x7FFFFFFE);
  char digits[16];
  std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned>(pick(generator)));
  return GetTempDir() + "ID3TMP" + digits + ".tmp";
}

}  // namespace

std::string MakeTempFileName() {
  std::string name;
  do {
    name = RandomTempName();
  } while (FileExists(name));
  return name;
}

TTempFile::TTempFile(const std::function<std::string()>& nameSource) {
  // Another process may take a name between the check and the creation: creating exclusively
  // makes that a failure, and another name is tried. Other failures (no writable folder)
  // leave the loop with the file stream's error.
  constexpr int kAttempts = 100;
  for (int attempt = 1;; ++attempt) {
    FFileName = nameSource();
    try {
      FStream = std::make_unique<TFileStream>(FFileName, TFileMode::fmCreateNew);
      return;
    } catch (const EFCreateError&) {
      if (attempt == kAttempts || !FileExists(FFileName)) throw;
    }
  }
}

TTempFile::~TTempFile() {
  FStream.reset();
  RemoveFile(FFileName);
}

}  // namespace tagscope
