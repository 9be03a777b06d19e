// The picture registry: extensions, descriptions, loading from files and from memory.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "imaging/gif_picture.h"
#include "tagscope/imaging/picture_registry.h"
#include "tagscope/rtl/files.h"
#include "tests/imaging/gif_builder.h"

namespace tagscope {
namespace {

std::string SmallGif() {
  test::TGifFrameInput frame;
  frame.Width = 3;
  frame.Height = 2;
  frame.Pixels = {0, 1, 2, 3, 0, 1};
  return test::TGifBuilder()
      .Header()
      .Screen(9, 9, test::TestColors(4))
      .Frame(frame)
      .Trailer()
      .Bytes();
}

std::string LoadError(const std::string& extension, const std::string& bytes) {
  try {
    TPictureRegistry::LoadFromBytes(extension, bytes);
  } catch (const Exception& e) {
    return e.what();
  }
  return "";
}

TEST(PictureRegistry, KnowsItsFormatsWhateverTheCase) {
  EXPECT_EQ(TPictureRegistry::Description("gif"), "CompuServe GIF Image");
  EXPECT_EQ(TPictureRegistry::Description("JPG"), "JPEG Image File");
  EXPECT_EQ(TPictureRegistry::Description(".Jpeg"), "JPEG Image File");
  EXPECT_TRUE(TPictureRegistry::IsRegistered("BMP"));
  EXPECT_EQ(TPictureRegistry::Description("PNG"), "Portable Network Graphics");
  EXPECT_FALSE(TPictureRegistry::IsRegistered("webp"));
  EXPECT_EQ(TPictureRegistry::Description("webp"), "");
}

TEST(PictureRegistry, LoadsFromMemoryThroughTheExtensionsReader) {
  auto picture = TPictureRegistry::LoadFromBytes("GIF", SmallGif());
  EXPECT_EQ(picture->Width(), 3);
  EXPECT_EQ(picture->Height(), 2);
  // The reader follows the extension, not the content: GIF bytes given as a JPEG fail with
  // libjpeg's message, as a picture of an unknown MIME type does in the preview.
  EXPECT_EQ(LoadError("jpg", SmallGif()).rfind("JPEG error: Not a JPEG file", 0), 0u);
  EXPECT_EQ(LoadError("bmp", SmallGif()), "Bitmap image is not valid");
  EXPECT_EQ(LoadError("webp", SmallGif()), "Unknown picture file extension (.webp)");
  EXPECT_EQ(LoadError("", SmallGif()), "Unknown picture file extension (.)");
}

TEST(PictureRegistry, LoadsFilesByTheirExtension) {
  const std::string name = GetTempDir() + "tagscope-registry-test.GIF";
  {
    std::ofstream out(name, std::ios::binary);
    out << SmallGif();
  }
  auto picture = TPictureRegistry::LoadFromFile(name);
  EXPECT_EQ(picture->Width(), 3);
  EXPECT_TRUE(RemoveFile(name));
  EXPECT_THROW(TPictureRegistry::LoadFromFile(name), EFOpenError);
  EXPECT_THROW(TPictureRegistry::LoadFromFile(GetTempDir() + "no-extension"), EInvalidGraphic);
}

TEST(PictureRegistry, ExtensionsForMimeTypes) {
  EXPECT_EQ(TPictureRegistry::ExtensionForMimeType("image/gif"), "gif");
  EXPECT_EQ(TPictureRegistry::ExtensionForMimeType("IMAGE/GIF"), "gif");
  EXPECT_EQ(TPictureRegistry::ExtensionForMimeType("image/BMP"), "bmp");
  EXPECT_EQ(TPictureRegistry::ExtensionForMimeType("image/jpeg"), "jpg");
  EXPECT_EQ(TPictureRegistry::ExtensionForMimeType("image/png"), "png");
  EXPECT_EQ(TPictureRegistry::ExtensionForMimeType("image/webp"), "");
  EXPECT_EQ(TPictureRegistry::ExtensionForMimeType(""), "jpg");
  EXPECT_EQ(TPictureRegistry::ExtractExtension("dir.x/name.Gif"), "Gif");
  EXPECT_EQ(TPictureRegistry::ExtractExtension("dir.x/name"), "");
  EXPECT_EQ(TPictureRegistry::ExtractExtension("dir.x\\name"), "");
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

uint32_t Crc32(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFF;
  for (const char c : bytes) {
    crc ^= static_cast<uint8_t>(c);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

std::string PictureError(const std::string& mimeType, const std::string& bytes) {
  try {
    TPictureRegistry::LoadPicture(mimeType, bytes);
  } catch (const Exception& e) {
    return e.what();
  }
  return "";
}

TEST(PictureRegistry, AttachedPicturesAreReadByTheirBytesBeforeTheirMimeType) {
  const std::filesystem::path data(TAGSCOPE_TEST_DATA);
  const std::string png = ReadFile(data / "imaging" / "png" / "rgb8.png");
  const std::string jpeg =
      ReadFile(data / ".." / ".." / "fuzz" / "corpus" / "imaging_jpeg" / "gradient.jpg");
  ASSERT_FALSE(png.empty());
  ASSERT_FALSE(jpeg.empty());
  EXPECT_EQ(TPictureRegistry::LoadPicture("image/jpeg", png)->Width(), 13);
  EXPECT_EQ(TPictureRegistry::LoadPicture("image/webp", png)->Width(), 13);
  EXPECT_GT(TPictureRegistry::LoadPicture("image/png", jpeg)->Width(), 0);
  EXPECT_EQ(TPictureRegistry::LoadPicture("IMAGE/GIF", SmallGif())->Height(), 2);
  EXPECT_EQ(TPictureRegistry::ExtensionForContent("BM"), "");  // too short for a bitmap

  // Bytes of no known kind: the MIME type decides, and a type nobody reads says so.
  EXPECT_EQ(PictureError("image/png", "RIFF....WEBPVP8 "), "PNG error: invalid signature");
  EXPECT_EQ(PictureError("", "neither").rfind("JPEG error: Not a JPEG file", 0), 0u);
  EXPECT_EQ(PictureError("image/webp", "RIFF....WEBP"),
            "image/webp: pictures of this kind cannot be shown");
  EXPECT_EQ(PictureError("-->", "http://example.com/cover.jpg"),
            "-->: pictures of this kind cannot be shown");
  // The type comes from the file: shown without control characters, and not at any length.
  EXPECT_EQ(PictureError("image/\x1B[2Jx", "?"),
            "image/?[2Jx: pictures of this kind cannot be shown");
  EXPECT_EQ(PictureError(std::string(500, 'a'), "?"),
            std::string(64, 'a') + "...: pictures of this kind cannot be shown");
}

TEST(PictureRegistry, DecodingLimitsApplyToEveryReader) {
  const std::string png = ReadFile(std::filesystem::path(TAGSCOPE_TEST_DATA) / "imaging" / "png" /
                                   "rgba8.png");  // 13 x 11, 32 bits: 572 bytes
  TDecodeLimits small;
  small.MaxDecodedBytes = 500;
  EXPECT_THROW(TPictureRegistry::LoadPicture("image/png", png, small), EInvalidGraphic);
  EXPECT_THROW(TPictureRegistry::LoadFromBytes("gif", SmallGif(), TDecodeLimits{7}), Exception);
  small.MaxDecodedBytes = 572;
  EXPECT_EQ(TPictureRegistry::LoadPicture("image/png", png, small)->Width(), 13);

  // The registry's defaults reach the pictures it makes, until they are set back.
  ASSERT_EQ(TPictureRegistry::DefaultLimits().MaxDecodedBytes, int64_t(64) << 20);
  TPictureRegistry::SetDefaultLimits(TDecodeLimits{500});
  EXPECT_EQ(PictureError("image/png", png), "Picture is too large to show (13x11 pixels)");
  EXPECT_EQ(TPictureRegistry::Create("bmp")->Limits().MaxDecodedBytes, 500);
  TPictureRegistry::SetDefaultLimits(TDecodeLimits());
  EXPECT_EQ(PictureError("image/png", png), "");

  // A header that claims the largest size is refused before any pixel memory is taken.
  std::string huge = png;
  huge.replace(16, 8, "\x7F\xFF\xFF\xFF\x7F\xFF\xFF\xFF", 8);
  const uint32_t crc = Crc32(huge.substr(12, 17));
  for (int i = 0; i < 4; ++i) huge[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
  EXPECT_EQ(PictureError("image/png", huge), "PNG error: image width exceeds user limit");
}

TEST(PictureRegistry, FormatsCanBeAddedAndRemoved) {
  TPictureRegistry::RegisterFileFormat(".GFX", "Test pictures",
                                       [] { return std::make_unique<TGifPicture>(); });
  EXPECT_EQ(TPictureRegistry::Description("gfx"), "Test pictures");
  EXPECT_EQ(TPictureRegistry::LoadFromBytes("gfx", SmallGif())->Height(), 2);
  TPictureRegistry::UnregisterFileFormat("gfx");
  EXPECT_FALSE(TPictureRegistry::IsRegistered("gfx"));
}

}  // namespace
}  // namespace tagscope
