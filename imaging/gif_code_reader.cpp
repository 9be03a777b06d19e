#include "imaging/gif_code_reader.h"

#include <algorithm>

namespace tagscope {

namespace {
// Sub-blocks are appended while the window holds fewer bytes than this.
constexpr size_t kWindowBytes = size_t(64) << 10;
// Room for the bytes carried over, one more sub-block and the padding of the four-byte reads.
constexpr size_t kBufferBytes = kWindowBytes + 8 + 255 + 4;
}  // namespace

TCodeReader::TCodeReader(const std::string& stream, size_t start)
    : FStream(reinterpret_cast<const uint8_t*>(stream.data())),
      FStreamSize(stream.size()),
      FNextBlock(start),
      FData(kBufferBytes) {
  Refill(0);
}

uint64_t TCodeReader::Refill(uint64_t bitPos) {
  if (FNextBlock >= FStreamSize) return NoMoreData;
  // Unread bits (fewer than a code's width when the decoder asks) move to the front.
  const size_t first = std::min<size_t>(bitPos >> 3, FBitCount >> 3);
  const size_t kept = (FBitCount >> 3) - first;
  std::memmove(FData.data(), FData.data() + first, kept);
  bitPos -= uint64_t(first) * 8;
  size_t filled = kept;
  FBlocks.clear();
  FBlockCursor = 0;
  while (FNextBlock < FStreamSize && filled < kWindowBytes) {
    const size_t length = FStream[FNextBlock];
    if (length > FStreamSize - FNextBlock - 1) {  // cut short: leave the partial block out
      FNextBlock = FStreamSize;
      break;
    }
    FNextBlock += 1 + length;
    if (length == 0) continue;
    std::memcpy(FData.data() + filled, FStream + FNextBlock - length, length);
    filled += length;
    FBlocks.push_back({uint64_t(filled) * 8, static_cast<int64_t>(FNextBlock)});
  }
  std::memset(FData.data() + filled, 0, 4);
  FBitCount = uint64_t(filled) * 8;
  return filled > kept ? bitPos : NoMoreData;
}

int64_t TCodeReader::StreamPosition(uint64_t bitPos) {
  if (bitPos > FBitCount || FBlocks.empty()) return static_cast<int64_t>(FStreamSize);
  while (FBlockCursor + 1 < FBlocks.size() && FBlocks[FBlockCursor].EndBit < bitPos) ++FBlockCursor;
  return FBlocks[FBlockCursor].StreamEnd;
}

}  // namespace tagscope
