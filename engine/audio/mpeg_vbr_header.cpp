// Xing, Info, LAME and VBRI headers in a stream's first frame.
#include "engine/audio/mpeg_vbr_header.h"

#include <algorithm>
#include <cctype>

#include "tagscope/rtl/byte_reader.h"

namespace tagscope {

namespace {

constexpr size_t kVbriOffset = 36;  // fixed, whatever the frame's layout
constexpr size_t kLameSize = 36;    // the LAME extension after the Xing fields
constexpr size_t kEncoderSize = 9;

// The encoder's name: printable ASCII up to the first NUL, blanks trimmed; empty when the bytes
// do not begin with four letters or digits (no extension there, or another encoder's bytes).
std::string EncoderName(std::string_view bytes) {
  for (size_t i = 0; i < 4; ++i)
    if (!std::isalnum(static_cast<unsigned char>(bytes[i]))) return std::string();
  std::string name;
  for (const char c : bytes) {
    if (c == '\0') break;
    name.push_back(c >= 0x20 && c < 0x7F ? c : '?');
  }
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

void ReadLameExtension(TByteReader& r, TVbrHeader& v) {
  if (!r.Has(kLameSize)) return;
  const size_t at = r.Position();
  v.encoder = EncoderName(r.ViewAt(at, kEncoderSize));
  if (v.encoder.empty()) return;
  v.lameOffset = static_cast<int64_t>(at);
  v.method = r.ByteAt(at + 9) & 15;
  // Two 12-bit counts after the name, method, lowpass, replay gain, flags and bitrate bytes.
  const uint64_t gapless = r.BEAt(at + 21, 3);
  v.delay = static_cast<int>(gapless >> 12);
  v.padding = static_cast<int>(gapless & 0xFFF);
}

bool ReadXing(std::string_view frame, size_t offset, TVbrHeader& v) {
  TByteReader r(frame);
  if (!r.HasAt(offset, 8)) return false;
  const std::string_view id = r.ViewAt(offset, 4);
  if (id != "Xing" && id != "Info") return false;
  v.kind = std::string(id);
  const uint64_t flags = r.BEAt(offset + 4, 4);
  r.Seek(offset + 8);
  if ((flags & 1) && r.Has(4)) v.frames = static_cast<int64_t>(r.ReadBE(4));
  if ((flags & 2) && r.Has(4)) v.bytes = static_cast<int64_t>(r.ReadBE(4));
  if (flags & 4) {
    if (!r.Has(100)) return true;
    r.Skip(100);  // seek table
  }
  if (flags & 8) {
    if (!r.Has(4)) return true;
    r.Skip(4);  // quality
  }
  ReadLameExtension(r, v);
  return true;
}

bool ReadVbri(std::string_view frame, TVbrHeader& v) {
  TByteReader r(frame);
  if (!r.HasAt(kVbriOffset, 18) || r.ViewAt(kVbriOffset, 4) != "VBRI") return false;
  v.kind = "VBRI";
  v.bytes = static_cast<int64_t>(r.BEAt(kVbriOffset + 10, 4));
  v.frames = static_cast<int64_t>(r.BEAt(kVbriOffset + 14, 4));
  return true;
}

}  // namespace

size_t SideInfoSize(const TMpegFrameHeader& h) {
  const bool mono = h.channelMode == TChannelMode::cmMono;
  if (h.version == TMpegVersion::mv1) return mono ? 17 : 32;
  return mono ? 9 : 17;
}

namespace {

// The reflected CRC-16 of each byte value, for a byte at a time.
struct TCrc16Table {
  uint16_t of[256] = {};
  constexpr TCrc16Table() {
    for (unsigned byte = 0; byte < 256; ++byte) {
      auto crc = static_cast<uint16_t>(byte);
      for (int bit = 0; bit < 8; ++bit)
        crc = static_cast<uint16_t>((crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1);
      of[byte] = crc;
    }
  }
};

constexpr TCrc16Table kCrc16;

}  // namespace

uint16_t Crc16(std::string_view bytes, uint16_t crc) {
  for (const char c : bytes)
    crc =
        static_cast<uint16_t>((crc >> 8) ^ kCrc16.of[(crc ^ static_cast<unsigned char>(c)) & 0xFF]);
  return crc;
}

bool LameCrcMatches(std::string_view frame, size_t lame) {
  const size_t at = lame + kLameCrcAt;
  if (at + 2 > frame.size()) return true;
  const auto stored = static_cast<uint16_t>(TByteReader(frame).BEAt(at, 2));
  return LameTagCrc(frame, lame, TLameCrcKind::lcBefore) == stored ||
         LameTagCrc(frame, lame, TLameCrcKind::lcFirst190) == stored;
}

uint16_t LameTagCrc(std::string_view frame, size_t lameOffset, TLameCrcKind kind) {
  const size_t at = lameOffset + kLameCrcAt;
  if (kind == TLameCrcKind::lcBefore) return Crc16(frame.substr(0, at));
  // The first kLameCrcSpan bytes, zeros past the frame's end and for the checksum itself.
  char bytes[kLameCrcSpan] = {};
  const std::string_view head = frame.substr(0, kLameCrcSpan);
  std::copy(head.begin(), head.end(), bytes);
  for (size_t i = at; i < at + 2 && i < kLameCrcSpan; ++i) bytes[i] = '\0';
  return Crc16(std::string_view(bytes, kLameCrcSpan));
}

TVbrHeader ReadVbrHeader(std::string_view frame, const TMpegFrameHeader& header) {
  TVbrHeader v;
  if (header.layer == 3) {
    const size_t offset = 4 + SideInfoSize(header);
    // Encoders differ on whether a frame checksum comes before the side information.
    if (ReadXing(frame, offset, v) || (header.crc && ReadXing(frame, offset + 2, v))) return v;
  }
  ReadVbri(frame, v);
  return v;
}

}  // namespace tagscope
