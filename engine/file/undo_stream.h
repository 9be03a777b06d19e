#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tagscope/rtl/stream.h"

namespace tagscope {

// A stream that passes every operation on to another one, which it does not own.
class TStreamRef : public TStream {
 public:
  explicit TStreamRef(TStream& target) : FTarget(target) {}

  int64_t Read(void* buffer, int64_t count) override { return FTarget.Read(buffer, count); }
  int64_t Write(const void* buffer, int64_t count) override { return FTarget.Write(buffer, count); }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override { return FTarget.Seek(offset, origin); }
  void SetSize(int64_t size) override { FTarget.SetSize(size); }
  int64_t Size() override { return FTarget.Size(); }
  void Flush() override { FTarget.Flush(); }

 protected:
  TStream& Target() { return FTarget; }

 private:
  TStream& FTarget;
};

// Changes another stream while keeping what each change destroys (the bytes a write covers,
// the bytes a size change cuts off, the size it started with), so that Rollback can put it
// back as it was.
class TUndoStream : public TStreamRef {
 public:
  explicit TUndoStream(TStream& target);

  int64_t Write(const void* buffer, int64_t count) override;
  void SetSize(int64_t size) override;
  // Tells the bytes the target holds at `offset` before any change: a write within them keeps
  // these rather than reading them again.
  void Know(int64_t offset, std::string bytes);

  // Writes the kept bytes back, newest first, and restores the original size.
  void Rollback();
  // Whether Rollback ran to its end.
  bool RolledBack() const { return FRolledBack; }
  // Runs change against this stream; when it fails, rolls back and raises the failure again,
  // or, when rolling back fails too, an error saying that the file may be damaged (what: the
  // content being put back, for that message).
  void ChangeOrRollBack(const std::function<void()>& change, const char* what);

 private:
  // Keeps the target's bytes in [from, to) that belong to its original content.
  void Keep(int64_t from, int64_t to);

  struct TSaved {
    int64_t offset;
    std::string bytes;
  };
  int64_t FOriginalSize;
  bool FRolledBack = false;
  std::vector<TSaved> FSaved;
  size_t FKnown = 0;  // the first entries of FSaved, told by Know
};

}  // namespace tagscope
