// Folders of a walk opened relative to each other, by descriptor.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "cli/walk_folder.h"

namespace tagscope::cli {

class TWalkFolderHandle {
 public:
  explicit TWalkFolderHandle(int fd) : fd(fd) {}
  ~TWalkFolderHandle() { ::close(fd); }
  int fd;
};

namespace {

// Opens the folder `name` in `folder`; null with the reason.
std::unique_ptr<TWalkFolderHandle> OpenIn(int folder, const char* name, bool follow,
                                          std::string& reason, std::string& identity) {
  const int fd = ::openat(
      folder, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK | (follow ? 0 : O_NOFOLLOW));
  if (fd < 0) {
    reason = std::strerror(errno);
    return nullptr;
  }
  auto handle = std::make_unique<TWalkFolderHandle>(fd);
  struct stat facts {};
  if (::fstat(fd, &facts) != 0) {
    reason = std::strerror(errno);
    return nullptr;
  }
  identity = std::to_string(facts.st_dev) + ":" + std::to_string(facts.st_ino);
  return handle;
}

// The kind of what a link leads to: a link to a folder is never followed; one that leads
// nowhere is a file that cannot be opened, which says so in its turn.
TEntryKind LinkKind(int folder, const char* name) {
  struct stat target {};
  if (::fstatat(folder, name, &target, 0) != 0) return TEntryKind::ekFile;
  return S_ISREG(target.st_mode) ? TEntryKind::ekFile : TEntryKind::ekOther;
}

TEntryKind KindOf(int folder, const dirent& entry) {
  switch (entry.d_type) {
    case DT_DIR:
      return TEntryKind::ekFolder;
    case DT_REG:
      return TEntryKind::ekFile;
    case DT_LNK:
      return LinkKind(folder, entry.d_name);
    case DT_UNKNOWN:
      break;
    default:
      return TEntryKind::ekOther;
  }
  // A file system that does not tell kinds in the list: looked at one by one.
  struct stat own {};
  if (::fstatat(folder, entry.d_name, &own, AT_SYMLINK_NOFOLLOW) != 0) return TEntryKind::ekFile;
  if (S_ISLNK(own.st_mode)) return LinkKind(folder, entry.d_name);
  return S_ISDIR(own.st_mode)   ? TEntryKind::ekFolder
         : S_ISREG(own.st_mode) ? TEntryKind::ekFile
                                : TEntryKind::ekOther;
}

}  // namespace

TWalkFolder::TWalkFolder(std::unique_ptr<TWalkFolderHandle> handle, std::string identity)
    : FHandle(std::move(handle)), FIdentity(std::move(identity)) {}

TWalkFolder::~TWalkFolder() = default;

std::unique_ptr<TWalkFolder> TWalkFolder::Open(const std::string& path, std::string& reason) {
  // The folder named may be reached through links; below it, none is followed.
  std::string identity;
  auto handle = OpenIn(AT_FDCWD, path.c_str(), true, reason, identity);
  if (!handle) return nullptr;
  return std::unique_ptr<TWalkFolder>(new TWalkFolder(std::move(handle), identity));
}

std::unique_ptr<TWalkFolder> TWalkFolder::OpenSub(const std::string& name,
                                                  std::string& reason) const {
  std::string identity;
  auto handle = OpenIn(FHandle->fd, name.c_str(), false, reason, identity);
  if (!handle) return nullptr;
  return std::unique_ptr<TWalkFolder>(new TWalkFolder(std::move(handle), identity));
}

bool TWalkFolder::List(std::vector<TWalkEntry>& entries, std::string& reason) const {
  // The list is read through a copy of the descriptor, which the stream closes (a folder that
  // may be read but not searched has no "." to open).
  const int fd = ::fcntl(FHandle->fd, F_DUPFD_CLOEXEC, 0);
  DIR* list = fd < 0 ? nullptr : ::fdopendir(fd);
  if (!list) {
    reason = std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  ::rewinddir(list);
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(list);
    if (!entry) break;
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    entries.push_back({std::string(name), KindOf(FHandle->fd, *entry)});
  }
  const int error = errno;
  ::closedir(list);
  if (error == 0) return true;
  reason = std::strerror(error);
  return false;
}

}  // namespace tagscope::cli
