// The header frame a repair writes: what the command-line test cannot see from the outside, the
// table of contents, the bitrate chosen for the frame, and the LAME checksum in the convention
// that ffmpeg's files do not use.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/audio/mpeg_vbr_header.h"
#include "engine/audio/xing_frame.h"
#include "tagscope/rtl/byte_reader.h"

namespace tagscope {
namespace {

constexpr uint32_t kMpeg2Mono8k = 0xFFF310C0;     // MPEG-2 layer III, 8 kbit/s, 22.05 kHz, mono
constexpr uint32_t kMpeg1Stereo128 = 0xFFFB9064;  // MPEG-1 layer III, 128 kbit/s, 44.1 kHz

TMpegFrameHeader Header(uint32_t bits) {
  TMpegFrameHeader h;
  EXPECT_TRUE(ParseMpegFrameHeader(bits, h));
  return h;
}

// A LAME extension: name, method 4 (VBR), delay 576 and padding `padding`.
std::string Lame(int padding) {
  std::string lame = std::string("LAME3.100") + '\x04';
  lame.resize(kLameExtensionSize, '\0');
  const uint32_t gapless = 576u << 12 | static_cast<uint32_t>(padding);
  lame[21] = static_cast<char>(gapless >> 16);
  lame[22] = static_cast<char>(gapless >> 8);
  lame[23] = static_cast<char>(gapless);
  return lame;
}

TEST(XingFrame, TocEntryIsTheFrameAtEachPercentOverTheBytes) {
  // A header frame of 100 bytes and four frames of 100: 500 bytes, a quarter each.
  const std::array<uint8_t, 100> toc = XingToc({100, 100, 100, 100}, 100);
  EXPECT_EQ(toc[0], 51);  // the first audio frame, at byte 100 of 500
  EXPECT_EQ(toc[24], 51);
  EXPECT_EQ(toc[25], 102);
  EXPECT_EQ(toc[50], 153);
  EXPECT_EQ(toc[99], 204);
  // Frames of unequal size: the entries follow the bytes, not the frame numbers.
  std::vector<uint16_t> lengths(100, 10);
  lengths[0] = 1000;
  const std::array<uint8_t, 100> uneven = XingToc(lengths, 0);
  EXPECT_EQ(uneven[0], 0);
  EXPECT_EQ(uneven[1], 1000 * 256 / 1990);
  EXPECT_EQ(uneven[99], (1000 + 98 * 10) * 256 / 1990);
}

TEST(XingFrame, BitrateIsTheStreamsWhereItsFrameHoldsTheHeader) {
  TXingContent c;
  c.lame = Lame(1000);
  c.quality = 50;
  // 4 + 32 + 120 + 36 bytes fit a 128 kbit/s frame of 417; the mode extension is no header's.
  EXPECT_EQ(XingFrameBits(kMpeg1Stereo128, XingFrameNeeds(kMpeg1Stereo128, c)),
            kMpeg1Stereo128 & ~0x30u);
  // 4 + 9 + 120 + 36 do not fit 8 kbit/s at 22.05 kHz (26 bytes): 56 kbit/s (182) is the least.
  const std::optional<uint32_t> bits = XingFrameBits(kMpeg2Mono8k, XingFrameNeeds(kMpeg2Mono8k, c));
  ASSERT_TRUE(bits);
  EXPECT_EQ(Header(*bits).bitrate, 56);
  EXPECT_EQ(Header(*bits).channelMode, TChannelMode::cmMono);
  EXPECT_FALSE(Header(*bits).crc);
}

TEST(XingFrame, LameChecksumInEitherConventionIsReadBackRight) {
  EXPECT_EQ(Crc16("123456789"), 0xBB3D);  // CRC-16/ARC's check value
  for (const TLameCrcKind kind : {TLameCrcKind::lcBefore, TLameCrcKind::lcFirst190}) {
    TXingContent c;
    c.vbr = true;
    c.frames = 1234;
    c.bytes = 98765;
    c.quality = 57;
    c.lame = Lame(1000);
    c.crcKind = kind;
    c.paddingCut = 576;
    const uint32_t bits = *XingFrameBits(kMpeg2Mono8k, XingFrameNeeds(kMpeg2Mono8k, c));
    std::string frame = BuildXingFrame(bits, c);
    const TVbrHeader v = ReadVbrHeader(frame, Header(bits));
    EXPECT_EQ(v.kind, "Xing");
    EXPECT_EQ(v.frames, 1234);
    EXPECT_EQ(v.bytes, 98765);
    EXPECT_EQ(v.encoder, "LAME3.100");
    EXPECT_EQ(v.delay, 576);
    EXPECT_EQ(v.padding, 529);  // 1000 less a frame, but never below the decoder's delay
    EXPECT_TRUE(LameCrcMatches(frame, static_cast<size_t>(v.lameOffset)));
    // The music length is the byte count.
    EXPECT_EQ(TByteReader(frame).BEAt(v.lameOffset + 28, 4), 98765u);
    frame[v.lameOffset + 10] ^= 1;  // the lowpass byte
    EXPECT_FALSE(LameCrcMatches(frame, static_cast<size_t>(v.lameOffset)));
  }
}

}  // namespace
}  // namespace tagscope
