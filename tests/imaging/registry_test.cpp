// The picture registry: extensions, descriptions, loading from files and from memory.
#include <gtest/gtest.h>

#include <fstream>

#include "imaging/gif_picture.h"
#include "rtl/files.h"
#include "tagscope/imaging/picture_registry.h"
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
  EXPECT_EQ(LoadError("png", SmallGif()), "Unknown picture file extension (.png)");
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
