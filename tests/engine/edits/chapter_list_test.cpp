// The forms of chapter lists and LRC lyrics people write, read into chapters and timed lines.
// What the tool writes from them, read by another tag library, is in the tool's tests.
#include <gtest/gtest.h>

#include <string>

#include "tagscope/engine/chapters.h"
#include "tagscope/engine/synced_lyrics.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {
namespace {

using namespace std::string_literals;

std::string Refusal(std::string_view text, int64_t audioLength) {
  try {
    ParseChapterList(text, audioLength);
  } catch (const EConvertError& e) {
    return e.what();
  }
  return "";
}

TEST(ChapterListTest, TimesInEveryFormAndLineEnding) {
  // Hours, minutes and seconds; minutes and seconds alone (past an hour too); one to three
  // digits of a second; old Mac line ends.
  const auto chapters =
      ParseChapterList("0:00 A\r01:02:03.5 B\r\n75:00.25\tC  \r\n100:00.123", 7'000'000);
  ASSERT_EQ(chapters.size(), 4u);
  EXPECT_EQ(chapters[1], (TChapter{3'723'500, 4'500'250, "B"}));
  EXPECT_EQ(chapters[2], (TChapter{4'500'250, 6'000'123, "C"}));
  EXPECT_EQ(chapters[3], (TChapter{6'000'123, 7'000'000, ""}));
  EXPECT_EQ(FormatChapterList({chapters[1]}), "01:02:03.500 B\n");
  // Not times: seconds or minutes of an hour past 59, a letter after the time, no digits.
  for (const char* line : {"0:60 A", "1:60:00 A", "0:05x A", "0:05. A", ":05 A", "5 A"})
    EXPECT_NE(Refusal("0:00 Start\n"s + line, 100'000).find("Line 2"), std::string::npos) << line;
  // Without the audio's length the last chapter has no end; a zero byte would cut a title.
  EXPECT_NE(Refusal("0:00 A", -1).find("not known"), std::string::npos);
  EXPECT_NE(Refusal("0:00 A\0B"s, 10'000).find("zero byte"), std::string::npos);
}

TEST(ChapterListTest, MetadataTextBlocks) {
  const auto chapters = ParseChapterList(
      ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/44100\nSTART=44100\nEND=88200\ntitle=a\\\nb\\\\\n"
      "[CHAPTER]\nSTART=3000000000\n",
      10'000);
  ASSERT_EQ(chapters.size(), 2u);
  EXPECT_EQ(chapters[0], (TChapter{1000, 2000, "a\nb\\"}));
  EXPECT_EQ(chapters[1], (TChapter{3000, 10'000, ""}));
  EXPECT_NE(Refusal(";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/0\nSTART=0\n", 10'000).find("Line 3"),
            std::string::npos);
  EXPECT_NE(Refusal(";FFMETADATA1\n[CHAPTER]\nEND=5\n", 10'000).find("no START"),
            std::string::npos);
  // A list of more chapters than a table of contents lists is refused at the first too many.
  std::string many;
  for (int i = 0; i < 256; ++i) {
    const std::string seconds = std::to_string(100 + i % 60).substr(1);
    many += std::to_string(i / 60) + ":" + seconds + " c\n";
  }
  EXPECT_NE(Refusal(many, 1'000'000).find("Line 256"), std::string::npos);
}

TEST(LrcTest, StampsOffsetsAndOrder) {
  const auto lines = ParseLrc(
      "[ti:x]\n[offset:-500]\n[01:02:50]b\n[00:00.5][00:59.999] a \n\n[00:00]\n[offset:+1000]\n");
  // The last offset counts; times before the start are the start.
  EXPECT_EQ(lines, (std::vector<TSyncedLine>{
                       {0, "a"}, {0, ""}, {59'999 - 1000, "a"}, {62'500 - 1000, "b"}}));
  EXPECT_EQ(FormatLrc(lines), "[00:00.00]a\n[00:00.00]\n[00:58.999]a\n[01:01.50]b\n");
}

TEST(LrcTest, BracketsAfterTimesAreTextAndStrayLinesArePassedOver) {
  std::vector<std::string> skipped;
  const auto lines = ParseLrc(
      "[00:01.00][Chorus] la la\nstray words\n[00:1x.00]bad\n[offset:soon]\n[00:02.00]b [x\n"
      "[00:03.00]\xFF\r\n[00:04.00]\0\r[00:05.00]c"s,
      &skipped);
  EXPECT_EQ(lines,
            (std::vector<TSyncedLine>{{1000, "[Chorus] la la"}, {2000, "b [x"}, {5000, "c"}}));
  ASSERT_EQ(skipped.size(), 5u);
  EXPECT_EQ(skipped[0].rfind("line 6: not UTF-8", 0), 0u);
  EXPECT_EQ(skipped[1].rfind("line 7: holds a zero byte", 0), 0u);
  EXPECT_EQ(skipped[2].rfind("line 2:", 0), 0u);
  EXPECT_EQ(skipped[4].rfind("line 4:", 0), 0u);
}

TEST(LrcTest, WordStampsTimeTheWordsAndFollowTheOffset) {
  // The offset moves word stamps too; a line sung twice keeps its pace; "<" of no stamp is text.
  const auto lines = ParseLrc(
      "[offset:+500]\n[00:25.00][01:00.00]<00:25.00>Some <00:25.50>words <00:26.00>\n"
      "[00:30.00]plain <3\n");
  EXPECT_EQ(lines, (std::vector<TSyncedLine>{{24'500, "Some "},
                                             {25'000, "words"},
                                             {29'500, "\nplain <3"},
                                             {59'500, "\nSome "},
                                             {60'000, "words"}}));
  // Trailing blanks of a line go, the blanks between its words stay.
  EXPECT_EQ(FormatLrc(ParseLrc("[00:01.00]Strang<00:01.50>ers<00:02.00> in the\n[00:03.00]x\n")),
            "[00:01.00]Strang<00:01.50>ers<00:02.00> in the\n[00:03.00]x\n");
  // One line of words still reads back as one line.
  EXPECT_EQ(FormatLrc(ParseLrc("[00:01.00]a<00:02.00>b")), "[00:01.00]a<00:02.00>b\n");
}

TEST(LrcTest, SyllablesOfOtherTaggersMakeTheirLines) {
  // Breaks before lines, or after them, as taggers write syllables.
  for (const auto& syllables :
       {std::vector<TSyncedLine>{{0, "Strang"}, {500, "ers"}, {900, "\nin"}, {1200, " the"}},
        std::vector<TSyncedLine>{{0, "Strang"}, {500, "ers\n"}, {900, "in"}, {1200, " the\n"}}})
    EXPECT_EQ(FormatLrc(syllables), "[00:00.00]Strang<00:00.50>ers\n[00:00.90]in<00:01.20> the\n");
}

TEST(LrcTest, FilesInOtherCharacterSets) {
  const std::string cyrillic = "\xC3\xF0\xF3\xEF\xEF\xE0 \xEA\xF0\xEE\xE2\xE8";  // CP1251
  EXPECT_EQ(LrcTextToUtf8("[00:01.00]" + cyrillic, "CP1251"),
            "[00:01.00]\u0413\u0440\u0443\u043f\u043f\u0430 \u043a\u0440\u043e\u0432\u0438");
  EXPECT_EQ(LrcTextToUtf8("\xFF\xFE[\0a\0]\0"s), "[a]");
  EXPECT_EQ(LrcTextToUtf8("\xEF\xBB\xBF[00:01]x", "CP1251"), "\xEF\xBB\xBF[00:01]x");
#ifndef _WIN32
  // The one byte CP1251 leaves undefined; Windows' code page gives it a character of its own.
  EXPECT_THROW(LrcTextToUtf8("[00:01]\x98", "CP1251"), EConvertError);
#endif
}

}  // namespace
}  // namespace tagscope
