// JPEG through libjpeg: pictures made with libjpeg's compressor, then damaged ones.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

#include "imaging/jpeg_picture.h"
#include "tagscope/rtl/exception.h"
#include "tests/imaging/gif_builder.h"

namespace tagscope {
namespace {

struct TJpegInput {
  int Width = 40, Height = 30;
  J_COLOR_SPACE Space = JCS_RGB;
  bool Progressive = false;
};

uint8_t Sample(int x, int y, int c) {
  return static_cast<uint8_t>(x * 3 + y * 2 + c * 40);
}

std::string MakeJpeg(const TJpegInput& input) {
  jpeg_compress_struct info;
  jpeg_error_mgr err;
  info.err = jpeg_std_error(&err);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(input.Width);
  info.image_height = static_cast<JDIMENSION>(input.Height);
  info.input_components = input.Space == JCS_GRAYSCALE ? 1 : input.Space == JCS_CMYK ? 4 : 3;
  info.in_color_space = input.Space;
  jpeg_set_defaults(&info);
  if (input.Space == JCS_CMYK) jpeg_set_colorspace(&info, JCS_CMYK);
  jpeg_set_quality(&info, 95, TRUE);
  if (input.Progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(input.Width) * info.input_components);
  while (info.next_scanline < info.image_height) {
    const int y = static_cast<int>(info.next_scanline);
    for (int x = 0; x < input.Width; ++x)
      for (int c = 0; c < info.input_components; ++c)
        row[static_cast<size_t>(x) * info.input_components + c] = Sample(x, y, c);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  std::string out(reinterpret_cast<char*>(buffer), size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return out;
}

std::string Error(const std::string& bytes) {
  try {
    DecodeJpeg(bytes);
  } catch (const Exception& e) {
    return e.what();
  }
  return "";
}

TEST(Jpeg, DecodesColourPicturesCloseToTheirSource) {
  for (bool progressive : {false, true}) {
    const TBitmapData bitmap = DecodeJpeg(MakeJpeg({40, 30, JCS_RGB, progressive}));
    ASSERT_EQ(bitmap.Width, 40);
    ASSERT_EQ(bitmap.Height, 30);
    EXPECT_EQ(bitmap.BitCount, 24);
    int worst = 0;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) {
        uint8_t rgb[3];
        bitmap.PixelRGB(x, y, rgb[0], rgb[1], rgb[2]);
        for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(rgb[c] - Sample(x, y, c)));
      }
    EXPECT_LT(worst, 16) << progressive;  // lossy, but the picture is the same picture
  }
}

TEST(Jpeg, GreyPicturesBecomeEightBitsWithAGreyPalette) {
  const TBitmapData bitmap = DecodeJpeg(MakeJpeg({17, 9, JCS_GRAYSCALE}));
  EXPECT_EQ(bitmap.BitCount, 8);
  ASSERT_EQ(bitmap.Palette.size(), 256u);
  EXPECT_EQ(bitmap.Palette[200], (TRGBQuad{200, 200, 200, 0}));
  uint8_t r, g, b;
  bitmap.PixelRGB(5, 5, r, g, b);
  EXPECT_NEAR(r, Sample(5, 5, 0), 12);
}

TEST(Jpeg, CmykPicturesAreConverted) {
  const TBitmapData bitmap = DecodeJpeg(MakeJpeg({16, 16, JCS_CMYK}));
  EXPECT_EQ(bitmap.BitCount, 24);
  EXPECT_EQ(bitmap.Width, 16);
}

TEST(Jpeg, ErrorsCarryLibjpegsMessage) {
  EXPECT_EQ(Error("hello, world"), "JPEG error: Not a JPEG file: starts with 0x68 0x65");
  EXPECT_EQ(Error(""), "JPEG error: Empty input file");
  const std::string good = MakeJpeg({});
  EXPECT_EQ(Error(good.substr(0, 30)).rfind("JPEG error: ", 0), 0u);
}

TEST(Jpeg, TruncatedOrCorruptPicturesNeverCrash) {
  const std::string good = MakeJpeg({64, 48, JCS_RGB, true});
  for (size_t cut = 0; cut < good.size(); cut += 7) {
    const std::string message = Error(good.substr(0, cut));
    EXPECT_TRUE(message.empty() || message.rfind("JPEG error: ", 0) == 0) << cut << message;
  }
  std::srand(3);
  for (int round = 0; round < 200; ++round) {
    std::string bad = good;
    for (int i = 0; i < 4; ++i)
      bad[static_cast<size_t>(std::rand()) % bad.size()] ^=
          static_cast<char>(1 + std::rand() % 255);
    const std::string message = Error(bad);
    EXPECT_TRUE(message.empty() || message.rfind("JPEG error: ", 0) == 0) << message;
  }
}

TEST(Jpeg, HugePicturesAreRefusedBeforeDecoding) {
  std::string bytes = MakeJpeg({8, 8});
  // Patch the frame header's height and width (after the SOF0 marker, length and precision).
  const size_t sof = bytes.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  bytes[sof + 5] = '\xEA';
  bytes[sof + 6] = '\x60';
  bytes[sof + 7] = '\xEA';
  bytes[sof + 8] = '\x60';
  EXPECT_EQ(Error(bytes), "Picture is too large to show (60000x60000 pixels)");
}

TEST(Jpeg, PictureClassReadsAStream) {
  TJPEGPicture picture;
  int changes = 0;
  picture.OnChange = [&](TGraphic&) { ++changes; };
  TMemoryStream stream(MakeJpeg({21, 11}));
  picture.LoadFromStream(stream);
  EXPECT_EQ(picture.Width(), 21);
  EXPECT_EQ(picture.Height(), 11);
  EXPECT_EQ(picture.FrameCount(), 1);
  EXPECT_EQ(changes, 1);
  EXPECT_THROW(picture.FrameBitmap(1), EInvalidGraphicOperation);
  EXPECT_THROW(picture.SetWidth(3), EInvalidGraphicOperation);
}

// Rows decoded straight into a sink are the bitmap's rows, for whole, progressive, odd-sized
// and damaged pictures; greyscale and CMYK pictures are left to the bitmap.
std::vector<uint8_t> BitmapRGB(const std::string& bytes) {
  TJPEGPicture picture;
  picture.LoadFromJpegBytes(bytes);
  const TBitmapData& bitmap = picture.FrameBitmap(0);
  return test::RGBRows(bitmap);
}

TEST(Jpeg, RowsIntoASinkAreTheBitmapsRows) {
  std::vector<std::string> pictures = {MakeJpeg({}), MakeJpeg({33, 17, JCS_RGB, true}),
                                       MakeJpeg({1, 1})};
  const std::string good = MakeJpeg({64, 48});
  for (size_t cut : {good.size() / 2, good.size() - 2}) pictures.push_back(good.substr(0, cut));
  std::string flipped = good;
  flipped[flipped.size() / 2] ^= 0x5A;
  pictures.push_back(flipped);
  for (size_t i = 0; i < pictures.size(); ++i) {
    TJPEGPicture picture;
    test::TRowCollector sink;
    ASSERT_TRUE(picture.DecodeRGBRows(pictures[i], sink)) << i;
    EXPECT_EQ(sink.Rows(), BitmapRGB(pictures[i])) << i;
  }
  for (J_COLOR_SPACE space : {JCS_GRAYSCALE, JCS_CMYK}) {
    TJPEGPicture picture;
    test::TRowCollector sink;
    std::string bytes = MakeJpeg({8, 8, space});
    EXPECT_FALSE(picture.DecodeRGBRows(bytes, sink));
    EXPECT_EQ(sink.Width, -1);
    EXPECT_EQ(bytes, MakeJpeg({8, 8, space}));
  }
  test::TRowCollector sink;
  std::string text = "hello";
  EXPECT_THROW(TJPEGPicture().DecodeRGBRows(text, sink), EJPEG);
}

}  // namespace
}  // namespace tagscope
