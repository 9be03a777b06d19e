#pragma once

#include <cstdint>

namespace tagscope {

enum class TMpegVersion { mv1, mv2, mv25 };
enum class TChannelMode { cmStereo, cmJointStereo, cmDualChannel, cmMono };

// The four bytes that begin every MPEG audio frame, decoded.
struct TMpegFrameHeader {
  TMpegVersion version = TMpegVersion::mv1;
  int layer = 0;       // 1, 2 or 3
  bool crc = false;    // a 16-bit checksum follows the header
  int bitrate = 0;     // kbit/s
  int sampleRate = 0;  // Hz
  bool padded = false;
  TChannelMode channelMode = TChannelMode::cmStereo;
  int samplesPerFrame = 0;
  int frameLength = 0;  // bytes, header included

  int Channels() const { return channelMode == TChannelMode::cmMono ? 1 : 2; }
  // Whether a frame that follows belongs to the same stream (version, layer and rate agree).
  bool SameStream(const TMpegFrameHeader& other) const {
    return version == other.version && layer == other.layer && sampleRate == other.sampleRate;
  }
};

// Decodes a frame header (its four bytes big-endian); false for anything that cannot begin a
// frame of known length: no sync, a reserved version, layer or sample rate, a bad or free-form
// bitrate.
bool ParseMpegFrameHeader(uint32_t bits, TMpegFrameHeader& header);

const char* MpegVersionName(TMpegVersion version);
const char* ChannelModeName(TChannelMode mode);

}  // namespace tagscope
