#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/audio/mpeg_vbr_header.h"

namespace tagscope {

// What a Xing or Info header frame holds, besides its frame header.
struct TXingContent {
  bool vbr = false;                 // "Xing" when the bitrate varies, else "Info"
  int64_t frames = 0;               // audio frames after the header's own
  int64_t bytes = 0;                // the stream's bytes, the header's frame included
  std::array<uint8_t, 100> toc{};   // XingToc
  std::optional<uint32_t> quality;  // the encoder's quality field, where there was one
  std::string lame;                 // a LAME extension kept (kLameExtensionSize bytes), or empty
  TLameCrcKind crcKind = TLameCrcKind::lcFirst190;
  // Samples cut off the stream's end, taken off the extension's padding (which stays at least
  // the decoder's delay, 529 samples).
  int paddingCut = 0;
};

inline constexpr size_t kLameExtensionSize = 36;

// The bytes of a header frame of `content` that begins with the frame header `bits`.
size_t XingFrameNeeds(uint32_t bits, const TXingContent& content);

// The frame header for a new header frame in the stream whose audio frames begin with `stream`
// (a layer III header): its version, rate, channel mode and flags, no checksum, no padding, and
// the stream's bitrate where a frame of it holds `needed` bytes, else the least that does. None
// when no bitrate does.
std::optional<uint32_t> XingFrameBits(uint32_t stream, size_t needed);

// The table of contents: entry i is the byte at which the frame holding i percent of the
// duration begins, counted from the header's frame (`headerLength` bytes) on, scaled to 0..255
// over the stream's bytes. For a stream whose frames are `frameLengths` bytes long, each of the
// same duration.
std::array<uint8_t, 100> XingToc(const std::vector<uint16_t>& frameLengths, int64_t headerLength);

// The header frame, `bits` its frame header, laid out as a layer III frame with empty side
// information: the Xing or Info header (frames, bytes, table of contents, the quality when
// given), then the LAME extension with its music length set to the byte count, its padding less
// `paddingCut`, and its checksum made anew. Raises EInvalidArgument when the frame is too small.
std::string BuildXingFrame(uint32_t bits, const TXingContent& content);

// Where the Xing or Info header of a layer III frame begins, or none: after the side
// information, or two bytes later where a frame checksum comes first.
std::optional<size_t> XingOffset(std::string_view frame, const TMpegFrameHeader& header);

}  // namespace tagscope
