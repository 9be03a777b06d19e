#include "imaging/gif_code_reader.h"

namespace tagscope {

TCodeReader::TCodeReader(const std::string& stream, size_t start)
    : FStreamSize(static_cast<int64_t>(stream.size())) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(stream.data());
  const size_t size = stream.size();
  FData.reserve(size + 4);
  size_t pos = start;
  while (pos < size) {
    const size_t length = bytes[pos];
    if (length > size - pos - 1) break;  // cut short: leave the partial block out
    pos += 1 + length;
    if (length == 0) continue;  // empty blocks are skipped, reading goes on after them
    FData.insert(FData.end(), bytes + pos - length, bytes + pos);
    FBlocks.push_back({static_cast<uint64_t>(FData.size()) * 8, static_cast<int64_t>(pos)});
  }
  FBitCount = static_cast<uint64_t>(FData.size()) * 8;
  FData.resize(FData.size() + 4, 0);
}

int64_t TCodeReader::StreamPosition(uint64_t bitPos) {
  if (bitPos > FBitCount || FBlocks.empty()) return FStreamSize;
  while (FBlockCursor + 1 < FBlocks.size() && FBlocks[FBlockCursor].EndBit < bitPos) ++FBlockCursor;
  return FBlocks[FBlockCursor].StreamEnd;
}

}  // namespace tagscope
