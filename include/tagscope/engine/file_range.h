#pragma once

#include <cstdint>

namespace tagscope {

// A run of a file's bytes, [Offset, Offset + Size).
struct TFileRange {
  int64_t Offset = 0;
  int64_t Size = 0;
  int64_t End() const { return Offset + Size; }
  bool operator==(const TFileRange&) const = default;
};

}  // namespace tagscope
