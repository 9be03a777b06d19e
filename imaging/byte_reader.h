#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "rtl/exception.h"

namespace tagscope {

// Bounds-checked reading of a byte string held in memory.
class TByteReader {
 public:
  explicit TByteReader(const std::string& data) : FData(data) {}

  size_t Position() const { return FPos; }
  size_t Size() const { return FData.size(); }
  size_t Remaining() const { return FData.size() - FPos; }
  bool AtEnd() const { return FPos >= FData.size(); }
  void SeekToEnd() { FPos = FData.size(); }

  // Exactly count bytes, or "Stream read error".
  void Read(void* buffer, size_t count) {
    if (count > Remaining()) throw EReadError(SReadError);
    std::memcpy(buffer, FData.data() + FPos, count);
    FPos += count;
  }
  uint8_t ReadByte() {
    uint8_t b;
    Read(&b, 1);
    return b;
  }
  // Up to count bytes; the rest of the buffer is zero-filled. Returns the bytes read.
  size_t ReadUpTo(void* buffer, size_t count) {
    const size_t n = std::min(count, Remaining());
    std::memcpy(buffer, FData.data() + FPos, n);
    std::memset(static_cast<uint8_t*>(buffer) + n, 0, count - n);
    FPos += n;
    return n;
  }
  std::string ReadString(size_t count) {
    const size_t n = std::min(count, Remaining());
    std::string s = FData.substr(FPos, n);
    FPos += n;
    return s;
  }

 private:
  const std::string& FData;
  size_t FPos = 0;
};

}  // namespace tagscope
