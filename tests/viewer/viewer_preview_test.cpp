#include <filesystem>
#include <fstream>
#include <iterator>

#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"
#include "tests/viewer/viewer_fixture.h"

namespace tagscope::test {
namespace {

TEST_F(ViewerTest, TheFirstPictureIsPreviewedWithItsSize) {
  TempFile file(Tag({PictureFrame("image/bmp", 3, "front cover", Bitmap16x16()),
                     PictureFrame("image/gif", 4, "back", Gif1x1())}));
  frame->LoadFile(file.Name());
  EXPECT_EQ(frame->lbPictures->ItemIndex(), 0);
  EXPECT_EQ(frame->txtImageSize->Caption(), "16x16 [822 bytes]");
  EXPECT_EQ(frame->edPictureDesc->Text(), "front cover");
  EXPECT_EQ(frame->pnlPicture->Caption(), "");
  EXPECT_TRUE(frame->imgPicture->Visible());
  EXPECT_EQ(frame->imgPicture->Picture().Width, 16);

  Pictures().UserSelect(1);
  EXPECT_EQ(frame->txtImageSize->Caption(), "1x1 [35 bytes]");
  EXPECT_EQ(frame->edPictureDesc->Text(), "back");
}

TEST_F(ViewerTest, AGifInCapitalsIsReadByTheGifReader) {
  TempFile file(Tag({PictureFrame("IMAGE/GIF", 0, "", Gif1x1())}));
  frame->LoadFile(file.Name());
  EXPECT_EQ(frame->txtImageSize->Caption(), "1x1 [35 bytes]");
  EXPECT_EQ(frame->pnlPicture->Caption(), "");
}

TEST_F(ViewerTest, PngCoversAreShownWhateverTheirTypeSaysAndUnknownKindsSayWhatTheyAre) {
  std::ifstream in(std::filesystem::path(TAGSCOPE_TEST_DATA) / "imaging" / "png" / "rgba8.png",
                   std::ios::binary);
  const std::string png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(png.empty());
  TempFile file(Tag({PictureFrame("image/jpeg", 3, "png", png),
                     PictureFrame("image/webp", 4, "webp", "RIFF\x10\0\0\0WEBPVP8 ")}));
  frame->LoadFile(file.Name());
  EXPECT_EQ(frame->pnlPicture->Caption(), "");
  EXPECT_EQ(frame->txtImageSize->Caption(), tagscope::Format("13x11 [%d bytes]", int(png.size())));
  EXPECT_TRUE(frame->imgPicture->Picture().HasAlpha);

  Pictures().UserSelect(1);
  EXPECT_EQ(frame->pnlPicture->Caption(), "image/webp: pictures of this kind cannot be shown");
  EXPECT_EQ(frame->txtImageSize->Caption(), "");
}

TEST_F(ViewerTest, AnUndecodablePictureShowsTheDecoderMessageThenTheNextOneClearsIt) {
  TempFile file(Tag({PictureFrame("image/png", 3, "png", "\x89PNG\r\n\x1a\n not really"),
                     PictureFrame("", 4, "empty type", "neither"),
                     PictureFrame("image/bmp", 5, "good", Bitmap16x16())}));
  frame->LoadFile(file.Name());
  const std::string error = frame->pnlPicture->Caption();
  EXPECT_NE(error, "");
  EXPECT_FALSE(frame->imgPicture->Visible());
  EXPECT_EQ(frame->txtImageSize->Caption(), "");
  EXPECT_EQ(frame->edPictureDesc->Text(), "png");

  Pictures().UserSelect(1);
  EXPECT_NE(frame->pnlPicture->Caption(), "");
  EXPECT_EQ(frame->edPictureDesc->Text(), "empty type");

  Pictures().UserSelect(2);
  EXPECT_EQ(frame->pnlPicture->Caption(), "");
  EXPECT_TRUE(frame->imgPicture->Visible());
  EXPECT_EQ(frame->txtImageSize->Caption(), "16x16 [822 bytes]");
  EXPECT_TRUE(factory.ErrorMessages().empty());
}

TEST_F(ViewerTest, ABrokenBitmapShowsTheBitmapReadersMessage) {
  std::string broken = Bitmap16x16();
  broken[0] = 'X';
  TempFile file(Tag({PictureFrame("image/bmp", 3, "", broken)}));
  frame->LoadFile(file.Name());
  EXPECT_EQ(frame->pnlPicture->Caption(), "Bitmap image is not valid");
}

TEST_F(ViewerTest, NoPicturesAfterAFailedOneLeaveAnEmptyPage) {
  TempFile bad(Tag({PictureFrame("image/jpeg", 3, "desc", "not a jpeg")}));
  TempFile none(Tag({TextFrame("TIT2", "Song")}));
  frame->LoadFile(bad.Name());
  ASSERT_NE(frame->pnlPicture->Caption(), "");
  frame->LoadFile(none.Name());
  EXPECT_EQ(frame->lbPictures->Count(), 0);
  EXPECT_EQ(frame->pnlPicture->Caption(), "");
  EXPECT_EQ(frame->txtImageSize->Caption(), "");
  EXPECT_EQ(frame->edPictureDesc->Text(), "");
  EXPECT_FALSE(frame->imgPicture->Visible());
  EXPECT_FALSE(frame->imgPicture->HasPicture());
}

TEST_F(ViewerTest, ThePreviewLeavesNoFileInTheTemporaryFolder) {
  auto previewFiles = [] {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(GetTempDir()))
      if (entry.path().filename().string().rfind("~IM", 0) == 0) ++count;
    return count;
  };
  const int before = previewFiles();
  TempFile file(Tag({PictureFrame("image/bmp", 3, "", Bitmap16x16()),
                     PictureFrame("image/jpeg", 3, "", "broken")}));
  frame->LoadFile(file.Name());
  Pictures().UserSelect(1);
  EXPECT_EQ(previewFiles(), before);
}

TEST_F(ViewerTest, OnlyTheUrlColumnIsDrawnAsALink) {
  TempFile file(Tag({UrlFrame("home", "http://example.org/")}));
  frame->LoadFile(file.Name());
  const auto link = Urls().PaintCell(0, 1);
  EXPECT_EQ(link.Font, (TDrawFont{0xFF0000, fsUnderline}));
  EXPECT_TRUE(link.DefaultDraw);
  const auto description = Urls().PaintCell(0, 0, cdsSelected);
  EXPECT_EQ(description.Font, TDrawFont{});
  EXPECT_TRUE(description.DefaultDraw);
}

TEST_F(ViewerTest, ClickingALinkOpensItOnlyWithASelectedRow) {
  TempFile file(Tag({UrlFrame("home", "http://example.org/"), UrlFrame("mail", "mailto:a@b.c")}));
  frame->LoadFile(file.Name());
  Urls().UserClick(-1);
  EXPECT_TRUE(factory.ShellCalls().empty());
  Urls().UserClick(1);
  ASSERT_EQ(factory.ShellCalls().size(), 1u);
  EXPECT_EQ(factory.ShellCalls()[0].Target, "mailto:a@b.c");
  EXPECT_EQ(factory.ShellCalls()[0].Owner, frame->Handle());
}

TEST_F(ViewerTest, LinksThatAreNotWebOrMailAreShownButNotOpened) {
  TempFile file(Tag({UrlFrame("run", "C:\\Windows\\System32\\calc.exe"),
                     UrlFrame("local", "file:///etc/passwd"), UrlFrame("web", "HTTPS://x.org")}));
  frame->LoadFile(file.Name());
  ASSERT_EQ(frame->lvUrls->ItemCount(), 3);
  EXPECT_EQ(frame->lvUrls->SubItem(0, 0), "C:\\Windows\\System32\\calc.exe");
  Urls().UserClick(0);
  Urls().UserClick(1);
  EXPECT_TRUE(factory.ShellCalls().empty());
  Urls().UserClick(2);
  ASSERT_EQ(factory.ShellCalls().size(), 1u);
  EXPECT_EQ(factory.ShellCalls()[0].Target, "HTTPS://x.org");
}

}  // namespace
}  // namespace tagscope::test
