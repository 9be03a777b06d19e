// The GIF reader: container parsing, frames, extensions, comments and its error messages.
#include <gtest/gtest.h>

#include <cstring>

#include "imaging/gif_picture.h"
#include "tagscope/rtl/exception.h"
#include "tests/imaging/gif_builder.h"

namespace tagscope {
namespace {

using test::TGifBuilder;
using test::TGifFrameInput;

TGifFrameInput Frame(int width, int height, int colors = 4, uint64_t variant = 1) {
  TGifFrameInput f;
  f.Width = width;
  f.Height = height;
  f.Pixels = test::TestPicture(width, height, colors, variant);
  return f;
}

TGifBuilder Screen(int width = 8, int height = 6, int colors = 4) {
  return std::move(TGifBuilder().Header().Screen(width, height, test::TestColors(colors)));
}

std::unique_ptr<TGifPicture> Load(const std::string& bytes) {
  auto picture = std::make_unique<TGifPicture>();
  picture->LoadFromBytes(bytes);
  return picture;
}

std::string LoadError(const std::string& bytes) {
  try {
    Load(bytes);
  } catch (const Exception& e) {
    return e.what();
  }
  return "";
}

TEST(GifReader, ReadsFramesAndTheirPixels) {
  const auto f0 = Frame(8, 6), f1 = Frame(5, 3, 4, 2);
  auto picture = Load(Screen().Frame(f0).Frame(f1).Trailer().Bytes());
  ASSERT_EQ(picture->FrameCount(), 2);
  EXPECT_EQ(picture->SignatureVersion(), 2);
  EXPECT_EQ(picture->CurrentFrame(), 0);
  EXPECT_TRUE(picture->Frames(0).HasBitmap());
  EXPECT_FALSE(picture->Frames(1).HasBitmap());  // decoded only when asked for
  EXPECT_EQ(test::Indexes(picture->FrameBitmap(1)), f1.Pixels);
  EXPECT_EQ(test::Indexes(*picture->Bitmap()), f0.Pixels);
  EXPECT_EQ(picture->Width(), 8);
  EXPECT_EQ(picture->Height(), 6);
  EXPECT_FALSE(picture->Empty());
}

TEST(GifReader, EmptyOrShortStreamsGiveNoFrames) {
  auto empty = Load("");
  EXPECT_EQ(empty->FrameCount(), 0);
  EXPECT_EQ(empty->Width(), 0);
  EXPECT_EQ(empty->Height(), 0);
  EXPECT_TRUE(empty->Empty());
  EXPECT_EQ(empty->Bitmap(), nullptr);
  EXPECT_EQ(empty->Palette(), nullptr);
  for (const std::string& bytes :
       {std::string("GIF89a\x08\x00\x06", 9), std::string("GIF87a\x08\x00\x06\x00\x80\x00\x00", 13),
        std::string("GIF89a\x08\x00\x06\x00\x81\x00\x00\x01\x02\x03", 16)}) {
    auto picture = Load(bytes);
    EXPECT_EQ(picture->FrameCount(), 0);
    EXPECT_EQ(picture->LogicalWidth(), 8);
  }
}

TEST(GifReader, SignatureAndVersionIgnoreCase) {
  auto picture = Load(TGifBuilder().Header("gif89A").Screen(1, 1).Bytes());
  EXPECT_EQ(picture->SignatureVersion(), 2);
  EXPECT_EQ(Load(TGifBuilder().Header("GiF87A").Screen(1, 1).Bytes())->SignatureVersion(), 1);
  EXPECT_EQ(LoadError(TGifBuilder().Header("GIF90a").Screen(1, 1).Bytes()), "Unknown GIF version");
  EXPECT_EQ(LoadError(TGifBuilder().Header("PNG89a").Screen(1, 1).Bytes()), "Unknown GIF version");
  EXPECT_EQ(LoadError("GI"), "Stream read error");
}

TEST(GifReader, ScreenDescriptorAndBackground) {
  auto picture = Load(
      TGifBuilder().Header().Screen(300, 200, test::TestColors(4), 2).Frame(Frame(3, 2)).Bytes());
  EXPECT_EQ(picture->LogicalWidth(), 300);
  EXPECT_EQ(picture->LogicalHeight(), 200);
  const auto colors = test::TestColors(4);
  EXPECT_EQ(picture->BackColor(), RGBColor(colors[6], colors[7], colors[8]));
  EXPECT_EQ(picture->Shared().GlobalColors().Count, 4);
  EXPECT_EQ(picture->Shared().GlobalBits(), 2);
  // The size shown is frame 0's, not the logical screen's.
  EXPECT_EQ(picture->Width(), 3);
  EXPECT_EQ(picture->Height(), 2);
  // A background index beyond the table leaves no background colour.
  EXPECT_EQ(Load(TGifBuilder().Header().Screen(3, 2, test::TestColors(4), 9).Bytes())->BackColor(),
            clNone);
}

TEST(GifReader, FrameOfSizeZeroTakesTheScreenSize) {
  TGifFrameInput f = Frame(0, 0);
  f.Pixels = test::TestPicture(8, 6, 4);
  auto picture = Load(Screen(8, 6).Frame(f).Bytes());
  EXPECT_EQ(picture->Frames(0).Width(), 8);
  EXPECT_EQ(picture->Width(), 8);
  EXPECT_EQ(test::Indexes(*picture->Bitmap()), f.Pixels);
}

TEST(GifReader, HugeScreenFailsWithAClearMessageInsteadOfExhaustingMemory) {
  TGifFrameInput f = Frame(0, 0);
  f.Pixels = {1};
  EXPECT_EQ(
      LoadError(
          TGifBuilder().Header().Screen(65535, 65535, test::TestColors(256)).Frame(f).Bytes()),
      "Picture is too large to show (65535x65535 pixels)");
}

TEST(GifReader, LocalColourTablesAndFrameBits) {
  TGifFrameInput f = Frame(4, 4, 8);
  f.LocalColors = test::TestColors(8);
  auto picture = Load(Screen(4, 4, 2).Frame(f).Frame(Frame(4, 4, 2)).Bytes());
  const TGifFrame& local = picture->Frames(0);
  EXPECT_TRUE(local.HasLocalColors());
  EXPECT_EQ(local.Item().FrameBits(), 3);
  EXPECT_EQ(picture->FrameBitmap(0).BitCount, 4);
  const TGifFrame& global = picture->Frames(1);
  EXPECT_FALSE(global.HasLocalColors());
  EXPECT_EQ(global.Item().FrameBits(), 1);
  EXPECT_EQ(global.Item().FrameColors().Count, 2);
  EXPECT_EQ(picture->FrameBitmap(1).BitCount, 1);
}

TEST(GifReader, FrameWithoutAnyColourTableFailsWhenDecoded) {
  const std::string bytes = TGifBuilder().Header().Screen(4, 4).Frame(Frame(4, 4)).Bytes();
  EXPECT_EQ(LoadError(bytes), "Wrong number of colors; must be a power of 2");
  // Read without building a bitmap, the frame is there; building it fails.
  TGifPicture picture;
  TMemoryStream stream(bytes);
  picture.ReadGIFData(static_cast<int64_t>(bytes.size()), stream, false);
  ASSERT_EQ(picture.FrameCount(), 1);
  EXPECT_THROW(picture.Width(), EInvalidGraphicOperation);
}

TEST(GifReader, GraphicControlExtensions) {
  const auto colors = test::TestColors(4);
  // Two graphic controls: transparency and disposal from the second, the larger delay.
  auto two = Load(Screen()
                      .GraphicControl(0x01 | (2 << 2), 50, 1)
                      .GraphicControl(0x01 | (3 << 2), 7, 2)
                      .Frame(Frame(8, 6))
                      .Bytes());
  const TGifFrame& frame = two->Frames(0);
  EXPECT_EQ(frame.KeyColor(), RGBColor(colors[6], colors[7], colors[8]));
  EXPECT_EQ(frame.DisposalMethod(), 3);
  EXPECT_EQ(frame.DelayMs(), 500);
  EXPECT_TRUE(two->Transparent());
  two->SetTransparent(false);
  EXPECT_FALSE(two->Transparent());
  // A transparent index beyond the table, or a cleared flag, leaves no key colour.
  EXPECT_EQ(Load(Screen().GraphicControl(1, 0, 4).Frame(Frame(8, 6)).Bytes())->Frames(0).KeyColor(),
            clNone);
  EXPECT_EQ(
      Load(Screen().GraphicControl(1, 0, 1).GraphicControl(0, 0, 1).Frame(Frame(8, 6)).Bytes())
          ->Frames(0)
          .KeyColor(),
      clNone);
  // Delays wrap around in 16 bits: 7000 * 10 = 70000 is stored as 4464.
  EXPECT_EQ(
      Load(Screen().GraphicControl(0, 7000, 0).Frame(Frame(8, 6)).Bytes())->Frames(0).DelayMs(),
      4464);
}

TEST(GifReader, PlainTextDropsTheExtensionsBeforeIt) {
  auto picture = Load(Screen().GraphicControl(1, 20, 1).PlainText().Frame(Frame(8, 6)).Bytes());
  const TGifFrame& frame = picture->Frames(0);
  EXPECT_EQ(frame.KeyColor(), clNone);
  EXPECT_EQ(frame.DelayMs(), 0);
  EXPECT_TRUE(frame.ExtensionList().empty());
}

TEST(GifReader, CommentsBeforeAFrameStayWithIt) {
  auto picture = Load(Screen().Comment({"made", "here"}).Frame(Frame(8, 6)).Bytes());
  ASSERT_EQ(picture->Frames(0).ExtensionList().size(), 1u);
  EXPECT_EQ(picture->Frames(0).ExtensionList()[0].BlockLines(),
            (std::vector<std::string>{"made", "here"}));
  EXPECT_TRUE(picture->Shared().Comments().empty());
}

TEST(GifReader, CommentsAfterTheLastFrameGoToTheImage) {
  auto picture = Load(
      Screen().Frame(Frame(8, 6)).Comment({"one", "two"}).Comment({"three"}).Trailer().Bytes());
  EXPECT_EQ(picture->Shared().Comments(),
            (std::vector<std::string>{"one", "two", "\r\n\r\n", "three"}));
}

TEST(GifReader, LoopingApplicationExtension) {
  auto loop = [](const std::string& id, const std::string& block, int blockSize = 11) {
    auto picture = Load(Screen().Application(id, {block}, blockSize).Frame(Frame(8, 6)).Bytes());
    return std::make_pair(picture->HasLoop(), static_cast<int>(picture->LoopCount()));
  };
  EXPECT_EQ(loop("NETSCAPE2.0", std::string("\x01\x00\x00", 3)), std::make_pair(true, 0));
  EXPECT_EQ(loop("NETSCAPE2.0", std::string("\x01\x05\x01", 3)), std::make_pair(true, 261));
  EXPECT_EQ(loop("ANIMEXTS1.0", std::string("\x01\xFF\xFF", 3)), std::make_pair(true, 30000));
  EXPECT_EQ(loop("NETSCAPE2.0", std::string("\x02\x05\x00", 3)), std::make_pair(false, 1));
  EXPECT_EQ(loop("NETSCAPE2.0", std::string("\x01\x05", 2)), std::make_pair(false, 1));
  EXPECT_EQ(loop("XMP DataXMP", std::string("\x01\x05\x00", 3)), std::make_pair(false, 1));
  // The block size byte says how much of the identifier counts; more than 11 compares 11.
  EXPECT_EQ(loop("NETSCAPE9.9", std::string("\x01\x05\x00", 3), 8), std::make_pair(true, 5));
  EXPECT_EQ(loop("NETSCAPE2.0", std::string("\x01\x05\x00", 3), 200), std::make_pair(true, 5));
}

TEST(GifReader, UnknownExtensionLabelsFail) {
  EXPECT_EQ(LoadError(Screen().Raw("\x21\x2C\x00").Frame(Frame(8, 6)).Bytes()),
            "Unrecognized extension block: 2C");
  EXPECT_EQ(LoadError(Screen().Raw("\x21\x0a\x00").Bytes()), "Unrecognized extension block: 0A");
}

TEST(GifReader, StrayBytesBetweenBlocks) {
  // After an image block a stray byte ends the reading quietly; before any image it fails.
  auto picture = Load(Screen().Frame(Frame(8, 6)).Raw("\x42").Frame(Frame(8, 6)).Bytes());
  EXPECT_EQ(picture->FrameCount(), 1);
  EXPECT_EQ(LoadError(Screen().Raw("\x42").Frame(Frame(8, 6)).Bytes()), "Stream read error");
  // Zero bytes between blocks are skipped.
  EXPECT_EQ(
      Load(Screen().Raw(std::string(3, '\0')).Frame(Frame(8, 6)).Trailer().Bytes())->FrameCount(),
      1);
}

TEST(GifReader, DamagedFrameData) {
  const std::string whole = Screen().Frame(Frame(8, 6)).Bytes();
  // A length byte pointing past the end: the complete blocks are kept, the frame is damaged.
  std::string cut = whole.substr(0, whole.size() - 4);
  auto picture = Load(cut);
  ASSERT_EQ(picture->FrameCount(), 1);
  EXPECT_TRUE(picture->Frames(0).Damaged());
  const std::string& code = picture->Frames(0).Item().CodeStream()->Bytes();
  EXPECT_EQ(code.size(), 1u);  // one block only, cut short
  // Data ending right after the code size byte: damaged too.
  const size_t header = 6 + 7 + 12 + 10;
  auto bare = Load(whole.substr(0, header + 1));
  ASSERT_EQ(bare->FrameCount(), 1);
  EXPECT_TRUE(bare->Frames(0).Damaged());
  EXPECT_EQ(bare->Width(), 8);
  // Cut inside the descriptor or the local table: a read error.
  EXPECT_EQ(LoadError(whole.substr(0, header - 3)), "Stream read error");
  TGifFrameInput local = Frame(8, 6);
  local.LocalColors = test::TestColors(4);
  const std::string withLocal = Screen().Frame(local).Bytes();
  EXPECT_EQ(LoadError(withLocal.substr(0, header + 5)), "Stream read error");
}

TEST(GifReader, FailedLoadKeepsTheFramesReadBefore) {
  TGifPicture picture;
  const std::string bytes = Screen().Frame(Frame(8, 6)).Raw("\x21\x77").Bytes();
  EXPECT_THROW(picture.LoadFromBytes(bytes), EInvalidGraphicOperation);
  EXPECT_EQ(picture.FrameCount(), 1);
}

TEST(GifReader, ReadDataTakesALengthPrefix) {
  const std::string gif = Screen().Frame(Frame(8, 6)).Trailer().Bytes();
  std::string data(4, '\0');
  data[0] = static_cast<char>(gif.size());
  TMemoryStream stream(data + gif + "trailing");
  TGifPicture picture;
  picture.ReadData(stream);
  EXPECT_EQ(picture.FrameCount(), 1);
  EXPECT_EQ(stream.Position(), static_cast<int64_t>(4 + gif.size()));
  // A length beyond the stream fails before anything is allocated.
  TMemoryStream huge(std::string("\xFF\xFF\xFF\x7F", 4) + gif);
  EXPECT_THROW(picture.ReadData(huge), EReadError);
}

TEST(GifReader, SizeCannotBeChanged) {
  TGifPicture picture;
  try {
    picture.SetWidth(5);
    FAIL();
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_STREQ(e.what(), "Cannot change the Size of a GIF image");
  }
  EXPECT_THROW(picture.SetHeight(5), EInvalidGraphicOperation);
}

TEST(GifReader, CopiesShareTheirData) {
  auto picture = Load(Screen().Frame(Frame(8, 6)).Frame(Frame(8, 6, 4, 3)).Bytes());
  TGifPicture copy;
  copy.Assign(*picture);
  EXPECT_TRUE(copy.Equals(*picture));
  EXPECT_EQ(&copy.Frames(1).Item(), &picture->Frames(1).Item());
  EXPECT_EQ(test::Indexes(copy.FrameBitmap(1)), test::Indexes(picture->FrameBitmap(1)));
  TGifPicture other;
  other.LoadFromBytes(Screen().Frame(Frame(8, 6)).Bytes());
  EXPECT_FALSE(other.Equals(*picture));
}

TEST(GifReader, ProgressAndChangeReachTheImagesHandlers) {
  TGifPicture picture;
  int changes = 0, starts = 0, ends = 0;
  picture.OnChange = [&](TGraphic&) { ++changes; };
  picture.OnProgress = [&](TGraphic& sender, TProgressStage stage, int, bool redraw,
                           const std::string&) {
    EXPECT_EQ(&sender, &picture);
    EXPECT_FALSE(redraw);
    starts += stage == TProgressStage::psStarting;
    ends += stage == TProgressStage::psEnding;
  };
  picture.LoadFromBytes(Screen().Frame(Frame(8, 6)).Bytes());
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(ends, 1);
}

}  // namespace
}  // namespace tagscope

namespace tagscope {
namespace {

// A stream that is not a memory stream, as a file is.
class TPlainStream : public TStream {
 public:
  explicit TPlainStream(std::string bytes) : FBytes(std::move(bytes)) {}
  int64_t Read(void* buffer, int64_t count) override {
    const int64_t n = std::min<int64_t>(count, Size() - FPos);
    std::memcpy(buffer, FBytes.data() + FPos, static_cast<size_t>(n));
    FPos += n;
    return n;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    FPos = origin == TSeekOrigin::soBeginning ? offset
           : origin == TSeekOrigin::soCurrent ? FPos + offset
                                              : Size() + offset;
    return FPos;
  }
  void SetSize(int64_t) override {}
  int64_t Size() override { return static_cast<int64_t>(FBytes.size()); }

 private:
  std::string FBytes;
  int64_t FPos = 0;
};

// A frame whose data is most of the file takes the loaded bytes over instead of copying its
// part: it must hold exactly its own code stream, also when a later block fails.
TEST(GifReader, FrameHoldingMostOfTheDataKeepsExactlyItsCodeStream) {
  const TGifFrameInput big = Frame(300, 200, 256, 4);
  const std::string prefix = Screen(300, 200, 256).Bytes();
  const std::string withBig = Screen(300, 200, 256).Frame(big).Bytes();
  const std::string code = withBig.substr(prefix.size() + 10);
  for (const std::string& tail : {std::string(";"), std::string("\x21\x42", 2)}) {
    const std::string file = withBig + tail;
    for (bool fromStream : {false, true}) {
      SCOPED_TRACE(testing::Message() << "tail " << tail.size() << ", stream " << fromStream);
      TGifPicture picture;
      try {
        if (fromStream) {
          TPlainStream stream(file);
          picture.LoadFromStream(stream);
        } else {
          picture.LoadFromBytes(file);
        }
        EXPECT_EQ(tail, ";");
      } catch (const EInvalidGraphicOperation& e) {
        EXPECT_STREQ(e.what(), "Unrecognized extension block: 42");
      }
      ASSERT_EQ(picture.FrameCount(), 1);
      EXPECT_EQ(picture.Frames(0).Item().CodeStream()->Bytes(), code);
      EXPECT_EQ(test::Indexes(picture.FrameBitmap(0)), big.Pixels);
    }
  }
}

// Frame 0 decoded straight into a sink gives the bitmap's rows; an interlaced frame goes through
// its bitmap; a file without frames is left alone.
TEST(GifReader, RowsIntoASinkAreFrameZerosRows) {
  TGifFrameInput plain = Frame(37, 21, 16, 2);
  plain.LocalColors = test::TestColors(11);  // indexes beyond the table: grey entries
  TGifFrameInput interlaced = Frame(29, 13, 256, 3);
  interlaced.Interlaced = true;
  const std::string whole = Screen(40, 30, 256).Frame(plain).Frame(interlaced).Trailer().Bytes();
  std::string damaged = Screen(40, 30, 256).Frame(plain).Bytes();
  damaged.resize(damaged.size() - 20);
  const std::string files[] = {whole, damaged,
                               Screen(40, 30, 256).Frame(interlaced).Frame(plain).Bytes()};
  for (const std::string& file : files) {
    TGifPicture loaded;
    loaded.LoadFromBytes(file);
    std::string bytes = file;
    TGifPicture streamed;
    test::TRowCollector sink;
    ASSERT_TRUE(streamed.DecodeRGBRows(bytes, sink));
    EXPECT_EQ(sink.Width, loaded.Width());
    EXPECT_EQ(sink.Rows(), test::RGBRows(loaded.FrameBitmap(0)));
    EXPECT_EQ(streamed.Frames(0).Damaged(), loaded.Frames(0).Damaged());
  }
  std::string noFrames = Screen().Trailer().Bytes();
  const std::string original = noFrames;
  test::TRowCollector sink;
  EXPECT_FALSE(TGifPicture().DecodeRGBRows(noFrames, sink));
  EXPECT_EQ(noFrames, original);
  EXPECT_EQ(sink.Width, -1);
}

}  // namespace
}  // namespace tagscope
