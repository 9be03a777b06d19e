#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

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

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : FFileName(fileName) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case TFileMode::fmOpenRead:
      flags |= O_RDONLY;
      break;
    case TFileMode::fmOpenReadWrite:
      flags |= O_RDWR;
      break;
    case TFileMode::fmCreate:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
    case TFileMode::fmCreateNew:
      flags |= O_RDWR | O_CREAT | O_EXCL;
      break;
  }
  const int fd = ::open(fileName.c_str(), flags, 0666);
  if (fd < 0) {
    const bool creating = mode == TFileMode::fmCreate || mode == TFileMode::fmCreateNew;
    const std::string text = Format(creating ? SFCreateErrorEx : SFOpenErrorEx, fileName.c_str(),
                                    LastSystemErrorText().c_str());
    if (creating) throw EFCreateError(text);
    throw EFOpenError(text);
  }
  struct stat info {};
  const bool known = ::fstat(fd, &info) == 0;
  if (known && S_ISDIR(info.st_mode)) {
    ::close(fd);
    throw EFOpenError(Format(SFOpenErrorEx, fileName.c_str(), "Is a directory"));
  }
  FHandle = std::make_unique<TFileHandle>(fd);
  if (known) FOpenedSize = info.st_size;
}

TFileStream::~TFileStream() = default;

int64_t TFileStream::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    const ssize_t n =
        ::read(FHandle->fd, static_cast<char*>(buffer) + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
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
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  FOpenedSize = -1;
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(FHandle->fd, static_cast<const char*>(buffer) + done,
                              static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                     : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                        : SEEK_END;
  const off_t result = ::lseek(FHandle->fd, static_cast<off_t>(offset), whence);
  if (result < 0) throw EStreamError(SInvalidStreamOp);
  return result;
}

int64_t TFileStream::Size() {
  // The size found on opening answers the first question, which comes right after.
  if (FOpenedSize >= 0) return std::exchange(FOpenedSize, -1);
  struct stat info {};
  if (::fstat(FHandle->fd, &info) != 0) throw EStreamError(LastSystemErrorText());
  return info.st_size;
}

void TFileStream::SetSize(int64_t size) {
  FOpenedSize = -1;
  if (::ftruncate(FHandle->fd, static_cast<off_t>(size)) != 0)
    throw EWriteError(Format("%s. %s", SWriteError, LastSystemErrorText().c_str()));
  if (Position() > size) Seek(size, TSeekOrigin::soBeginning);
}

void TFileStream::Flush() {
  if (::fsync(FHandle->fd) != 0)
    throw EWriteError(Format("%s. %s", SWriteError, LastSystemErrorText().c_str()));
}

bool TFileStream::Lock(TFileLock kind, bool wait) {
  // Another process may have changed the file while this one waited.
  FOpenedSize = -1;
  const int operation = (kind == TFileLock::flExclusive ? LOCK_EX
                         : kind == TFileLock::flShared  ? LOCK_SH
                                                        : LOCK_UN) |
                        (wait ? 0 : LOCK_NB);
  while (::flock(FHandle->fd, operation) != 0) {
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) return false;
    // File systems without locks (some network mounts): the writer goes on unlocked.
    if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL) return true;
    throw EStreamError(
        Format("Cannot lock file \"%s\". %s", FFileName.c_str(), LastSystemErrorText().c_str()));
  }
  return true;
}

std::string TFileStream::Identity() {
  struct stat info {};
  if (::fstat(FHandle->fd, &info) != 0) return std::string();
  return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

}  // namespace tagscope
