// The fast frame decoder against the plain one on random and mangled code streams.
#include <gtest/gtest.h>

#include "imaging/gif_decoder.h"
#include "tests/imaging/gif_builder.h"
#include "tests/imaging/gif_reference_decoder.h"

namespace tagscope {
namespace {

// The fast decoder against the plain one, and, for a frame that is not interlaced, its rows
// decoded straight into a sink against the bitmap's.
void ExpectSame(const std::string& stream, int width, int height, int bits, bool interlaced) {
  TGIFColors colors;
  colors.Count = (1 << bits) - (bits > 2 ? 3 : 0);  // some entries beyond the table
  for (int i = 0; i < 256; ++i) colors.Colors[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)};
  const auto fast = DecodeFrame(stream, width, height, bits, colors, interlaced);
  const auto plain = test::ReferenceDecodeFrame(stream, width, height, bits, colors, interlaced);
  ASSERT_EQ(fast.Bitmap.Pixels, plain.Bitmap.Pixels)
      << width << "x" << height << " bits " << bits << " interlaced " << interlaced;
  ASSERT_EQ(fast.Damaged, plain.Damaged);
  if (interlaced) return;
  test::TRowCollector sink;
  const bool damaged = DecodeFrameRows(stream, width, height, bits, colors, sink);
  ASSERT_EQ(sink.Rows(), test::RGBRows(fast.Bitmap)) << width << "x" << height << " bits " << bits;
  ASSERT_EQ(damaged, fast.Damaged);
}

TEST(GifDifferential, RandomCodeSequences) {
  test::TRandom random(42);
  for (int round = 0; round < 3000; ++round) {
    const int bits = 1 + random.Below(8);
    const int codeSize =
        random.Below(10) == 0 ? random.Below(12) : std::max(2, bits) + random.Below(2);
    const int clamped = std::clamp(codeSize, 2, 9);
    const uint32_t clear = 1u << clamped;
    std::vector<uint32_t> codes;
    if (random.Below(2)) codes.push_back(clear);
    const int count = random.Below(3000);
    uint32_t next = clear + 2;
    for (int i = 0; i < count; ++i) {
      const int kind = random.Below(100);
      uint32_t code;
      if (kind < 2)
        code = clear;
      else if (kind < 3)
        code = clear + 1;
      else if (kind < 60)
        code =
            static_cast<uint32_t>(random.Below(static_cast<int>(std::min<uint32_t>(next, 4095))));
      else if (kind < 80)
        code = next;
      else
        code = static_cast<uint32_t>(random.Below(4096));
      codes.push_back(code);
      next = code == clear ? clear + 2 : std::min<uint32_t>(next + 1, 4096);
    }
    std::string stream = test::CodeStream(clamped, codes, 1 + random.Below(255), random.Below(2));
    stream[0] = static_cast<char>(codeSize);
    const int width = random.Below(70);
    const int height = random.Below(70);
    ExpectSame(stream, width, height, bits, random.Below(2));
  }
}

TEST(GifDifferential, ValidStreamsWithFlippedBytes) {
  test::TRandom random(7);
  for (int round = 0; round < 500; ++round) {
    const int bits = 1 + random.Below(8);
    const int width = 1 + random.Below(90), height = 1 + random.Below(60);
    const auto pixels = test::TestPicture(width, height, 1 << bits, static_cast<uint64_t>(round));
    const int codeSize = std::max(2, bits);
    std::string stream =
        test::CodeStream(codeSize, test::LzwCodes(codeSize, pixels), 1 + random.Below(255));
    const int flips = random.Below(4);
    for (int i = 0; i < flips; ++i)
      stream[1 + random.Below(static_cast<int>(stream.size()) - 1)] ^=
          static_cast<char>(1 << random.Below(8));
    if (random.Below(4) == 0) stream.resize(1 + random.Below(static_cast<int>(stream.size())));
    ExpectSame(stream, width, height, bits, random.Below(2));
  }
}

}  // namespace
}  // namespace tagscope
