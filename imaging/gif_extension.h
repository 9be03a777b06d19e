#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tagscope/rtl/byte_reader.h"

namespace tagscope {

enum TExtensionKind : uint8_t {
  ekGraphicControl = 0,
  ekPlainText = 1,
  ekApplication = 2,
  ekComment = 3,
};

// One extension block of a GIF stream. Graphic control and comment blocks stay with the frame
// that follows them.
class TExtension {
 public:
  TExtension() = default;
  TExtension(uint8_t blockKind, std::string fixedBytes, std::vector<std::string> blockLines)
      : FBlockKind(blockKind),
        FFixedBytes(std::move(fixedBytes)),
        FBlockLines(std::move(blockLines)) {}

  uint8_t BlockKind() const { return FBlockKind; }
  // The bytes right after the label: 6 for graphic control, 13 for plain text, 12 for
  // application, none for comment blocks; zero where the data ended early.
  const std::string& FixedBytes() const { return FFixedBytes; }
  // One entry per data sub-block.
  const std::vector<std::string>& BlockLines() const { return FBlockLines; }
  void Assign(const TExtension& source) { *this = source; }

  // Graphic control fields.
  uint8_t Flags() const { return Fixed(1); }
  // Hundredths of a second; 0 where the block ended before the field.
  int Delay() const;
  uint8_t TransparentIndex() const { return Fixed(4); }

  // Reads the block after its label; raises "Unrecognized extension block: %.2x" for a label
  // that is none of the four kinds.
  static TExtension Read(TByteReader& reader, uint8_t label);
  // An application block that asks for looping: NETSCAPE2.0 or ANIMEXTS1.0 with a first
  // sub-block of at least three bytes, the first of them 1.
  bool IsLoopBlock() const;
  int LoopCount() const;

 private:
  uint8_t Fixed(size_t i) const {
    return i < FFixedBytes.size() ? static_cast<uint8_t>(FFixedBytes[i]) : 0;
  }

  uint8_t FBlockKind = ekGraphicControl;
  std::string FFixedBytes;
  std::vector<std::string> FBlockLines;
};

// Reads data sub-blocks up to a zero length byte or the end of the data.
std::vector<std::string> ReadSubBlocks(TByteReader& reader);

}  // namespace tagscope
