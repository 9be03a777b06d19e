// The MPEG audio frame header: sync, version, layer, bitrate, sample rate, and the frame's length.
#include "tagscope/engine/mpeg_audio.h"

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

int SamplesPerFrame(TMpegVersion version, int layer) {
  if (layer == 1) return 384;
  if (layer == 2 || version == TMpegVersion::mv1) return 1152;
  return 576;
}

}  // namespace

bool ParseMpegFrameHeader(uint32_t bits, TMpegFrameHeader& h) {
  if ((bits >> 21) != 0x7FF) return false;
  const unsigned versionBits = (bits >> 19) & 3, layerBits = (bits >> 17) & 3;
  const unsigned bitrateIndex = (bits >> 12) & 15, rateIndex = (bits >> 10) & 3;
  if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
      rateIndex == 3)
    return false;
  h.version = versionBits == 3   ? TMpegVersion::mv1
              : versionBits == 2 ? TMpegVersion::mv2
                                 : TMpegVersion::mv25;
  h.layer = 4 - static_cast<int>(layerBits);
  h.crc = ((bits >> 16) & 1) == 0;
  const auto& table = h.version == TMpegVersion::mv1 ? kBitratesV1 : kBitratesV2;
  h.bitrate = table[h.layer - 1][bitrateIndex];
  const int divisor = h.version == TMpegVersion::mv1 ? 1 : h.version == TMpegVersion::mv2 ? 2 : 4;
  h.sampleRate = kSampleRatesV1[rateIndex] / divisor;
  h.padded = ((bits >> 9) & 1) != 0;
  h.channelMode = static_cast<TChannelMode>((bits >> 6) & 3);
  h.samplesPerFrame = SamplesPerFrame(h.version, h.layer);
  const int padding = h.padded ? 1 : 0;
  // Layer I counts in 4-byte slots, the others in bytes.
  if (h.layer == 1)
    h.frameLength = (12 * h.bitrate * 1000 / h.sampleRate + padding) * 4;
  else
    h.frameLength = h.samplesPerFrame / 8 * h.bitrate * 1000 / h.sampleRate + padding;
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

const char* BitrateModeName(TBitrateMode mode) {
  switch (mode) {
    case TBitrateMode::bmCBR:
      return "CBR";
    case TBitrateMode::bmVBR:
      return "VBR";
    case TBitrateMode::bmABR:
      return "ABR";
    case TBitrateMode::bmUnknown:
      return "unknown";
  }
  return "";
}

}  // namespace tagscope
