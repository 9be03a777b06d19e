#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "rtl/posix_facts.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

class TFileHandle {
 public:
  explicit TFileHandle(int fd) : fd(fd) {}
  ~TFileHandle() { ::close(fd); }
  int fd;
};

namespace {

std::string NotRegularText(mode_t mode) {
  return S_ISDIR(mode)    ? "Is a directory"
         : S_ISFIFO(mode) ? "It is a FIFO, not a regular file"
         : S_ISSOCK(mode) ? "It is a socket, not a regular file"
                          : "It is a device, not a regular file";
}

// Opening for fmOpenReadShared: the lock first, without waiting (a FIFO or device too, to be
// refused after the look), so that one look tells both what the file is and its state under the
// lock; a reader of many files saves a call on each. Where another process holds the file, or
// the file system keeps no locks, the look is only the check, and Lock asks for the lock again.
// Empty when the file is a regular one, else why it is refused.
std::string LookShared(int fd, TFileFacts& facts, bool& locked) {
  locked = ::flock(fd, LOCK_SH | LOCK_NB) == 0;
  if (!DescribeFile(fd, nullptr, facts)) return LastSystemErrorText();
  if (facts.regular) return std::string();
  struct stat info {};
  return NotRegularText(::fstat(fd, &info) == 0 ? info.st_mode : S_IFCHR);
}

}  // namespace

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : FFileName(fileName) {
  OpenFile(nullptr, fileName, mode);
}

TFileStream::TFileStream(const TFolder& folder, const std::string& leaf, TFileMode mode)
    : FFileName(folder.Path() + leaf) {
  OpenFile(&folder, leaf, mode);
}

void TFileStream::OpenFile(const TFolder* folder, const std::string& name, TFileMode mode) {
  // Not blocking lets a FIFO open at once, to be refused below; it is of no effect on the
  // regular files that are kept. In a folder opened once, no name is ever followed.
  int flags = O_CLOEXEC | O_NONBLOCK | (folder ? O_NOFOLLOW : 0);
  switch (mode) {
    case TFileMode::fmOpenRead:
      flags |= O_RDONLY;
      break;
    case TFileMode::fmOpenReadPlain:
    case TFileMode::fmOpenReadShared:
      flags |= O_RDONLY | O_NOFOLLOW;
      break;
    case TFileMode::fmOpenReadWrite:
      flags |= O_RDWR;
      break;
    case TFileMode::fmCreate:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
    case TFileMode::fmCreateNew:
      // Exclusive creation follows no link either.
      flags |= O_RDWR | O_CREAT | O_EXCL;
      break;
  }
  const bool creating = mode == TFileMode::fmCreate || mode == TFileMode::fmCreateNew;
  auto fail = [&](const std::string& reason) {
    const std::string text =
        Format(creating ? SFCreateErrorEx : SFOpenErrorEx, FFileName.c_str(), reason.c_str());
    if (creating) throw EFCreateError(text);
    throw EFOpenError(text);
  };
  const int fd = ::openat(folder ? FolderDescriptor(*folder) : AT_FDCWD, name.c_str(), flags, 0666);
  if (fd < 0)
    fail(errno == ELOOP && (flags & O_NOFOLLOW)
             ? "It is a symbolic link, which is not followed here"
             : LastSystemErrorText());
  if (mode == TFileMode::fmOpenReadShared) {
    TFileFacts facts;
    bool locked = false;
    const std::string refused = LookShared(fd, facts, locked);
    if (!refused.empty()) {
      ::close(fd);
      fail(refused);
    }
    FHandle = std::make_unique<TFileHandle>(fd);
    FOpenedSize = facts.size;
    if (locked) {
      FLockHeld = TFileLock::flShared;
      FOpenedFacts = std::move(facts);
    }
    return;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const std::string reason = LastSystemErrorText();
    ::close(fd);
    fail(reason);
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    fail(NotRegularText(info.st_mode));
  }
  FHandle = std::make_unique<TFileHandle>(fd);
  FOpenedSize = info.st_size;
}

TFileStream::~TFileStream() = default;

int64_t TFileStream::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    const ssize_t n =
        ::read(FHandle->fd, static_cast<char*>(buffer) + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0)
      throw EReadError(
          Format("Cannot read file \"%s\". %s", FFileName.c_str(), LastSystemErrorText().c_str()));
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::ReadAt(int64_t position, void* buffer, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    const ssize_t n =
        ::pread(FHandle->fd, static_cast<char*>(buffer) + done, static_cast<size_t>(count - done),
                static_cast<off_t>(position + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0)
      throw EReadError(
          Format("Cannot read file \"%s\". %s", FFileName.c_str(), LastSystemErrorText().c_str()));
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  Changing();
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(FHandle->fd, static_cast<const char*>(buffer) + done,
                              static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    // A full disk, a size limit, a failing device: the reason, with the file it hit.
    if (n < 0) throw EWriteError(WriteErrorText());
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                     : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                        : SEEK_END;
  const off_t result = ::lseek(FHandle->fd, static_cast<off_t>(offset), whence);
  if (result < 0)
    throw EStreamError(Format("%s in \"%s\". %s", SInvalidStreamOp, FFileName.c_str(),
                              LastSystemErrorText().c_str()));
  return result;
}

int64_t TFileStream::Size() {
  // The size found on opening answers the first question, which comes right after.
  if (FOpenedSize >= 0) return std::exchange(FOpenedSize, -1);
  struct stat info {};
  if (::fstat(FHandle->fd, &info) != 0) throw EStreamError(WriteErrorText());
  return info.st_size;
}

void TFileStream::SetSize(int64_t size) {
  Changing();
  if (::ftruncate(FHandle->fd, static_cast<off_t>(size)) != 0) throw EWriteError(WriteErrorText());
  if (Position() > size) Seek(size, TSeekOrigin::soBeginning);
}

void TFileStream::Flush() {
  int result;
  while ((result = ::fsync(FHandle->fd)) != 0 && errno == EINTR) {
  }
  // Every failure counts, EINVAL too: a file that cannot be flushed is not on the disk.
  if (result != 0) throw EWriteError(WriteErrorText());
}

void TFileStream::FlushData() {
  int result;
  while ((result = ::fdatasync(FHandle->fd)) != 0 && errno == EINTR) {
  }
  if (result != 0) throw EWriteError(WriteErrorText());
}

bool TFileStream::Lock(TFileLock kind, bool wait) {
  // The lock taken on opening is held still: what was seen under it holds.
  if (kind != TFileLock::flNone && kind == FLockHeld) return true;
  // Another process may have changed the file while this one waited.
  Changing();
  const int operation = (kind == TFileLock::flExclusive ? LOCK_EX
                         : kind == TFileLock::flShared  ? LOCK_SH
                                                        : LOCK_UN) |
                        (wait ? 0 : LOCK_NB);
  FLockHeld = TFileLock::flNone;
  while (::flock(FHandle->fd, operation) != 0) {
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) return false;
    // File systems without locks (some network mounts): the writer goes on unlocked.
    if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL) return true;
    throw EStreamError(
        Format("Cannot lock file \"%s\". %s", FFileName.c_str(), LastSystemErrorText().c_str()));
  }
  FLockHeld = kind;
  return true;
}

void TFileStream::Changing() {
  FOpenedSize = -1;
  FOpenedFacts.reset();
}

std::string TFileStream::WriteErrorText() const {
  return Format("Cannot write file \"%s\". %s", FFileName.c_str(), LastSystemErrorText().c_str());
}

void TFileStream::Reserve(int64_t size, int64_t data) {
  Changing();
  struct stat info {};
  if (::fstat(FHandle->fd, &info) != 0) throw EWriteError(WriteErrorText());
  if (data >= 0) {
    // A file with holes keeps them: the room its data needs is asked for, none taken ahead.
    struct statvfs disk {};
    const int64_t held = static_cast<int64_t>(info.st_blocks) * 512;
    if (::fstatvfs(FHandle->fd, &disk) == 0 &&
        static_cast<int64_t>(disk.f_bavail) * static_cast<int64_t>(disk.f_frsize) <
            std::max<int64_t>(data - held, 0)) {
      errno = ENOSPC;
      throw EWriteError(WriteErrorText());
    }
    if (info.st_size < size && ::ftruncate(FHandle->fd, static_cast<off_t>(size)) != 0)
      throw EWriteError(WriteErrorText());
    return;
  }
  if (info.st_size >= size) return;
  // The blocks are taken before anything is written, so that a full disk shows here.
  int result;
  while ((result = ::fallocate(FHandle->fd, 0, 0, static_cast<off_t>(size))) != 0 &&
         errno == EINTR) {
  }
  if (result == 0) return;
  if (errno != EOPNOTSUPP && errno != ENOSYS) throw EWriteError(WriteErrorText());
  // File systems that cannot allocate ahead: the size at least.
  if (::ftruncate(FHandle->fd, static_cast<off_t>(size)) != 0) throw EWriteError(WriteErrorText());
}

void TFileStream::Zero(int64_t position, int64_t count) {
  Changing();
  if (count <= 0) return;
  if (::fallocate(FHandle->fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE,
                  static_cast<off_t>(position), static_cast<off_t>(count)) == 0) {
    Seek(position + count, TSeekOrigin::soBeginning);
    return;
  }
  // Where holes cannot be made, zero bytes are written, and past the end the file grows.
  TStream::Zero(position, count);
}

bool TFileStream::SetModified(int64_t modified) {
  struct timespec times[2]{};
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(modified / 1000000000);
  times[1].tv_nsec = static_cast<long>(modified % 1000000000);
  if (times[1].tv_nsec < 0) {
    times[1].tv_nsec += 1000000000;
    --times[1].tv_sec;
  }
  return ::futimens(FHandle->fd, times) == 0;
}

bool TFileStream::Describe(TFileFacts& facts) {
  if (FOpenedFacts) {
    facts = std::move(*FOpenedFacts);
    FOpenedFacts.reset();
    return true;
  }
  return DescribeFile(FHandle->fd, nullptr, facts);
}

std::string TFileStream::Identity() {
  struct stat info {};
  if (::fstat(FHandle->fd, &info) != 0) return std::string();
  return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

}  // namespace tagscope

namespace tagscope {

namespace {

// The file system keeps no such attributes (or none of this namespace) for this file.
bool NoAttributes(int error) {
  return error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS;
}

}  // namespace

TStream::TAttribute TFileStream::GetAttribute(const std::string& name, std::string& value) {
  for (;;) {
    const ssize_t size = ::fgetxattr(FHandle->fd, name.c_str(), nullptr, 0);
    if (size < 0) {
      if (errno == ENODATA) return TAttribute::Absent;
      if (NoAttributes(errno)) return TAttribute::Unsupported;
      throw EReadError(
          Format("Cannot read file \"%s\". %s", FFileName.c_str(), LastSystemErrorText().c_str()));
    }
    value.assign(static_cast<size_t>(size), '\0');
    const ssize_t got = ::fgetxattr(FHandle->fd, name.c_str(), value.data(), value.size());
    // Changed in between (ERANGE): asked again.
    if (got < 0 && errno == ERANGE) continue;
    if (got < 0 && errno == ENODATA) return TAttribute::Absent;
    if (got < 0)
      throw EReadError(
          Format("Cannot read file \"%s\". %s", FFileName.c_str(), LastSystemErrorText().c_str()));
    value.resize(static_cast<size_t>(got));
    return TAttribute::Present;
  }
}

bool TFileStream::SetAttribute(const std::string& name, const std::string& value) {
  if (::fsetxattr(FHandle->fd, name.c_str(), value.data(), value.size(), 0) == 0) return true;
  // A file system without them, or one that keeps them only for some users or files.
  if (NoAttributes(errno) || errno == EPERM) return false;
  throw EWriteError(WriteErrorText());
}

void TFileStream::RemoveAttribute(const std::string& name) {
  if (::fremovexattr(FHandle->fd, name.c_str()) == 0 || errno == ENODATA || NoAttributes(errno))
    return;
  throw EWriteError(WriteErrorText());
}

}  // namespace tagscope
