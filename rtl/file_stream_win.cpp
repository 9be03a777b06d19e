#include <windows.h>

#include <algorithm>

#include "rtl/files_win.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/files.h"
#include "tagscope/rtl/folder.h"

namespace tagscope {

namespace {

// Windows locks forbid other handles the bytes they cover, even in this process: the lock
// covers one byte far past any file's data instead, so it orders the processes that ask for it
// and leaves reading and writing alone, as flock does.
OVERLAPPED LockPlace() {
  OVERLAPPED place{};
  place.Offset = 0xFFFFFFFE;
  place.OffsetHigh = 0x7FFFFFFF;
  return place;
}

}  // namespace

class TFileHandle {
 public:
  explicit TFileHandle(HANDLE h) : handle(h) {}
  ~TFileHandle() {
    // Closing lets go of a lock too, but only when the system gets round to it.
    if (locked) {
      OVERLAPPED place = LockPlace();
      ::UnlockFileEx(handle, 0, 1, 0, &place);
    }
    ::CloseHandle(handle);
  }
  HANDLE handle;
  bool locked = false;
};

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : FFileName(fileName) {
  OpenFile(nullptr, fileName, mode);
}

TFileStream::TFileStream(const TFolder& folder, const std::string& leaf, TFileMode mode)
    : FFileName(folder.Path() + leaf) {
  OpenFile(&folder, FFileName, mode);
}

void TFileStream::OpenFile(const TFolder* folder, const std::string& fileName, TFileMode mode) {
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD disposition = OPEN_EXISTING;
  DWORD flags = FILE_ATTRIBUTE_NORMAL;
  switch (mode) {
    case TFileMode::fmOpenRead:
      access = GENERIC_READ;
      break;
    case TFileMode::fmOpenReadPlain:
    case TFileMode::fmOpenReadShared:  // the lock is taken by Lock, as for any mode
      // The link (or junction) itself is opened, to be refused below.
      access = GENERIC_READ;
      flags |= FILE_FLAG_OPEN_REPARSE_POINT;
      break;
    case TFileMode::fmOpenReadWrite:
      break;
    case TFileMode::fmCreate:
      disposition = CREATE_ALWAYS;
      break;
    case TFileMode::fmCreateNew:
      disposition = CREATE_NEW;
      break;
  }
  // In a folder opened once, a link or junction under the name is opened itself, to be refused.
  if (folder) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  // Sharing delete access too lets the user rename or delete a file while it is shown.
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  std::wstring name;
  HANDLE h = INVALID_HANDLE_VALUE;
  if (WideFileName(fileName, name))
    h = ::CreateFileW(name.c_str(), access, share, nullptr, disposition, flags, nullptr);
  const bool creating = mode == TFileMode::fmCreate || mode == TFileMode::fmCreateNew;
  auto fail = [&](const std::string& reason) {
    const std::string text =
        Format(creating ? SFCreateErrorEx : SFOpenErrorEx, fileName.c_str(), reason.c_str());
    if (creating) throw EFCreateError(text);
    throw EFOpenError(text);
  };
  if (h == INVALID_HANDLE_VALUE) fail(LastSystemErrorText());
  FHandle = std::make_unique<TFileHandle>(h);
  // Pipes, consoles and devices are no files to read a tag from or write one to.
  if (::GetFileType(h) != FILE_TYPE_DISK) fail("It is a device or pipe, not a regular file");
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileInformationByHandle(h, &info) &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      (folder || mode == TFileMode::fmOpenReadPlain || mode == TFileMode::fmOpenReadShared))
    fail("It is a symbolic link or junction, which is not followed here");
}

std::string TFileStream::WriteErrorText() const {
  return Format("Cannot write file \"%s\". %s", FFileName.c_str(), LastSystemErrorText().c_str());
}

bool TFileStream::SetModified(int64_t modified) {
  FILETIME written{};
  written.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(modified) & 0xFFFFFFFFu);
  written.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(modified) >> 32);
  return ::SetFileTime(FHandle->handle, nullptr, nullptr, &written) != 0;
}

bool TFileStream::Describe(TFileFacts& facts) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(FHandle->handle, &info)) return false;
  facts.identity = Identity();
  facts.owner.clear();
  facts.size =
      static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
  facts.modified =
      static_cast<int64_t>((static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                           info.ftLastWriteTime.dwLowDateTime);
  facts.links = info.nNumberOfLinks;
  facts.changed = facts.modified;
  // No time of making: not every file system keeps one that stays put (some report the time of
  // the last change), and a file made anew under a reused record gets another index anyway (its
  // sequence number is part of it).
  facts.born = 0;
  FILE_STANDARD_INFO standard{};
  facts.allocated =
      ::GetFileInformationByHandleEx(FHandle->handle, FileStandardInfo, &standard, sizeof standard)
          ? standard.AllocationSize.QuadPart
          : -1;
  return true;
}

void TFileStream::Reserve(int64_t size, int64_t) {
  // Extending a file that is not sparse takes its clusters at once: a full disk shows here.
  if (Size() < size) SetSize(size);
}

void TFileStream::Zero(int64_t position, int64_t count) {
  TStream::Zero(position, count);
}

TFileStream::~TFileStream() = default;

int64_t TFileStream::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    const DWORD chunk = static_cast<DWORD>(std::min<int64_t>(count - done, 1 << 30));
    DWORD n = 0;
    if (!::ReadFile(FHandle->handle, static_cast<char*>(buffer) + done, chunk, &n, nullptr))
      throw EReadError(
          Format("Cannot read file \"%s\". %s", FFileName.c_str(), LastSystemErrorText().c_str()));
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::ReadAt(int64_t position, void* buffer, int64_t count) {
  // Reads at an offset without a separate seek; the file pointer ends after the bytes read.
  int64_t done = 0;
  while (done < count) {
    const DWORD chunk = static_cast<DWORD>(std::min<int64_t>(count - done, 1 << 30));
    OVERLAPPED at{};
    const uint64_t offset = static_cast<uint64_t>(position + done);
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD n = 0;
    if (!::ReadFile(FHandle->handle, static_cast<char*>(buffer) + done, chunk, &n, &at)) {
      // Reading at or past the end reports the end, not a failure.
      if (::GetLastError() == ERROR_HANDLE_EOF) break;
      throw EReadError(
          Format("Cannot read file \"%s\". %s", FFileName.c_str(), LastSystemErrorText().c_str()));
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    const DWORD chunk = static_cast<DWORD>(std::min<int64_t>(count - done, 1 << 30));
    DWORD n = 0;
    if (!::WriteFile(FHandle->handle, static_cast<const char*>(buffer) + done, chunk, &n, nullptr))
      throw EWriteError(WriteErrorText());
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  const DWORD method = origin == TSeekOrigin::soBeginning ? FILE_BEGIN
                       : origin == TSeekOrigin::soCurrent ? FILE_CURRENT
                                                          : FILE_END;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER result;
  if (!::SetFilePointerEx(FHandle->handle, distance, &result, method))
    throw EStreamError(SInvalidStreamOp);
  return result.QuadPart;
}

int64_t TFileStream::Size() {
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(FHandle->handle, &size)) throw EStreamError(LastSystemErrorText());
  return size.QuadPart;
}

void TFileStream::SetSize(int64_t size) {
  const int64_t position = Position();
  Seek(size, TSeekOrigin::soBeginning);
  const bool ok = ::SetEndOfFile(FHandle->handle) != 0;
  const std::string error = ok ? std::string() : LastSystemErrorText();
  Seek(position < size ? position : size, TSeekOrigin::soBeginning);
  if (!ok)
    throw EWriteError(Format("Cannot write file \"%s\". %s", FFileName.c_str(), error.c_str()));
}

void TFileStream::Flush() {
  if (!::FlushFileBuffers(FHandle->handle)) throw EWriteError(WriteErrorText());
}

void TFileStream::FlushData() {
  Flush();
}

bool TFileStream::Lock(TFileLock kind, bool wait) {
  if (FHandle->locked) {
    OVERLAPPED place = LockPlace();
    ::UnlockFileEx(FHandle->handle, 0, 1, 0, &place);
    FHandle->locked = false;
  }
  if (kind == TFileLock::flNone) return true;
  OVERLAPPED place = LockPlace();
  const DWORD flags = (kind == TFileLock::flExclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) |
                      (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
  if (!::LockFileEx(FHandle->handle, flags, 0, 1, 0, &place)) {
    if (::GetLastError() == ERROR_LOCK_VIOLATION || ::GetLastError() == ERROR_IO_PENDING)
      return false;
    // File systems without locks: the writer goes on unlocked.
    if (::GetLastError() == ERROR_NOT_SUPPORTED) return true;
    throw EStreamError(
        Format("Cannot lock file \"%s\". %s", FFileName.c_str(), LastSystemErrorText().c_str()));
  }
  FHandle->locked = true;
  return true;
}

std::string TFileStream::Identity() {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(FHandle->handle, &info)) return std::string();
  return std::to_string(info.dwVolumeSerialNumber) + ":" +
         std::to_string((static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
}

}  // namespace tagscope

namespace tagscope {

// Windows keeps no extended attributes a program can name as POSIX does: the engine falls back
// to what holds without them.
TStream::TAttribute TFileStream::GetAttribute(const std::string&, std::string&) {
  return TAttribute::Unsupported;
}

bool TFileStream::SetAttribute(const std::string&, const std::string&) {
  return false;
}

void TFileStream::RemoveAttribute(const std::string&) {}

}  // namespace tagscope
