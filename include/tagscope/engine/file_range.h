#pragma once

#include <cstdint>
#include <string>

namespace tagscope {

// A run of a file's bytes, [Offset, Offset + Size).
struct TFileRange {
  int64_t Offset = 0;
  int64_t Size = 0;
  int64_t End() const { return Offset + Size; }
  bool operator==(const TFileRange&) const = default;
};

// A run of a file's bytes and what takes its place: nothing (a cut), other bytes of any length,
// or, for a run of no bytes, bytes put in before its Offset.
struct TFileSplice {
  TFileRange range;
  std::string bytes;
};

}  // namespace tagscope
