// Telling misread texts from right ones, and writing repaired texts back into their frames.
#include <gtest/gtest.h>

#include <string>

#include "tagscope/engine/id3_tag.h"
#include "tagscope/engine/text_encoding.h"
#include "tagscope/engine/text_repair.h"

namespace tagscope {
namespace {

TEST(TextRepair, MisreadAndPlausible) {
  // ISO-8859-1 bytes that read right, and ones that do not.
  for (const char* right : {"Caf\xE9",
                            "Na\xEFve fa\xE7"
                            "ade, 50\xB0"
                            "C",
                            "\xC5ngstr\xF6m",
                            "\xAB"
                            "Quoted\xBB"})
    EXPECT_FALSE(LooksMisread(right)) << right;
  for (const char* wrong : {"\xC3\xF0\xF3\xEF\xEF\xE0",
                            "mo\xBF"
                            "e",
                            "\x9A"
                            "a",
                            "ab\xA4\xA4\xE5"})
    EXPECT_TRUE(LooksMisread(wrong)) << wrong;
  EXPECT_TRUE(PlausibleText("Ария Live"));
  EXPECT_TRUE(PlausibleText("東京事変 – 群青日和"));
  EXPECT_FALSE(PlausibleText("Cafй"));              // two scripts in one word
  EXPECT_FALSE(PlausibleText("Café Ария"));         // two scripts beyond ASCII
  EXPECT_FALSE(PlausibleText("Text\x01"));          // a control character
  EXPECT_FALSE(PlausibleText("Text\xEF\xBF\xBD"));  // a replacement character
  // KOI8-R read as WINDOWS-1251 turns the case round.
  EXPECT_GT(TextOddity("гРСООЮ ЙПНБХ"), TextOddity("Группа крови"));
}

// A tag of the version with one frame holding the payload.
void AddFrame(TID3Tag& tag, const char* id, const std::string& payload) {
  TID3Frames_Item& f = tag.Frames().Add();
  f.SetName(id);
  f.Data().WriteString(payload);
}

TEST(TextRepair, EveryStringOfAFrameRepairedAndWrittenInTheVersionsEncoding) {
  const std::string misread = "\xCA\xE8\xED\xEE";  // "Кино" in WINDOWS-1251
  TID3Tag tag;
  tag.Header().SetVersionNumber(3);
  AddFrame(tag, "TXXX", std::string("\0", 1) + misread + '\0' + "\xC3\xF0\xF3\xEF\xEF\xE0");
  AddFrame(tag, "COMM", std::string("\0rus", 4) + "" + '\0' + misread);
  const TTextRepairPlan plan = PlanTextRepairs(tag, {}, "WINDOWS-1251");
  ASSERT_EQ(plan.Repairs.size(), 3u);
  EXPECT_EQ(plan.Repairs[0].Where, "TXXX description");
  EXPECT_EQ(plan.Repairs[1].New, "Группа");
  EXPECT_EQ(ApplyTextRepairs(tag, plan), 2);
  const std::string txxx(tag.Frames().Items(0).Payload());
  EXPECT_EQ(txxx[0], static_cast<char>(teUTF16));
  EXPECT_EQ(DecodeTextUtf8(std::string_view(txxx).substr(1, 10), teUTF16), "Кино");
  const std::string comm(tag.Frames().Items(1).Payload());
  EXPECT_EQ(comm.substr(0, 4), std::string("\x01rus", 4));
  // The empty description stays a bare terminator.
  EXPECT_EQ(comm.substr(4, 2), std::string("\0\0", 2));
}

TEST(TextRepair, AFrameThatWouldLoseBytesIsLeftAlone) {
  TID3Tag tag;
  tag.Header().SetVersionNumber(4);
  // A UTF-8 frame of two values: the first misread, the second not UTF-8 and not repairable
  // as the first's set, which a rewrite would turn into replacement characters.
  AddFrame(tag, "TPE1", std::string("\x03", 1) + "Caf\xC3\x83\xC2\xA9" + '\0' + "\xFF\xFE\x01");
  const TTextRepairPlan plan = PlanTextRepairs(tag, {}, "");
  ASSERT_EQ(plan.Repairs.size(), 1u);
  EXPECT_EQ(plan.Repairs[0].New, "Café");
  EXPECT_EQ(ApplyTextRepairs(tag, plan), 0);
}

TEST(TextRepair, TrailerTextsCountButAreNotWritten) {
  std::string trailer = "TAG" + std::string(125, '\0');
  trailer.replace(3, 4, "\xCA\xE8\xED\xEE");
  const std::vector<TLooseText> loose = ID3v1LooseTexts(trailer);
  ASSERT_EQ(loose.size(), 1u);
  TID3Tag tag;
  const TTextRepairPlan plan = PlanTextRepairs(tag, loose, "CP1251");
  ASSERT_EQ(plan.Repairs.size(), 1u);
  EXPECT_EQ(plan.Repairs[0].Frame, -1);
  EXPECT_EQ(plan.Repairs[0].New, "Кино");
}

// Each text alone in its tag, stored as ISO-8859-1: what it is repaired into ("" for left as
// it is). The set of each is found from its own bytes.
TEST(TextRepair, EachTextWeighedOnItsOwn) {
  const std::pair<std::string, std::string> cases[] = {
      {"\xC4\xD6\xDC", ""},                          // "ÄÖÜ" (not "ДЦЬ")
      {"\xDF", ""},                                  // "ß"
      {"\xB1\xBD", ""},                              // "±½" (not box drawing nor "苯")
      {"\xC4\xE0", ""},                              // "Да" alone is too short to tell
      {"Beyonc\xC3\x83\xC2\xA9", "Beyonc\xC3\xA9"},  // UTF-8 twice over
      {"\xD8\xE0\xED\xF2\xE0\xE6 \xFD\xF1\xF2\xF0\xE0\xE4\xFB", "Шантаж эстрады"},
      {"\x83X\x83s\x83"
       "b\x83"
       "c",
       "スピッツ"},                  // SHIFT_JIS, not "ƒXƒsƒbƒc"
      {"\xBA\xEC\xB6\xB9", "红豆"},  // GBK
      {"mo\xBF"
       "e",
       "może"},  // WINDOWS-1250
  };
  for (const auto& [stored, repaired] : cases) {
    TID3Tag tag;
    tag.Header().SetVersionNumber(4);
    AddFrame(tag, "TIT2", std::string("\0", 1) + stored);
    const TTextRepairPlan plan = PlanTextRepairs(tag, {}, "");
    EXPECT_EQ(plan.Repairs.empty() ? "" : plan.Repairs[0].New, repaired) << stored;
  }
}

}  // namespace
}  // namespace tagscope
