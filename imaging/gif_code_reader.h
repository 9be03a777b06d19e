#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tagscope {

// Variable-width LZW codes, least significant bit first, from the data sub-blocks of a GIF
// code stream. The sub-blocks are joined into one buffer first so that a code is a shift and a
// mask of a three-byte window; a sub-block cut short by the end of the stream ends the data
// before it, just as the reader leaves such a block out of a frame.
class TCodeReader {
 public:
  static constexpr uint32_t EndOfData = 0xFFFF;

  // stream: the sub-blocks, starting right after the code size byte at offset start.
  TCodeReader(const std::string& stream, size_t start);

  // The next code of the given width (at most 12 bits), or EndOfData when fewer bits remain.
  uint32_t NextCode(int width) {
    if (FBitPos + static_cast<uint64_t>(width) > FBitCount) {
      FBitPos = FBitCount + 1;  // all of the stream has been looked at
      return EndOfData;
    }
    const uint8_t* p = FData.data() + (FBitPos >> 3);
    const uint32_t window = p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
    const uint32_t code = (window >> (FBitPos & 7)) & ((1u << width) - 1);
    FBitPos += static_cast<uint64_t>(width);
    return code;
  }

  // How far the reading has got in the code stream, counted as a byte position of the stream:
  // the end of the sub-block that holds the last bit read.
  int64_t StreamPosition();

 private:
  struct TBlock {
    uint64_t EndBit;    // end of the block's bits in the joined buffer
    int64_t StreamEnd;  // position in the code stream after the block
  };
  std::vector<uint8_t> FData;  // joined sub-blocks plus zero padding for the window
  std::vector<TBlock> FBlocks;
  uint64_t FBitCount = 0;
  uint64_t FBitPos = 0;
  size_t FBlockCursor = 0;
  int64_t FStreamSize = 0;
};

}  // namespace tagscope
