#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "engine/file/file_facts.h"
#include "tagscope/engine/id3_frame_item.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

// Reads of an open file after its tag was read: of the bytes the file held then, or none. A
// read raises EReadError when the file has changed since (its identity, size or time of last
// write), or a writer holds it for longer than a reader waits.
class TLaterReads {
 public:
  // `file` stays open as long as this object is used; `name` is for messages; `stamp` what the
  // file was when its tag was read.
  TLaterReads(TStream& file, std::string name, TFileFacts stamp)
      : FFile(file), FName(std::move(name)), FStamp(std::move(stamp)) {}
  void Read(int64_t position, char* into, int64_t count);

 private:
  TStream& FFile;
  std::string FName;
  TFileFacts FStamp;
  std::mutex FMutex;
};

// The rest of a frame's payload, left in the file when the tag was read: read into its place
// in the tag's bytes (which `owner` keeps) the first time the payload is asked for.
class TDeferredPayload : public TID3Frames_Item::TPayloadSource {
 public:
  TDeferredPayload(std::weak_ptr<TLaterReads> file, std::shared_ptr<const void> owner, char* into,
                   int64_t position, int64_t count)
      : FFile(std::move(file)),
        FOwner(std::move(owner)),
        FInto(into),
        FPosition(position),
        FCount(count) {}
  void Fill() const override;
  bool Filled() const override { return FFilled.load(std::memory_order_acquire); }

 private:
  std::weak_ptr<TLaterReads> FFile;
  std::shared_ptr<const void> FOwner;
  char* FInto;
  int64_t FPosition;
  int64_t FCount;
  // Not std::call_once: a fill that fails raises, and an exception leaving call_once stops
  // the process on some platforms. A fill that failed is tried again by the next caller.
  mutable std::mutex FMutex;
  mutable std::atomic<bool> FFilled{false};
};

}  // namespace tagscope
