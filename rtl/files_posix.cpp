#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "rtl/files.h"

namespace tagscope {

bool FileExists(const std::string& fileName) {
  struct stat info {};
  return ::stat(fileName.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool RemoveFile(const std::string& fileName) { return ::unlink(fileName.c_str()) == 0; }

bool RenameFile(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

std::string GetTempDir() {
  const char* dir = std::getenv("TMPDIR");
  std::string result = dir && *dir ? dir : "/tmp";
  if (result.back() != '/') result += '/';
  return result;
}

std::string ExtractFilePath(const std::string& fileName) {
  const auto slash = fileName.find_last_of('/');
  return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

std::string LastSystemErrorText() { return std::strerror(errno); }

char PathDelimiter() { return '/'; }

}  // namespace tagscope
