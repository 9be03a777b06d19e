#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "rtl/posix_facts.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"
#include "tagscope/rtl/folder.h"

namespace tagscope {

class TFolderHandle {
 public:
  explicit TFolderHandle(int fd) : fd(fd) {}
  ~TFolderHandle() { ::close(fd); }
  int fd;
};

namespace {

int64_t Nanoseconds(const statx_timestamp& t) {
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// A file opened by name in the folder, never followed; closed with this object.
class TOpenLeaf {
 public:
  TOpenLeaf(int folder, const std::string& leaf, int flags)
      : fd(::openat(folder, leaf.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK)) {}
  ~TOpenLeaf() {
    if (fd >= 0) ::close(fd);
  }
  TOpenLeaf(const TOpenLeaf&) = delete;
  TOpenLeaf& operator=(const TOpenLeaf&) = delete;
  int fd;
};

}  // namespace

bool AttributeNames(const std::function<ssize_t(char*, size_t)>& list,
                    std::vector<std::string>& names) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    const ssize_t size = list(nullptr, 0);
    if (size < 0) return errno == ENOTSUP;  // a file system without them: none to keep
    std::string listed(static_cast<size_t>(size), '\0');
    const ssize_t got = size > 0 ? list(listed.data(), listed.size()) : 0;
    if (got < 0 && errno == ERANGE) continue;  // grew in between
    if (got < 0) return false;
    for (size_t at = 0; at < static_cast<size_t>(got);) {
      const std::string name = listed.c_str() + at;
      if (!name.empty()) names.push_back(name);
      at += name.size() + 1;
    }
    return true;
  }
  return false;
}

bool AttributeValue(const std::function<ssize_t(const char*, void*, size_t)>& get, const char* name,
                    std::string& value) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    const ssize_t size = get(name, nullptr, 0);
    if (size < 0) return false;
    value.assign(static_cast<size_t>(size), '\0');
    const ssize_t got = size > 0 ? get(name, value.data(), value.size()) : 0;
    if (got < 0 && errno == ERANGE) continue;  // grew in between
    if (got < 0) return false;
    value.resize(static_cast<size_t>(got));
    return true;
  }
  return false;
}

bool CopyAttributeSet(const TAttributeCalls& from, const TAttributeCalls& to) {
  std::vector<std::string> names;
  if (!AttributeNames(from.list, names)) return false;
  bool accessList = false;
  for (const std::string& name : names) {
    // A mark belongs to the change that put it on the file, not to the file.
    if (name.rfind("user.tagscope.", 0) == 0) continue;
    std::string value;
    if (!AttributeValue(from.get, name.c_str(), value)) {
      if (errno == ENODATA) continue;  // removed since it was listed
      return false;
    }
    if (to.set(name.c_str(), value.data(), value.size()) != 0) return false;
    accessList = accessList || name == kAccessListAttribute;
  }
  // A file made in a folder with a default access list takes that list (others given access,
  // the owning group's cut by its mask); the file it stands in for had none.
  if (!accessList && to.remove(kAccessListAttribute) != 0 && errno != ENODATA && errno != ENOTSUP)
    return false;
  return true;
}

int FolderDescriptor(const TFolder& folder) {
  return folder.FHandle->fd;
}

bool DescribeFile(int fd, const char* leaf, TFileFacts& facts, bool follow) {
  struct statx x {};
  const int flags = !leaf ? AT_EMPTY_PATH : follow ? 0 : AT_SYMLINK_NOFOLLOW;
  if (::statx(fd, leaf ? leaf : "", flags, STATX_BASIC_STATS | STATX_BTIME, &x) != 0) return false;
  facts.identity =
      std::to_string(makedev(x.stx_dev_major, x.stx_dev_minor)) + ":" + std::to_string(x.stx_ino);
  facts.owner = std::to_string(x.stx_uid);
  facts.group = std::to_string(x.stx_gid);
  facts.size = static_cast<int64_t>(x.stx_size);
  facts.modified = Nanoseconds(x.stx_mtime);
  facts.changed = Nanoseconds(x.stx_ctime);
  facts.born = (x.stx_mask & STATX_BTIME) ? Nanoseconds(x.stx_btime) : 0;
  facts.allocated = static_cast<int64_t>(x.stx_blocks) * 512;
  facts.links = x.stx_nlink;
  facts.regular = S_ISREG(x.stx_mode);
  facts.folder = S_ISDIR(x.stx_mode);
  facts.mode = x.stx_mode & 07777;
  return true;
}

TFolder::TFolder(const std::string& path) : FPath(path) {
  if (!FPath.empty() && FPath.back() != '/') FPath += '/';
  const int fd = ::open(FPath.empty() ? "." : FPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    throw EFOpenError(
        Format(SFOpenErrorEx, FPath.empty() ? "." : FPath.c_str(), LastSystemErrorText().c_str()));
  FHandle = std::make_unique<TFolderHandle>(fd);
}

TFolder::~TFolder() = default;

std::unique_ptr<TFileStream> TFolder::Open(const std::string& leaf, TFileMode mode) const {
  return std::make_unique<TFileStream>(*this, leaf, mode);
}

bool TFolder::Look(const std::string& leaf, TFileFacts& facts) const {
  return DescribeFile(FHandle->fd, leaf.c_str(), facts);
}

bool TFolder::Rename(const std::string& from, const std::string& to) const {
  return ::renameat(FHandle->fd, from.c_str(), FHandle->fd, to.c_str()) == 0;
}

bool TFolder::RenameNew(const std::string& from, const std::string& to) const {
  const int fd = FHandle->fd;
  if (::renameat2(fd, from.c_str(), fd, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
  // A file system that cannot rename without replacing: a second name for the file, which is
  // never made over a name that is taken, then the first name let go.
  if (::linkat(fd, from.c_str(), fd, to.c_str(), 0) != 0) return false;
  ::unlinkat(fd, from.c_str(), 0);
  return true;
}

bool TFolder::Remove(const std::string& leaf) const {
  return ::unlinkat(FHandle->fd, leaf.c_str(), 0) == 0;
}

bool TFolder::SetAccess(const std::string& leaf, const TFileFacts& like) const {
  const TOpenLeaf file(FHandle->fd, leaf, O_RDONLY);
  if (file.fd < 0 || like.owner.empty()) return false;
  // Taking over the owner needs privileges, the group alone may still be allowed; where
  // neither is, the file keeps this process's.
  const auto uid = static_cast<uid_t>(std::stoul(like.owner));
  const auto gid = static_cast<gid_t>(std::stoul(like.group.empty() ? "0" : like.group));
  if (::fchown(file.fd, uid, gid) != 0) {
    [[maybe_unused]] const int groupOnly = ::fchown(file.fd, static_cast<uid_t>(-1), gid);
  }
  return ::fchmod(file.fd, static_cast<mode_t>(like.mode & 07777)) == 0;
}

namespace {

TAttributeCalls CallsOn(int fd) {
  return {
      [fd](char* into, size_t room) { return ::flistxattr(fd, into, room); },
      [fd](const char* name, void* into, size_t room) { return ::fgetxattr(fd, name, into, room); },
      [fd](const char* name, const void* value, size_t size) {
        return ::fsetxattr(fd, name, value, size, 0);
      },
      [fd](const char* name) { return ::fremovexattr(fd, name); }};
}

}  // namespace

bool TFolder::CopyAttributes(const std::string& from, const std::string& to) const {
  const TOpenLeaf source(FHandle->fd, from, O_RDONLY);
  const TOpenLeaf target(FHandle->fd, to, O_RDONLY);
  if (source.fd < 0 || target.fd < 0) return false;
  return CopyAttributeSet(CallsOn(source.fd), CallsOn(target.fd));
}

bool TFolder::AccessList(const std::string& leaf, std::string& list) const {
  const TOpenLeaf file(FHandle->fd, leaf, O_RDONLY);
  if (file.fd < 0) return false;
  if (AttributeValue(CallsOn(file.fd).get, kAccessListAttribute, list)) return true;
  list.clear();
  // None, or a file system that keeps none.
  return errno == ENODATA || errno == ENOTSUP;
}

void TFolder::Sync() const {
  int result;
  while ((result = ::fsync(FHandle->fd)) != 0 && errno == EINTR) {
  }
  // Some file systems cannot flush a folder at all (EINVAL); they need not.
  if (result == 0 || errno == EINVAL) return;
  const std::string path = FPath.empty() ? "." : FPath;
  throw EWriteError(Format("Cannot make the names in the folder \"%s\" durable. %s", path.c_str(),
                           LastSystemErrorText().c_str()));
}

std::string CurrentUser() {
  return std::to_string(::geteuid());
}

}  // namespace tagscope
