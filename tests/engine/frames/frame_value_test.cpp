// Frame content decoded by kind: what a byte layout alone can show (embedded frames under both
// size codings, nesting, where damaged content is kept). Every kind against another tag
// library's decoding is in the tool's tests.
#include <gtest/gtest.h>

#include <string>

#include "tagscope/engine/frame_value.h"

namespace tagscope {
namespace {

using namespace std::string_literals;

std::string Be32(uint32_t v) {
  return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string SyncSafe(uint32_t v) {
  return {char(v >> 21 & 0x7F), char(v >> 14 & 0x7F), char(v >> 7 & 0x7F), char(v & 0x7F)};
}

std::string Frame(const std::string& id, const std::string& payload, bool syncSafe) {
  const auto size = static_cast<uint32_t>(payload.size());
  return id + (syncSafe ? SyncSafe(size) : Be32(size)) + "\0\0"s + payload;
}

std::string Chapter(const std::string& frames) {
  return "ch\0"s + Be32(0) + Be32(5000) + Be32(~0u) + Be32(~0u) + frames;
}

// A frame of 200 bytes has a size field that differs between the two codings; the chapter's
// frames are read under the one that walks them whole, whatever the tag's version says.
TEST(FrameValueTest, EmbeddedFramesAreReadUnderTheSizeCodingThatFitsThem) {
  const std::string picture = "\0image/png\0\x03\0"s + std::string(186, 'p');
  for (const bool syncSafe : {true, false}) {
    for (const uint8_t version : {3, 4}) {
      const std::string payload =
          Chapter(Frame("APIC", picture, syncSafe) + Frame("TIT2", "\0One"s, syncSafe));
      const TFrameValue v = DecodeFrameContent("CHAP", payload, version);
      EXPECT_TRUE(v.Problems.empty()) << syncSafe << int(version);
      const TFrameField* frames = v.Find("frames");
      ASSERT_NE(frames, nullptr);
      ASSERT_EQ(frames->Frames.size(), 2u);
      EXPECT_EQ(frames->Frames[0].Value.Find("data")->Bytes.size(), 186u);
      EXPECT_EQ(frames->Frames[1].Value.Find("text")->Texts, std::vector<std::string>{"One"});
    }
  }
}

// Chapters inside chapters end at a fixed depth, the deeper ones kept as bytes.
TEST(FrameValueTest, NestingEndsAtAFixedDepthAndKeepsTheRest) {
  std::string payload = "\0Deep"s;
  std::string id = "TIT2";
  for (int i = 0; i < 50; ++i) {
    payload = Chapter(Frame(id, payload, true));
    id = "CHAP";
  }
  const TFrameValue v = DecodeFrameContent("CHAP", payload, 4);
  const TFrameValue* inner = &v;
  int depth = 0;
  while (const TFrameField* frames = inner->Find("frames")) {
    ASSERT_EQ(frames->Frames.size(), 1u);
    inner = &frames->Frames[0].Value;
    ++depth;
  }
  EXPECT_EQ(depth, 4);
  ASSERT_EQ(inner->Problems.size(), 1u);
  EXPECT_NE(inner->Problems[0].What.find("nested too deep"), std::string::npos);
  EXPECT_FALSE(inner->Find("rest")->Bytes.empty());
}

// An entry cut short is kept whole with the rest, not from where the cut was noticed.
TEST(FrameValueTest, AnEntryCutShortIsKeptWholeWithTheRest) {
  const std::string head = "\0eng\x02\x01"s + "Desc\0"s;
  const std::string payload = head + "one\0"s + Be32(10) + "two\0\0\0"s;
  const TFrameValue v = DecodeFrameContent("SYLT", payload, 4);
  EXPECT_EQ(v.Find("lines")->Records.size(), 1u);
  ASSERT_EQ(v.Problems.size(), 1u);
  EXPECT_EQ(v.Problems[0].Offset, payload.size() - 2);
  EXPECT_EQ(v.Find("rest")->Bytes, "two\0\0\0"s);
}

// Numbers too large to hold, and counters of odd widths.
TEST(FrameValueTest, CountersOfAnyWidthAreReadOrKept) {
  EXPECT_EQ(DecodeFrameContent("PCNT", "\0\0\0\0\0\0\0\0\0\x01\x02"s, 4).Find("counter")->Number,
            0x102);
  const TFrameValue huge = DecodeFrameContent("PCNT", "\x80\0\0\0\0\0\0\0\0"s, 4);
  EXPECT_EQ(huge.Find("counter"), nullptr);
  EXPECT_EQ(huge.Find("rest")->Bytes.size(), 9u);
  const TFrameValue shortCount = DecodeFrameContent("PCNT", "\x05"s, 4);
  EXPECT_EQ(shortCount.Find("counter")->Number, 5);
  EXPECT_EQ(shortCount.Problems.size(), 1u);
  EXPECT_EQ(DecodeFrameContent("POPM", "a\0\x80"s, 4).Find("counter"), nullptr);
}

// The old volume frame signs its values by flag bits; each value is as wide as its bits say.
TEST(FrameValueTest, OldVolumeValuesTakeTheirSignsFromTheFlags) {
  const std::string payload = "\x01\x10\x00\x0A\x00\x14\x01\x00\x02\x00"s;
  const TFrameValue value = DecodeFrameContent("RVAD", payload, 3);
  const TFrameField* values = value.Find("adjustments");
  ASSERT_NE(values, nullptr);
  EXPECT_EQ(values->Numbers, (std::vector<int64_t>{10, -20, 256, 512}));
  EXPECT_FALSE(DecodeFrameContent("RVAD", "\x01\xFF"s + std::string(64, 1), 3).Problems.empty());
}

}  // namespace
}  // namespace tagscope
