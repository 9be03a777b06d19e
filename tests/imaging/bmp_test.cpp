// The Windows bitmap reader: every kind it takes against reference decodes stored with the
// test data, and files it must refuse.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "imaging/bmp_picture.h"
#include "imaging/bmp_reader.h"

namespace tagscope {
namespace {

std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A binary PPM: width, height and the red, green, blue bytes.
struct TPpm {
  int Width = 0, Height = 0;
  std::string Pixels;
};

TPpm ReadPpm(const std::string& name) {
  const std::string data = ReadFile(name);
  std::istringstream in(data);
  std::string magic;
  int max = 0;
  TPpm ppm;
  in >> magic >> ppm.Width >> ppm.Height >> max;
  in.get();
  ppm.Pixels = data.substr(static_cast<size_t>(in.tellg()));
  return ppm;
}

class BmpReference : public testing::TestWithParam<const char*> {};

TEST_P(BmpReference, MatchesTheReferenceDecode) {
  const std::string base = std::string(TAGSCOPE_TEST_DATA) + "/imaging/bmp/" + GetParam();
  const TPpm reference = ReadPpm(base + ".ppm");
  TBitmapPicture picture;
  picture.LoadFromFile(base + ".bmp");
  ASSERT_EQ(picture.Width(), reference.Width);
  ASSERT_EQ(picture.Height(), reference.Height);
  const TBitmapData& bitmap = *picture.Bitmap();
  for (int y = 0; y < reference.Height; ++y) {
    for (int x = 0; x < reference.Width; ++x) {
      uint8_t rgb[3];
      bitmap.PixelRGB(x, y, rgb[0], rgb[1], rgb[2]);
      const size_t at = (static_cast<size_t>(y) * reference.Width + x) * 3;
      ASSERT_EQ(std::memcmp(rgb, reference.Pixels.data() + at, 3), 0)
          << "pixel " << x << "," << y << ": " << int(rgb[0]) << " " << int(rgb[1]) << " "
          << int(rgb[2]) << " expected " << int(uint8_t(reference.Pixels[at])) << " "
          << int(uint8_t(reference.Pixels[at + 1])) << " "
          << int(uint8_t(reference.Pixels[at + 2]));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllKinds, BmpReference,
                         testing::Values("pal1", "pal4", "pal4_core", "pal8", "pal8_used100",
                                         "pal8_topdown", "pal8_core", "pal8_v5", "rgb16",
                                         "rgb16_565", "rgb24", "rgb24_topdown", "rgb24_core",
                                         "rgb32", "rgb32_fields_v4", "rgb32_fields", "rle8",
                                         "rle4"));

// Builds small bitmap files with a 40-byte info header.
struct TBmpInput {
  int Width = 4, Height = 2, Bits = 24, Compression = 0, ColorsUsed = 0;
  std::string Palette;
  std::string Pixels;
  std::string Extra;  // between header and palette (bit field masks)
};

void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put16(std::string& s, uint16_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>(v >> 8));
}

std::string Bmp(const TBmpInput& b) {
  std::string header;
  Put32(header, 40);
  Put32(header, static_cast<uint32_t>(b.Width));
  Put32(header, static_cast<uint32_t>(b.Height));
  Put16(header, 1);
  Put16(header, static_cast<uint16_t>(b.Bits));
  Put32(header, static_cast<uint32_t>(b.Compression));
  Put32(header, static_cast<uint32_t>(b.Pixels.size()));
  Put32(header, 0);
  Put32(header, 0);
  Put32(header, static_cast<uint32_t>(b.ColorsUsed));
  Put32(header, 0);
  const uint32_t offset = static_cast<uint32_t>(14 + 40 + b.Extra.size() + b.Palette.size());
  std::string file = "BM";
  Put32(file, offset + static_cast<uint32_t>(b.Pixels.size()));
  Put32(file, 0);
  Put32(file, offset);
  return file + header + b.Extra + b.Palette + b.Pixels;
}

std::string Grey(int count) {
  std::string p;
  for (int i = 0; i < count; ++i) p += std::string{char(i), char(i), char(i), 0};
  return p;
}

bool Refused(const std::string& file) {
  try {
    ReadBitmapFile(file);
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "Bitmap image is not valid");
    return true;
  }
  return false;
}

TEST(Bmp, SixteenBySixteenTrueColourFile) {
  TBmpInput input;
  input.Width = input.Height = 16;
  input.Pixels = std::string(16 * 16 * 3, '\x7F');
  const std::string file = Bmp(input);
  EXPECT_EQ(file.size(), 822u);
  const TBitmapData bitmap = ReadBitmapFile(file);
  EXPECT_EQ(bitmap.Width, 16);
  EXPECT_EQ(bitmap.Height, 16);
  EXPECT_EQ(bitmap.BitCount, 24);
}

TEST(Bmp, RefusesWhatItCannotRead) {
  TBmpInput good;
  good.Pixels = std::string(2 * 12, '\0');
  ASSERT_FALSE(Refused(Bmp(good)));
  std::string wrongMagic = Bmp(good);
  wrongMagic[0] = 'X';
  EXPECT_TRUE(Refused(wrongMagic));
  std::string os2 = Bmp(good);
  os2[14] = 64;  // an OS/2 version 2 header
  EXPECT_TRUE(Refused(os2));
  EXPECT_TRUE(Refused(Bmp(good).substr(0, 40)));       // header cut short
  EXPECT_TRUE(Refused(Bmp(good).substr(0, 54 + 20)));  // pixels cut short
  EXPECT_TRUE(Refused(""));
  for (int bits : {0, 2, 3, 48}) {
    TBmpInput b = good;
    b.Bits = bits;
    EXPECT_TRUE(Refused(Bmp(b))) << bits;
  }
  for (int compression : {4, 5, 6, 99}) {
    TBmpInput b = good;
    b.Compression = compression;
    EXPECT_TRUE(Refused(Bmp(b))) << compression;
  }
  TBmpInput noWidth = good;
  noWidth.Width = 0;
  EXPECT_TRUE(Refused(Bmp(noWidth)));
  TBmpInput noHeight = good;
  noHeight.Height = 0;
  EXPECT_TRUE(Refused(Bmp(noHeight)));
  // RLE8 needs 8 bits and bottom-up rows.
  TBmpInput rle = good;
  rle.Compression = 1;
  rle.Bits = 4;
  rle.Palette = Grey(16);
  EXPECT_TRUE(Refused(Bmp(rle)));
  rle.Bits = 8;
  rle.Palette = Grey(256);
  rle.Height = -2;
  EXPECT_TRUE(Refused(Bmp(rle)));
  // A palette that the file does not hold.
  TBmpInput palette = good;
  palette.Bits = 8;
  palette.Palette = Grey(10);
  EXPECT_TRUE(Refused(Bmp(palette)));
}

TEST(Bmp, HugeDimensionsAreRefusedBeforeAllocating) {
  TBmpInput huge;
  huge.Width = 100000;
  huge.Height = 100000;
  EXPECT_TRUE(Refused(Bmp(huge)));
  huge.Width = 0x7FFFFFFF;
  huge.Height = -0x7FFFFFFF;
  EXPECT_TRUE(Refused(Bmp(huge)));
  huge.Height = static_cast<int>(0x80000000u);
  EXPECT_TRUE(Refused(Bmp(huge)));
}

TEST(Bmp, BitFieldMasksMustBeContiguous) {
  TBmpInput b;
  b.Bits = 16;
  b.Compression = 3;
  b.Pixels = std::string(2 * 8, '\xAB');
  std::string masks;
  for (uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) Put32(masks, m);
  b.Extra = masks;
  EXPECT_FALSE(Refused(Bmp(b)));
  masks.clear();
  for (uint32_t m : {0xF801u, 0x07E0u, 0x001Eu}) Put32(masks, m);
  b.Extra = masks;
  EXPECT_TRUE(Refused(Bmp(b)));
  // A mask may take all 32 bits of a pixel; a zero mask gives a channel of 0.
  TBmpInput wide = b;
  wide.Bits = 32;
  wide.Pixels = std::string(4 * 8, '\xAB');
  wide.Extra.clear();
  for (uint32_t m : {0xFFFFFFFFu, 0u, 0u}) Put32(wide.Extra, m);
  uint8_t red, green, blue;
  ReadBitmapFile(Bmp(wide)).PixelRGB(1, 1, red, green, blue);
  EXPECT_EQ(red, 0xAB);
  EXPECT_EQ(green, 0);
  masks.clear();
  for (uint32_t m : {0u, 0x07E0u, 0x001Fu}) Put32(masks, m);
  b.Extra = masks;
  uint8_t r, g, bl;
  ReadBitmapFile(Bmp(b)).PixelRGB(0, 0, r, g, bl);
  EXPECT_EQ(r, 0);
}

TEST(Bmp, RunLengthDataOutOfBoundsIsClippedAndShortDataKept) {
  TBmpInput b;
  b.Bits = 8;
  b.Compression = 1;
  b.Width = 4;
  b.Height = 3;
  b.Palette = Grey(256);
  // Bottom row: two 5s, then a move one right and one up to (3, row 1) and a 7 there; end of
  // line; a literal run 10 11 12 and a run of 9 that the row cuts; data ending inside a move.
  b.Pixels = std::string(
      "\x02\x05"
      "\x00\x02\x01\x01"
      "\x01\x07"
      "\x00\x00"
      "\x00\x03\x0A\x0B\x0C\x00"
      "\x09\x01"
      "\x00\x02\xFF",
      21);
  const TBitmapData bitmap = ReadBitmapFile(Bmp(b));
  auto index = [&](int x, int y) {
    uint8_t r, g, bl;
    bitmap.PixelRGB(x, y, r, g, bl);
    return r;
  };
  EXPECT_EQ(index(1, 2), 5);
  EXPECT_EQ(index(2, 2), 0);  // skipped by the move
  EXPECT_EQ(index(3, 1), 7);
  EXPECT_EQ(index(0, 1), 0);
  EXPECT_EQ(index(2, 0), 12);
  EXPECT_EQ(index(3, 0), 1);
  // Delta moves far beyond the bitmap and endless runs: no crash, nothing written outside.
  b.Pixels.clear();
  for (int i = 0; i < 2000; ++i)
    b.Pixels += std::string(
        "\x00\x02\xFF\x00"
        "\xFF\x01",
        6);
  EXPECT_NO_THROW(ReadBitmapFile(Bmp(b)));
}

TEST(Bmp, PixelOffsetZeroMeansRightAfterThePalette) {
  TBmpInput b;
  b.Bits = 8;
  b.Width = 4;
  b.Height = 1;
  b.Palette = Grey(256);
  b.Pixels = std::string("\x01\x02\x03\x04", 4);
  std::string file = Bmp(b);
  std::memset(file.data() + 10, 0, 4);
  uint8_t r, g, bl;
  ReadBitmapFile(file).PixelRGB(3, 0, r, g, bl);
  EXPECT_EQ(r, 4);
}

}  // namespace
}  // namespace tagscope
