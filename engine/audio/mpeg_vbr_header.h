#pragma once

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

// The bytes of a Layer III frame's side information, which follow its header (and checksum).
size_t SideInfoSize(const TMpegFrameHeader& header);

// Looks for a VBR header in the bytes of a stream's first frame (from its header on, as many
// as were read); reads nothing outside them.
TVbrHeader ReadVbrHeader(std::string_view frame, const TMpegFrameHeader& header);

}  // namespace tagscope
