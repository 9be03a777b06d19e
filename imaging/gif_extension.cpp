#include "imaging/gif_extension.h"

#include <algorithm>

#include "tagscope/imaging/graphic.h"

namespace tagscope {

namespace {
constexpr const char* SUnrecognizedExtension = "Unrecognized extension block: %.2X";

std::string ReadFixed(TByteReader& reader, size_t count) {
  std::string bytes(count, '\0');
  reader.ReadUpTo(bytes.data(), count);
  return bytes;
}
}  // namespace

std::vector<std::string> ReadSubBlocks(TByteReader& reader) {
  std::vector<std::string> lines;
  while (!reader.AtEnd()) {
    const size_t length = reader.ReadByte();
    if (length == 0) break;
    lines.push_back(reader.ReadString(length));
  }
  return lines;
}

TExtension TExtension::Read(TByteReader& reader, uint8_t label) {
  switch (label) {
    case 0xF9:
      return TExtension(ekGraphicControl, ReadFixed(reader, 6), {});
    case 0xFE:
      return TExtension(ekComment, "", ReadSubBlocks(reader));
    case 0x01: {
      std::string fixed = ReadFixed(reader, 13);
      return TExtension(ekPlainText, std::move(fixed), ReadSubBlocks(reader));
    }
    case 0xFF: {
      std::string fixed = ReadFixed(reader, 12);
      return TExtension(ekApplication, std::move(fixed), ReadSubBlocks(reader));
    }
    default:
      throw EInvalidGraphicOperation(Format(SUnrecognizedExtension, label));
  }
}

bool TExtension::IsLoopBlock() const {
  if (FBlockKind != ekApplication || FBlockLines.empty()) return false;
  // The block size byte says how much of identifier and authentication code to compare; only
  // the 11 bytes the block holds are looked at.
  const size_t n = std::min<size_t>(Fixed(0), 11);
  const std::string id = FFixedBytes.substr(1, n);
  if (id != std::string("NETSCAPE2.0").substr(0, n) &&
      id != std::string("ANIMEXTS1.0").substr(0, n))
    return false;
  const std::string& first = FBlockLines.front();
  return first.size() >= 3 && first[0] == 1;
}

int TExtension::Delay() const {
  const TByteReader fixed(FFixedBytes);
  return fixed.HasAt(2, 2) ? static_cast<int>(fixed.LEAt(2, 2)) : 0;
}

int TExtension::LoopCount() const {
  const std::string& first = FBlockLines.front();
  const auto count = static_cast<int>(TByteReader(first).LEAt(1, 2));
  return std::min(count, 30000);
}

}  // namespace tagscope
