// PNG through libspng: pictures of every colour type, bit depth and interlacing, their pixels as
// Pillow reads them (tests/data/imaging/png, made by make_pngs.py there), then damaged ones.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "imaging/png_picture.h"
#include "tagscope/imaging/picture_registry.h"

namespace tagscope {
namespace {

std::string ReadData(const std::string& name) {
  std::ifstream in(std::filesystem::path(TAGSCOPE_TEST_DATA) / "imaging" / "png" / name,
                   std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string LoadError(const std::string& bytes) {
  try {
    TPictureRegistry::LoadFromBytes("png", bytes);
  } catch (const Exception& e) {
    return e.what();
  }
  return "";
}

// Rows as the decode command takes them.
class TRowCollector : public TRGBRowSink {
 public:
  void Start(int width, int height) override { FRow.resize(size_t(width) * 3 + 1); }
  uint8_t* NextRow() override {
    if (!FPending)
      FPending = true;
    else
      Rgb.append(FRow.begin(), FRow.end() - 1);
    return reinterpret_cast<uint8_t*>(FRow.data());
  }
  std::string Finish() {
    if (FPending) Rgb.append(FRow.begin(), FRow.end() - 1);
    FPending = false;
    return Rgb;
  }
  std::string Rgb;

 private:
  std::string FRow;
  bool FPending = false;
};

// The bitmap's pixels as red, green, blue, opacity (255 where the bitmap has none).
std::string Rgba(const TBitmapData& bitmap) {
  std::string out;
  for (int y = 0; y < bitmap.Height; ++y)
    for (int x = 0; x < bitmap.Width; ++x) {
      uint8_t r, g, b;
      bitmap.PixelRGB(x, y, r, g, b);
      const uint8_t a = bitmap.HasAlpha ? bitmap.TopDownRow(y)[x * 4 + 3] : 255;
      out += {char(r), char(g), char(b), char(a)};
    }
  return out;
}

std::string WithoutOpacity(const std::string& rgba) {
  std::string rgb;
  for (size_t i = 0; i + 3 < rgba.size(); i += 4) rgb.append(rgba, i, 3);
  return rgb;
}

// The first pixel that differs, for a readable failure.
std::string FirstDifference(const std::string& got, const std::string& want) {
  if (got.size() != want.size())
    return "sizes " + std::to_string(got.size()) + " and " + std::to_string(want.size());
  for (size_t i = 0; i < got.size(); ++i)
    if (got[i] != want[i])
      return "byte " + std::to_string(i) + ": " + std::to_string(uint8_t(got[i])) + " for " +
             std::to_string(uint8_t(want[i]));
  return "";
}

TEST(Png, EveryKindDecodesToPillowsPixels) {
  struct TCase {
    const char* Name;
    bool Alpha;
    bool Interlaced;
  };
  const TCase cases[] = {{"rgb8", false, false},
                         {"rgb16", false, false},
                         {"rgba8", true, false},
                         {"rgba16", true, false},
                         {"grey2", false, false},
                         {"grey8", false, false},
                         {"grey16", false, false},
                         {"greyalpha8", true, false},
                         {"palette4", false, false},
                         {"palette_trns", true, false},
                         {"rgb8_trns", true, false},
                         {"grey8_trns", true, false},
                         {"rgb8_adam7", false, true},
                         {"rgba16_adam7", true, true},
                         {"palette_trns_adam7", true, true}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string png = ReadData(std::string(c.Name) + ".png");
    const std::string want = ReadData(std::string(c.Name) + ".rgba");
    ASSERT_FALSE(png.empty());
    // Labelled as a JPEG: the bytes' signature picks the reader.
    auto picture = TPictureRegistry::LoadPicture("image/jpeg", png);
    const TBitmapData* bitmap = picture->Bitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->Width, 13);
    EXPECT_EQ(bitmap->Height, 11);
    EXPECT_EQ(bitmap->HasAlpha, c.Alpha);
    EXPECT_EQ(bitmap->BitCount, c.Alpha ? 32 : 24);
    EXPECT_EQ(FirstDifference(Rgba(*bitmap), want), "");

    std::string bytes = png;
    TRowCollector rows;
    EXPECT_EQ(TPNGPicture().DecodeRGBRows(bytes, rows), !c.Interlaced);
    if (!c.Interlaced) {
      EXPECT_EQ(FirstDifference(rows.Finish(), WithoutOpacity(want)), "");
    }
  }
}

TEST(Png, DamagedPicturesFailWithTheDecodersMessage) {
  const std::string good = ReadData("rgba16_adam7.png");
  EXPECT_EQ(LoadError("GIF89a, not a PNG"), "PNG error: invalid signature");
  EXPECT_EQ(LoadError(good.substr(0, 8)).rfind("PNG error: ", 0), 0u);
  // Cut anywhere before the closing chunk, inside the pixel data too: an error, never a picture
  // with rows left uninitialised.
  for (size_t cut = 0; cut < good.size() - 12; cut += 5) {
    SCOPED_TRACE(cut);
    EXPECT_EQ(LoadError(good.substr(0, cut)).rfind("PNG error: ", 0), 0u);
  }
  std::srand(5);
  for (int round = 0; round < 300; ++round) {
    std::string bad = good;
    for (int i = 0; i < 3; ++i)
      bad[static_cast<size_t>(std::rand()) % bad.size()] ^=
          static_cast<char>(1 + std::rand() % 255);
    const std::string message = LoadError(bad);
    EXPECT_TRUE(message.empty() || message.rfind("PNG error: ", 0) == 0 ||
                message.rfind("Picture is too large", 0) == 0)
        << message;
  }
}

}  // namespace
}  // namespace tagscope
