#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "engine/file/file_facts.h"
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

}  // namespace tagscope
