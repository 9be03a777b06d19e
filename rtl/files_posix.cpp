#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "rtl/posix_facts.h"
#include "tagscope/rtl/files.h"
#include "tagscope/rtl/folder.h"

namespace tagscope {

bool FileExists(const std::string& fileName) {
  struct stat info {};
  return ::stat(fileName.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool NameTaken(const std::string& fileName) {
  struct stat info {};
  return ::lstat(fileName.c_str(), &info) == 0;
}

std::string ResolveLinkName(const std::string& fileName) {
  char target[8];
  // Fails (EINVAL) for a name that is no link, as most are.
  if (::readlink(fileName.c_str(), target, sizeof target) < 0) return fileName;
  return ResolveFileName(fileName);
}

namespace {

// A file's attributes by its name, a link there not followed.
TAttributeCalls CallsOn(const std::string& fileName) {
  const char* file = fileName.c_str();
  return {[file](char* into, size_t room) { return ::llistxattr(file, into, room); },
          [file](const char* name, void* into, size_t room) {
            return ::lgetxattr(file, name, into, room);
          },
          [file](const char* name, const void* value, size_t size) {
            return ::lsetxattr(file, name, value, size, 0);
          },
          [file](const char* name) { return ::lremovexattr(file, name); }};
}

}  // namespace

bool CopyExtendedAttributes(const std::string& from, const std::string& to) {
  return CopyAttributeSet(CallsOn(from), CallsOn(to));
}

bool RemoveFile(const std::string& fileName) {
  return ::unlink(fileName.c_str()) == 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
  // A file system that cannot rename without replacing: a second name for the file, which is
  // never made over a name that is taken, then the first name let go.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}

std::string ResolveFileName(const std::string& fileName) {
  const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(fileName.c_str(), nullptr),
                                                             &std::free);
  return resolved ? std::string(resolved.get()) : fileName;
}

bool CopyFilePermissions(const std::string& from, const std::string& to) {
  struct stat info {};
  if (::stat(from.c_str(), &info) != 0) return false;
  // Taking over the owner needs privileges, the group alone may still be allowed; where neither
  // is, the file keeps this process's. A change of owner may clear mode bits: the mode comes last.
  if (::chown(to.c_str(), info.st_uid, info.st_gid) != 0) {
    [[maybe_unused]] const int groupOnly = ::chown(to.c_str(), static_cast<uid_t>(-1), info.st_gid);
  }
  return ::chmod(to.c_str(), info.st_mode & 07777) == 0;
}

bool GetFileInfo(const std::string& fileName, TFileInfo& info) {
  struct stat st {};
  if (::stat(fileName.c_str(), &st) != 0) return false;
  info.regular = S_ISREG(st.st_mode);
  info.folder = S_ISDIR(st.st_mode);
  info.links = st.st_nlink;
  info.identity = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  info.size = st.st_size;
  info.modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

bool DescribeName(const std::string& fileName, TFileFacts& facts, bool follow) {
  return DescribeFile(AT_FDCWD, fileName.c_str(), facts, follow);
}

void SyncFolder(const std::string& folder) {
  TFolder(folder).Sync();
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

std::string LastSystemErrorText() {
  return std::strerror(errno);
}

char PathDelimiter() {
  return '/';
}

void UseUtf8FileNames(bool) {}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first {
  }, second{};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace tagscope
