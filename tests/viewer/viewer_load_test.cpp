#include "tagscope/engine/id3_engine.h"
#include "tagscope/rtl/exception.h"
#include "tests/viewer/viewer_fixture.h"

namespace tagscope::test {
namespace {

std::string FullTagFile() {
  return Tag({TextFrame("TIT2", "Song"), TextFrame("TPE1", "Singer"), TextFrame("TALB", "Record"),
              TextFrame("TCOM", "Writer"), TextFrame("TPE2", "Band"), TextFrame("TPE3", "Leader"),
              TextFrame("TEXT", "Poet"), TextFrame("TIT1", "Group"), TextFrame("TMOO", "Calm"),
              TextFrame("TPUB", "Label"), TextFrame("TYER", "1999"), TextFrame("TRCK", "3/12"),
              TextFrame("TPOS", "1/2"), CommentFrame("ENG", "first", "one"),
              CommentFrame("DEU", "second", "two"),
              PictureFrame("image/bmp", 3, "front", Bitmap16x16()),
              PictureFrame("image/gif", 4, "back", Gif1x1()),
              UrlFrame("home", "http://example.org/")}) +
         Audio();
}

TEST_F(ViewerTest, AFullTagFillsEveryPage) {
  TempFile file(FullTagFile());
  frame->LoadFile(file.Name());
  EXPECT_EQ(frame->edTitle->Text(), "Song");
  EXPECT_EQ(frame->edArtist->Text(), "Singer");
  EXPECT_EQ(frame->edAlbum->Text(), "Record");
  EXPECT_EQ(frame->edComposer->Text(), "Writer");
  EXPECT_EQ(frame->edBand->Text(), "Band");
  EXPECT_EQ(frame->edConductor->Text(), "Leader");
  EXPECT_EQ(frame->edLyricist->Text(), "Poet");
  EXPECT_EQ(frame->edGenre->Text(), "Group");
  EXPECT_EQ(frame->edMood->Text(), "Calm");
  EXPECT_EQ(frame->edPublisher->Text(), "Label");
  EXPECT_EQ(frame->edYear->Text(), "1999");
  EXPECT_EQ(frame->edTrack->Text(), "3");
  EXPECT_EQ(frame->edTracks->Text(), "12");
  EXPECT_EQ(frame->edDisk->Text(), "1");
  EXPECT_EQ(frame->edDisks->Text(), "2");

  ASSERT_EQ(frame->lvComments->ItemCount(), 2);
  EXPECT_EQ(frame->lvComments->ItemCaption(1), "second");
  EXPECT_EQ(frame->lvComments->SubItem(1, 0), "two");
  EXPECT_EQ(frame->lvComments->Selected(), -1);
  EXPECT_EQ(frame->edCommDesc->Text(), "");

  ASSERT_EQ(frame->lbPictures->Count(), 2);
  EXPECT_EQ(frame->lbPictures->Item(0), "Cover (front)");
  EXPECT_EQ(frame->lbPictures->Item(1), "Cover (back)");
  EXPECT_EQ(frame->lbPictures->ItemIndex(), 0);
  auto* info = dynamic_cast<TPictureInfo*>(frame->lbPictures->Object(1));
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->MimeType(), "image/gif");
  EXPECT_EQ(info->Description(), "back");
  EXPECT_EQ(info->PictureData().Bytes(), Gif1x1());

  ASSERT_EQ(frame->lvUrls->ItemCount(), 1);
  EXPECT_EQ(frame->lvUrls->ItemCaption(0), "home");
  EXPECT_EQ(frame->lvUrls->SubItem(0, 0), "http://example.org/");
  EXPECT_EQ(Comments().UpdateDepth(), 0);
  EXPECT_EQ(Urls().UpdateDepth(), 0);
  EXPECT_EQ(Pictures().UpdateDepth(), 0);
}

TEST_F(ViewerTest, TrackAndDiskTextsSplitAtTheFirstSlash) {
  TempFile file(Tag({TextFrame("TRCK", "/12"), TextFrame("TPOS", "1/2/3")}));
  frame->LoadFile(file.Name());
  EXPECT_EQ(frame->edTrack->Text(), "");
  EXPECT_EQ(frame->edTracks->Text(), "12");
  EXPECT_EQ(frame->edDisk->Text(), "1");
  EXPECT_EQ(frame->edDisks->Text(), "2/3");
}

TEST_F(ViewerTest, AGarbledTitleShowsOnlyTheTrailer) {
  TrailerFields v1;
  v1.Title = "Old Title";
  v1.Artist = "Old Artist";
  v1.Year = "1987";
  v1.Comment = "old comment";
  v1.Track = 5;
  v1.Genre = 17;
  TempFile file(Tag({TextFrame("TIT2", "two\twords"), TextFrame("TPE2", "Band"),
                     CommentFrame("ENG", "c", "text"), PictureFrame("image/bmp", 3, "", "x"),
                     UrlFrame("u", "http://example.org/")}) +
                Audio() + Trailer(v1));
  frame->LoadFile(file.Name());
  EXPECT_EQ(frame->edTitle->Text(), "Old Title");
  EXPECT_EQ(frame->edArtist->Text(), "Old Artist");
  EXPECT_EQ(frame->edYear->Text(), "1987");
  EXPECT_EQ(frame->edTrack->Text(), "5");
  EXPECT_EQ(frame->edBand->Text(), "");
  ASSERT_EQ(frame->lvComments->ItemCount(), 1);
  EXPECT_EQ(frame->lvComments->ItemCaption(0), "MAIN");
  EXPECT_EQ(frame->lvComments->SubItem(0, 0), "old comment");
  EXPECT_EQ(frame->lbPictures->Count(), 0);
  EXPECT_EQ(frame->lvUrls->ItemCount(), 0);
}

TEST_F(ViewerTest, AGarbledTitleWithoutTrailerShowsNothing) {
  TempFile file(Tag({TextFrame("TIT2", "bad\x01title"), TextFrame("TPE1", "Singer"),
                     CommentFrame("ENG", "c", "text")}) +
                Audio());
  frame->LoadFile(file.Name());
  EXPECT_EQ(frame->edTitle->Text(), "");
  EXPECT_EQ(frame->edArtist->Text(), "");
  EXPECT_EQ(frame->lvComments->ItemCount(), 0);
}

TEST_F(ViewerTest, AccentedTitleIsShownUnchanged) {
  TrailerFields v1;
  v1.Title = "Trailer";
  TempFile file(Tag({TextFrame("TIT2", "Caf\xE9 del Mar")}) + Audio() + Trailer(v1));
  frame->LoadFile(file.Name());
  EXPECT_EQ(frame->edTitle->Text(), "Caf\xC3\xA9 del Mar");  // the controls take UTF-8
  EXPECT_EQ(frame->lvComments->ItemCount(), 0);
}

TEST_F(ViewerTest, TextsInEveryScriptFillTheControlsAsUtf8) {
  // UTF-16 (日本, "2004-05" in full-width digits) and UTF-8 (Ελληνικά, Кино, an emoji).
  const std::string utf16Title = "\x01\xFF\xFE\xE5\x65\x2C\x67";
  const std::string wideYear = "\x01\xFF\xFE\x12\xFF\x10\xFF\x10\xFF\x14\xFF-\x00";
  TrailerFields v1;
  v1.Title = "Trailer";
  TempFile file(Tag({Frame("TIT2", utf16Title), Frame("TDRC", wideYear),
                     Frame("TCON",
                           "\x03\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9"
                           "\xCE\xBA\xCE\xAC"),
                     Frame("WXXX", std::string("\x03\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE\0", 10) +
                                       "http://example.org/"),
                     PictureFrame("image/bmp", 3, "", Bitmap16x16())}) +
                Audio() + Trailer(v1));
  frame->LoadFile(file.Name());
  EXPECT_EQ(frame->edTitle->Text(), "\xE6\x97\xA5\xE6\x9C\xAC");
  EXPECT_EQ(frame->edYear->Text(), "\xEF\xBC\x92\xEF\xBC\x90\xEF\xBC\x90\xEF\xBC\x94");
  EXPECT_EQ(frame->edGenre->Text(),
            "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC");
  ASSERT_EQ(frame->lvUrls->ItemCount(), 1);
  EXPECT_EQ(frame->lvUrls->ItemCaption(0), "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE");

  // Only a control character in the title, not a character beyond ISO-8859-1, means garbled.
  TempFile garbled(Tag({Frame("TIT2", std::string("\x01\xFF\xFE\xE5\x65\x09\x00\x2C\x67", 9))}) +
                   Audio() + Trailer(v1));
  frame->LoadFile(garbled.Name());
  EXPECT_EQ(frame->edTitle->Text(), "Trailer");
}

TEST_F(ViewerTest, GenreAndYearFallBackToContentTypeAndRecordingTime) {
  TempFile file(Tag({TextFrame("TCON", "(17)"), TextFrame("TDRC", "2004-05-06T10:00")}));
  frame->LoadFile(file.Name());
  EXPECT_EQ(frame->edGenre->Text(), "(17) Rock");
  EXPECT_EQ(frame->edYear->Text(), "2004");

  TempFile plain(Tag({TextFrame("TCON", "Trip Hop"), TextFrame("TDRC", "99")}));
  frame->LoadFile(plain.Name());
  EXPECT_EQ(frame->edGenre->Text(), "Trip Hop");
  EXPECT_EQ(frame->edYear->Text(), "99");

  TempFile both(Tag({TextFrame("TIT1", "Group"), TextFrame("TCON", "(17)"),
                     TextFrame("TYER", "1999"), TextFrame("TDRC", "2004")}));
  frame->LoadFile(both.Name());
  EXPECT_EQ(frame->edGenre->Text(), "Group");
  EXPECT_EQ(frame->edYear->Text(), "1999");

  TempFile unknown(Tag({TextFrame("TCON", "(192)")}));
  frame->LoadFile(unknown.Name());
  EXPECT_EQ(frame->edGenre->Text(), "(192)");
}

TEST_F(ViewerTest, PictureTypesBeyondTheTableAreUnknown) {
  TempFile file(Tag({PictureFrame("image/bmp", 21, "", Bitmap16x16()),
                     PictureFrame("image/bmp", 200, "", Bitmap16x16())}));
  frame->LoadFile(file.Name());
  ASSERT_EQ(frame->lbPictures->Count(), 2);
  EXPECT_EQ(frame->lbPictures->Item(0), "Unknown (21)");
  EXPECT_EQ(frame->lbPictures->Item(1), "Unknown (200)");
}

TEST_F(ViewerTest, ShowingTheSameFileTwiceGivesTheSameDisplay) {
  TempFile file(FullTagFile());
  frame->LoadFile(file.Name());
  const std::string first = Display();
  frame->LoadFile(file.Name());
  EXPECT_EQ(Display(), first);
  EXPECT_EQ(frame->lbPictures->Count(), 2);
}

TEST_F(ViewerTest, AFileWithoutTagAfterAFullOneShowsNothing) {
  TempFile full(FullTagFile());
  TempFile bare(Audio());
  frame->LoadFile(full.Name());
  Comments().UserClick(0);
  frame->LoadFile(bare.Name());
  EXPECT_EQ(Display(), std::string(18, '|') + "||no image");
}

TEST_F(ViewerTest, AMissingFileShowsNothingAndRaisesNothing) {
  TempFile full(FullTagFile());
  frame->LoadFile(full.Name());
  EXPECT_NO_THROW(frame->LoadFile(full.Name() + ".missing"));
  EXPECT_NO_THROW(frame->LoadFile(""));
  EXPECT_EQ(Display(), std::string(18, '|') + "||no image");
  EXPECT_EQ(frame->GetFileType(), "MP3 File");
}

TEST_F(ViewerTest, AFailingEngineEndsLoadFileAndKeepsTheDisplay) {
  TempFile full(FullTagFile());
  frame->LoadFile(full.Name());
  const std::string before = Display();
  frame->TagEngine().OnFileOpen = [](TID3Engine&) { throw Exception("cannot read"); };
  EXPECT_THROW(frame->LoadFile(full.Name()), Exception);
  EXPECT_EQ(Display(), before);
}

TEST_F(ViewerTest, SelectingACommentShowsItAndDeselectingEmptiesTheFields) {
  TempFile file(FullTagFile());
  frame->LoadFile(file.Name());
  Comments().UserClick(0);
  EXPECT_EQ(frame->edCommDesc->Text(), "first");
  EXPECT_EQ(frame->edComments->Text(), "one");
  Comments().UserSelect(1);
  EXPECT_EQ(frame->edCommDesc->Text(), "second");
  EXPECT_EQ(frame->edComments->Text(), "two");
  Comments().UserClick(-1);
  EXPECT_EQ(frame->edCommDesc->Text(), "");
  EXPECT_EQ(frame->edComments->Text(), "");
}

TEST_F(ViewerTest, TheEngineReadsOnlyAndTheFormFreesPicturesOnDestruction) {
  EXPECT_TRUE(frame->TagEngine().ReadOnly());
  TempFile file(FullTagFile());
  frame->LoadFile(file.Name());
  EXPECT_TRUE(frame->TagEngine().Active());
  frame->FormDestroy(frame->Form());
  EXPECT_EQ(frame->lbPictures->Count(), 0);
  EXPECT_FALSE(frame->TagEngine().Active());
}

}  // namespace
}  // namespace tagscope::test
