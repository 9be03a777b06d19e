#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tagscope {

// Variable-width LZW codes, least significant bit first, from the data sub-blocks of a GIF
// code stream. The sub-blocks are joined into one buffer first so that a code is a shift and a
// mask of a four-byte window; a sub-block cut short by the end of the stream ends the data
// before it, just as the reader leaves such a block out of a frame.
class TCodeReader {
 public:
  static constexpr uint32_t EndOfData = 0xFFFF;

  // stream: the sub-blocks, starting right after the code size byte at offset start.
  TCodeReader(const std::string& stream, size_t start);

  const uint8_t* Data() const { return FData.data(); }
  uint64_t BitCount() const { return FBitCount; }

  // How far the reading has got in the code stream, counted as a byte position of the stream:
  // the end of the sub-block that holds the last bit read.
  int64_t StreamPosition(uint64_t bitPos);

 private:
  struct TBlock {
    uint64_t EndBit;    // end of the block's bits in the joined buffer
    int64_t StreamEnd;  // position in the code stream after the block
  };
  std::vector<uint8_t> FData;  // joined sub-blocks plus zero padding for the window
  std::vector<TBlock> FBlocks;
  uint64_t FBitCount = 0;
  size_t FBlockCursor = 0;
  int64_t FStreamSize = 0;
};

// The code of the given width (at most 12 bits) at bitPos of the joined data, advancing bitPos;
// EndOfData when fewer than width bits remain. The bit position is the caller's, so that it
// can stay in a register.
inline uint32_t NextCode(const uint8_t* data, uint64_t bitCount, uint64_t& bitPos, int width) {
  static_assert(std::endian::native == std::endian::little);
  if (bitPos + static_cast<uint64_t>(width) > bitCount) {
    bitPos = bitCount + 1;  // all of the stream has been looked at
    return TCodeReader::EndOfData;
  }
  uint32_t window;
  std::memcpy(&window, data + (bitPos >> 3), sizeof window);
  const uint32_t code = (window >> (bitPos & 7)) & ((1u << width) - 1);
  bitPos += static_cast<uint64_t>(width);
  return code;
}

}  // namespace tagscope
