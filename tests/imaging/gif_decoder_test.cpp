// The frame decoder: edge cases of the LZW stream, the bitmap layout and damaged data.
#include <gtest/gtest.h>

#include "imaging/gif_decoder.h"
#include "imaging/gif_pixel_writer.h"
#include "tagscope/rtl/exception.h"
#include "tests/imaging/gif_builder.h"
#include "tests/imaging/gif_reference_decoder.h"

namespace tagscope {
namespace {

using test::CodeStream;
using test::Indexes;
using Pixels = std::vector<uint8_t>;

TGIFColors Colors(int count) {
  TGIFColors colors;
  colors.Count = count;
  const auto bytes = test::TestColors(count);
  for (int i = 0; i < count; ++i)
    for (int c = 0; c < 3; ++c) colors.Colors[i][c] = bytes[static_cast<size_t>(i) * 3 + c];
  return colors;
}

TDecodedFrame Decode(const std::string& stream, int width, int height, int bits = 8,
                     bool interlaced = false) {
  return DecodeFrame(stream, width, height, bits, Colors(1 << bits), interlaced);
}

TEST(GifDecoder, BitmapLayoutFollowsTheColourTableSize) {
  struct Case {
    int bits, bitCount, paletteSize;
  } cases[] = {{1, 1, 2}, {2, 4, 16}, {3, 4, 16}, {4, 4, 16}, {5, 8, 256}, {8, 8, 256}};
  for (const Case& c : cases) {
    const Pixels pixels = test::TestPicture(13, 5, 1 << c.bits);
    const int codeSize = std::max(2, c.bits);
    const auto frame =
        Decode(CodeStream(codeSize, test::LzwCodes(codeSize, pixels)), 13, 5, c.bits);
    EXPECT_EQ(frame.Bitmap.BitCount, c.bitCount) << c.bits;
    EXPECT_EQ(frame.Bitmap.Palette.size(), size_t(c.paletteSize));
    EXPECT_EQ(frame.Bitmap.Stride(), (13 * c.bitCount + 31) / 32 * 4);
    EXPECT_EQ(Indexes(frame.Bitmap), pixels) << c.bits;
    EXPECT_FALSE(frame.Damaged);
  }
}

TEST(GifDecoder, PaletteEntriesBeyondTheTableAreGrey) {
  TGIFColors colors = Colors(8);
  const auto frame = DecodeFrame(CodeStream(3, {8, 1, 9}), 1, 1, 3, colors, false);
  ASSERT_EQ(frame.Bitmap.Palette.size(), 16u);
  EXPECT_EQ(frame.Bitmap.Palette[2],
            (TRGBQuad{colors.Colors[2][2], colors.Colors[2][1], colors.Colors[2][0], 0}));
  for (int i = 8; i < 16; ++i)
    EXPECT_EQ(frame.Bitmap.Palette[i], (TRGBQuad{0x80, 0x80, 0x80, 0x80}));
  // A 32-colour table gives an 8-bit bitmap with 256 entries.
  EXPECT_EQ(
      DecodeFrame(CodeStream(5, {32, 1, 33}), 1, 1, 5, Colors(32), false).Bitmap.Palette.size(),
      256u);
}

TEST(GifDecoder, RowsAreStoredBottomUp) {
  const auto frame = Decode(CodeStream(8, {256, 1, 2, 3, 257}), 1, 3);
  ASSERT_EQ(frame.Bitmap.Pixels.size(), 12u);
  EXPECT_EQ(frame.Bitmap.Pixels[0], 3);  // last row first
  EXPECT_EQ(frame.Bitmap.Pixels[8], 1);
}

TEST(GifDecoder, FirstCodeWithoutClearCodeAddsNoEntry) {
  // Code 5 adds nothing; 258 is then the next free code: 5 followed by its own first pixel.
  const auto frame = Decode(CodeStream(8, {5, 258, 257}), 3, 1);
  EXPECT_EQ(Indexes(frame.Bitmap), (Pixels{5, 5, 5}));
  EXPECT_FALSE(frame.Damaged);
}

TEST(GifDecoder, CodeAboveTheNextFreeCodeActsAsTheNextFreeCode) {
  // After 256, 7: next free is 258. Code 300 gives 7 followed by its first pixel 7.
  const auto frame = Decode(CodeStream(8, {256, 7, 300, 257}), 3, 1);
  EXPECT_EQ(Indexes(frame.Bitmap), (Pixels{7, 7, 7}));
}

TEST(GifDecoder, WhatFollowsAClearCode) {
  // Clear codes in a row are one clear code; the code after them is an ordinary first code.
  auto frame = Decode(CodeStream(8, {256, 256, 256, 7, 258, 257}), 3, 1);
  EXPECT_EQ(Indexes(frame.Bitmap), (Pixels{7, 7, 7}));
  EXPECT_FALSE(frame.Damaged);
  // An end code right after a clear code ends the data.
  frame = Decode(CodeStream(8, {256, 4, 256, 257, 9, 257}), 3, 1);
  EXPECT_EQ(Indexes(frame.Bitmap), (Pixels{4, 0, 0}));
  EXPECT_FALSE(frame.Damaged);
  // A table code while the table is empty is damage; the pixels before it stay.
  frame = Decode(CodeStream(8, {256, 4, 256, 258, 9, 257}), 3, 1);
  EXPECT_EQ(Indexes(frame.Bitmap), (Pixels{4, 0, 0}));
  EXPECT_TRUE(frame.Damaged);
}

TEST(GifDecoder, EveryCodeBelowTheClearCodeIsALiteral) {
  // Code size 6 with a 128-colour table: codes 66 and up are table codes, not colours.
  const Pixels pixels = test::TestPicture(50, 40, 64, 3);
  auto frame = Decode(CodeStream(6, test::LzwCodes(6, pixels)), 50, 40, 7);
  EXPECT_EQ(Indexes(frame.Bitmap), pixels);
  // A literal beyond a four-colour table keeps its value in the 4-bit bitmap.
  frame = Decode(CodeStream(8, {256, 9, 1, 257}), 2, 1, 2);
  EXPECT_EQ(Indexes(frame.Bitmap), (Pixels{9, 1}));
}

TEST(GifDecoder, EveryCodeSizeAndStreamShapeDecodes) {
  const struct {
    const char* name;
    test::TLzwOptions options;
  } shapes[] = {{"plain", {}},
                {"no leading clear", {false, 1, 0}},
                {"double clears", {true, 2, 0}},
                {"deferred clear", {true, 1, 300}},
                {"never cleared", {false, 1, -1}}};
  for (int codeSize = 2; codeSize <= 11; ++codeSize) {
    const int bits = std::min(codeSize, 8);
    // Noise fills the table several times over.
    const Pixels pixels = test::TestPicture(181, 97, 1 << bits, static_cast<uint64_t>(codeSize));
    for (const auto& shape : shapes) {
      const std::string stream =
          CodeStream(codeSize, test::LzwCodes(codeSize, pixels, shape.options));
      SCOPED_TRACE(testing::Message() << "code size " << codeSize << ", " << shape.name);
      const auto frame = Decode(stream, 181, 97, bits);
      EXPECT_EQ(Indexes(frame.Bitmap), pixels);
      EXPECT_FALSE(frame.Damaged);
      const auto plain =
          test::ReferenceDecodeFrame(stream, 181, 97, bits, Colors(1 << bits), false);
      EXPECT_EQ(Indexes(plain.Bitmap), pixels);
      EXPECT_FALSE(plain.Damaged);
    }
  }
}

TEST(GifDecoder, StopsAtTheLastRowWithOrWithoutEndCode) {
  const std::vector<uint32_t> codes{256, 1, 2, 3, 4, 5, 6};
  for (bool withEnd : {true, false}) {
    auto list = codes;
    if (withEnd) list.push_back(257);
    const auto frame = Decode(CodeStream(8, list), 2, 2);
    EXPECT_EQ(Indexes(frame.Bitmap), (Pixels{1, 2, 3, 4}));
    EXPECT_FALSE(frame.Damaged) << withEnd;
  }
  // All rows decoded, stream ends without end code or terminator.
  const auto frame = Decode(CodeStream(8, {256, 1, 2, 3, 4}, 255, false), 2, 2);
  EXPECT_EQ(Indexes(frame.Bitmap), (Pixels{1, 2, 3, 4}));
  EXPECT_FALSE(frame.Damaged);
}

TEST(GifDecoder, DataEndingBeforeTheLastRowKeepsPixelsAndMarksDamage) {
  for (bool terminator : {true, false}) {
    const auto frame = Decode(CodeStream(8, {256, 1, 2, 3}, 255, terminator), 2, 3);
    EXPECT_EQ(Indexes(frame.Bitmap), (Pixels{1, 2, 3, 0, 0, 0}));
    EXPECT_TRUE(frame.Damaged);
  }
  // Only the code size byte.
  const auto bare = Decode(std::string(1, '\x08'), 2, 2);
  EXPECT_TRUE(bare.Damaged);
  EXPECT_EQ(Indexes(bare.Bitmap), Pixels(4, 0));
  // The end of data right after a clear code.
  EXPECT_TRUE(Decode(CodeStream(8, {256}), 2, 2).Damaged);
}

TEST(GifDecoder, EarlyEndCodeIsNotDamage) {
  const auto frame = Decode(CodeStream(8, {256, 4, 257}), 2, 2);
  EXPECT_EQ(Indexes(frame.Bitmap), (Pixels{4, 0, 0, 0}));
  EXPECT_FALSE(frame.Damaged);
}

TEST(GifDecoder, SubBlockCutShortEndsTheData) {
  std::string stream = CodeStream(8, {256, 1, 2, 3, 4, 257});
  stream[1] = '\x20';  // the block claims more bytes than the stream holds
  const auto frame = Decode(stream, 2, 2);
  EXPECT_TRUE(frame.Damaged);
  EXPECT_EQ(Indexes(frame.Bitmap), Pixels(4, 0));
}

TEST(GifDecoder, CodesStraddleSubBlocksOfAnySize) {
  const Pixels pixels = test::TestPicture(37, 23, 256);
  const auto codes = test::LzwCodes(8, pixels);
  for (int blockSize : {1, 2, 3, 7, 254, 255}) {
    const auto frame = Decode(CodeStream(8, codes, blockSize), 37, 23);
    EXPECT_EQ(Indexes(frame.Bitmap), pixels) << blockSize;
  }
  // Data larger than the reader's window, with codes across the window's edges.
  const Pixels large = test::TestPicture(640, 400, 256, 9);
  const auto largeCodes = test::LzwCodes(8, large);
  ASSERT_GT(CodeStream(8, largeCodes).size(), size_t(128) << 10);
  for (int blockSize : {1, 3, 255}) {
    const auto frame = Decode(CodeStream(8, largeCodes, blockSize), 640, 400);
    EXPECT_EQ(Indexes(frame.Bitmap), large) << blockSize;
    EXPECT_FALSE(frame.Damaged);
  }
  // Empty sub-blocks in the middle are skipped.
  std::string stream = CodeStream(8, codes, 100, false);
  stream.insert(101 + 1, std::string(1, '\0'));
  stream.push_back('\0');
  EXPECT_EQ(Indexes(Decode(stream, 37, 23).Bitmap), pixels);
}

TEST(GifDecoder, TableStaysFullAtTwelveBitsUntilAClearCode) {
  // Fill the table without clear codes, then keep sending 12-bit codes.
  std::vector<uint32_t> codes{256};
  for (int i = 0; i < 3900; ++i) codes.push_back(static_cast<uint32_t>(i % 200));
  codes.push_back(4095);  // the last entry: string of the code before the table filled
  for (int i = 0; i < 5; ++i) codes.push_back(7);
  codes.push_back(256);
  codes.push_back(9);
  codes.push_back(257);
  const std::string stream = CodeStream(8, codes);
  const int width = 4000, height = 1;
  const auto fast = Decode(stream, width, height);
  const auto reference = test::ReferenceDecodeFrame(stream, width, height, 8, Colors(256), false);
  EXPECT_EQ(Indexes(fast.Bitmap), Indexes(reference.Bitmap));
  const Pixels out = Indexes(fast.Bitmap);
  // 256 literal pixels ... the five 7s and the 9 after the clear code follow the 4095 string.
  EXPECT_EQ(out[3900 + 2], 7);
  EXPECT_FALSE(fast.Damaged);
}

TEST(GifDecoder, CodeSizeOutOfRangeDecodesOnlyPixelsAfterClearCodes) {
  for (int codeSize : {1, 12}) {
    const int clamped = codeSize < 2 ? 2 : 11;
    const uint32_t clear = 1u << clamped;
    std::string stream = CodeStream(clamped, {clear, 1, clear, clear, 2, 3, 3, 3});
    stream[0] = static_cast<char>(codeSize);
    const auto frame = Decode(stream, 4, 1, 2);
    EXPECT_TRUE(frame.Damaged) << codeSize;
    EXPECT_EQ(Indexes(frame.Bitmap), (Pixels{1, 2, 0, 0})) << codeSize;
  }
}

TEST(GifDecoder, CircularCodeChainMarksDamage) {
  // 256, 5: next free 258. 259 (above it) writes 5 5, entry 258 := (5, 5), previous code 259.
  // 260 (above again) expands the unwritten entry 259: 0 0 5; entry 259 := (259, 0) points at
  // itself. 259 now runs in a circle: decoding stops there, damaged, the pixels so far stay.
  const std::string stream = CodeStream(8, {256, 5, 259, 260, 259, 1, 257});
  const auto frame = Decode(stream, 64, 1);
  EXPECT_TRUE(frame.Damaged);
  const Pixels out = Indexes(frame.Bitmap);
  EXPECT_EQ(Pixels(out.begin(), out.begin() + 7), (Pixels{5, 5, 5, 0, 0, 5, 0}));
}

TEST(GifDecoder, InterlacedRowOrder) {
  // Height 3: rows 0, 2, 1. Height 1: only row 0, further pixels ignored.
  EXPECT_EQ(Indexes(Decode(CodeStream(8, {256, 1, 2, 3, 257}), 1, 3, 8, true).Bitmap),
            (Pixels{1, 3, 2}));
  EXPECT_EQ(Indexes(Decode(CodeStream(8, {256, 1, 2, 3, 257}), 1, 1, 8, true).Bitmap), (Pixels{1}));
  for (int height : {2, 4, 5, 8, 9, 17, 33}) {
    int pass = 0, row = 0;
    std::vector<int> order{0};
    for (int i = 1; i < height; ++i) order.push_back(row = NextInterlacedRow(row, height, pass));
    EXPECT_GE(NextInterlacedRow(row, height, pass), height);
    std::sort(order.begin(), order.end());
    for (int i = 0; i < height; ++i) EXPECT_EQ(order[i], i) << height;
  }
}

TEST(GifDecoder, EmptyFramesAndRefusals) {
  EXPECT_TRUE(Decode(CodeStream(8, {256, 1, 257}), 0, 5).Bitmap.Pixels.empty());
  EXPECT_TRUE(Decode(CodeStream(8, {256, 1, 257}), 5, 0).Bitmap.Pixels.empty());
  EXPECT_THROW(DecodeFrame(CodeStream(2, {4, 1, 5}), 1, 1, 0, TGIFColors{}, false),
               EInvalidGraphicOperation);
  EXPECT_THROW(DecodeFrame(CodeStream(2, {4, 1, 5}), 1, 1, 9, Colors(2), false),
               EInvalidGraphicOperation);
  EXPECT_THROW(Decode("", 1, 1), EReadError);
  // 65535 x 65535 at 8 bits: refused before anything is allocated.
  try {
    Decode(CodeStream(8, {256, 1, 257}), 65535, 65535);
    FAIL();
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_STREQ(e.what(), "Picture is too large to show (65535x65535 pixels)");
  }
}

TEST(GifDecoder, ProgressRunsFromStartToEnd) {
  std::vector<std::pair<TProgressStage, int>> reports;
  std::string lastMessage = "x";
  auto sink = [&](TProgressStage stage, int percent, const std::string& message) {
    reports.push_back({stage, percent});
    lastMessage = message;
  };
  const Pixels pixels = test::TestPicture(40, 40, 256);
  DecodeFrame(CodeStream(8, test::LzwCodes(8, pixels), 50), 40, 40, 8, Colors(256), false, sink);
  ASSERT_GE(reports.size(), 3u);
  EXPECT_EQ(reports.front(), std::make_pair(TProgressStage::psStarting, 0));
  EXPECT_EQ(reports.back(), std::make_pair(TProgressStage::psEnding, 100));
  EXPECT_EQ(lastMessage, "");
  for (size_t i = 2; i + 1 < reports.size(); ++i)
    EXPECT_GE(reports[i].second, reports[i - 1].second);

  reports.clear();
  EXPECT_THROW(DecodeFrame("", 2, 2, 8, Colors(256), false, sink), EReadError);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports.back(), std::make_pair(TProgressStage::psEnding, 0));
  EXPECT_EQ(lastMessage, "Stream read error");

  reports.clear();
  EXPECT_THROW(DecodeFrame("", 2, 2, 0, Colors(0), false, sink), EInvalidGraphicOperation);
  EXPECT_TRUE(reports.empty());
}

}  // namespace
}  // namespace tagscope
