// The APE tag and Lyrics3 block readers on tags built byte by byte: places, caps on counts and
// sizes, and items read as far as they go.
#include <gtest/gtest.h>

#include <string>

#include "tagscope/engine/trailer_tags.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {
namespace {

std::string LE32(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}

std::string Item(const std::string& key, const std::string& value, uint32_t flags = 0) {
  return LE32(static_cast<uint32_t>(value.size())) + LE32(flags) + key + '\0' + value;
}

std::string ApeTag(const std::string& items, uint32_t count, bool header) {
  const auto size = static_cast<uint32_t>(items.size() + 32);
  const std::string flags = LE32(header ? 1u << 31 : 0);
  const std::string tail = LE32(2000) + LE32(size) + LE32(count);
  const std::string head =
      header ? "APETAGEX" + tail + LE32((1u << 31) | (1u << 29)) + std::string(8, '\0') : "";
  return head + items + "APETAGEX" + tail + flags + std::string(8, '\0');
}

const std::string kV1 = "TAG" + std::string(125, '\0');

TEST(ApeItems, CountsBeyondTheBytesAreCappedAndReported) {
  TApeTag tag;
  ParseApeItems(Item("Title", "x") + Item("Artist", "y"), 0xFFFFFFFFu, tag);
  EXPECT_FALSE(tag.Problem.empty());
  ASSERT_EQ(tag.Items.size(), 2u);
  EXPECT_EQ(tag.Items[1].Value, "y");
}

TEST(ApeItems, ReadAsFarAsTheyGo) {
  const struct {
    std::string second;
    const char* what;
  } cases[] = {
      {LE32(1000) + LE32(0) + "Long" + '\0' + "short", "run past"},
      {LE32(1) + LE32(0) + "K" + '\0' + "v", "no valid key"},
      {LE32(1) + LE32(0) + "Bad\x01key" + '\0' + "v", "no valid key"},
      {LE32(1) + LE32(0) + "NoEnd", "no valid key"},
      {LE32(1), "cut short"},
  };
  for (const auto& c : cases) {
    TApeTag tag;
    ParseApeItems(Item("Title", "first") + c.second, 2, tag);
    ASSERT_EQ(tag.Items.size(), 1u) << c.what;
    EXPECT_NE(tag.Problem.find(c.what), std::string::npos) << tag.Problem;
  }
}

TEST(ApeItems, KindsValuesAndKeysWithoutCase) {
  TApeTag tag;
  ParseApeItems(Item("Artist", std::string("One\0Two", 7)) + Item("Cover", "\x01\x02", 2 | 1), 2,
                tag);
  ASSERT_EQ(tag.Items.size(), 2u);
  EXPECT_EQ(tag.Find("ARTIST")->Texts(), (std::vector<std::string>{"One", "Two"}));
  EXPECT_EQ(tag.Items[1].Kind(), TApeItemKind::akBinary);
  EXPECT_TRUE(tag.Items[1].ReadOnly());
}

TEST(TrailerTags, PlacesOfEveryBlockAndTheApeRangesTogether) {
  const std::string audio(1000, '\x55');
  const std::string lyricsBody =
      "LYRICSBEGININD00002"
      "10"
      "LYR00005"
      "words";
  const std::string lyrics = lyricsBody + "0000" + std::to_string(lyricsBody.size()) + "LYRICS200";
  const std::string ape = ApeTag(Item("Title", "T"), 1, true);
  TMemoryStream file(audio + lyrics + ape + kV1);
  const TTrailerTags t = ReadTrailerTags(file, file.Size(), 0);
  EXPECT_EQ(t.Start, 1000);
  EXPECT_EQ(t.Lyrics3.Place, (TFileRange{1000, static_cast<int64_t>(lyrics.size())}));
  EXPECT_EQ(t.Lyrics3.Version, 2);
  ASSERT_EQ(t.Lyrics3.Fields.size(), 2u);
  EXPECT_EQ(t.Lyrics3.Fields[1].Value, "words");
  EXPECT_EQ(t.Ape.Place.Offset, 1000 + static_cast<int64_t>(lyrics.size()));
  EXPECT_TRUE(t.Ape.HasHeader);
  EXPECT_EQ(t.Ape.Items.at(0).Value, "T");
  EXPECT_EQ(t.ID3v1Place.Offset, file.Size() - 128);
  EXPECT_EQ(t.ApeRanges(), (std::vector<TFileRange>{t.Ape.Place, t.Lyrics3.Place}));
}

TEST(TrailerTags, NothingIsTakenFromBelowTheFloor) {
  // An APE tag that would begin inside the ID3v2 tag at the start is damaged: never cut.
  const std::string ape = ApeTag(Item("Title", "T"), 1, false);
  TMemoryStream file(ape);
  const TTrailerTags below = ReadTrailerTags(file, file.Size(), 10);
  EXPECT_NE(below.Ape.Damage.find("below the audio's start"), std::string::npos);
  EXPECT_TRUE(below.ApeRanges().empty());
  EXPECT_EQ(ReadTrailerTags(file, file.Size(), 0).ApeRanges(),
            (std::vector<TFileRange>{{0, file.Size()}}));
}

TEST(Lyrics3, BrokenFieldSizesEndTheFields) {
  TLyrics3Block l;
  ParseLyrics3(
      "LYRICSBEGININD00002"
      "10"
      "LYR0x005words000000LYRICS200",
      l);
  EXPECT_EQ(l.Fields.size(), 1u);
  EXPECT_FALSE(l.Problem.empty());
}

}  // namespace
}  // namespace tagscope
