// The header frame a repair writes: a Xing or Info header with its table of contents, and the
// LAME extension kept from the old one.
#include "engine/audio/xing_frame.h"

#include <algorithm>

#include "tagscope/rtl/byte_reader.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

constexpr size_t kXingFieldsSize = 4 + 4 + 4 + 4 + 100;  // id, flags, frames, bytes, TOC
constexpr uint32_t kFlagFrames = 1, kFlagBytes = 2, kFlagToc = 4, kFlagQuality = 8;
// In the LAME extension: the delay and padding (12 bits each), the music length.
constexpr size_t kLameGapless = 21;
constexpr size_t kLameMusicLength = 28;
// Samples a layer III decoder gives out later than they went in: the last frame's last ones
// never come out, and an encoder's padding covers at least these.
constexpr int kDecoderDelay = 529;
// Of a frame header: the bits a header frame keeps from the stream's frames (sync, version,
// layer, sample rate, channel mode, copyright, original, emphasis).
constexpr uint32_t kKeptBits = 0xFFFE0CCF;
constexpr uint32_t kNoChecksum = 1u << 16;

void PutBE(std::string& bytes, size_t at, uint64_t value, int count) {
  for (int i = count - 1; i >= 0; --i, value >>= 8)
    bytes[at + static_cast<size_t>(i)] = static_cast<char>(value & 0xFF);
}

TMpegFrameHeader Parsed(uint32_t bits) {
  TMpegFrameHeader h;
  if (!ParseMpegFrameHeader(bits, h) || h.layer != 3)
    throw Exception(Format("No layer III frame header: %08X", bits));
  return h;
}

// The LAME extension with its counts brought in line with the stream.
std::string UpdatedLame(const TXingContent& c) {
  std::string lame = c.lame;
  PutBE(lame, kLameMusicLength, static_cast<uint64_t>(std::clamp<int64_t>(c.bytes, 0, 0xFFFFFFFF)),
        4);
  if (c.paddingCut > 0) {
    const uint64_t gapless = TByteReader(lame).BEAt(kLameGapless, 3);
    // What stays of the padding; the new last frame's samples are the audio's up to its end.
    const int padding = std::max(kDecoderDelay, static_cast<int>(gapless & 0xFFF) - c.paddingCut);
    PutBE(lame, kLameGapless, (gapless & ~uint64_t(0xFFF)) | static_cast<uint64_t>(padding), 3);
  }
  return lame;
}

}  // namespace

size_t XingFrameNeeds(uint32_t bits, const TXingContent& content) {
  return 4 + SideInfoSize(Parsed(bits)) + kXingFieldsSize + (content.quality ? 4 : 0) +
         (content.lame.empty() ? 0 : kLameExtensionSize);
}

std::optional<uint32_t> XingFrameBits(uint32_t stream, size_t needed) {
  const uint32_t kept = (stream & kKeptBits) | kNoChecksum;
  auto length = [&](uint32_t index) {
    TMpegFrameHeader h;
    return ParseMpegFrameHeader(kept | (index << 12), h) ? static_cast<size_t>(h.frameLength) : 0;
  };
  const uint32_t own = (stream >> 12) & 15;
  if (length(own) >= needed) return kept | (own << 12);
  for (uint32_t index = 1; index < 15; ++index)
    if (length(index) >= needed) return kept | (index << 12);
  return std::nullopt;
}

std::array<uint8_t, 100> XingToc(const std::vector<uint16_t>& frameLengths, int64_t headerLength) {
  std::array<uint8_t, 100> toc{};
  const size_t n = frameLengths.size();
  // Where each hundredth of the frames begins, found in one pass over them.
  std::vector<int64_t> at(100, headerLength);
  int64_t total = headerLength;
  size_t entry = 0;
  for (size_t k = 0; k < n; ++k) {
    for (; entry < 100 && entry * n / 100 == k; ++entry) at[entry] = total;
    total += frameLengths[k];
  }
  for (; entry < 100; ++entry) at[entry] = total;
  for (size_t i = 0; i < 100; ++i)
    toc[i] = static_cast<uint8_t>(std::min<int64_t>(255, total > 0 ? at[i] * 256 / total : 0));
  return toc;
}

std::string BuildXingFrame(uint32_t bits, const TXingContent& c) {
  const TMpegFrameHeader h = Parsed(bits);
  const size_t length = static_cast<size_t>(h.frameLength);
  if (XingFrameNeeds(bits, c) > length)
    throw Exception(Format("A frame of %zu bytes cannot hold a header of %zu", length,
                           XingFrameNeeds(bits, c)));
  std::string frame(length, '\0');
  PutBE(frame, 0, bits, 4);
  size_t at = 4 + SideInfoSize(h);
  frame.replace(at, 4, c.vbr ? "Xing" : "Info");
  PutBE(frame, at + 4, kFlagFrames | kFlagBytes | kFlagToc | (c.quality ? kFlagQuality : 0), 4);
  PutBE(frame, at + 8, static_cast<uint64_t>(std::clamp<int64_t>(c.frames, 0, 0xFFFFFFFF)), 4);
  PutBE(frame, at + 12, static_cast<uint64_t>(std::clamp<int64_t>(c.bytes, 0, 0xFFFFFFFF)), 4);
  std::copy(c.toc.begin(), c.toc.end(), frame.begin() + static_cast<ptrdiff_t>(at + 16));
  at += kXingFieldsSize;
  if (c.quality) {
    PutBE(frame, at, *c.quality, 4);
    at += 4;
  }
  if (c.lame.size() == kLameExtensionSize) {
    frame.replace(at, kLameExtensionSize, UpdatedLame(c));
    PutBE(frame, at + kLameCrcAt, 0, 2);
    PutBE(frame, at + kLameCrcAt, LameTagCrc(frame, at, c.crcKind), 2);
  }
  return frame;
}

std::optional<size_t> XingOffset(std::string_view frame, const TMpegFrameHeader& header) {
  if (header.layer != 3) return std::nullopt;
  const size_t offset = 4 + SideInfoSize(header);
  for (const size_t at : {offset, offset + 2}) {
    if (at == offset + 2 && !header.crc) break;
    if (frame.size() >= at + 8 && (frame.substr(at, 4) == "Xing" || frame.substr(at, 4) == "Info"))
      return at;
  }
  return std::nullopt;
}

}  // namespace tagscope
