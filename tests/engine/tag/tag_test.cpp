// The tag in memory on its own: no engine, no file.
#include <gtest/gtest.h>

#include <memory>

#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/engine/shown_fields.h"
#include "tagscope/engine/tag_edit.h"
#include "tagscope/engine/version_change.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {
namespace {

void Scramble(TID3Frames_Item&, TStream& stream) {
  auto& m = dynamic_cast<TMemoryStream&>(stream);
  std::string bytes = m.Bytes();
  for (char& c : bytes) c ^= 0x5A;
  m.SetBytes(bytes);
}

TEST(TagInMemory, EditedSerialisedAndParsedAgain) {
  TID3Tag tag;
  tag.Header().SetVersionNumber(3);
  tag.SetTitleUtf8("Sn\xC3\xB6 \xE2\x98\x83");  // UTF-16 in version 3
  tag.SetYearUtf8("2024");
  tag.AddCommentUtf8("d", "t \xE2\x9C\x93", "eng");
  SetPicture(tag, {"image/png", 3, "", "cover"}, std::string("PNG\0data", 8));
  SetUserText(tag, "key", "value");
  ChangeTagVersion(tag, 4);
  tag.Frames().FindFrame("TXXX")->SetEncryptionID(0x80);
  TMemoryStream out;
  tag.WriteFrames(out, Scramble);
  // The encrypted frame left the tag scrambled.
  EXPECT_EQ(out.Bytes().find("value"), std::string::npos);

  TID3Tag back;
  back.Header().SetVersionNumber(4);
  auto bytes = std::make_shared<const std::string>(out.Bytes());
  const TID3Frames::TParseResult result = back.ParseFrames(bytes, *bytes, Scramble);
  EXPECT_EQ(result.problem, "");
  EXPECT_EQ(result.framesEnd, bytes->size());
  EXPECT_EQ(back.TitleUtf8(), "Sn\xC3\xB6 \xE2\x98\x83");
  EXPECT_EQ(back.FrameCount("TYER"), 0);
  EXPECT_EQ(ShownYear(back), "2024");
  TID3Comment comment;
  ASSERT_TRUE(back.GetComment(0, comment));
  EXPECT_EQ(comment.TextUtf8, "t \xE2\x9C\x93");
  TID3Picture picture;
  std::string_view data;
  ASSERT_TRUE(back.GetPicture(0, picture, data));
  EXPECT_EQ(picture.DescriptionUtf8, "cover");
  EXPECT_EQ(data, std::string_view("PNG\0data", 8));
  TID3UserText text;
  ASSERT_TRUE(back.GetUserText(0, text));
  EXPECT_EQ(text.TextUtf8, "value");
}

// Each edit replaces the frame its kind counts the same and leaves the others: a second edit
// of the same key leaves one frame, of another key two.
struct TSameFrameCase {
  const char* id;
  void (*edit)(TID3Tag&, int variant);  // variant 0 and 1: the same frame; 2: another
};

class SameFrame : public testing::TestWithParam<TSameFrameCase> {};

TEST_P(SameFrame, ASecondEditReplacesTheSameFrameOnly) {
  for (const uint8_t version : {3, 4}) {
    TID3Tag tag;
    tag.Header().SetVersionNumber(version);
    GetParam().edit(tag, 0);
    GetParam().edit(tag, 1);
    EXPECT_EQ(tag.FrameCount(GetParam().id), 1) << GetParam().id;
    GetParam().edit(tag, 2);
    EXPECT_EQ(tag.FrameCount(GetParam().id), 2) << GetParam().id;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SameFrame,
    testing::Values(
        TSameFrameCase{"COMM",
                       [](TID3Tag& t, int v) {
                         SetComment(t, "d", "x", v == 0 ? "eng" : v == 1 ? "ENG" : "deu");
                       }},
        TSameFrameCase{"USLT",
                       [](TID3Tag& t, int v) {
                         // A language left empty is written as blanks, and is one language.
                         SetLyrics(t, v < 2 ? "" : "eng", "", v == 0 ? "a" : "b");
                       }},
        TSameFrameCase{
            "APIC",
            [](TID3Tag& t, int v) {
              // One file icon, whatever its description; covers by description.
              SetPicture(t, {"image/png", uint8_t(v < 2 ? 1 : 3), v == 0 ? "a" : "b", ""}, "x");
            }},
        TSameFrameCase{"TXXX", [](TID3Tag& t, int v) { SetUserText(t, v < 2 ? "k" : "K", "v"); }},
        TSameFrameCase{"POPM",
                       [](TID3Tag& t, int v) {
                         SetRating(t, v < 2 ? "a@b" : "c@d", uint8_t(v), std::nullopt);
                       }},
        TSameFrameCase{"UFID",
                       [](TID3Tag& t, int v) { SetUniqueFileID(t, v < 2 ? "o" : "p", "id"); }},
        TSameFrameCase{"RVA2",
                       [](TID3Tag& t, int v) { SetVolume(t, v < 2 ? "track" : "album", v); }}));

TEST(TagInMemory, FramesOutliveTheEngineNamedAsTheirOwner) {
  std::unique_ptr<TID3Frames> frames;
  {
    TID3Engine engine;
    engine.Header().SetVersionNumber(3);
    engine.OnFrameEncrypt = [](TID3Frames_Item&, TStream&) { throw Exception("engine reached"); };
    frames = std::make_unique<TID3Frames>(&engine);
    TID3Frames_Item& item = frames->Add();
    item.SetName("TIT2");
    item.SetAsText("x");
    item.SetEncryptionID(1);
  }
  // Written as ID3v2.4 frames without the engine's version or handler, and read back as such.
  TMemoryStream out;
  frames->WriteFrames(out);
  out.WriteString(std::string(8, '\0'));
  out.SetPosition(0);
  TID3Frames back;
  back.ReadFrames(out);
  ASSERT_EQ(back.Count(), 1);
  EXPECT_TRUE(back.Items(0).Encrypted());
  EXPECT_EQ(back.Items(0).AsText(), "x");
  EXPECT_EQ(out.Position(), out.Size() - 8);
}

}  // namespace
}  // namespace tagscope
