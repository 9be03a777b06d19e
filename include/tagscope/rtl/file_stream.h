#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "tagscope/rtl/stream.h"

namespace tagscope {

// How a file stream opens its file. Every mode shares the file with other processes for
// reading, writing and (where the platform knows it) deleting and renaming, never waits for
// another process to open the other end of a FIFO, and takes regular files only: a FIFO,
// device, socket or folder is refused at once.
enum class TFileMode {
  fmOpenRead,       // existing file, reading only
  fmOpenReadPlain,  // the same, but the name itself must be the file: a link is not followed
  // The same as fmOpenReadPlain; on POSIX, with the shared lock taken at once where no other
  // process holds the file (as Lock(flShared, false) takes it), before the file is looked at:
  // what the look found (Describe, Size) then answers the first question after it, as nothing
  // can have changed the file under the lock, and Lock(flShared) finds the lock held. A FIFO or
  // device is locked without waiting, then refused. Elsewhere Lock takes the lock as ever.
  fmOpenReadShared,
  fmOpenReadWrite,  // existing file, reading and writing
  fmCreate,         // new or truncated file, reading and writing
  fmCreateNew,      // new file only; fails when the name exists
};

class TFileHandle;  // the platform's open file
class TFolder;

// A stream over a file on disk. Open errors raise EFOpenError ("Cannot open file ...") or
// EFCreateError ("Cannot create file ...") with the system's error text; so do failed reads,
// writes and size changes, naming the file.
class TFileStream : public TStream {
 public:
  TFileStream(const std::string& fileName, TFileMode mode);
  // Opens `leaf` in an open folder; a link under the name is never followed.
  TFileStream(const TFolder& folder, const std::string& leaf, TFileMode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t ReadAt(int64_t position, void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override;

  // Forces written data to the disk; raises EWriteError with the system's reason when the disk
  // did not take it (a later flush may not say so again: what was lost stays lost).
  void Flush() override;
  void FlushData() override;
  // flock on POSIX, LockFileEx on Windows: advisory for processes that do not ask.
  bool Lock(TFileLock kind, bool wait = true) override;
  std::string Identity() override;
  bool Describe(TFileFacts& facts) override;
  // Through the open file: a name swapped for a link meanwhile leads nowhere else.
  bool SetModified(int64_t modified) override;
  void Reserve(int64_t size, int64_t data = -1) override;
  void Zero(int64_t position, int64_t count) override;
  TAttribute GetAttribute(const std::string& name, std::string& value) override;
  bool SetAttribute(const std::string& name, const std::string& value) override;
  void RemoveAttribute(const std::string& name) override;
  const std::string& FileName() const { return FFileName; }

 private:
  // "Cannot write file ...", with the system's reason for the last failure.
  std::string WriteErrorText() const;
  // Opens through the platform; `folder` is null for a name taken as it stands.
  void OpenFile(const TFolder* folder, const std::string& name, TFileMode mode);
  // The file may change from here on: what opening saw of it is forgotten.
  void Changing();

  std::string FFileName;
  std::unique_ptr<TFileHandle> FHandle;
  int64_t FOpenedSize = -1;  // the size when opened, until the first Size() (-1: ask the system)
  // What the look under the shared lock taken on opening found, until the first Describe()
  // while the lock is still held (fmOpenReadShared).
  std::optional<TFileFacts> FOpenedFacts;
  TFileLock FLockHeld = TFileLock::flNone;  // the lock this stream holds on its file
};

}  // namespace tagscope
