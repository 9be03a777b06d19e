#include "host/png_writer.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"
#include "tests/host/png_reader.h"

namespace tagscope {
namespace {

TRgbImage Gradient(int width, int height) {
  TRgbImage image{width, height, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      image.Pixels.push_back(static_cast<std::uint8_t>(x * 7));
      image.Pixels.push_back(static_cast<std::uint8_t>(y * 13));
      image.Pixels.push_back(static_cast<std::uint8_t>(x ^ y));
    }
  return image;
}

TEST(PngWriter, RoundTripsPixelsOfOddSizes) {
  for (auto [width, height] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{413, 77}}) {
    const TRgbImage image = Gradient(width, height);
    const TRgbImage back = test::DecodePng(EncodePng(image));
    EXPECT_EQ(back.Width, width);
    EXPECT_EQ(back.Height, height);
    EXPECT_EQ(back.Pixels, image.Pixels);
  }
}

TEST(PngWriter, RefusesEmptyOrMismatchedPictures) {
  EXPECT_THROW(EncodePng(TRgbImage{}), Exception);
  TRgbImage shortOfPixels = Gradient(4, 4);
  shortOfPixels.Pixels.pop_back();
  EXPECT_THROW(EncodePng(shortOfPixels), Exception);
}

TEST(PngWriter, WritesTheFileAndReportsAnUnwritablePath) {
  const std::string name = GetTempDir() + "tagscope_png_test.png";
  WritePng(name, Gradient(5, 6));
  EXPECT_EQ(test::DecodePng(test::ReadFileBytes(name)).Width, 5);
  RemoveFile(name);
  EXPECT_THROW(WritePng(GetTempDir() + "no such folder/x.png", Gradient(1, 1)), Exception);
}

}  // namespace
}  // namespace tagscope
