#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tagscope/engine/mpeg_audio.h"

namespace tagscope {

// The header an encoder puts in place of audio into a stream's first frame: a Xing or Info
// header (with the LAME extension after it, when the encoder wrote one) or a VBRI header.
struct TVbrHeader {
  std::string kind;     // "Xing", "Info", "VBRI"; empty when the frame holds none
  int64_t frames = -1;  // audio frames after this one; -1 when not given
  int64_t bytes = -1;   // the stream's bytes, this frame included; -1 when not given
  std::string encoder;  // the LAME extension's encoder name; empty when there is none
  int method = -1;      // the LAME extension's bitrate method (1 CBR, 2 ABR, 3..6 VBR, ...)
  int delay = -1;       // samples of encoder delay and padding; -1 when not given
  int padding = -1;
  int64_t lameOffset = -1;  // where the LAME extension begins in the frame; -1 when none
};

// The size of a layer III frame's side information, which a Xing header follows.
size_t SideInfoSize(const TMpegFrameHeader& header);

// The CRC-16 (polynomial 0x8005, reflected, starting from 0) the LAME extension and its audio
// checksum use.
uint16_t Crc16(std::string_view bytes, uint16_t crc = 0);

// Where the checksum of the LAME extension stands within it, and what it is computed over.
// Encoders write one of two: the frame's bytes before the checksum, or the frame's first 190
// bytes with the checksum counted as zero (and zero past the frame's end). Both are the same
// where the extension ends at byte 192, as in a stereo MPEG-1 frame with every Xing field.
inline constexpr size_t kLameCrcAt = 34;
inline constexpr size_t kLameCrcSpan = 190;
enum class TLameCrcKind { lcBefore, lcFirst190 };
uint16_t LameTagCrc(std::string_view frame, size_t lameOffset, TLameCrcKind kind);
// Whether the checksum of the LAME extension at `lame` in the frame matches by either
// convention (a frame too short to hold it has nothing to match).
bool LameCrcMatches(std::string_view frame, size_t lame);

// Looks for a VBR header in the bytes of a stream's first frame (from its header on, as many
// as were read); reads nothing outside them.
TVbrHeader ReadVbrHeader(std::string_view frame, const TMpegFrameHeader& header);

}  // namespace tagscope
