#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "rtl/exception.h"

namespace tagscope {

// Bounds-checked reading of bytes held in memory (not owned).
class TByteReader {
 public:
  TByteReader(const char* data, size_t size) : FData(data), FSize(size) {}
  explicit TByteReader(const std::string& data) : TByteReader(data.data(), data.size()) {}

  size_t Position() const { return FPos; }
  size_t Size() const { return FSize; }
  size_t Remaining() const { return FSize - FPos; }
  bool AtEnd() const { return FPos >= FSize; }
  void SeekToEnd() { FPos = FSize; }
  // The byte at Position() + offset without moving; offset must be below Remaining().
  uint8_t Peek(size_t offset) const { return static_cast<uint8_t>(FData[FPos + offset]); }
  void Skip(size_t count) { FPos += std::min(count, Remaining()); }

  // Exactly count bytes, or "Stream read error".
  void Read(void* buffer, size_t count) {
    if (count > Remaining()) throw EReadError(SReadError);
    std::memcpy(buffer, FData + FPos, count);
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
    std::memcpy(buffer, FData + FPos, n);
    std::memset(static_cast<uint8_t*>(buffer) + n, 0, count - n);
    FPos += n;
    return n;
  }
  // Bytes already read or not, by absolute position; the range must lie within the data.
  std::string Slice(size_t position, size_t count) const {
    return std::string(FData + position, count);
  }
  std::string ReadString(size_t count) {
    const size_t n = std::min(count, Remaining());
    std::string s(FData + FPos, n);
    FPos += n;
    return s;
  }

 private:
  const char* FData;
  size_t FSize;
  size_t FPos = 0;
};

}  // namespace tagscope
