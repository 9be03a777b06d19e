#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tagscope {

// Variable-width LZW codes, least significant bit first, from the data sub-blocks of a GIF
// code stream. The sub-blocks are joined into a window of up to 64 KB at a time, so that a code
// is a shift and a mask of a four-byte window, and a frame needs no second copy of its data. A
// sub-block cut short by the end of the stream ends the data before it, just as the reader
// leaves such a block out of a frame; empty sub-blocks are skipped.
class TCodeReader {
 public:
  static constexpr uint32_t EndOfData = 0xFFFF;

  // stream: the sub-blocks, starting right after the code size byte at offset start.
  TCodeReader(const std::string& stream, size_t start);

  const uint8_t* Data() const { return FData.data(); }
  uint64_t BitCount() const { return FBitCount; }

  static constexpr uint64_t NoMoreData = ~uint64_t(0);
  // Moves the unread bits from bitPos on to the front of the window and appends the next
  // sub-blocks. Gives the bit position in the new window, or NoMoreData when the stream has no
  // more. (The position goes in and out by value: a decoder keeps it in a register.)
  uint64_t Refill(uint64_t bitPos);

  // How far the reading has got in the code stream, counted as a byte position of the stream:
  // the end of the sub-block that holds the last bit read.
  int64_t StreamPosition(uint64_t bitPos);

 private:
  struct TBlock {
    uint64_t EndBit;    // end of the block's bits in the window
    int64_t StreamEnd;  // position in the code stream after the block
  };
  const uint8_t* FStream;
  size_t FStreamSize;
  size_t FNextBlock;            // stream position of the next length byte
  std::vector<uint8_t> FData;   // the window plus zero padding for the four-byte reads
  std::vector<TBlock> FBlocks;  // the blocks in the window
  uint64_t FBitCount = 0;
  size_t FBlockCursor = 0;
};

// The code of the given width (at most 12 bits) at bitPos of the window, advancing bitPos;
// EndOfData when fewer than width bits remain in the stream. The window's data, size and bit
// position are the caller's, so that they can stay in registers; a refill updates them.
inline uint32_t NextCode(TCodeReader& reader, const uint8_t*& data, uint64_t& bitCount,
                         uint64_t& bitPos, int width) {
  static_assert(std::endian::native == std::endian::little);
  while (bitPos + static_cast<uint64_t>(width) > bitCount) [[unlikely]] {
      const uint64_t moved = reader.Refill(bitPos);
      if (moved == TCodeReader::NoMoreData) {
        bitPos = bitCount + 1;  // all of the stream has been looked at
        return TCodeReader::EndOfData;
      }
      bitPos = moved;
      data = reader.Data();
      bitCount = reader.BitCount();
    }
  uint32_t window;
  std::memcpy(&window, data + (bitPos >> 3), sizeof window);
  const uint32_t code = (window >> (bitPos & 7)) & ((1u << width) - 1);
  bitPos += static_cast<uint64_t>(width);
  return code;
}

}  // namespace tagscope
