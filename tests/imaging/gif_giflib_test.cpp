// giflib as an independent decoder and encoder: pictures written by our test encoder and by
// giflib's encoder decode to the same colour indexes and colours with both decoders.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "imaging/gif_picture.h"
#include "tests/imaging/gif_builder.h"

namespace tagscope {
namespace {

struct TMemory {
  std::string Data;
  size_t Pos = 0;
};

int ReadMemory(GifFileType* gif, GifByteType* buffer, int count) {
  auto* in = static_cast<TMemory*>(gif->UserData);
  const size_t n = std::min(static_cast<size_t>(count), in->Data.size() - in->Pos);
  std::memcpy(buffer, in->Data.data() + in->Pos, n);
  in->Pos += n;
  return static_cast<int>(n);
}

int WriteMemory(GifFileType* gif, const GifByteType* buffer, int count) {
  static_cast<TMemory*>(gif->UserData)->Data.append(reinterpret_cast<const char*>(buffer), count);
  return count;
}

// Each frame decoded by giflib: colour indexes (rows in picture order) and the colour of
// each index.
struct TOracleFrame {
  std::vector<uint8_t> Indexes;
  std::vector<TColor> Colors;
};

std::vector<TOracleFrame> GiflibDecode(const std::string& file) {
  TMemory input{file};
  int error = 0;
  GifFileType* gif = DGifOpen(&input, ReadMemory, &error);
  EXPECT_NE(gif, nullptr);
  EXPECT_EQ(DGifSlurp(gif), GIF_OK);
  std::vector<TOracleFrame> frames;
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    const size_t count = size_t(image.ImageDesc.Width) * image.ImageDesc.Height;
    TOracleFrame frame;
    frame.Indexes.assign(image.RasterBits, image.RasterBits + count);
    const ColorMapObject* map =
        image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
    for (int c = 0; c < map->ColorCount; ++c)
      frame.Colors.push_back(
          RGBColor(map->Colors[c].Red, map->Colors[c].Green, map->Colors[c].Blue));
    frames.push_back(std::move(frame));
  }
  DGifCloseFile(gif, &error);
  return frames;
}

void ExpectSameAsGiflib(const std::string& file, int expectedFrames) {
  const auto oracle = GiflibDecode(file);
  ASSERT_EQ(static_cast<int>(oracle.size()), expectedFrames);
  TGifPicture picture;
  picture.LoadFromBytes(file);
  ASSERT_EQ(picture.FrameCount(), expectedFrames);
  for (int i = 0; i < expectedFrames; ++i) {
    const TBitmapData& bitmap = picture.FrameBitmap(i);
    const auto indexes = test::Indexes(bitmap);
    ASSERT_EQ(indexes, oracle[i].Indexes) << "frame " << i;
    EXPECT_FALSE(picture.Frames(i).Damaged());
    for (size_t p = 0; p < indexes.size(); p += 7) {
      uint8_t r, g, b;
      bitmap.PixelRGB(static_cast<int>(p % bitmap.Width), static_cast<int>(p / bitmap.Width), r, g,
                      b);
      ASSERT_EQ(RGBColor(r, g, b), oracle[i].Colors[indexes[p]]);
    }
  }
}

TEST(GifGiflib, OurEncoderAllDepthsInterlacingTablesAndBlockSizes) {
  for (int bits = 1; bits <= 8; ++bits) {
    const int colors = 1 << bits;
    for (bool interlaced : {false, true}) {
      test::TGifFrameInput first;
      first.Width = 61;
      first.Height = 37;
      first.Pixels = test::TestPicture(61, 37, colors, static_cast<uint64_t>(bits));
      first.Interlaced = interlaced;
      first.BlockSize = bits == 3 ? 1 : bits == 5 ? 17 : 255;  // codes across sub-block borders
      first.TransparentIndex = colors - 1;
      first.Delay = 10;
      test::TGifFrameInput second = first;
      second.Left = 3;
      second.Width = 20;
      second.Height = 9;
      second.Pixels = test::TestPicture(20, 9, colors, 99);
      second.LocalColors = test::TestColors(colors);
      std::reverse(second.LocalColors.begin(), second.LocalColors.end());
      const std::string file = test::TGifBuilder()
                                   .Header()
                                   .Screen(64, 40, test::TestColors(colors))
                                   .Application("NETSCAPE2.0", {std::string("\x01\x00\x00", 3)})
                                   .Frame(first)
                                   .Frame(second)
                                   .Trailer()
                                   .Bytes();
      SCOPED_TRACE(testing::Message() << bits << " bits, interlaced " << interlaced);
      ExpectSameAsGiflib(file, 2);
    }
  }
}

TEST(GifGiflib, LongStringsAndTableResets) {
  // Large flat areas give strings of hundreds of pixels; a big noisy area fills the table and
  // forces clear codes.
  test::TGifFrameInput frame;
  frame.Width = 700;
  frame.Height = 300;
  frame.Pixels = test::TestPicture(700, 300, 256, 5);
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 700; ++x)
      frame.Pixels[static_cast<size_t>(y) * 700 + x] = static_cast<uint8_t>(y / 40);
  ExpectSameAsGiflib(test::TGifBuilder()
                         .Header()
                         .Screen(700, 300, test::TestColors(256))
                         .Frame(frame)
                         .Trailer()
                         .Bytes(),
                     1);
}

// Code streams shaped as other writers shape them, in a file of one frame with a 256-colour
// table (the code size may be smaller than the table's bits).
std::string ShapedFile(int codeSize, const test::TLzwOptions& options, int colors = 256) {
  test::TGifFrameInput frame;
  frame.Width = 151;
  frame.Height = 89;
  frame.Pixels = test::TestPicture(151, 89, 1 << std::min(codeSize, 8),
                                   static_cast<uint64_t>(codeSize * 7 + options.DeferredCodes));
  frame.CodeSize = codeSize;
  frame.Lzw = options;
  return test::TGifBuilder()
      .Header()
      .Screen(151, 89, test::TestColors(colors))
      .Frame(frame)
      .Trailer()
      .Bytes();
}

const struct {
  const char* Name;
  test::TLzwOptions Options;
} kShapes[] = {{"plain", {}},
               {"no leading clear", {false, 1, 0}},
               {"double clears", {true, 2, 0}},
               {"deferred clear", {true, 1, 500}},
               {"never cleared", {true, 1, -1}}};

TEST(GifGiflib, CodeSizesBelowTheTableBitsAndStreamShapes) {
  for (int codeSize = 2; codeSize <= 8; ++codeSize) {
    for (const auto& shape : kShapes) {
      SCOPED_TRACE(testing::Message() << "code size " << codeSize << ", " << shape.Name);
      ExpectSameAsGiflib(ShapedFile(codeSize, shape.Options), 1);
    }
  }
  // A real animation's shape: code size 6 with a 128-colour table.
  ExpectSameAsGiflib(ShapedFile(6, {}, 128), 1);
}

// Frame 0's colour indexes as Pillow decodes them; empty when Pillow is not there.
std::vector<uint8_t> PillowIndexes(const std::string& file) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("tagscope-pillow-" +
                     std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".gif");
  std::ofstream(path, std::ios::binary) << file;
  const std::string command =
      "/usr/bin/python3 -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
      "sys.stdout.buffer.write(im.tobytes())\" " +
      path.string() + " 2>/dev/null";
  std::vector<uint8_t> indexes;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
      indexes.insert(indexes.end(), buffer, buffer + n);
    pclose(pipe);
  }
  std::filesystem::remove(path);
  return indexes;
}

// giflib refuses code sizes above 8; Pillow decodes them.
TEST(GifPillow, CodeSizesNineToEleven) {
  if (PillowIndexes(ShapedFile(8, {})).empty()) GTEST_SKIP() << "Pillow is not installed";
  for (int codeSize = 9; codeSize <= 11; ++codeSize) {
    for (const auto& shape : kShapes) {
      SCOPED_TRACE(testing::Message() << "code size " << codeSize << ", " << shape.Name);
      const std::string file = ShapedFile(codeSize, shape.Options);
      TGifPicture picture;
      picture.LoadFromBytes(file);
      EXPECT_EQ(test::Indexes(picture.FrameBitmap(0)), PillowIndexes(file));
      EXPECT_FALSE(picture.Frames(0).Damaged());
    }
  }
}

// Writes a GIF with giflib's own encoder.
std::string GiflibEncode(int width, int height, int bits, bool interlaced, bool local, int frames) {
  TMemory output;
  int error = 0;
  GifFileType* gif = EGifOpen(&output, WriteMemory, &error);
  EGifSetGifVersion(gif, true);
  const int count = 1 << bits;
  std::vector<GifColorType> colors(static_cast<size_t>(count));
  const auto bytes = test::TestColors(count);
  for (int i = 0; i < count; ++i)
    colors[i] = GifColorType{bytes[i * 3], bytes[i * 3 + 1], bytes[i * 3 + 2]};
  ColorMapObject* map = GifMakeMapObject(count, colors.data());
  EGifPutScreenDesc(gif, width, height, bits, 0, local ? nullptr : map);
  for (int f = 0; f < frames; ++f) {
    const unsigned char control[4] = {0x01, 5, 0, static_cast<unsigned char>(f % count)};
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
    EGifPutImageDesc(gif, 0, 0, width, height, interlaced, local ? map : nullptr);
    auto pixels = test::TestPicture(width, height, count, static_cast<uint64_t>(f + 11));
    if (interlaced) pixels = test::InterlaceRows(pixels, width, height);
    for (int y = 0; y < height; ++y) EGifPutLine(gif, pixels.data() + size_t(y) * width, width);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return output.Data;
}

TEST(GifGiflib, GiflibsEncoder) {
  for (int bits : {1, 2, 4, 7, 8}) {
    SCOPED_TRACE(bits);
    ExpectSameAsGiflib(GiflibEncode(97, 45, bits, false, false, 2), 2);
    ExpectSameAsGiflib(GiflibEncode(33, 70, bits, true, true, 3), 3);
  }
  ExpectSameAsGiflib(GiflibEncode(1000, 800, 8, false, false, 1), 1);
}

}  // namespace
}  // namespace tagscope
