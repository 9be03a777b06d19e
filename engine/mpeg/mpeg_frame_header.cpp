// The MPEG audio frame header: sync, version, layer, bitrate, sample rate, and the frame's length.
#include "tagscope/engine/mpeg_frame_header.h"

namespace tagscope {

namespace {

// kbit/s by bitrate index 1..14 (0 is the free format, 15 is invalid).
constexpr int kBitratesV1[3][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}};
constexpr int kBitratesV2[3][15] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
constexpr int kSampleRatesV1[3] = {44100, 48000, 32000};

constexpr int SamplesPerFrame(TMpegVersion version, int layer) {
  if (layer == 1) return 384;
  if (layer == 2 || version == TMpegVersion::mv1) return 1152;
  return 576;
}

constexpr TMpegVersion VersionOf(unsigned versionBits) {
  return versionBits == 3   ? TMpegVersion::mv1
         : versionBits == 2 ? TMpegVersion::mv2
                            : TMpegVersion::mv25;
}

constexpr int BitrateOf(TMpegVersion version, int layer, unsigned bitrateIndex) {
  return (version == TMpegVersion::mv1 ? kBitratesV1 : kBitratesV2)[layer - 1][bitrateIndex];
}

constexpr int SampleRateOf(TMpegVersion version, unsigned rateIndex) {
  // Halves and quarters of the rates, which they divide exactly.
  const int shift = version == TMpegVersion::mv1 ? 0 : version == TMpegVersion::mv2 ? 1 : 2;
  return kSampleRatesV1[rateIndex] >> shift;
}

// A frame's length in bytes by the header's bits 9 to 20 (padding, rate, bitrate, layer and
// version), worked out once: a walk over a stream decodes every frame's header, often twice.
struct TFrameLengths {
  int bytes[4096] = {};

  constexpr TFrameLengths() {
    for (unsigned key = 0; key < 4096; ++key) {
      const unsigned padding = key & 1, rateIndex = (key >> 1) & 3, bitrateIndex = (key >> 3) & 15;
      const unsigned layerBits = (key >> 8) & 3, versionBits = (key >> 10) & 3;
      if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
          rateIndex == 3)
        continue;
      const TMpegVersion version = VersionOf(versionBits);
      const int layer = 4 - static_cast<int>(layerBits);
      const int bitrate = BitrateOf(version, layer, bitrateIndex);
      const int rate = SampleRateOf(version, rateIndex);
      // Layer I counts in 4-byte slots, the others in bytes.
      bytes[key] = layer == 1 ? (12 * bitrate * 1000 / rate + static_cast<int>(padding)) * 4
                              : SamplesPerFrame(version, layer) / 8 * bitrate * 1000 / rate +
                                    static_cast<int>(padding);
    }
  }
};

constexpr TFrameLengths kFrameLengths;

}  // namespace

bool ParseMpegFrameHeader(uint32_t bits, TMpegFrameHeader& h) {
  if ((bits >> 21) != 0x7FF) return false;
  const unsigned versionBits = (bits >> 19) & 3, layerBits = (bits >> 17) & 3;
  const unsigned bitrateIndex = (bits >> 12) & 15, rateIndex = (bits >> 10) & 3;
  if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
      rateIndex == 3)
    return false;
  h.version = VersionOf(versionBits);
  h.layer = 4 - static_cast<int>(layerBits);
  h.crc = ((bits >> 16) & 1) == 0;
  h.bitrate = BitrateOf(h.version, h.layer, bitrateIndex);
  h.sampleRate = SampleRateOf(h.version, rateIndex);
  h.padded = ((bits >> 9) & 1) != 0;
  h.channelMode = static_cast<TChannelMode>((bits >> 6) & 3);
  h.samplesPerFrame = SamplesPerFrame(h.version, h.layer);
  h.frameLength = kFrameLengths.bytes[(bits >> 9) & 0xFFF];
  return true;
}

const char* MpegVersionName(TMpegVersion version) {
  switch (version) {
    case TMpegVersion::mv1:
      return "1";
    case TMpegVersion::mv2:
      return "2";
    case TMpegVersion::mv25:
      return "2.5";
  }
  return "";
}

const char* ChannelModeName(TChannelMode mode) {
  switch (mode) {
    case TChannelMode::cmStereo:
      return "stereo";
    case TChannelMode::cmJointStereo:
      return "joint stereo";
    case TChannelMode::cmDualChannel:
      return "dual channel";
    case TChannelMode::cmMono:
      return "mono";
  }
  return "";
}

}  // namespace tagscope
