#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "tagscope/rtl/exception.h"

namespace tagscope {

// Bounds-checked reading of bytes held in memory (not owned): sequential reads from a
// position, and reads at absolute offsets. Every read that would pass the end raises
// "Stream read error" (or, for the ...UpTo forms, takes what is there).
class TByteReader {
 public:
  TByteReader(const char* data, size_t size) : FData(data), FSize(size) {}
  explicit TByteReader(std::string_view data) : TByteReader(data.data(), data.size()) {}
  explicit TByteReader(const std::string& data) : TByteReader(data.data(), data.size()) {}

  size_t Position() const { return FPos; }
  size_t Size() const { return FSize; }
  size_t Remaining() const { return FSize - FPos; }
  bool AtEnd() const { return FPos >= FSize; }
  void SeekToEnd() { FPos = FSize; }
  // Moves to an absolute position; a position past the end stands at the end.
  void Seek(size_t position) { FPos = std::min(position, FSize); }
  // The byte at Position() + offset without moving; offset must be below Remaining().
  uint8_t Peek(size_t offset) const { return static_cast<uint8_t>(FData[FPos + offset]); }
  void Skip(size_t count) { FPos += std::min(count, Remaining()); }
  bool Has(size_t count) const { return count <= Remaining(); }

  // Exactly count bytes, or "Stream read error".
  void Read(void* buffer, size_t count) {
    Require(count);
    std::memcpy(buffer, FData + FPos, count);
    FPos += count;
  }
  uint8_t ReadByte() {
    Require(1);
    return static_cast<uint8_t>(FData[FPos++]);
  }
  // Big-endian integers of count (1..8) bytes, plain or sync-safe (7 value bits a byte).
  uint64_t ReadBE(int count) {
    const uint64_t value = BEAt(FPos, count);
    FPos += static_cast<size_t>(count);
    return value;
  }
  uint64_t ReadSyncSafe(int count) {
    const uint64_t value = SyncSafeAt(FPos, count);
    FPos += static_cast<size_t>(count);
    return value;
  }
  // The next count bytes as a view of the data, or "Stream read error".
  std::string_view ReadView(size_t count) {
    Require(count);
    const std::string_view view(FData + FPos, count);
    FPos += count;
    return view;
  }
  // Up to count bytes; the rest of the buffer is zero-filled. Returns the bytes read.
  size_t ReadUpTo(void* buffer, size_t count) {
    const size_t n = std::min(count, Remaining());
    std::memcpy(buffer, FData + FPos, n);
    std::memset(static_cast<uint8_t*>(buffer) + n, 0, count - n);
    FPos += n;
    return n;
  }
  std::string ReadString(size_t count) { return std::string(ReadViewUpTo(count)); }
  std::string_view ReadViewUpTo(size_t count) {
    const size_t n = std::min(count, Remaining());
    const std::string_view view(FData + FPos, n);
    FPos += n;
    return view;
  }

  // Reads at absolute offsets, the position unchanged.
  bool HasAt(size_t offset, size_t count) const {
    return offset <= FSize && count <= FSize - offset;
  }
  uint8_t ByteAt(size_t offset) const {
    RequireAt(offset, 1);
    return static_cast<uint8_t>(FData[offset]);
  }
  uint64_t BEAt(size_t offset, int count) const {
    RequireAt(offset, static_cast<size_t>(count));
    uint64_t value = 0;
    for (int i = 0; i < count; ++i) value = (value << 8) | static_cast<uint8_t>(FData[offset + i]);
    return value;
  }
  uint64_t LEAt(size_t offset, int count) const {
    RequireAt(offset, static_cast<size_t>(count));
    uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i)
      value = (value << 8) | static_cast<uint8_t>(FData[offset + i]);
    return value;
  }
  uint64_t SyncSafeAt(size_t offset, int count) const {
    RequireAt(offset, static_cast<size_t>(count));
    uint64_t value = 0;
    for (int i = 0; i < count; ++i) value = (value << 7) | (FData[offset + i] & 0x7F);
    return value;
  }
  // True when no byte of the field has bit 7 set.
  bool IsSyncSafeAt(size_t offset, int count) const {
    RequireAt(offset, static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
      if (FData[offset + i] & 0x80) return false;
    return true;
  }
  std::string_view ViewAt(size_t offset, size_t count) const {
    RequireAt(offset, count);
    return std::string_view(FData + offset, count);
  }
  // Bytes already read or not, by absolute position; the range must lie within the data.
  std::string Slice(size_t position, size_t count) const {
    return std::string(ViewAt(position, count));
  }

 private:
  void Require(size_t count) const {
    if (count > Remaining()) throw EReadError(SReadError);
  }
  void RequireAt(size_t offset, size_t count) const {
    if (!HasAt(offset, count)) throw EReadError(SReadError);
  }

  const char* FData;
  size_t FSize;
  size_t FPos = 0;
};

// Writes a big-endian integer field as it stands in a file (count 1..8 bytes), as
// TByteReader reads it.
inline void WritePlainBE(uint8_t* bytes, int count, uint64_t value) {
  for (int i = count - 1; i >= 0; --i, value >>= 8) bytes[i] = static_cast<uint8_t>(value);
}

}  // namespace tagscope
