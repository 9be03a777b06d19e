// Chapters, tables of contents and synchronised lyrics built from typed values: what the
// decoders read of them, under the size coding and text encodings of each version. Their
// reading by another tag library is in the tool's tests.
#include <gtest/gtest.h>

#include <string>

#include "tagscope/engine/frame_value.h"
#include "tagscope/engine/timed_frames.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {
namespace {

using namespace std::string_literals;

// A title of 200 characters makes a sub-frame whose size field differs between the codings,
// and a character beyond ISO-8859-1 a text in UTF-16 (version 3) or UTF-8 (version 4).
TEST(TimedFramesTest, ChaptersAndTablesRoundTripInEitherVersion) {
  const std::string title = std::string(199, 't') + "\u266a";
  for (const uint8_t version : {3, 4}) {
    TChapterFrame chapter{"chp1", 1000, 2500, 7, TChapterFrame::kNoOffset, {}};
    chapter.Frames.push_back(TextSubFrame("TIT2", title, version));
    const std::string payload = RenderChapterFrame(chapter, version);
    EXPECT_EQ(ParseChapterFrame(payload, version), chapter);
    EXPECT_EQ(SubFrameText(chapter.Frames, "TIT2"), title);
    const TFrameValue value = DecodeFrameContent("CHAP", payload, version);
    EXPECT_TRUE(value.Problems.empty());
    ASSERT_EQ(value.Find("frames")->Frames.size(), 1u);
    EXPECT_EQ(value.Find("frames")->Frames[0].Value.Find("text")->Texts,
              std::vector<std::string>{title});
    EXPECT_EQ(payload[chapter.ElementID.size() + 17 + 10], version == 3 ? 1 : 3);

    const TTableOfContentsFrame table{"toc", true, true, {"chp1", "chp2"}, {}};
    const std::string toc = RenderTableOfContentsFrame(table, version);
    EXPECT_EQ(toc,
              "toc\0\x03\x02"s
              "chp1\0chp2\0"s);
    EXPECT_EQ(ParseTableOfContentsFrame(toc, version), table);
  }
  // What a table or chapter cannot hold is refused, not written damaged.
  TTableOfContentsFrame tooLong{"toc", true, true, std::vector<std::string>(256, "c"), {}};
  EXPECT_THROW(RenderTableOfContentsFrame(tooLong, 4), EConvertError);
  EXPECT_THROW(RenderChapterFrame({"a\0b"s, 0, 1, 0, 0, {}}, 4), EConvertError);
}

TEST(TimedFramesTest, SyncedLyricsRoundTripWithATerminatedTextEach) {
  TSyncLyricsFrame lyrics;
  lyrics.Language = "deu";
  lyrics.Lines = {{0, "Eins"}, {1500, ""}, {0xFFFFFFFF, "drei \u266a"}};
  for (const uint8_t version : {3, 4}) {
    const std::string payload = RenderSyncLyricsFrame(lyrics, version);
    EXPECT_EQ(ParseSyncLyricsFrame(payload, version), lyrics);
    EXPECT_TRUE(DecodeFrameContent("SYLT", payload, version).Problems.empty());
  }
  lyrics.Lines.pop_back();
  EXPECT_EQ(RenderSyncLyricsFrame(lyrics, 4), "\0deu\x02\x01\0Eins\0\0\0\0\0\0\0\0\x05\xDC"s);
  // A zero inside a line would end it early and shift every time after it.
  lyrics.Lines[0].Text = "Ei\0ns"s;
  EXPECT_THROW(RenderSyncLyricsFrame(lyrics, 4), EConvertError);
}

}  // namespace
}  // namespace tagscope
