#include "engine/frames/stream_helpers.h"

#include <algorithm>
#include <array>

#include "tagscope/rtl/exception.h"

namespace tagscope {

bool ValidFrameID(std::string_view id) {
  if (id.size() != 4) return false;
  return std::all_of(id.begin(), id.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'); });
}

namespace {

uint64_t LoadLE(const uint8_t* buffer, int count) {
  uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | buffer[i];
  return value;
}

void StoreLE(uint8_t* buffer, int count, uint64_t value) {
  for (int i = 0; i < count; ++i, value >>= 8) buffer[i] = static_cast<uint8_t>(value);
}

}  // namespace

void SyncSafeConvert(uint8_t* buffer, int count, bool toPlain) {
  count = std::clamp(count, 0, 8);
  uint64_t value = 0;
  if (toPlain) {
    for (int i = count - 1; i >= 0; --i) value = (value << 7) | (buffer[i] & 0x7F);
    StoreLE(buffer, count, value);
  } else {
    const uint64_t plain = LoadLE(buffer, count);
    for (int i = 0; i < count; ++i) buffer[i] = static_cast<uint8_t>((plain >> (7 * i)) & 0x7F);
  }
}

void ReverseBytes(uint8_t* buffer, int count) {
  std::reverse(buffer, buffer + std::clamp(count, 0, 8));
}

void WriteSyncSafeBE(uint8_t* bytes, int count, uint64_t value) {
  std::array<uint8_t, 8> work{};
  StoreLE(work.data(), count, value);
  SyncSafeConvert(work.data(), count, false);
  ReverseBytes(work.data(), count);
  std::copy(work.begin(), work.begin() + count, bytes);
}

std::string TrimControl(std::string_view text) {
  auto blank = [](char c) { return static_cast<uint8_t>(c) <= 0x20; };
  const auto first = std::find_if_not(text.begin(), text.end(), blank);
  const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
  return first < last ? std::string(first, last) : std::string();
}

std::string StreamToText(TStream& stream, uint8_t& encoding) {
  encoding = 0;
  if (stream.Size() == 0) return {};
  stream.SetPosition(0);
  std::string bytes = stream.ReadString(stream.Size());
  stream.SetPosition(0);
  encoding = static_cast<uint8_t>(bytes[0]);
  std::string_view text(bytes);
  text.remove_prefix(1);
  return TrimControl(text.substr(0, text.find('\0')));
}

void TextToStream(uint8_t encoding, const std::string& text, TStream& stream) {
  stream.SetPosition(0);
  stream.SetSize(0);
  stream.WriteBuffer(&encoding, 1);
  stream.WriteString(text);
  stream.SetPosition(0);
}

int64_t CopyStreamData(TStream& source, TStream& dest, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  count = std::min(count, source.Size() - source.Position());
  std::array<char, 4096> buffer;
  int64_t copied = 0;
  while (copied < count) {
    const int64_t wanted = std::min<int64_t>(buffer.size(), count - copied);
    const int64_t n = source.Read(buffer.data(), wanted);
    if (n <= 0) throw EReadError(SReadError);
    dest.WriteBuffer(buffer.data(), n);
    copied += n;
  }
  return copied;
}

}  // namespace tagscope
